#include "core/record/Capture.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/io/AtomicFile.h"
#include "core/record/LocalTime.h"

namespace kv {

std::string captureLine(double seconds, bool incoming, const uint8_t* data, std::size_t len) {
    static const char kHex[] = "0123456789ABCDEF";
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.3f", seconds < 0 ? 0.0 : seconds);
    std::string s = stamp;
    s += incoming ? " RX" : " TX";
    s.reserve(s.size() + 3 * len);
    for (std::size_t i = 0; i < len; ++i) {
        s += ' ';
        s += kHex[data[i] >> 4];
        s += kHex[data[i] & 0x0F];
    }
    return s;
}

std::string captureHeader(std::time_t started) {
    return "# KV2047 capture started " + formatLocal(started, "%Y-%m-%d %H:%M:%S %z") +
           " (seconds since then; RX from the meter, TX to the meter)";
}

CaptureFile::~CaptureFile() {
    if (f_) std::fclose(f_);
}

bool CaptureFile::open(const std::string& path, std::string* error) {
    if (f_) std::fclose(f_);
    f_ = nullptr;
    // Through the writer's link rules: never appended through another user's
    // link in a shared folder, at the name or on the way.
    std::string why;
    const int fd = openForAppend(path, &why);
    if (fd >= 0 && !(f_ = ::fdopen(fd, "a"))) {
        why = std::strerror(errno);
        ::close(fd);
    }
    if (!f_) {
        if (error) *error = path + ": " + why;
        return false;
    }
    start_ = std::chrono::steady_clock::now();
    good_ = true;
    const std::string header = captureHeader(std::time(nullptr)) + "\n";
    good_ = std::fputs(header.c_str(), f_) >= 0 && std::fflush(f_) == 0;
    return true;
}

void CaptureFile::record(bool incoming, const uint8_t* data, std::size_t len) {
    if (!f_ || len == 0) return;
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::string line = captureLine(secs, incoming, data, len) + "\n";
    if (std::fwrite(line.data(), 1, line.size(), f_) != line.size() || std::fflush(f_) != 0) good_ = false;
}

}  // namespace kv
