// Commands to the meter: the initialisation command and every key, byte for byte.
#include <gtest/gtest.h>

#include <ostream>

#include <string>

#include "core/link/CommandPacket.h"

namespace {

std::string hex(const kv::Command& c) {
    static const char d[] = "0123456789ABCDEF";
    std::string s;
    for (uint8_t b : c) {
        if (!s.empty()) s += ' ';
        s += d[b >> 4];
        s += d[b & 15];
    }
    return s;
}

struct CommandCase {
    const char* name;
    kv::Payload payload;
    const char* bytes;
};
void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class Commands : public ::testing::TestWithParam<CommandCase> {};

TEST_P(Commands, Bytes) { EXPECT_EQ(hex(kv::makeCommand(GetParam().payload)), GetParam().bytes); }

INSTANTIATE_TEST_SUITE_P(
    Keys, Commands,
    ::testing::Values(
        CommandCase{"Init", kv::kInitPayload, "FF AA 55 63 63 00 00 00 C6 00 FF"},
        CommandCase{"HoldUp", {0x6B, 0x1E, 0, 0, 0}, "FF AA 55 6B 1E 00 00 00 89 00 FF"},
        CommandCase{"PowerOff", {0x6B, 0x50, 0, 0, 0}, "FF AA 55 6B 50 00 00 00 BB 00 FF"},
        CommandCase{"MaxMinUp", {0x6B, 0x0A, 0, 0, 0}, "FF AA 55 6B 0A 00 00 00 75 00 FF"},
        CommandCase{"MaxMinUpDouble", {0x6B, 0x0B, 0, 0, 0}, "FF AA 55 6B 0B 00 00 00 76 00 FF"},
        CommandCase{"Irt", {0x69, 0x0A, 0, 0, 0}, "FF AA 55 69 0A 00 00 00 73 00 FF"},
        CommandCase{"MaxMinDown", {0x6B, 0x3C, 0, 0, 0}, "FF AA 55 6B 3C 00 00 00 A7 00 FF"},
        CommandCase{"MaxMinDownDouble", {0x6B, 0x42, 0, 0, 0}, "FF AA 55 6B 42 00 00 00 AD 00 FF"},
        CommandCase{"HoldDown", {0x6B, 0x32, 0, 0, 0}, "FF AA 55 6B 32 00 00 00 9D 00 FF"},
        CommandCase{"Avg", {0x6B, 0x14, 0, 0, 0}, "FF AA 55 6B 14 00 00 00 7F 00 FF"},
        CommandCase{"AvgDouble", {0x6B, 0x16, 0, 0, 0}, "FF AA 55 6B 16 00 00 00 81 00 FF"},
        CommandCase{"Units", {0x6B, 0x28, 0, 0, 0}, "FF AA 55 6B 28 00 00 00 93 00 FF"},
        CommandCase{"UnitsDouble", {0x6B, 0x2C, 0, 0, 0}, "FF AA 55 6B 2C 00 00 00 97 00 FF"},
        CommandCase{"Area", {0x6B, 0x46, 0x46, 0, 0}, "FF AA 55 6B 46 46 00 00 F7 00 FF"},
        CommandCase{"AreaDouble", {0x6B, 0x4D, 0, 0, 0}, "FF AA 55 6B 4D 00 00 00 B8 00 FF"},
        // The sum is 16 bits, low byte first.
        CommandCase{"SumHighByte", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "FF AA 55 FF FF FF FF FF FB 04 FF"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Commands, AckIsOneByte0x11) { EXPECT_EQ(kv::kAckByte, 0x11); }

}  // namespace
