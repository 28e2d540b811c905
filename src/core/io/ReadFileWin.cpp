// Opening what the programs read, on Windows: a pipe or a device at the name
// is no file (GetFileType), and a folder cannot be opened as one.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "core/io/ReadFile.h"
#include "core/platform/System.h"
#include "core/platform/WinPath.h"

namespace kv {

namespace {

// A file that is there, as a binary C runtime descriptor. The handle lets
// others rename and delete the file, as on Linux: a journal is renamed into
// place and removed while it is open.
int openExisting(const std::string& path, DWORD access, int flags) {
    const HANDLE h = ::CreateFileW(sys::widen(path).c_str(), access,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = sys::errnoOfWin32(::GetLastError());
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), flags | _O_BINARY);
    if (fd < 0) ::CloseHandle(h);
    return fd;
}

int openRead(const std::string& path) { return openExisting(path, GENERIC_READ, _O_RDONLY); }

// Read and write at the end, never created: a journal being taken over.
int openAppend(const std::string& path) {
    return openExisting(path, GENERIC_READ | GENERIC_WRITE, _O_RDWR | _O_APPEND);
}

}  // namespace

int openForReading(const std::string& path) { return openRead(path); }

int openRegularFile(const std::string& path, std::string* reason, OpenFor how) {
    const int fd = how == OpenFor::Reading ? openRead(path) : openAppend(path);
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
