#pragma once
// The run journal's file image: encoding and decoding, no file access.
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
#include <string>
#include <vector>

#include "core/record/SampleStore.h"

namespace kv {

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

uint32_t crc32(const uint8_t* data, std::size_t len);

// Encoders and decoder of the file image, for the writer and the tests.
std::string encodeJournalHeader(const JournalHeader& h);
std::string encodeJournalRecord(uint32_t index, const float q[kQuantities], uint8_t unitFlag, int32_t yGain,
                                int32_t yOffset);
std::string encodeJournalFinish();
// False (with a reason) when the header is missing or damaged; records are
// read as far as they are good.
bool parseJournal(const uint8_t* data, std::size_t size, JournalContents& out, std::string* error);
}  // namespace kv
