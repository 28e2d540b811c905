// The meter frame: what is accepted, what is stored, what the display shows.
#include <gtest/gtest.h>

#include <ostream>

#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/link/FrameBuilder.h"
#include "core/link/FrameDecoder.h"

namespace {

using kv::FrameFields;
namespace A = kv::flagA;
namespace B = kv::flagB;

// The example frame of the meter's documentation, byte for byte.
const std::vector<uint8_t> kExample = {
    0xAA, 0x61, 0x64, 0x6A, 0x67, 0x00, 0x00, 0x40, 0x00,  //
    0x00, 0x00, 0xBC, 0x41, 0x00, 0x00, 0x92, 0x41, 0x00, 0x00, 0x70, 0x41, 0x00, 0x00, 0x70, 0x42,
    0x00, 0x00, 0xF2, 0x41, 0x00, 0x00, 0xBC, 0x41, 0x00, 0x00, 0x70, 0x42, 0x00, 0x00, 0xF2, 0x41,
    0x00, 0x00, 0x00, 0x67, 0x00};

FrameFields exampleFields() {
    FrameFields f;
    f.air = 23.5f;
    f.wb = 18.25f;
    f.dp = 15.0f;
    f.rh = 60.0f;
    f.kir = 30.25f;
    f.display1 = 23.5f;
    f.display2 = 60.0f;
    f.display3 = 30.25f;
    f.flagsA = A::kBatteryNormal;
    return f;
}

struct Decoder {
    kv::DecoderMemory mem;
    kv::MeterDisplay meter;
    kv::DecodedFrame last{};
    kv::DecodedFrame feed(const FrameFields& f) {
        const auto bytes = kv::buildFrame(f);
        EXPECT_TRUE(kv::frameAccepted(bytes.data(), bytes.size()));
        return last = kv::decodeFrame(bytes.data(), mem, meter);
    }
};

TEST(FrameBuilder, ExampleFieldsGiveTheExampleBytes) {
    const auto built = kv::buildFrame(exampleFields());
    EXPECT_EQ(std::vector<uint8_t>(built.begin(), built.end()), kExample);
}

TEST(FrameDecoder, ExampleFrame) {
    ASSERT_EQ(kExample.size(), 46u);
    ASSERT_TRUE(kv::frameAccepted(kExample.data(), kExample.size()));
    kv::DecoderMemory mem;
    kv::MeterDisplay m;
    const kv::DecodedFrame f = kv::decodeFrame(kExample.data(), mem, m);
    // Store order AIR, WB, DP, K/IR, RH: the frame carries RH before K/IR.
    EXPECT_EQ(f.q[0], 23.5f);
    EXPECT_EQ(f.q[1], 18.25f);
    EXPECT_EQ(f.q[2], 15.0f);
    EXPECT_EQ(f.q[3], 30.25f);
    EXPECT_EQ(f.q[4], 60.0f);
    EXPECT_EQ(m.upper, "23.5");
    EXPECT_EQ(m.upper2, "60.0");
    EXPECT_EQ(m.lower, "30.2");
    EXPECT_EQ(m.unitLetter, "C");
    EXPECT_EQ(f.unitFlag, 0);
    EXPECT_STREQ(f.unitText, "C");
    EXPECT_EQ(m.probe, "IRTEMP");
    EXPECT_STREQ(f.battery, "Normal");
    EXPECT_EQ(m.backlight, 0);
    EXPECT_EQ(m.maxminUpper, "   ");
    EXPECT_EQ(m.maxminLower, "   ");
    EXPECT_EQ(m.holdUpper, "    ");
    EXPECT_EQ(m.holdLower, "    ");
    EXPECT_EQ(m.recUpper, "     ");
    EXPECT_EQ(m.recLower, "     ");
    EXPECT_EQ(m.link, "       ");
    EXPECT_EQ(m.derived, "  ");
}

// ---- which reads are frames ----

struct ReadCase {
    const char* name;
    std::function<std::vector<uint8_t>()> make;
    bool accepted;
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

std::vector<uint8_t> withByte(std::size_t i, uint8_t v) {
    auto b = kExample;
    b[i] = v;
    return b;
}

class FrameCheck : public ::testing::TestWithParam<ReadCase> {};

TEST_P(FrameCheck, AcceptsOnlyAFrameAtTheStart) {
    const std::vector<uint8_t> read = GetParam().make();
    EXPECT_EQ(kv::frameAccepted(read.data(), read.size()), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, FrameCheck,
    ::testing::Values(
        ReadCase{"Example", [] { return kExample; }, true},
        ReadCase{"Empty", [] { return std::vector<uint8_t>{}; }, false},
        ReadCase{"OneByte", [] { return std::vector<uint8_t>{0xAA}; }, false},
        ReadCase{"ShortBy1", [] { return std::vector<uint8_t>(kExample.begin(), kExample.end() - 1); }, false},
        ReadCase{"HeaderOnly", [] { return std::vector<uint8_t>(kExample.begin(), kExample.begin() + 5); }, false},
        ReadCase{"TrailingBytes",
                 [] {
                     auto b = kExample;
                     b.insert(b.end(), {0x01, 0x02, 0x03});
                     return b;
                 },
                 true},
        ReadCase{"TwoFrames",
                 [] {
                     auto b = kExample;
                     b.insert(b.end(), kExample.begin(), kExample.end());
                     return b;
                 },
                 true},
        ReadCase{"FrameAfterOneByte",
                 [] {
                     std::vector<uint8_t> b{0x00};
                     b.insert(b.end(), kExample.begin(), kExample.end());
                     return b;
                 },
                 false},
        ReadCase{"FrameAfterExtraSync",
                 [] {
                     std::vector<uint8_t> b{0xAA};
                     b.insert(b.end(), kExample.begin(), kExample.end());
                     return b;
                 },
                 false},
        ReadCase{"FrameAfterHalfFrame",
                 [] {
                     std::vector<uint8_t> b(kExample.begin() + 23, kExample.end());
                     b.insert(b.end(), kExample.begin(), kExample.end());
                     return b;
                 },
                 false},
        ReadCase{"BadSync", [] { return withByte(0, 0xAB); }, false},
        ReadCase{"BadA", [] { return withByte(1, 'A'); }, false},
        ReadCase{"BadD", [] { return withByte(2, 'x'); }, false},
        ReadCase{"BadJ", [] { return withByte(3, 'x'); }, false},
        ReadCase{"BadG", [] { return withByte(4, 'x'); }, false},
        ReadCase{"BadEndMarker", [] { return withByte(44, 0x00); }, false},
        ReadCase{"EndMarkerOneLate", [] { return withByte(45, 0x67); }, true},
        ReadCase{"IgnoredBytesSet",
                 [] {
                     auto b = kExample;
                     for (std::size_t i : {5, 41, 42, 43, 45}) b[i] = 0xFF;
                     return b;
                 },
                 true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- K/IR corrections and the lower reading, over sequences of frames ----

FrameFields ir(float kir, uint8_t bFlags = 0, uint8_t range = 0) {
    FrameFields f = exampleFields();
    f.kir = kir;
    f.display3 = kir;
    f.flagsB = bFlags;
    f.rangeCode = range;
    return f;
}
FrameFields typeK(float kir) { return ir(kir, B::kTypeK); }

struct KirCase {
    const char* name;
    std::vector<FrameFields> frames;  // decoded in order; the last one is checked
    float stored;
    const char* lower;
    const char* probe;
};
void PrintTo(const KirCase& c, std::ostream* os) { *os << c.name; }

class KirCorrections : public ::testing::TestWithParam<KirCase> {};

TEST_P(KirCorrections, StoredValueAndLowerReading) {
    Decoder d;
    for (const auto& f : GetParam().frames) d.feed(f);
    EXPECT_EQ(d.last.q[3], GetParam().stored);
    EXPECT_EQ(d.meter.lower, GetParam().lower);
    EXPECT_EQ(d.meter.probe, GetParam().probe);
}

const std::string k12(12, ' ');

INSTANTIATE_TEST_SUITE_P(
    Sequences, KirCorrections,
    ::testing::Values(
        KirCase{"InRange", {ir(31.25f)}, 31.25f, "31.2", "IRTEMP"},
        KirCase{"OverRange", {ir(31.25f, 0, 100)}, 505.0f, "+OL", "IRTEMP"},
        KirCase{"UnderRange", {ir(31.25f, 0, 156)}, -55.0f, "-OL", "IRTEMP"},
        KirCase{"OtherCodeInRange", {ir(31.25f, 0, 99)}, 31.25f, "31.2", "IRTEMP"},
        KirCase{"NoReading", {ir(-1000.0f)}, -9000.0f, "----", "IRTEMP"},
        KirCase{"NoReadingOverRange", {ir(-1000.0f, 0, 100)}, 505.0f, "+OL", "IRTEMP"},
        KirCase{"NoReadingTypeK", {ir(-1000.0f, B::kTypeK)}, -9000.0f, "----", "     TYPE-K"},
        KirCase{"IdleRepeatsLastFresh", {ir(31.25f), ir(40.25f, B::kIrIdle)}, 31.25f, "31.2", k12.c_str()},
        KirCase{"IdleHoldsOverSeveralFrames",
                {ir(31.25f), ir(40.25f, B::kIrIdle), ir(41.25f, B::kIrIdle), ir(42.25f, B::kIrIdle)},
                31.25f, "31.2", k12.c_str()},
        KirCase{"IdleHoldsOverRange", {ir(31.25f, 0, 100), ir(40.25f, B::kIrIdle)}, 505.0f, "+OL", k12.c_str()},
        KirCase{"IdleHoldsNoReading", {ir(-1000.0f), ir(40.25f, B::kIrIdle)}, -9000.0f, "----", k12.c_str()},
        KirCase{"FreshAfterIdle", {ir(31.25f), ir(40.25f, B::kIrIdle), ir(35.25f)}, 35.25f, "35.2", "IRTEMP"},
        KirCase{"IdleBeforeAnyFreshFrame", {ir(40.25f, B::kIrIdle)}, -9000.0f, "      ", k12.c_str()},
        KirCase{"IdleTypeKNotHeld", {ir(31.25f), ir(40.25f, B::kIrIdle | B::kTypeK)}, 40.25f, "40.2",
                "     TYPE-K"},
        KirCase{"ZeroAfterTypeKReplaced", {typeK(40.25f), ir(0.0f)}, 40.25f, "0.0", "IRTEMP"},
        KirCase{"ZeroReplacedOnlyOnce", {typeK(40.25f), ir(0.0f), ir(0.0f)}, 0.0f, "0.0", "IRTEMP"},
        KirCase{"ZeroAfterTypeKZeroAndNonzero", {ir(33.25f), typeK(0.0f), ir(0.0f)}, 33.25f, "0.0", "IRTEMP"},
        KirCase{"NonzeroAfterTypeKKept", {typeK(40.25f), ir(33.25f)}, 33.25f, "33.2", "IRTEMP"},
        KirCase{"ZeroBeforeAnyTypeKKept", {ir(33.25f), ir(0.0f)}, 0.0f, "0.0", "IRTEMP"},
        KirCase{"TypeKZeroKept", {typeK(40.25f), typeK(0.0f)}, 0.0f, "0.0", "     TYPE-K"},
        KirCase{"ZeroAgainAfterSecondTypeK", {typeK(40.25f), ir(0.0f), ir(0.0f), typeK(38.25f), ir(0.0f)},
                38.25f, "0.0", "IRTEMP"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- lower reading: cut towards zero at one decimal ----

struct LowerCase {
    const char* name;
    float r;
    const char* text;
};
void PrintTo(const LowerCase& c, std::ostream* os) { *os << c.name; }

class LowerReading : public ::testing::TestWithParam<LowerCase> {};

TEST_P(LowerReading, Text) {
    Decoder d;
    FrameFields f = exampleFields();
    f.display3 = GetParam().r;
    d.feed(f);
    EXPECT_EQ(d.meter.lower, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Readings, LowerReading,
                         ::testing::Values(LowerCase{"Pos2346", 23.46f, "23.4"},
                                           LowerCase{"Neg2346", -23.46f, "-23.4"},
                                           LowerCase{"Pos004", 0.04f, "0.0"},
                                           LowerCase{"Neg004", -0.04f, "-0.0"},
                                           LowerCase{"Zero", 0.0f, "0.0"},
                                           LowerCase{"Pos3025", 30.25f, "30.2"},
                                           LowerCase{"Pos2399", 23.99f, "23.9"},
                                           LowerCase{"Neg5599", -55.99f, "-55.9"},
                                           LowerCase{"Pos1000", 1000.0f, "1000.0"},
                                           LowerCase{"Pos015", 0.15f, "0.1"},
                                           LowerCase{"Neg015", -0.15f, "-0.1"},
                                           LowerCase{"Pos1e12", 1e12f, "999999995903.9"},
                                           LowerCase{"Pos3e38", 3e38f,
                                                     "300000000549775575777803994281145270272.0"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FrameDecoder, UpperReadingsRoundToOneDecimal) {
    Decoder d;
    FrameFields f = exampleFields();
    f.display1 = 23.46f;
    f.display2 = -0.06f;
    d.feed(f);
    EXPECT_EQ(d.meter.upper, "23.5");
    EXPECT_EQ(d.meter.upper2, "-0.1");
}

// "%.1f" of the upper readings: ties to even, the sign of a negative value
// that rounds to zero, and the values too large or not numbers at all.
struct UpperCase {
    const char* name;
    float v;
    const char* text;
};
void PrintTo(const UpperCase& c, std::ostream* os) { *os << c.name; }

class UpperReading : public ::testing::TestWithParam<UpperCase> {};

TEST_P(UpperReading, Text) {
    Decoder d;
    FrameFields f = exampleFields();
    f.display1 = GetParam().v;
    f.display2 = -GetParam().v;
    d.feed(f);
    EXPECT_EQ(d.meter.upper, GetParam().text);
    const std::string text = GetParam().text;
    EXPECT_EQ(d.meter.upper2, text[0] == '-' ? text.substr(1) : "-" + text);
}

INSTANTIATE_TEST_SUITE_P(Readings, UpperReading,
                         ::testing::Values(UpperCase{"TieDownToEven", 0.25f, "0.2"},
                                           UpperCase{"TieUpToEven", 0.75f, "0.8"},
                                           UpperCase{"TieLarge", 1023.75f, "1023.8"},
                                           UpperCase{"NegativeTie", -1.25f, "-1.2"},
                                           UpperCase{"JustAboveTie", 0.05f, "0.1"},
                                           UpperCase{"JustBelowTie", 0.95f, "0.9"},
                                           UpperCase{"NegativeZero", -0.0f, "-0.0"},
                                           UpperCase{"NegativeToZero", -0.04f, "-0.0"},
                                           UpperCase{"Tiny", 1e-30f, "0.0"},
                                           UpperCase{"Large", 1e12f, "999999995904.0"},
                                           UpperCase{"Huge", 3e38f, "300000000549775575777803994281145270272.0"},
                                           UpperCase{"Infinite", -INFINITY, "-inf"},
                                           UpperCase{"NotANumber", NAN, "nan"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Every reading a frame can carry prints as the C library's "%.1f" does: a
// sweep over the float range with a stride, and the neighbours of every tenth
// and half tenth up to 2000, where rounding is decided.
TEST(FrameDecoder, UpperReadingsMatchTheLibraryFormat) {
    Decoder d;
    FrameFields f = exampleFields();
    auto expectLikeLibrary = [&](float v) {
        f.display1 = v;
        d.feed(f);
        char buf[400];
        const auto res = std::to_chars(buf, buf + sizeof buf, double(v), std::chars_format::fixed, 1);
        ASSERT_EQ(d.meter.upper, std::string(buf, res.ptr)) << std::hexfloat << v;
    };
    for (uint32_t bits = 0; bits < 0xFF800000u; bits += 4093) {
        float v;
        std::memcpy(&v, &bits, sizeof v);
        expectLikeLibrary(v);
        expectLikeLibrary(-v);
    }
    for (int k = 0; k <= 40000; ++k) {
        const float t = static_cast<float>(k) / 20.0f;
        for (float v : {std::nextafter(t, 0.0f), t, std::nextafter(t, 3000.0f)}) expectLikeLibrary(v);
    }
}

// ---- annunciators, unit, battery, backlight ----

struct FlagCase {
    const char* name;
    uint8_t a, b;
    const char *maxminUpper, *maxminLower, *holdUpper, *holdLower, *recUpper, *recLower, *link, *derived;
    const char* probe;
    const char* unit;
    const char* battery;
    int backlight;
};
void PrintTo(const FlagCase& c, std::ostream* os) { *os << c.name; }

class Annunciators : public ::testing::TestWithParam<FlagCase> {};

void expectFlags(const kv::MeterDisplay& m, const kv::DecodedFrame& f, const FlagCase& c) {
    EXPECT_EQ(m.maxminUpper, c.maxminUpper);
    EXPECT_EQ(m.maxminLower, c.maxminLower);
    EXPECT_EQ(m.holdUpper, c.holdUpper);
    EXPECT_EQ(m.holdLower, c.holdLower);
    EXPECT_EQ(m.recUpper, c.recUpper);
    EXPECT_EQ(m.recLower, c.recLower);
    EXPECT_EQ(m.link, c.link);
    EXPECT_EQ(m.derived, c.derived);
    EXPECT_EQ(m.probe, c.probe);
    EXPECT_EQ(m.unitLetter, c.unit);
    EXPECT_STREQ(f.unitText, c.unit);
    EXPECT_EQ(f.unitFlag, std::string(c.unit) == "F" ? 1 : 0);
    EXPECT_STREQ(f.battery, c.battery);
    EXPECT_EQ(m.backlight, c.backlight);
}

TEST_P(Annunciators, Texts) {
    const FlagCase& c = GetParam();
    Decoder d;
    FrameFields f = exampleFields();
    // Everything lit first: each frame must blank what it does not set.
    f.flagsA = 0xFF;
    f.flagsB = 0x7F;
    d.feed(f);
    f.flagsA = c.a;
    f.flagsB = c.b;
    d.feed(f);
    expectFlags(d.meter, d.last, c);
}

#define BL3 "   "
#define BL4 "    "
#define BL5 "     "
#define BL7 "       "
#define BL12 "            "
INSTANTIATE_TEST_SUITE_P(
    Flags, Annunciators,
    ::testing::Values(
        FlagCase{"None", 0x40, 0, BL3, BL3, BL4, BL4, BL5, BL5, BL7, "  ", "IRTEMP", "C", "Normal", 0},
        FlagCase{"BatteryLow", 0x00, 0, BL3, BL3, BL4, BL4, BL5, BL5, BL7, "  ", "IRTEMP", "C", "Low", 0},
        FlagCase{"UpperMax", 0x41, 0, "MAX", BL3, BL4, BL4, BL5, BL5, BL7, "  ", "IRTEMP", "C", "Normal", 0},
        FlagCase{"UpperMin", 0x42, 0, "     MIN", BL3, BL4, BL4, BL5, BL5, BL7, "  ", "IRTEMP", "C", "Normal", 0},
        FlagCase{"UpperMinOverMax", 0x43, 0, "     MIN", BL3, BL4, BL4, BL5, BL5, BL7, "  ", "IRTEMP", "C",
                 "Normal", 0},
        FlagCase{"LowerMax", 0x40, 0x01, BL3, "MAX", BL4, BL4, BL5, BL5, BL7, "  ", "IRTEMP", "C", "Normal", 0},
        FlagCase{"LowerMinOverMax", 0x40, 0x03, BL3, "      MIN", BL4, BL4, BL5, BL5, BL7, "  ", "IRTEMP", "C",
                 "Normal", 0},
        FlagCase{"Wb", 0x44, 0, BL3, BL3, BL4, BL4, BL5, BL5, BL7, "WB", "IRTEMP", "C", "Normal", 0},
        FlagCase{"Dp", 0x48, 0, BL3, BL3, BL4, BL4, BL5, BL5, BL7, "DP", "IRTEMP", "C", "Normal", 0},
        FlagCase{"DpOverWb", 0x4C, 0, BL3, BL3, BL4, BL4, BL5, BL5, BL7, "DP", "IRTEMP", "C", "Normal", 0},
        FlagCase{"HoldUpper", 0x50, 0, BL3, BL3, "HOLD", BL4, BL5, BL5, BL7, "  ", "IRTEMP", "C", "Normal", 0},
        FlagCase{"HoldLower", 0x40, 0x04, BL3, BL3, BL4, "HOLD", BL5, BL5, BL7, "  ", "IRTEMP", "C", "Normal", 0},
        FlagCase{"RecUpper", 0x60, 0, BL3, BL3, BL4, BL4, "REC", BL5, BL7, "  ", "IRTEMP", "C", "Normal", 0},
        FlagCase{"RecLower", 0x40, 0x08, BL3, BL3, BL4, BL4, BL5, "REC", BL7, "  ", "IRTEMP", "C", "Normal", 0},
        FlagCase{"PcLink", 0xC0, 0, BL3, BL3, BL4, BL4, BL5, BL5, "PC-LINK", "  ", "IRTEMP", "C", "Normal", 0},
        FlagCase{"TypeK", 0x40, 0x10, BL3, BL3, BL4, BL4, BL5, BL5, BL7, "  ", "     TYPE-K", "C", "Normal", 0},
        FlagCase{"IrIdle", 0x40, 0x80, BL3, BL3, BL4, BL4, BL5, BL5, BL7, "  ", BL12, "C", "Normal", 0},
        FlagCase{"TypeKIdle", 0x40, 0x90, BL3, BL3, BL4, BL4, BL5, BL5, BL7, "  ", "     TYPE-K", "C", "Normal",
                 0},
        FlagCase{"Fahrenheit", 0x40, 0x20, BL3, BL3, BL4, BL4, BL5, BL5, BL7, "  ", "IRTEMP", "F", "Normal", 0},
        FlagCase{"Backlight", 0x40, 0x40, BL3, BL3, BL4, BL4, BL5, BL5, BL7, "  ", "IRTEMP", "C", "Normal", 1},
        FlagCase{"All", 0xFF, 0x7F, "     MIN", "      MIN", "HOLD", "HOLD", "REC", "REC", "PC-LINK", "DP",
                 "     TYPE-K", "F", "Normal", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameDecoder, QuantitiesAreNotConvertedForFahrenheit) {
    Decoder d;
    FrameFields f = exampleFields();
    f.flagsB = B::kFahrenheit;
    f.display1 = 74.3f;
    d.feed(f);
    EXPECT_EQ(d.last.q[0], 23.5f);
    EXPECT_EQ(d.last.q[4], 60.0f);
    EXPECT_EQ(d.meter.upper, "74.3");
}

}  // namespace
