#pragma once
// The one way the programs replace a file (a saved run and its text table, an
// export, a report, the configuration file): the new content goes to a
// temporary file created exclusively in the target's folder, is flushed to the
// disk and only then renamed over the target. A failure at any step leaves the
// older file as it was and no temporary behind.
//
// A symbolic link at the target is followed and its target replaced, link by
// link, except a link that the kernel's protected-symlinks rule would not let
// us follow: one in a sticky, world-writable folder (such as /tmp), or in a
// folder below one, owned by neither us nor that folder's owner. Another user
// could aim it at any file or folder we can write, so it is refused, at the
// file's name and at every folder on the way. Another user's file in a sticky
// folder is refused as well: the sticky bit does not let us replace it.
//
// The system calls are in AtomicFilePosix.cpp and AtomicFileWin.cpp. On
// Windows the temporary is flushed with FlushFileBuffers and moved over the
// target with MOVEFILE_WRITE_THROUGH (ReplaceFileW keeps a pair's older file),
// and names Windows refuses or would change are refused (WindowsNames.h).
#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

// A write beyond the file-size limit (RLIMIT_FSIZE) raises SIGXFSZ, which
// ends the program by default. Ignored, the write fails with EFBIG and is
// reported like a full disk. Leaves a handler somebody installed alone.
void ignoreFileSizeSignal();

// True when both paths name the same file (device and inode, links followed),
// or, when neither is there yet, the same name in the same folder: an output
// that is an input must not replace it.
bool sameFile(const std::string& a, const std::string& b);

// Opens `path` for appending, creating it when missing: captures and logs. The
// writer's rules hold (no refused link at the name or on the way, no other
// user's file in a sticky folder); a device or a pipe at the name is written
// too, but opening never waits for a pipe's reader. -1 with the reason.
int openForAppend(const std::string& path, std::string* reason);

class AtomicFile {
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile();   // discards whatever was not committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary beside the target. False (with reason()) when the
    // target cannot be replaced: no such folder, a folder or a device at the
    // path, a name too long, a link refused, no permission.
    bool open();
    // Appends bytes; a short write (a full disk) is an error, not a success.
    bool write(const void* data, std::size_t size);
    bool write(std::string_view bytes) { return write(bytes.data(), bytes.size()); }
    // Flushes the temporary to the disk and closes it; nothing is replaced yet.
    bool finish();
    // finish(), then renames the temporary over the target.
    bool commit();
    // Removes the temporary; a committed file stays.
    void discard();

    // The path as the user gave it; messages name it, never the temporary.
    const std::string& path() const { return path_; }
    // Why the last step failed, e.g. "No space left on device".
    const std::string& reason() const { return reason_; }
    // "<path>: <reason>".
    std::string error() const { return path_ + ": " + reason_; }
    bool committed() const { return state_ == State::Committed; }
    bool failed() const { return state_ == State::Failed; }

    // What open() checks, without creating anything: whether `path` could be
    // replaced now. False with the reason in *reason.
    static bool checkReplaceable(const std::string& path, std::string* reason);

private:
    enum class State { Idle, Open, Finished, Committed, Failed };
    friend bool commitPair(AtomicFile& first, AtomicFile& second);

    bool fail(const std::string& why);
    bool failErrno(int err);
    bool placeForPair();   // renames in, keeping the older file under the temporary's name when it can
    bool undoPlace();      // puts the older file back after placeForPair()
    void dropOlder();      // removes the older file kept by placeForPair()
    void syncFolder();

    std::string path_;
    std::string reason_;
    std::string name_;       // final name in the folder (after following links)
    std::string tmpName_;    // temporary's name in the same folder
    int dirFd_ = -1;
    int fd_ = -1;
    bool syncableDir_ = false;
    bool keptOlder_ = false;  // after placeForPair(): the older file sits under tmpName_
    bool createdNew_ = false; // after placeForPair(): there was no older file
    State state_ = State::Idle;
};

// Commits two finished files as a pair, `first` then `second`: both are
// complete and on the disk before either is renamed, so a full disk or any
// write error leaves both older files as they were. When the second rename
// fails after the first succeeded, the first is put back (the older file is
// swapped in again) where the file system can exchange names; where it cannot,
// `first` stays replaced and committed() tells. Pass the file that matters
// less first. On failure the file that failed holds the reason.
bool commitPair(AtomicFile& first, AtomicFile& second);

// Replaces `path` with `bytes`. On failure *error is "<path>: <reason>".
bool replaceFile(const std::string& path, std::string_view bytes, std::string* error);

}  // namespace kv
