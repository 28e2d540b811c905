#pragma once
// Lines of a text file read from outside (a capture, hex reads), each held in
// a buffer of fixed size: a line without an end (a binary file, /dev/zero)
// is refused once it outgrows the buffer instead of growing without bound.
#include <cstddef>
#include <istream>
#include <string_view>
#include <vector>

namespace kv {

// The longest line taken. A read of 46 bytes is 140 characters as hex.
inline constexpr std::size_t kMaxLineLength = 64 * 1024;

class LineReader {
public:
    enum class Status { Line, TooLong, End };

    explicit LineReader(std::istream& in, std::size_t maxLength = kMaxLineLength);

    // The next line without its end (LF, or CR LF) in `line`, valid until the
    // next call. TooLong leaves the stream inside that line: its reader stops.
    Status next(std::string_view& line);
    // 1-based number of the line last returned.
    long lineNumber() const { return lineNo_; }

private:
    std::istream& in_;
    std::size_t max_;
    std::vector<char> buf_;
    long lineNo_ = 0;
};

}  // namespace kv
