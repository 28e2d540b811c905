#pragma once
// A capture of the serial traffic for a support case: one line per read or
// write, "<seconds since the capture began> RX|TX <hex bytes>", RX for what
// the meter sent and TX for what the program wrote. Lines starting with '#'
// are comments (the capture's start time). `kv2047-tool decode` reads the RX
// lines back and `kv2047-sim --replay` sends them again.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace kv {

// One capture line without its newline, e.g. "12.345 RX AA 61 64".
std::string captureLine(double seconds, bool incoming, const uint8_t* data, std::size_t len);
// The comment that starts each capture session.
std::string captureHeader(std::time_t started);

class CaptureFile {
public:
    CaptureFile() = default;
    ~CaptureFile();
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    // Opens `path` for appending (an earlier capture is kept) and writes the
    // session's header. False with the reason in *error.
    bool open(const std::string& path, std::string* error);
    // Appends one line and flushes it, so a crash keeps everything up to it.
    void record(bool incoming, const uint8_t* data, std::size_t len);
    bool isOpen() const { return f_ != nullptr; }
    // False once a write failed.
    bool good() const { return good_; }

private:
    std::FILE* f_ = nullptr;
    bool good_ = true;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace kv
