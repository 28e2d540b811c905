// The system services on Linux (and other POSIX systems).
#include "core/platform/System.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>

namespace kv::sys {

std::tm localTime(std::time_t t, long* utcOffsetSeconds) {
    std::tm tm{};
    localtime_r(&t, &tm);
    if (utcOffsetSeconds) *utcOffsetSeconds = tm.tm_gmtoff;
    return tm;
}

int processId() { return static_cast<int>(::getpid()); }

std::filesystem::path fsPath(const std::string& utf8) { return std::filesystem::path(utf8); }
std::string utf8Of(const std::filesystem::path& p) { return p.string(); }

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    // A cron job or a service may run without HOME; the account still has one.
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && *pw->pw_dir) return pw->pw_dir;
    return {};
}

std::string defaultSerialDevice(int portNumber) { return "/dev/ttyUSB" + std::to_string(portNumber - 1); }

int createUnique(const std::string& folder, const std::string& prefix, std::string* path) {
    std::string tmp = (std::filesystem::path(folder) / (prefix + "XXXXXX")).string();
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return -1;
    ::fchmod(fd, 0644);
    *path = tmp;
    return fd;
}

bool lockFile(int fd) { return ::flock(fd, LOCK_EX) == 0; }
bool tryLockFile(int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; }

bool syncFile(int fd) { return ::fsync(fd) == 0; }

bool truncateFile(int fd, int64_t size) {
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0) return false;
    ::lseek(fd, static_cast<off_t>(size), SEEK_SET);
    return true;
}

// The folder entry of a new or renamed file survives a power cut only once
// the folder itself is flushed.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

std::FILE* openStream(const std::string& path, const char* mode) {
    // "e": the stream is not inherited by programs we start.
    return std::fopen(path.c_str(), (std::string(mode) + "e").c_str());
}

namespace {
int64_t nanoseconds(const struct timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec; }
}  // namespace

bool fileStamp(const std::string& path, FileStamp* stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    *stamp = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), static_cast<uint64_t>(st.st_size),
              nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
    return true;
}

int64_t fileSize(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }
bool renameFile(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }
bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace kv::sys
