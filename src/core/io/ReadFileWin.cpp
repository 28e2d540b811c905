// Opening what the programs read, on Windows: a pipe or a device at the name
// is no file (GetFileType), and a folder cannot be opened as one.
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "core/io/ReadFile.h"
#include "core/platform/System.h"

namespace kv {

int openForReading(const std::string& path) { return sys::openRead(path); }

int openRegularFile(const std::string& path, std::string* reason, OpenFor how) {
    const int fd = how == OpenFor::Reading ? sys::openRead(path) : sys::openAppend(path);
    if (fd < 0) {
        // A folder refuses to be opened as a file.
        const DWORD at = ::GetFileAttributesW(sys::fsPath(path).c_str());
        const bool folder = at != INVALID_FILE_ATTRIBUTES && (at & FILE_ATTRIBUTE_DIRECTORY);
        if (folder) errno = EISDIR;
        if (reason) *reason = std::strerror(errno);
        return -1;
    }
    if (::GetFileType(reinterpret_cast<HANDLE>(::_get_osfhandle(fd))) != FILE_TYPE_DISK) {
        ::_close(fd);
        if (reason) *reason = "It is not a regular file.";
        errno = EINVAL;
        return -1;
    }
    return fd;
}

}  // namespace kv
