#pragma once
// Computer-to-meter commands: FF AA 55, five payload bytes, their 16-bit sum
// low byte first, FF.
#include <array>
#include <cstdint>

namespace kv {

using Command = std::array<uint8_t, 11>;
using Payload = std::array<uint8_t, 5>;

Command makeCommand(const Payload& payload);

// The command the link sends after every port open.
inline constexpr Payload kInitPayload = {0x63, 0x63, 0x00, 0x00, 0x00};
// The one-byte acknowledgement sent once a second after accepted frames.
inline constexpr uint8_t kAckByte = 0x11;

}  // namespace kv
