#include "core/io/ReadFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kv {

int openForReading(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int openRegularFile(const std::string& path, std::string* reason, OpenFor how) {
    // Never waits for the other end of a pipe at the name.
    const int access = how == OpenFor::Reading ? O_RDONLY : O_WRONLY | O_APPEND;
    const int fd = ::open(path.c_str(), access | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (reason) *reason = std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool folder = S_ISDIR(st.st_mode);
        ::close(fd);
        if (reason) *reason = folder ? std::strerror(EISDIR) : "It is not a regular file.";
        errno = EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool readBounded(int fd, std::size_t maxBytes, std::string* bytes) {
    bytes->clear();
    struct stat st {};
    const std::size_t expected = ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
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
