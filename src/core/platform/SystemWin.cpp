// The system services on Windows: UTF-8 paths become wide strings here, and
// Win32 errors become errno values so messages read as they do on Linux.
#include "core/platform/System.h"

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <random>

#include "core/platform/WinPath.h"

namespace kv::sys {

namespace {

// Far beyond any journal's end: a lock there stops no reader of the data.
constexpr DWORD kLockOffsetHigh = 0x40000000;

HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

int adopt(HANDLE h, int flags) {
    if (h == INVALID_HANDLE_VALUE) {
        errno = errnoOfWin32(::GetLastError());
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), flags | _O_BINARY);
    if (fd < 0) ::CloseHandle(h);
    return fd;
}

// Every handle lets others rename and delete the file, as on Linux: a journal
// is renamed into place and removed while it is open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool lock(int fd, DWORD flags) {
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    if (::LockFileEx(handleOf(fd), flags | LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) return true;
    errno = errnoOfWin32(::GetLastError());
    return false;
}

}  // namespace

std::tm localTime(std::time_t t, long* utcOffsetSeconds) {
    std::tm tm{};
    ::localtime_s(&tm, &t);
    if (utcOffsetSeconds) {
        std::tm asUtc = tm;
        *utcOffsetSeconds = static_cast<long>(::_mkgmtime(&asUtc) - t);
    }
    return tm;
}

int processId() { return static_cast<int>(::GetCurrentProcessId()); }

std::filesystem::path fsPath(const std::string& utf8) { return std::filesystem::path(widen(utf8)); }
std::string utf8Of(const std::filesystem::path& p) { return narrow(p.wstring()); }

std::string homeFolder() {
    wchar_t buf[MAX_PATH + 1];
    const DWORD n = ::GetEnvironmentVariableW(L"USERPROFILE", buf, MAX_PATH + 1);
    return n > 0 && n <= MAX_PATH ? narrow(std::wstring(buf, n)) : std::string();
}

std::string defaultSerialDevice(int portNumber) { return "COM" + std::to_string(portNumber); }

int createUnique(const std::string& folder, const std::string& prefix, std::string* path) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::mt19937_64 rng(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix;
        for (int i = 0; i < 6; ++i) name += kChars[rng() % (sizeof kChars - 1)];
        const std::string p = folder.empty() ? name : folder + "\\" + name;
        const HANDLE h = ::CreateFileW(widen(p).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_EXISTS) continue;
        const int fd = adopt(h, _O_RDWR);
        if (fd >= 0) *path = p;
        return fd;
    }
    errno = EEXIST;
    return -1;
}

bool lockFile(int fd) { return lock(fd, 0); }
bool tryLockFile(int fd) { return lock(fd, LOCKFILE_FAIL_IMMEDIATELY); }

bool syncFile(int fd) {
    if (::FlushFileBuffers(handleOf(fd))) return true;
    errno = errnoOfWin32(::GetLastError());
    return false;
}

bool truncateFile(int fd, int64_t size) {
    if (::_chsize_s(fd, size) != 0) return false;
    ::_lseeki64(fd, size, SEEK_SET);
    return true;
}

// NTFS makes a rename last with the file; MOVEFILE_WRITE_THROUGH waits for it.
void syncFolder(const std::string&) {}

std::FILE* openStream(const std::string& path, const char* mode) {
    std::wstring m = widen(mode);
    if (m.find(L'b') == std::wstring::npos) m += L'b';
    m += L'N';   // not inherited by programs we start
    return ::_wfopen(widen(path).c_str(), m.c_str());
}

bool fileStamp(const std::string& path, FileStamp* stamp) {
    WIN32_FILE_ATTRIBUTE_DATA d{};
    if (!::GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &d)) return false;
    auto whole = [](DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; };
    // FILETIME counts 100 ns; a replaced file (the writer's rename) gets a new creation time.
    *stamp = {0, 0, whole(d.nFileSizeHigh, d.nFileSizeLow),
              static_cast<int64_t>(whole(d.ftLastWriteTime.dwHighDateTime, d.ftLastWriteTime.dwLowDateTime) * 100),
              static_cast<int64_t>(whole(d.ftCreationTime.dwHighDateTime, d.ftCreationTime.dwLowDateTime) * 100)};
    return true;
}

int64_t fileSize(int fd) { return ::_filelengthi64(fd); }

bool exists(const std::string& path) { return ::GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool renameFile(const std::string& from, const std::string& to) {
    if (::MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = errnoOfWin32(::GetLastError());
    return false;
}

bool removeFile(const std::string& path) {
    if (::DeleteFileW(widen(path).c_str())) return true;
    errno = errnoOfWin32(::GetLastError());
    return false;
}

}  // namespace kv::sys
