#pragma once
// The run journal: while a run records, every committed sample is appended to
// a small file and pushed to the disk, so that a crash, a kill or a power cut
// loses at most the sample being taken. A journal is marked finished only once
// its run's files are written, or the user chose not to keep the run (a new
// run, closing without saving): a run that ended but could not be saved stays
// recoverable. On the next start an unfinished one can be recovered into the
// live series or set aside. The file's layout is in JournalFormat.h.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <sys/types.h>
#include <vector>

#include "core/record/JournalFormat.h"

namespace kv {

struct Model;
struct RunState;

inline constexpr const char* kJournalSuffix = ".kvj";
// What a journal declined for recovery is renamed to (the suffix is appended).
inline constexpr const char* kJournalAsideSuffix = ".declined";

// A journal found in a folder by findUnfinishedJournals().
struct JournalEntry {
    std::string path;
    JournalHeader header;
    int32_t count = 0;
};

// Reads a journal file: false (with a reason) when it cannot be read or its
// header is missing or damaged.
bool readJournal(const std::string& path, JournalContents& out, std::string* error);

// The journal folder: `besideConfig` when the configuration's folder was given
// (--config-dir or $KV2047_CONFIG_DIR), else $XDG_STATE_HOME/kv2047, else
// ~/.local/state/kv2047 (the home folder from HOME, else the account's).
std::string journalDirFor(const std::string& besideConfig);

// Unfinished journals with at least one sample that no running program holds,
// newest run first. Journals without a sample are removed on the way.
std::vector<JournalEntry> findUnfinishedJournals(const std::string& dir);

// Renames a journal aside (…kvj.declined, or a numbered variant) so it is not
// offered again but nothing is deleted. Returns the new path, empty on failure.
std::string setJournalAside(const std::string& path, std::string* error);

// The journal a program keeps for its current run. It holds an exclusive lock
// on the file while open, so other programs neither offer it for recovery nor
// remove it.
class RunJournal {
public:
    explicit RunJournal(std::string dir = {});
    ~RunJournal();   // closes without finishing: an unfinished journal is the point
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    void setDir(const std::string& dir) { dir_ = dir; }
    const std::string& dir() const { return dir_; }

    // A run started (its first frame was accepted): finishes any earlier
    // journal, removes finished ones left in the folder, and starts a new one.
    bool begin(const Model& m);
    // A sample was committed: appends sample n - 1 and pushes it to the disk.
    bool append(const Model& m);
    // Writes the finish marker and closes; a journal that cannot take the
    // marker is removed, so it is never offered. Nothing happens when none is open.
    bool finish();
    // Takes over a recovered journal: it stays unfinished (and protects the
    // recovered samples) until finish() or the next begin(). Its contents go
    // to *contents when given.
    bool adopt(const std::string& path, JournalContents* contents = nullptr);

    bool isOpen() const { return fd_ >= 0; }
    bool adopted() const { return adopted_; }
    const std::string& path() const { return path_; }
    // Why the last operation failed.
    const std::string& error() const { return error_; }

private:
    bool writeAll(const std::string& bytes);
    void close();

    std::string dir_;
    std::string path_;
    std::string error_;
    int fd_ = -1;
    bool adopted_ = false;
    uint32_t next_ = 0;   // index of the next record
    off_t goodBytes_ = 0; // length of the file up to its last whole record
};

}  // namespace kv
