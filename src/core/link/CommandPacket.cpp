#include "core/link/CommandPacket.h"

namespace kv {

Command makeCommand(const Payload& payload) {
    unsigned sum = 0;
    for (uint8_t b : payload) sum += b;
    return {0xFF, 0xAA, 0x55, payload[0], payload[1], payload[2], payload[3], payload[4],
            static_cast<uint8_t>(sum & 0xFF), static_cast<uint8_t>((sum >> 8) & 0xFF), 0xFF};
}

}  // namespace kv
