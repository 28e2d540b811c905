#pragma once
// The document's sample values: the live series the decoder writes and the
// logged run read back from a data file. Fixed size, allocated once.
#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace kv {

constexpr int kMaxSamples = 10010;   // room for a 10000-sample run plus the frame at n
constexpr int kQuantities = 5;

// Quantity order used by every store, table, file and panel.
enum Quantity : int { AIR = 0, WB = 1, DP = 2, KIR = 3, RH = 4 };
inline constexpr const char* kQuantityNames[kQuantities] = {"AIR", "WB", "DP", "K/IR", "RH"};

// Stored K/IR marker for "the meter had no K/IR reading".
constexpr float kNoKir = -9000.0f;
// Readers treat any K/IR at or below this as no reading.
constexpr float kNoKirThreshold = -1000.0f;

struct LoggedRun {
    int32_t count = 0;
    std::array<float, kMaxSamples * kQuantities> samples{};  // interleaved: i*5 + q
    int32_t interval = 0;                                     // seconds
    uint8_t unitFlag = 0;
    int32_t hour = 0, minute = 0, second = 0;
    int32_t year = 0, month = 0, day = 0;
    std::string unitText = "C";
    // The instant of the start when the run is the live one about to be saved;
    // a file holds the local fields only (the hour repeated when the clocks go
    // back reads twice).
    std::optional<std::time_t> startInstant;
};

struct SampleStore {
    float live[kQuantities][kMaxSamples] = {};     // AIR, WB, DP, K/IR, RH
    LoggedRun logged;                              // the run Open read last
};

}  // namespace kv
