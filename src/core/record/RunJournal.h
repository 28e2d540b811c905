#pragma once
// The run journal: while a run records, every committed sample is appended to
// a small file and pushed to the disk, so that a crash, a kill or a power cut
// loses at most the sample being taken. A run that ends or is saved marks its
// journal finished; on the next start an unfinished one can be recovered into
// the live series or set aside.
//
// File layout (little-endian):
//   header, 64 bytes:  "KV2047J1", start time (int64, calendar seconds),
//                      interval ms, count target, unit flag, unit text (one
//                      character), 2 spare, Y gain, Y offset, writer's pid,
//                      20 spare, CRC-32 of the 60 bytes before it
//   record, 32 bytes:  sample index (uint32), AIR, WB, DP, K/IR, RH (floats),
//                      unit flag, Y offset (int8), Y gain (int16), CRC-32 of
//                      the 28 bytes before it
// A record whose index is 0xFFFFFFFF is the finish marker. Reading stops at the
// first record that is cut short, fails its CRC or breaks the index sequence:
// that is where a power cut tore the file.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <sys/types.h>
#include <vector>

#include "core/record/SampleStore.h"

namespace kv {

struct Model;
struct RunState;

inline constexpr const char* kJournalSuffix = ".kvj";
// What a journal declined for recovery is renamed to (the suffix is appended).
inline constexpr const char* kJournalAsideSuffix = ".declined";
inline constexpr std::size_t kJournalHeaderBytes = 64;
inline constexpr std::size_t kJournalRecordBytes = 32;
inline constexpr uint32_t kJournalFinishIndex = 0xFFFFFFFFu;

// What Save needs besides the samples.
struct JournalHeader {
    int64_t startTime = 0;    // run start, calendar seconds
    int32_t intervalMs = 0;
    int32_t countTarget = 0;
    uint8_t unitFlag = 0;
    char unitText = 'C';
    int32_t yGain = 10;
    int32_t yOffset = 0;
    int32_t pid = 0;          // of the program that wrote it, for the curious
};

// A journal read back.
struct JournalContents {
    JournalHeader header;
    int32_t count = 0;             // good sample records
    std::vector<float> samples;    // interleaved, count * 5
    // Unit and scale of the last good record (they may change during a run).
    uint8_t unitFlag = 0;
    int32_t yGain = 10;
    int32_t yOffset = 0;
    bool finished = false;
    bool torn = false;             // bytes after the last good record were dropped
};

// A journal found in a folder by findUnfinishedJournals().
struct JournalEntry {
    std::string path;
    JournalHeader header;
    int32_t count = 0;
};

uint32_t crc32(const uint8_t* data, std::size_t len);

// Encoders and decoder of the file image, for the writer and the tests.
std::string encodeJournalHeader(const JournalHeader& h);
std::string encodeJournalRecord(uint32_t index, const float q[kQuantities], uint8_t unitFlag, int32_t yGain,
                                int32_t yOffset);
std::string encodeJournalFinish();
// False (with a reason) when the header is missing or damaged; records are
// read as far as they are good.
bool parseJournal(const uint8_t* data, std::size_t size, JournalContents& out, std::string* error);
bool readJournal(const std::string& path, JournalContents& out, std::string* error);

// The journal folder: `besideConfig` when the configuration's folder was given
// (--config-dir or $KV2047_CONFIG_DIR), else $XDG_STATE_HOME/kv2047, else
// $HOME/.local/state/kv2047.
std::string journalDirFor(const std::string& besideConfig);

// Unfinished journals with at least one sample that no running program holds,
// newest run first. Journals without a sample are removed on the way.
std::vector<JournalEntry> findUnfinishedJournals(const std::string& dir);

// Restores a journal into the live series and the run state: n as it was,
// start time, interval, count, unit, Y scale, and the control bar's texts.
// No run is in progress afterwards; the has-run-data flag is set so the next
// Run offers to save it.
void restoreJournal(const JournalContents& j, Model& m);

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
    // Finishes the journal of the run once that run is no longer in progress
    // (its count reached, Stop, a silent meter). A recovered journal stays
    // until it is saved or replaced.
    void follow(const Model& m);
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

// Writes the live run as a data file at `path` and, when `withText`, its text
// table beside it, without any window, through the safe writer: both files are
// complete and on the disk before either replaces an older one. For the
// headless recorder and recovery. On failure *error names the path and why.
bool writeRunFiles(const std::string& path, const SampleStore& doc, const RunState& run, bool withText,
                   std::string* error);

// Whether a run could be written at `path` (and its text table beside it) now:
// the folder is there and writable, neither name is taken by a folder or a
// device, the text table's name fits. For a recorder to refuse a bad output
// before it records for hours. False with "<path>: <reason>" in *error.
bool checkRunOutputPath(const std::string& path, std::string* error);

}  // namespace kv
