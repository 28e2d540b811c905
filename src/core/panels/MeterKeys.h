#pragma once
// The nine keys of the meter picture: where each lies, its image, and the
// commands it sends to the meter.
#include <array>
#include <optional>

#include "core/link/CommandPacket.h"

namespace kv {

struct MeterKey {
    int control;                    // control number of the key button
    const char* name;               // "HOLDUP", ...
    int x, y;                       // top-left in the panel's client pixels
    int width, height;              // button size in pixels
    int imageWidth, imageHeight;    // size of the key image
    const char* image;              // file name of the key image
    const char* tip;                // tooltip
    Payload press;
    std::optional<Payload> doubleClick;
};

inline constexpr int kMeterKeyCount = 9;
extern const std::array<MeterKey, kMeterKeyCount> kMeterKeys;

// The key with this control number, or nullptr.
const MeterKey* meterKeyByControl(int control);

// The 11-byte commands of a key.
inline Command pressCommand(const MeterKey& k) { return makeCommand(k.press); }
std::optional<Command> doubleClickCommand(const MeterKey& k);

}  // namespace kv
