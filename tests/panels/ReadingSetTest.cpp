// The reading-set update: running extremes, Max/Min texts and alarm flags.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "core/panels/ReadingSet.h"

namespace {

using Five = std::array<float, 5>;
using Texts = std::array<std::string, 5>;
using Flags = std::array<uint8_t, 5>;

struct UpdateCase {
    const char* name;
    Five hi, lo;                  // limits in shown units
    uint8_t unitFlag;
    std::vector<Five> frames;     // stored readings, one set per accepted frame
    Texts maxText, minText;       // after the last frame
    Flags alarmHigh, alarmLow;    // after the last frame
};

constexpr Five kHi = {140, 140, 140, 2501, 100};
constexpr Five kLo = {0, 0, 0, 0, 0};

class ReadingSetUpdate : public testing::TestWithParam<UpdateCase> {};

TEST_P(ReadingSetUpdate, TextsAndFlags) {
    const UpdateCase& c = GetParam();
    kv::ReadingSet rs;
    for (int q = 0; q < 5; ++q) rs.hiLimit[q] = c.hi[q], rs.loLimit[q] = c.lo[q];
    uint8_t hi[5] = {}, lo[5] = {};
    for (const Five& r : c.frames) kv::updateReadingSet(rs, r.data(), c.unitFlag, c.unitFlag ? "F" : "C", hi, lo);
    for (int q = 0; q < 5; ++q) {
        SCOPED_TRACE(q);
        EXPECT_EQ(rs.maxText[q], c.maxText[q]);
        EXPECT_EQ(rs.minText[q], c.minText[q]);
        EXPECT_EQ(hi[q], c.alarmHigh[q]);
        EXPECT_EQ(lo[q], c.alarmLow[q]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadingSetUpdate,
    testing::Values(
        UpdateCase{"NothingYetLeavesTextsEmpty", kHi, kLo, 0, {}, {}, {}, {}, {}},
        UpdateCase{"FirstReadingFillsMaxAndMin", kHi, kLo, 0, {{23.5f, 18.3f, 15.0f, 30.25f, 60.0f}},
                   {"23.5C", "18.3C", "15.0C", "30.2C", "60.0 %RH"},
                   {"23.5C", "18.3C", "15.0C", "30.2C", "60.0 %RH"}, {}, {}},
        UpdateCase{"RunningExtremesOverFrames", kHi, {-50, -50, -50, -50, -50}, 0,
                   {{20, 10, 5, 30, 40}, {25, 8, 6, 28, 45.2f}, {22, 9, 4, 29, 41}},
                   {"25.0C", "10.0C", "6.0C", "30.0C", "45.2 %RH"},
                   {"20.0C", "8.0C", "4.0C", "28.0C", "40.0 %RH"}, {}, {}},
        UpdateCase{"EqualityRaisesBothAlarms", {25, 140, 140, 2501, 100}, {0, 10, 0, 0, 0}, 0,
                   {{25, 10, 5, 30, 40}}, {"25.0C", "10.0C", "5.0C", "30.0C", "40.0 %RH"},
                   {"25.0C", "10.0C", "5.0C", "30.0C", "40.0 %RH"}, {1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}},
        // 20 C is compared as 68 F; RH is never converted.
        UpdateCase{"FahrenheitComparedAndShown", {68, 68.1f, 140, 2501, 45}, {0, 0, 0, 0, 0}, 1,
                   {{20, 20, 20, 20, 45}}, {"68.0F", "68.0F", "68.0F", "68.0F", "45.0 %RH"},
                   {"68.0F", "68.0F", "68.0F", "68.0F", "45.0 %RH"}, {1, 0, 0, 0, 1}, {}},
        // K/IR is cut towards zero: 23.47 is 23.4 (no alarm at 23.45), -5.07 is -5.0 (no alarm at -5.05).
        UpdateCase{"KirCutForAlarmAndText", {140, 140, 140, 23.45f, 100}, {-50, -50, -50, -5.05f, 0}, 0,
                   {{10, 10, 10, 23.47f, 50}, {10, 10, 10, -5.07f, 50}},
                   {"10.0C", "10.0C", "10.0C", "23.4C", "50.0 %RH"},
                   {"10.0C", "10.0C", "10.0C", "-5.0C", "50.0 %RH"}, {}, {}},
        UpdateCase{"KirCutValueMeetsLimits", {140, 140, 140, 23.4f, 100}, {-50, -50, -50, -5.0f, 0}, 0,
                   {{10, 10, 10, -5.07f, 50}}, {"10.0C", "10.0C", "10.0C", "-5.0C", "50.0 %RH"},
                   {"10.0C", "10.0C", "10.0C", "-5.0C", "50.0 %RH"}, {}, {0, 0, 0, 1, 0}},
        // -150 never becomes a minimum but still raises a low alarm (above -200).
        UpdateCase{"MinusOneFiftyLeavesMinimum", kHi, kLo, 0, {{10, 10, 10, 10, 10}, {-150, 10, 10, 10, 10}},
                   {"10.0C", "10.0C", "10.0C", "10.0C", "10.0 %RH"},
                   {"10.0C", "10.0C", "10.0C", "10.0C", "10.0 %RH"}, {}, {1, 0, 0, 0, 0}},
        // The missing K/IR marker touches neither maximum, minimum nor low alarm.
        UpdateCase{"MissingKirReading", kHi, kLo, 0, {{10, 10, 10, -9000, 10}},
                   {"10.0C", "10.0C", "10.0C", "", "10.0 %RH"},
                   {"10.0C", "10.0C", "10.0C", "", "10.0 %RH"}, {}, {}},
        UpdateCase{"MissingKirReadingInFahrenheit", kHi, {-20000, -20000, -20000, -20000, 0}, 1,
                   {{10, 10, 10, -9000, 10}}, {"50.0F", "50.0F", "50.0F", "", "10.0 %RH"},
                   {"50.0F", "50.0F", "50.0F", "", "10.0 %RH"}, {}, {}},
        // Over range (505) is a maximum like any other value.
        UpdateCase{"OverRangeTakesMaximum", kHi, kLo, 0, {{10, 10, 10, 30, 10}, {10, 10, 10, 505, 10}},
                   {"10.0C", "10.0C", "10.0C", "505.0C", "10.0 %RH"},
                   {"10.0C", "10.0C", "10.0C", "30.0C", "10.0 %RH"}, {}, {}},
        UpdateCase{"AlarmClearsWhenReadingReturns", {25, 140, 140, 2501, 100}, {0, 0, 0, 0, 0}, 0,
                   {{30, 10, 10, 10, 10}, {20, 10, 10, 10, 10}},
                   {"30.0C", "10.0C", "10.0C", "10.0C", "10.0 %RH"},
                   {"20.0C", "10.0C", "10.0C", "10.0C", "10.0 %RH"}, {}, {}}),
    [](const testing::TestParamInfo<UpdateCase>& i) { return std::string(i.param.name); });

TEST(ReadingSetUpdate, ReportsOnlyFlagChanges) {
    kv::ReadingSet rs;
    rs.hiLimit[0] = 25;
    uint8_t hi[5] = {}, lo[5] = {};
    const float calm[5] = {20, 10, 10, 10, 10}, hot[5] = {30, 10, 10, 10, 10};
    EXPECT_FALSE(kv::updateReadingSet(rs, calm, 0, "C", hi, lo));
    EXPECT_TRUE(kv::updateReadingSet(rs, hot, 0, "C", hi, lo));
    EXPECT_FALSE(kv::updateReadingSet(rs, hot, 0, "C", hi, lo));
    EXPECT_TRUE(kv::updateReadingSet(rs, calm, 0, "C", hi, lo));
}

TEST(ReadingSetUpdate, UnitChangeRewritesTextsFromStoredExtremes) {
    kv::ReadingSet rs;
    uint8_t hi[5] = {}, lo[5] = {};
    const float r[5] = {20, 10, 10, 10, 10};
    kv::updateReadingSet(rs, r, 0, "C", hi, lo);
    kv::updateReadingSet(rs, r, 1, "F", hi, lo);
    EXPECT_EQ(rs.maxText[0], "68.0F");
    EXPECT_EQ(rs.minText[1], "50.0F");
    EXPECT_EQ(rs.runMax[0], 20.f);  // kept in stored units
}

// Readings from a damaged frame may be anything a float can hold.
TEST(ReadingSetUpdate, HugeAndNotANumberReadingsStayHarmless) {
    kv::ReadingSet rs;
    uint8_t hi[5] = {}, lo[5] = {};
    const float r[5] = {3e38f, NAN, 10, -3e38f, 10};
    kv::updateReadingSet(rs, r, 0, "C", hi, lo);
    EXPECT_EQ(rs.maxText[0].substr(0, 3), "300");
    EXPECT_EQ(rs.maxText[1], "");
    EXPECT_EQ(hi[0], 1);
    EXPECT_EQ(lo[3], 0);
    const float k[5] = {10, 10, 10, 3e38f, 10};
    kv::updateReadingSet(rs, k, 0, "C", hi, lo);
    EXPECT_GT(rs.runMax[3], 1e38f);
    EXPECT_EQ(rs.maxText[3].front(), '3');  // no wrapped int from the cut
}

struct CutCase { float in; const char* text; };
class OneDecimalCut : public testing::TestWithParam<CutCase> {};
TEST_P(OneDecimalCut, TowardsZero) {
    EXPECT_EQ(kv::formatOneDecimal(kv::cutOneDecimal(GetParam().in)), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(Values, OneDecimalCut,
                         testing::Values(CutCase{23.47f, "23.4"}, CutCase{-5.07f, "-5.0"}, CutCase{0.09f, "0.0"},
                                         CutCase{2501.0f, "2501.0"}, CutCase{-148.0f, "-148.0"},
                                         CutCase{99.99f, "99.9"}));

}  // namespace
