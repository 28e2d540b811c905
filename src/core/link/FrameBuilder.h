#pragma once
// Builds the meter's 46-byte frame from its fields: the simulated meter sends
// these, and tests and fuzz seeds start from them.
#include <array>
#include <cstdint>

#include "core/link/FrameDecoder.h"

namespace kv {

// Flag byte A (offset 7).
namespace flagA {
inline constexpr uint8_t kMax = 0x01;
inline constexpr uint8_t kMin = 0x02;
inline constexpr uint8_t kWb = 0x04;
inline constexpr uint8_t kDp = 0x08;
inline constexpr uint8_t kHold = 0x10;
inline constexpr uint8_t kRec = 0x20;
inline constexpr uint8_t kBatteryNormal = 0x40;
inline constexpr uint8_t kPcLink = 0x80;
}  // namespace flagA

// Flag byte B (offset 8).
namespace flagB {
inline constexpr uint8_t kMax = 0x01;
inline constexpr uint8_t kMin = 0x02;
inline constexpr uint8_t kHold = 0x04;
inline constexpr uint8_t kRec = 0x08;
inline constexpr uint8_t kTypeK = 0x10;
inline constexpr uint8_t kFahrenheit = 0x20;
inline constexpr uint8_t kBacklight = 0x40;
inline constexpr uint8_t kIrIdle = 0x80;
}  // namespace flagB

// K/IR range codes (offset 6); anything else means in range.
inline constexpr uint8_t kRangeCodeOver = 100;
inline constexpr uint8_t kRangeCodeUnder = 156;
// The meter's K/IR value when it has no reading.
inline constexpr float kFrameNoKir = -1000.0f;

struct FrameFields {
    // Measured values, always degrees Celsius and percent RH.
    float air = 0, wb = 0, dp = 0, kir = 0, rh = 0;
    // The three numbers on the meter's own display, in the unit it shows.
    float display1 = 0, display2 = 0, display3 = 0;
    uint8_t rangeCode = 0;
    uint8_t flagsA = flagA::kBatteryNormal;
    uint8_t flagsB = 0;
};

using FrameBytes = std::array<uint8_t, kFrameSize>;

// Writes exactly kFrameSize bytes to `out`; the bytes the program ignores are 0.
void buildFrame(const FrameFields& f, uint8_t* out);
FrameBytes buildFrame(const FrameFields& f);

}  // namespace kv
