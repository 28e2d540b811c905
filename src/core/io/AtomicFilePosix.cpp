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
#include <algorithm>
#include <cstring>
#include <deque>
#include <random>

namespace kv {

namespace {

constexpr int kMaxLinkHops = 40;   // as the kernel allows
constexpr const char* kNotRegular = "It is not a regular file.";
constexpr const char* kRefusedLink =
    "It is a symbolic link owned by another user in a shared folder; it is not followed.";
constexpr const char* kRefusedFolderLink =
    " is a symbolic link owned by another user in a shared folder; it is not followed.";
constexpr const char* kOthersFile =
    "It belongs to another user in a shared folder; it cannot be replaced.";
constexpr const char* kOthersAppend =
    "It belongs to another user in a shared folder; it is not written to.";

// Where a path leads: the folder that holds its final name, opened, and that
// name, which is no link (or nothing yet).
struct Place {
    int dirFd = -1;
    std::string name;
    bool syncable = false;   // the folder was opened for reading: it can be flushed
};

// Opens a folder below `at` without following a link at its name. A folder we
// may write but not list is opened as a path only (no folder sync then).
int openSubfolder(int at, const char* name, bool* syncable) {
    int fd = ::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    *syncable = fd >= 0;
    if (fd < 0 && errno == EACCES) fd = ::openat(at, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd;
}

bool isShared(const struct stat& dir) { return (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH); }

// Walks `path` folder by folder as the kernel would, but follows each link
// itself. The kernel's protected-symlinks rule is applied whatever the sysctl
// says, and at every part of the path, not only at its final name: below a
// sticky, world-writable folder (such as /tmp) a link is followed only when it
// belongs to us or to that folder's owner. Another user could aim one at any
// file or folder of ours. Nothing on the way is opened through a link that was
// not checked (O_NOFOLLOW at every step). Links at the final name are followed
// too. False with the reason when the path cannot lead anywhere.
bool walkTo(const std::string& path, Place* place, std::string* reason) {
    if (path.empty()) {
        *reason = std::strerror(ENOENT);
        return false;
    }
    // A name ending in '/' names a folder, never a file.
    if (path.back() == '/') {
        *reason = std::strerror(EISDIR);
        return false;
    }
    std::deque<std::string> rest;
    auto pushFront = [&rest](const std::string& p) {
        std::deque<std::string> parts;
        std::size_t from = 0;
        while (from <= p.size()) {
            const std::size_t to = std::min(p.find('/', from), p.size());
            if (to > from && p.compare(from, to - from, ".") != 0) parts.emplace_back(p, from, to - from);
            from = to + 1;
        }
        rest.insert(rest.begin(), parts.begin(), parts.end());
    };
    bool syncable = false;
    int dir = -1;
    bool below = false;   // a sticky, world-writable folder was passed
    uid_t sharedOwner = 0;
    std::string walked;
    // Makes `fd` the folder walked in; `st` is its status, as found on the way.
    auto enter = [&](int fd, const struct stat& st) {
        if (dir >= 0) ::close(dir);
        dir = fd;
        if (isShared(st)) {
            below = true;
            sharedOwner = st.st_uid;
        }
    };
    auto restart = [&](const std::string& p) {
        const bool absolute = !p.empty() && p.front() == '/';
        if (dir >= 0 && !absolute) return true;
        if (absolute) {
            below = false;
            walked = "/";
        }
        const int fd = ::open(absolute ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            if (fd >= 0) ::close(fd);
            return false;
        }
        syncable = true;
        enter(fd, st);
        return true;
    };
    auto failWith = [&](const std::string& why) {
        if (dir >= 0) ::close(dir);
        *reason = why;
        return false;
    };
    if (!restart(path)) return failWith(std::strerror(errno));
    pushFront(path);
    int hops = 0;
    std::string last = ".";
    while (!rest.empty()) {
        const std::string part = rest.front();
        rest.pop_front();
        const std::string shown = walked.empty() ? part : walked + (walked.back() == '/' ? "" : "/") + part;
        struct stat st {};
        if (::fstatat(dir, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            // A new file; a folder on the way that is missing is an error.
            if (errno == ENOENT && rest.empty()) {
                last = part;
                break;
            }
            return failWith(std::strerror(errno));
        }
        if (S_ISLNK(st.st_mode)) {
            if (++hops > kMaxLinkHops) return failWith(std::strerror(ELOOP));
            if (below && st.st_uid != ::geteuid() && st.st_uid != sharedOwner)
                return failWith(rest.empty() ? kRefusedLink : shown + kRefusedFolderLink);
            char buf[PATH_MAX];
            const ssize_t n = ::readlinkat(dir, part.c_str(), buf, sizeof buf);
            if (n <= 0 || n >= static_cast<ssize_t>(sizeof buf))
                return failWith(std::strerror(n < 0 ? errno : n == 0 ? ENOENT : ENAMETOOLONG));
            const std::string target(buf, static_cast<std::size_t>(n));
            // A link whose target ends in '/' names a folder.
            if (rest.empty() && target.back() == '/') return failWith(std::strerror(EISDIR));
            if (!restart(target)) return failWith(std::strerror(errno));
            pushFront(target);
            continue;
        }
        if (rest.empty()) {
            last = part;
            break;
        }
        if (!S_ISDIR(st.st_mode)) return failWith(std::strerror(ENOTDIR));
        const int fd = openSubfolder(dir, part.c_str(), &syncable);
        if (fd < 0) return failWith(std::strerror(errno));
        enter(fd, st);
        walked = shown;
    }
    place->dirFd = dir;
    place->name = last;
    place->syncable = syncable;
    return true;
}

// The sticky bit's rule, for everybody alike: another user's file in a sticky
// folder is not ours to replace, nor to append to (it may have been put there
// for us to write into).
bool othersInStickyFolder(int dirFd, const struct stat& file) {
    struct stat dir {};
    return ::fstat(dirFd, &dir) == 0 && (dir.st_mode & S_ISVTX) && file.st_uid != ::geteuid() &&
           file.st_uid != dir.st_uid;
}

// Checks the final name in its folder: a regular file or nothing, a name that
// fits, a file we may replace. *existing gets the older file's status when
// there is one.
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
    // Said now, not at the rename after hours of recording.
    if (othersInStickyFolder(dirFd, *existing)) {
        *reason = kOthersFile;
        return false;
    }
    *exists = true;
    return true;
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
    Place pa, pb;
    std::string why;
    bool same = false;
    if (walkTo(a, &pa, &why) && walkTo(b, &pb, &why) && pa.name == pb.name && ::fstat(pa.dirFd, &sa) == 0 &&
        ::fstat(pb.dirFd, &sb) == 0)
        same = sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (pa.dirFd >= 0) ::close(pa.dirFd);
    if (pb.dirFd >= 0) ::close(pb.dirFd);
    return same;
}

int openForAppend(const std::string& path, std::string* reason) {
    ignoreFileSizeSignal();
    Place place;
    if (!walkTo(path, &place, reason)) return -1;
    // Never waits for a reader of a pipe at the name; writes wait as usual.
    const int fd = ::openat(place.dirFd, place.name.c_str(),
                            O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        *reason = std::strerror(errno);
        ::close(place.dirFd);
        return -1;
    }
    // A file, or a device or pipe that takes the lines (/dev/null, a reader).
    struct stat st {};
    const bool fstatOk = ::fstat(fd, &st) == 0;
    const bool others = fstatOk && othersInStickyFolder(place.dirFd, st);
    ::close(place.dirFd);
    if (!fstatOk || others || !(S_ISREG(st.st_mode) || S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        ::close(fd);
        *reason = others ? kOthersAppend : kNotRegular;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

AtomicFile::~AtomicFile() {
    discard();
    if (dirFd_ >= 0) ::close(dirFd_);
}

bool AtomicFile::checkReplaceable(const std::string& path, std::string* reason) {
    Place place;
    if (!walkTo(path, &place, reason)) return false;
    struct stat st {};
    bool exists = false;
    bool ok = checkFinal(place.dirFd, place.name, &st, &exists, reason);
    if (ok && ::faccessat(place.dirFd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        *reason = std::strerror(errno);
        ok = false;
    }
    ::close(place.dirFd);
    return ok;
}

bool AtomicFile::open() {
    ignoreFileSizeSignal();
    if (state_ != State::Idle) return fail("The file was already written.");
    Place place;
    if (!walkTo(path_, &place, &reason_)) return fail(reason_);
    name_ = place.name;
    dirFd_ = place.dirFd;
    syncableDir_ = place.syncable;
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
