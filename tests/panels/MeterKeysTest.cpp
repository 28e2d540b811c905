// The nine keys' commands, byte for byte, and where the keys lie on the picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

#include "core/panels/MeterFace.h"
#include "core/panels/MeterKeys.h"

namespace {

std::string hex(const kv::Command& c) {
    std::string s;
    char b[4];
    for (uint8_t x : c) {
        std::snprintf(b, sizeof b, s.empty() ? "%02X" : " %02X", x);
        s += b;
    }
    return s;
}

struct KeyCase { int control; const char* name; const char* press; const char* doubleClick; };

class MeterKeyCommands : public testing::TestWithParam<KeyCase> {};
TEST_P(MeterKeyCommands, ByteForByte) {
    const KeyCase& c = GetParam();
    const kv::MeterKey* k = kv::meterKeyByControl(c.control);
    ASSERT_NE(k, nullptr);
    EXPECT_STREQ(k->name, c.name);
    EXPECT_EQ(hex(kv::pressCommand(*k)), c.press);
    const auto dbl = kv::doubleClickCommand(*k);
    EXPECT_EQ(dbl ? hex(*dbl) : std::string("none"), c.doubleClick);
}
INSTANTIATE_TEST_SUITE_P(
    Keys, MeterKeyCommands,
    testing::Values(KeyCase{1044, "HOLDUP", "FF AA 55 6B 1E 00 00 00 89 00 FF", "none"},
                    KeyCase{1045, "POWEROFF", "FF AA 55 6B 50 00 00 00 BB 00 FF", "none"},
                    KeyCase{1046, "MAX/MINUP", "FF AA 55 6B 0A 00 00 00 75 00 FF", "FF AA 55 6B 0B 00 00 00 76 00 FF"},
                    KeyCase{1047, "IRT", "FF AA 55 69 0A 00 00 00 73 00 FF", "none"},
                    KeyCase{1048, "MAXMIND", "FF AA 55 6B 3C 00 00 00 A7 00 FF", "FF AA 55 6B 42 00 00 00 AD 00 FF"},
                    KeyCase{1049, "HOLDD", "FF AA 55 6B 32 00 00 00 9D 00 FF", "none"},
                    KeyCase{1052, "AVG", "FF AA 55 6B 14 00 00 00 7F 00 FF", "FF AA 55 6B 16 00 00 00 81 00 FF"},
                    KeyCase{1055, "UNITS", "FF AA 55 6B 28 00 00 00 93 00 FF", "FF AA 55 6B 2C 00 00 00 97 00 FF"},
                    KeyCase{1056, "AREA", "FF AA 55 6B 46 46 00 00 F7 00 FF", "FF AA 55 6B 4D 00 00 00 B8 00 FF"}),
    [](const testing::TestParamInfo<KeyCase>& i) {
        std::string n;
        for (const char* p = i.param.name; *p; ++p)
            if (std::isalnum(static_cast<unsigned char>(*p))) n += *p;
        return n;
    });

TEST(MeterKeys, UnknownControlHasNoKey) { EXPECT_EQ(kv::meterKeyByControl(1050), nullptr); }

// Each key lies on the meter face, below the display window, and its image
// covers the whole button.
TEST(MeterKeys, KeysLieOnTheFaceBelowTheDisplay) {
    for (const kv::MeterKey& k : kv::kMeterKeys) {
        SCOPED_TRACE(k.name);
        EXPECT_GE(k.x, 0);
        EXPECT_LE(k.x + k.width, kv::kMeterPictureW);
        EXPECT_GE(k.y, kv::kDisplayY + kv::kDisplayH);
        EXPECT_LE(k.y + k.height, kv::kMeterFaceBottom);
        EXPECT_GE(k.imageWidth, k.width);
        EXPECT_GE(k.imageHeight, k.height);
    }
}

}  // namespace
