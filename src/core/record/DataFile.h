#pragma once
// The data file of a recorded run ("AsmDat"): a byte stream in the archive
// encoding (little-endian integers and IEEE floats, length-prefixed strings).
// A file of N samples is 50 + 20 * N bytes. There is no version and no checksum,
// so the reader checks every length against the bytes really there.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/record/RunState.h"
#include "core/record/SampleStore.h"

namespace kv {

inline constexpr const char* kFileTag = "KV2047";
inline constexpr const char* kInvalidFormat = "Invalid Format!";
// Bytes of a data file besides its samples (with a one-character unit text).
inline constexpr std::size_t kDataFileFixedBytes = 50;
inline constexpr std::size_t kBytesPerSample = 20;
// Anything larger cannot be a data file; it is refused before it is read.
inline constexpr std::size_t kMaxDataFileBytes = 16u << 20;

constexpr std::size_t dataFileSize(int32_t count) {
    return kDataFileFixedBytes + kBytesPerSample * static_cast<std::size_t>(count);
}

// Everything a data file holds.
struct RunRecord {
    std::string tag = kFileTag;
    LoggedRun run;              // samples interleaved five per sample, start, interval, unit
    int32_t yGain = 10;
    int32_t yOffset = 0;
};
// A record holds room for the largest run; keep it off the stack.
inline std::unique_ptr<RunRecord> makeRunRecord() { return std::make_unique<RunRecord>(); }

enum class ReadError { None, BadTag, BadCount, Truncated, BadStart, TooLarge, Io };

struct ReadResult {
    ReadError error = ReadError::None;
    std::string message;   // what to tell the user; "Invalid Format!" for a bad tag
    bool ok() const { return error == ReadError::None; }
};

// Appends the encoded record to `out`.
void encodeDataFile(const RunRecord& rec, std::string& out);
std::string encodeDataFile(const RunRecord& rec);

// Decodes a whole file image into `out`. On an error `out` is left partly
// filled and must not be used. Bytes after the last field are ignored.
ReadResult parseDataFile(const uint8_t* data, std::size_t size, RunRecord& out);
// Refuses a start that no clock shows: a year outside 1 to 9999, a month
// outside 1 to 12, a day outside its month, an hour above 23, a minute or a
// second above 59. No program writes one; it marks a damaged file. A start in
// the hour skipped when the clocks go forward is kept: every reader moves it
// on by that hour alike.
ReadResult checkStart(const LoggedRun& run);
// What a reader says of a stored start in the hour repeated when the clocks go
// back (which of the two it took); empty for any other start.
std::string startNote(const LoggedRun& run);
// Reads the file (opened for reading only), decodes it and checks its start.
ReadResult readDataFile(const std::string& path, RunRecord& out);

// What Save writes: the committed samples of the live series and the run
// state (start time broken down in local time, interval in whole seconds).
void snapshotLiveRun(const SampleStore& doc, const RunState& run, RunRecord& out);

// Copies a good record into the document's logged run and its scale.
void applyRecord(const RunRecord& rec, SampleStore& doc, RunState& run);

// Reads a data file into the document's logged run. The whole file is decoded
// into a temporary record first: a refused file changes nothing at all.
ReadResult loadDataFile(const std::string& path, SampleStore& doc, RunState& run);

}  // namespace kv
