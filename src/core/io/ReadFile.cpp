// Reading what was opened, bounded, on every system (the opening is in
// ReadFilePosix.cpp and ReadFileWin.cpp).
#include "core/io/ReadFile.h"

#include <unistd.h>   // read, close (io.h's on Windows)

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/platform/System.h"

namespace kv {

bool readBounded(int fd, std::size_t maxBytes, std::string* bytes) {
    bytes->clear();
    const int64_t size = sys::fileSize(fd);
    const std::size_t expected = size > 0 ? static_cast<std::size_t>(size) : 0;
    const std::size_t limit = maxBytes + 1;
    bytes->resize(std::min(std::max<std::size_t>(expected + 1, 4096), limit));
    std::size_t got = 0;
    while (got < limit) {
        if (got == bytes->size()) bytes->resize(std::min(bytes->size() * 2, limit));   // it grew while we read
        const ssize_t n = ::read(fd, bytes->data() + got, bytes->size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            bytes->clear();
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes->resize(got);
    return true;
}

bool readRegularFile(const std::string& path, std::size_t maxBytes, std::string* bytes, std::string* reason) {
    bytes->clear();
    const int fd = openRegularFile(path, reason);
    if (fd < 0) return false;
    const bool ok = readBounded(fd, maxBytes, bytes);
    const int err = errno;
    ::close(fd);
    if (!ok) {
        if (reason) *reason = std::strerror(err);
        errno = err;
        return false;
    }
    if (bytes->size() > maxBytes) {
        bytes->clear();
        if (reason) *reason = "It is larger than such a file can be.";
        errno = EFBIG;
        return false;
    }
    return true;
}

}  // namespace kv
