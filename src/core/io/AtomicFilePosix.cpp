// The file writer on Linux: folder-relative calls on the target's folder,
// links followed by the kernel's rule, names exchanged to keep the older file.
#include "core/io/AtomicFile.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>   // renameat2, RENAME_EXCHANGE
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <random>

namespace kv {

namespace {

constexpr int kMaxLinkHops = 40;   // as the kernel allows
constexpr const char* kNotRegular = "It is not a regular file.";
constexpr const char* kRefusedLink =
    "It is a symbolic link owned by another user in a shared folder; it is not followed.";

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The kernel's protected-symlinks rule, applied whatever the sysctl says: in a
// sticky, world-writable folder a link is followed only when it belongs to us
// or to the folder's owner.
bool mayFollow(const struct stat& link, const std::string& folder) {
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0) return true;   // the walk fails later with the reason
    const bool shared = (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH);
    return !shared || link.st_uid == ::geteuid() || link.st_uid == dir.st_uid;
}

// Follows links at the final name: where the new file really goes. False with
// the reason when a link is refused, loops or cannot be read.
bool resolveTarget(const std::string& path, std::string* target, std::string* reason) {
    std::string cur = path;
    for (int hop = 0;; ++hop) {
        struct stat st {};
        if (::lstat(cur.c_str(), &st) != 0) {
            if (errno == ENOENT) break;   // a new file (or a missing folder, found below)
            *reason = std::strerror(errno);
            return false;
        }
        if (!S_ISLNK(st.st_mode)) break;
        if (hop >= kMaxLinkHops) {
            *reason = std::strerror(ELOOP);
            return false;
        }
        const std::string folder = folderOf(cur);
        if (!mayFollow(st, folder)) {
            *reason = kRefusedLink;
            return false;
        }
        char buf[PATH_MAX];
        const ssize_t n = ::readlink(cur.c_str(), buf, sizeof buf);
        if (n <= 0 || n >= static_cast<ssize_t>(sizeof buf)) {
            *reason = std::strerror(n < 0 ? errno : n == 0 ? ENOENT : ENAMETOOLONG);
            return false;
        }
        std::string next(buf, static_cast<std::size_t>(n));
        cur = (next.front() == '/' || cur.find('/') == std::string::npos) ? next : folder + "/" + next;
    }
    if (cur.empty() || cur.back() == '/') {
        *reason = std::strerror(EISDIR);
        return false;
    }
    *target = cur;
    return true;
}

// Checks the final name in its folder: a regular file or nothing, a name that
// fits. *existing gets the older file's status when there is one.
bool checkFinal(int dirFd, const std::string& name, struct stat* existing, bool* exists, std::string* reason) {
    const long nameMax = ::fpathconf(dirFd, _PC_NAME_MAX);
    if (name.size() > static_cast<std::size_t>(nameMax > 0 ? nameMax : NAME_MAX)) {
        *reason = std::strerror(ENAMETOOLONG);
        return false;
    }
    *exists = false;
    if (::fstatat(dirFd, name.c_str(), existing, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return true;
        *reason = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(existing->st_mode)) {
        *reason = std::strerror(EISDIR);
        return false;
    }
    // A device or a pipe would be replaced by a plain file, not written.
    if (!S_ISREG(existing->st_mode)) {
        *reason = kNotRegular;
        return false;
    }
    *exists = true;
    return true;
}

// Opens the folder for *at() calls and for syncing. A folder we may write but
// not list still takes the file, only without the folder sync.
int openFolder(const std::string& folder, bool* syncable) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    *syncable = fd >= 0;
    if (fd < 0 && errno == EACCES) fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return fd;
}

// A short name, whatever the final name's length: any legal final name gets a
// temporary that fits the folder's name limit. Hidden, and marked as ours.
std::string temporaryName(std::mt19937_64& rng) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s = ".kv2047-";
    for (int i = 0; i < 10; ++i) s += kChars[rng() % (sizeof kChars - 1)];
    return s + ".tmp";
}

bool unsupported(int err) { return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == ENOTTY; }

}  // namespace

void ignoreFileSizeSignal() {
    struct sigaction old {};
    if (::sigaction(SIGXFSZ, nullptr, &old) == 0 && old.sa_handler == SIG_DFL && !(old.sa_flags & SA_SIGINFO))
        ::signal(SIGXFSZ, SIG_IGN);
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    const bool hasA = ::stat(a.c_str(), &sa) == 0, hasB = ::stat(b.c_str(), &sb) == 0;
    if (hasA && hasB) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (hasA || hasB) return false;
    // Neither is there yet: the same name in the same folder once links are
    // followed (an output and a capture about to be created).
    std::string ta, tb, why;
    if (!resolveTarget(a, &ta, &why) || !resolveTarget(b, &tb, &why) || nameOf(ta) != nameOf(tb)) return false;
    if (::stat(folderOf(ta).c_str(), &sa) != 0 || ::stat(folderOf(tb).c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

AtomicFile::~AtomicFile() {
    discard();
    if (dirFd_ >= 0) ::close(dirFd_);
}

bool AtomicFile::checkReplaceable(const std::string& path, std::string* reason) {
    std::string target;
    if (path.empty()) {
        *reason = std::strerror(ENOENT);
        return false;
    }
    if (!resolveTarget(path, &target, reason)) return false;
    bool syncable = false;
    const int dirFd = openFolder(folderOf(target), &syncable);
    if (dirFd < 0) {
        *reason = std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool exists = false;
    bool ok = checkFinal(dirFd, nameOf(target), &st, &exists, reason);
    if (ok && ::faccessat(dirFd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        *reason = std::strerror(errno);
        ok = false;
    }
    ::close(dirFd);
    return ok;
}

bool AtomicFile::open() {
    ignoreFileSizeSignal();
    if (state_ != State::Idle) return fail("The file was already written.");
    if (path_.empty()) return failErrno(ENOENT);
    std::string target;
    if (!resolveTarget(path_, &target, &reason_)) return fail(reason_);
    name_ = nameOf(target);
    dirFd_ = openFolder(folderOf(target), &syncableDir_);
    if (dirFd_ < 0) return failErrno(errno);
    struct stat older {};
    bool exists = false;
    if (!checkFinal(dirFd_, name_, &older, &exists, &reason_)) return fail(reason_);

    std::mt19937_64 rng(std::random_device{}());
    // O_EXCL with O_CREAT never follows a link at the name: a link planted
    // there makes the name "taken" and another one is drawn.
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        const std::string name = temporaryName(rng);
        fd_ = ::openat(dirFd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0) tmpName_ = name;
        else if (errno != EEXIST) return failErrno(errno);
    }
    if (fd_ < 0) return failErrno(EEXIST);
    state_ = State::Open;
    if (exists) {
        // The replacement keeps the older file's permissions (and its owner
        // where we may give it).
        ::fchmod(fd_, older.st_mode & 0777);
        [[maybe_unused]] const int rc = ::fchown(fd_, older.st_uid, older.st_gid);
    }
    return true;
}

bool AtomicFile::write(const void* data, std::size_t size) {
    if (state_ != State::Open) return state_ == State::Failed ? false : fail("The file is not open.");
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        // A regular file that takes nothing is full.
        if (n <= 0) return failErrno(n < 0 ? errno : ENOSPC);
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFile::finish() {
    if (state_ == State::Finished) return true;
    if (state_ != State::Open) return state_ == State::Failed ? false : fail("The file is not open.");
    // fsync reports what a delayed allocation could not place (ENOSPC, EIO).
    if (::fsync(fd_) != 0) return failErrno(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return failErrno(errno);
    state_ = State::Finished;
    return true;
}

void AtomicFile::syncFolder() {
    if (syncableDir_) ::fsync(dirFd_);
}

bool AtomicFile::commit() {
    if (!finish()) return false;
    if (::renameat(dirFd_, tmpName_.c_str(), dirFd_, name_.c_str()) != 0) return failErrno(errno);
    tmpName_.clear();
    state_ = State::Committed;
    syncFolder();
    return true;
}

void AtomicFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tmpName_.empty() && dirFd_ >= 0) ::unlinkat(dirFd_, tmpName_.c_str(), 0);
    tmpName_.clear();
    keptOlder_ = false;
}

bool AtomicFile::placeForPair() {
    // Exchanging the names keeps the older file (under the temporary's name)
    // until the pair is complete, so it can be put back.
    if (::renameat2(dirFd_, tmpName_.c_str(), dirFd_, name_.c_str(), RENAME_EXCHANGE) == 0) {
        keptOlder_ = true;
        state_ = State::Committed;
        return true;
    }
    const int err = errno;
    if (err != ENOENT && !unsupported(err)) return failErrno(err);
    if (::renameat(dirFd_, tmpName_.c_str(), dirFd_, name_.c_str()) != 0) return failErrno(errno);
    createdNew_ = err == ENOENT;
    tmpName_.clear();
    state_ = State::Committed;
    return true;
}

bool AtomicFile::undoPlace() {
    if (keptOlder_) {
        if (::renameat2(dirFd_, tmpName_.c_str(), dirFd_, name_.c_str(), RENAME_EXCHANGE) != 0) return false;
        keptOlder_ = false;   // the temporary's name holds the new file again: discard() removes it
    } else if (createdNew_) {
        if (::unlinkat(dirFd_, name_.c_str(), 0) != 0) return false;
    } else {
        return false;
    }
    state_ = State::Finished;
    return true;
}

void AtomicFile::dropOlder() {
    if (keptOlder_) ::unlinkat(dirFd_, tmpName_.c_str(), 0);
    tmpName_.clear();
    keptOlder_ = false;
    syncFolder();
}

}  // namespace kv
