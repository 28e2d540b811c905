#include "core/link/LineReader.h"

namespace kv {

// Room for the longest line, a CR before its LF and the terminator getline writes.
LineReader::LineReader(std::istream& in, std::size_t maxLength)
    : in_(in), max_(maxLength), buf_(maxLength + 2) {}

LineReader::Status LineReader::next(std::string_view& line) {
    line = {};
    if (!in_.good()) return Status::End;
    in_.getline(buf_.data(), std::streamsize(buf_.size()));
    const std::streamsize taken = in_.gcount();
    if (taken == 0) return Status::End;  // nothing left
    ++lineNo_;
    // Full without meeting an end of line: longer than the buffer holds.
    if (in_.fail()) return Status::TooLong;
    // gcount() counts the LF it took; the last line of a file may have none.
    std::size_t len = std::size_t(taken) - (in_.eof() ? 0 : 1);
    if (len > 0 && buf_[len - 1] == '\r') --len;
    if (len > max_) return Status::TooLong;
    line = std::string_view(buf_.data(), len);
    return Status::Line;
}

}  // namespace kv
