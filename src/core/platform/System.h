#pragma once
// The few system services that differ between Linux and Windows, behind one
// interface with one small file per platform (SystemPosix.cpp, SystemWin.cpp).
// The rules above it (the journal, the settings file, local time, captures)
// call only these.
//
// Paths are UTF-8 throughout the program; on Windows they become wide strings
// at the system call, and both '\' and '/' separate folders there. Files are
// C runtime descriptors in binary mode; a failure leaves its reason in errno,
// so every message reads the same on both systems.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

namespace kv::sys {

// Local calendar time of `t`, and its offset from UTC in seconds (east positive).
std::tm localTime(std::time_t t, long* utcOffsetSeconds = nullptr);

// The calling process's id.
int processId();

// A std::filesystem path of a UTF-8 path, and the UTF-8 form of a path.
std::filesystem::path fsPath(const std::string& utf8);
std::string utf8Of(const std::filesystem::path& p);

// The user's home folder: $HOME, else the password database's entry on Linux;
// the profile folder on Windows. Empty when there is none.
std::string homeFolder();

// The device COMn names when the configuration gives none.
std::string defaultSerialDevice(int portNumber);

// ---- files as descriptors (-1 and errno on failure) ----
// A new file, created exclusively in `folder` with a unique name that starts
// with `prefix`; readable by others where that means something. *path gets its path.
int createUnique(const std::string& folder, const std::string& prefix, std::string* path);
// Whole-file lock held until the descriptor closes; it never stops reads
// through other descriptors. tryLock() does not wait.
bool lockFile(int fd);
bool tryLockFile(int fd);
// Pushes what was written to the disk.
bool syncFile(int fd);
// Cuts the file to `size` bytes and puts the position there.
bool truncateFile(int fd, int64_t size);
// Makes a new or renamed folder entry last (a no-op where the system does it).
void syncFolder(const std::string& folder);

// A C stream on a path ("rb", "ab", ...), binary everywhere.
std::FILE* openStream(const std::string& path, const char* mode);

// What tells one version of a file on the disk from another; false when
// there is no file at `path`.
struct FileStamp {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t modifiedNs = 0, changedNs = 0;
};
bool fileStamp(const std::string& path, FileStamp* stamp);
// The size of an open file, -1 when it cannot be told.
int64_t fileSize(int fd);

bool exists(const std::string& path);
// Renames, replacing a file at `to`.
bool renameFile(const std::string& from, const std::string& to);
bool removeFile(const std::string& path);

}  // namespace kv::sys
