#pragma once
// The meter's 46-byte frame: check, quantities, K/IR corrections and the meter
// display texts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/link/MeterDisplay.h"

namespace kv {

constexpr int kFrameSize = 46;

// Values that survive from frame to frame for the whole program run.
struct DecoderMemory {
    float lastFreshKir = -9000.0f;
    float lastNonzeroKir = 0.0f;
    uint8_t irSubstCounter = 2;
    std::string heldLower = "      ";
};

// True when the read begins with a whole, well-formed frame (no search inside).
bool frameAccepted(const uint8_t* data, std::size_t len);

struct DecodedFrame {
    float q[5];            // AIR, WB, DP, K/IR, RH after the K/IR corrections
    uint8_t unitFlag;      // 1 = Fahrenheit
    const char* unitText;  // "C" / "F"
    const char* battery;   // "Normal" / "Low"
};

// Decodes an accepted frame: updates the decoder memory and the meter display
// texts and returns the stored values. The caller has checked frameAccepted.
DecodedFrame decodeFrame(const uint8_t* frame, DecoderMemory& mem, MeterDisplay& meter);

}  // namespace kv
