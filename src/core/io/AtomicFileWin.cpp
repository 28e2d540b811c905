// The file writer on Windows: the temporary is created with CREATE_NEW beside
// the target, flushed with FlushFileBuffers and moved over the target with
// MOVEFILE_WRITE_THROUGH; a pair keeps each older file with ReplaceFileW until
// both are in place. Names Windows refuses or would change are refused first.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "core/io/AtomicFile.h"
#include "core/io/WindowsNames.h"
#include "core/platform/WinPath.h"

namespace kv {

namespace {

using sys::errnoOfWin32;
using sys::widen;

std::string folderOf(const std::string& path) {
    const auto sep = path.find_last_of("/\\");
    if (sep == std::string::npos) return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) + "." : ".";
    if (sep == 0) return "\\";
    if (sep == 2 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, sep);
}

std::string inFolder(const std::string& folder, const std::string& name) {
    return folder.back() == '\\' || folder.back() == '/' ? folder + name : folder + "\\" + name;
}

DWORD attributesOf(const std::string& path) { return ::GetFileAttributesW(widen(path).c_str()); }

// What open() and checkReplaceable() check: a name Windows takes, a folder
// that is there, and nothing but a file (or nothing) at the name.
bool checkTarget(const std::string& path, std::string* reason) {
    if (path.empty()) {
        *reason = std::strerror(ENOENT);
        return false;
    }
    if (std::string why = windowsNameProblem(path); !why.empty()) {
        *reason = why;
        return false;
    }
    const DWORD folder = attributesOf(folderOf(path));
    if (folder == INVALID_FILE_ATTRIBUTES || !(folder & FILE_ATTRIBUTE_DIRECTORY)) {
        *reason = std::strerror(folder == INVALID_FILE_ATTRIBUTES ? ENOENT : ENOTDIR);
        return false;
    }
    const char last = path.back();
    const DWORD at = attributesOf(path);
    if (last == '/' || last == '\\' || (at != INVALID_FILE_ATTRIBUTES && (at & FILE_ATTRIBUTE_DIRECTORY))) {
        *reason = std::strerror(EISDIR);
        return false;
    }
    if (at == INVALID_FILE_ATTRIBUTES && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
        *reason = std::strerror(errnoOfWin32(::GetLastError()));
        return false;
    }
    return true;
}

// A name of our own beside the target that nothing holds yet.
std::string freeName(const std::string& folder, std::mt19937_64& rng) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s = ".kv2047-";
    for (int i = 0; i < 10; ++i) s += kChars[rng() % (sizeof kChars - 1)];
    return inFolder(folder, s + ".tmp");
}

HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

// Volume and file index: the same file under any of its names.
bool fileId(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    const HANDLE h = ::CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = ::GetFileInformationByHandle(h, info);
    ::CloseHandle(h);
    return ok;
}

std::wstring fullPath(const std::string& path) {
    wchar_t buf[32768];
    const DWORD n = ::GetFullPathNameW(widen(path).c_str(), 32768, buf, nullptr);
    std::wstring w(buf, n < 32768 ? n : 0);
    ::CharLowerBuffW(w.data(), static_cast<DWORD>(w.size()));
    for (auto& c : w)
        if (c == L'/') c = L'\\';
    return w;
}

}  // namespace

// Windows has no file-size signal: a write past a quota fails and is reported.
void ignoreFileSizeSignal() {}

bool sameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    const bool hasA = fileId(a, &ia), hasB = fileId(b, &ib);
    if (hasA && hasB)
        return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
               ia.nFileIndexLow == ib.nFileIndexLow;
    if (hasA || hasB) return false;
    // Neither is there yet: the same full name (Windows names ignore case).
    return fullPath(a) == fullPath(b);
}

int openForAppend(const std::string& path, std::string* reason) {
    if (std::string why = windowsNameProblem(path); !why.empty()) {
        *reason = why;
        return -1;
    }
    const HANDLE h = ::CreateFileW(widen(path).c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *reason = std::strerror(errnoOfWin32(::GetLastError()));
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_APPEND | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(h);
        *reason = std::strerror(EMFILE);
    }
    return fd;
}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::checkReplaceable(const std::string& path, std::string* reason) { return checkTarget(path, reason); }

bool AtomicFile::open() {
    if (state_ != State::Idle) return fail("The file was already written.");
    if (!checkTarget(path_, &reason_)) return fail(reason_);
    name_ = path_;
    std::mt19937_64 rng(std::random_device{}());
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        const std::string tmp = freeName(folderOf(path_), rng);
        const HANDLE h = ::CreateFileW(widen(tmp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (::GetLastError() != ERROR_FILE_EXISTS) return failErrno(errnoOfWin32(::GetLastError()));
            continue;
        }
        fd_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
        if (fd_ < 0) {
            ::CloseHandle(h);
            ::DeleteFileW(widen(tmp).c_str());
            return failErrno(EMFILE);
        }
        tmpName_ = tmp;
    }
    if (fd_ < 0) return failErrno(EEXIST);
    state_ = State::Open;
    return true;
}

bool AtomicFile::write(const void* data, std::size_t size) {
    if (state_ != State::Open) return state_ == State::Failed ? false : fail("The file is not open.");
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD n = 0;
        if (!::WriteFile(handleOf(fd_), p, chunk, &n, nullptr)) return failErrno(errnoOfWin32(::GetLastError()));
        if (n == 0) return failErrno(ENOSPC);
        p += n;
        size -= n;
    }
    return true;
}

bool AtomicFile::finish() {
    if (state_ == State::Finished) return true;
    if (state_ != State::Open) return state_ == State::Failed ? false : fail("The file is not open.");
    if (!::FlushFileBuffers(handleOf(fd_))) return failErrno(errnoOfWin32(::GetLastError()));
    const int fd = fd_;
    fd_ = -1;
    if (::_close(fd) != 0) return failErrno(errno);
    state_ = State::Finished;
    return true;
}

void AtomicFile::syncFolder() {}

bool AtomicFile::commit() {
    if (!finish()) return false;
    if (!::MoveFileExW(widen(tmpName_).c_str(), widen(name_).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return failErrno(errnoOfWin32(::GetLastError()));
    tmpName_.clear();
    state_ = State::Committed;
    return true;
}

void AtomicFile::discard() {
    if (fd_ >= 0) ::_close(fd_);
    fd_ = -1;
    if (!tmpName_.empty()) ::DeleteFileW(widen(tmpName_).c_str());
    tmpName_.clear();
    keptOlder_ = false;
}

bool AtomicFile::placeForPair() {
    if (attributesOf(name_) == INVALID_FILE_ATTRIBUTES) {
        if (!::MoveFileExW(widen(tmpName_).c_str(), widen(name_).c_str(), MOVEFILE_WRITE_THROUGH))
            return failErrno(errnoOfWin32(::GetLastError()));
        createdNew_ = true;
        tmpName_.clear();
        state_ = State::Committed;
        return true;
    }
    // The older file moves to a name of our own until the pair is complete,
    // so it can be put back.
    std::mt19937_64 rng(std::random_device{}());
    const std::string older = freeName(folderOf(name_), rng);
    if (!::ReplaceFileW(widen(name_).c_str(), widen(tmpName_).c_str(), widen(older).c_str(),
                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        const DWORD err = ::GetLastError();
        // The older file already went to the backup name but the new one did
        // not take its name: the older one goes back before the failure
        // removes the temporary, or it would stay under our hidden name.
        if (err == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            ::MoveFileExW(widen(older).c_str(), widen(name_).c_str(), MOVEFILE_WRITE_THROUGH);
        return failErrno(errnoOfWin32(err));
    }
    tmpName_ = older;
    keptOlder_ = true;
    state_ = State::Committed;
    return true;
}

bool AtomicFile::undoPlace() {
    if (keptOlder_) {
        // The older file takes its name back in one rename, the new one going
        // with it. ReplaceFileW could fail half-way, the new file deleted and
        // the older one still under our name, where dropOlder() would remove
        // the only copy.
        if (!::MoveFileExW(widen(tmpName_).c_str(), widen(name_).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return false;
        tmpName_.clear();
        keptOlder_ = false;
    } else if (createdNew_) {
        if (!::DeleteFileW(widen(name_).c_str())) return false;
    } else {
        return false;
    }
    state_ = State::Finished;
    return true;
}

void AtomicFile::dropOlder() {
    if (keptOlder_) ::DeleteFileW(widen(tmpName_).c_str());
    tmpName_.clear();
    keptOlder_ = false;
}

}  // namespace kv
