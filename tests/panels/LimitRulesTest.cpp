// Alarm limits: the decimal conversion of limit texts, typed and spun changes
// with their bounds, high never below low, and loaded texts kept as stored.
#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

#include "core/panels/NumEntry.h"
#include "core/panels/ReadingSet.h"

namespace {

struct ParseCase { const char* text; float value; };
class LimitTextConversion : public testing::TestWithParam<ParseCase> {};
TEST_P(LimitTextConversion, AsTheCLibraryReadsADecimal) {
    EXPECT_FLOAT_EQ(kv::parseLimitText(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}
INSTANTIATE_TEST_SUITE_P(
    Texts, LimitTextConversion,
    testing::Values(ParseCase{"35.50", 35.5f}, ParseCase{" \t12.5xyz", 12.5f}, ParseCase{"-3", -3.f},
                    ParseCase{"+4", 4.f}, ParseCase{".5", 0.5f}, ParseCase{"5.", 5.f}, ParseCase{"1e2", 100.f},
                    ParseCase{"2E-1", 0.2f}, ParseCase{"1e", 1.f}, ParseCase{"1e+", 1.f}, ParseCase{"3.2.1", 3.2f},
                    ParseCase{"-", 0.f}, ParseCase{"", 0.f}, ParseCase{".", 0.f}, ParseCase{"--5", 0.f},
                    ParseCase{"e5", 0.f}, ParseCase{"abc", 0.f}, ParseCase{"- 5", 0.f},
                    // decimal only: no hexadecimal, infinity or not-a-number
                    ParseCase{"0x1A", 0.f}, ParseCase{"inf", 0.f}, ParseCase{"nan", 0.f},
                    ParseCase{"1e999", FLT_MAX}, ParseCase{"-1e999", -FLT_MAX}, ParseCase{"1e-999", 0.f}));

// Operations on one limit, applied in order to a default set.
struct Op {
    enum Kind { Type, Spin, Load } kind;
    int q;
    bool high;
    std::string text;  // Type, Load
    float delta = 0;   // Spin
};
struct RuleCase {
    const char* name;
    std::vector<Op> ops;
    int q;
    bool high;
    float value;
    const char* text;
};

Op typed(int q, bool high, std::string t) { return {Op::Type, q, high, std::move(t)}; }
Op spun(int q, bool high, float d) { return {Op::Spin, q, high, {}, d}; }
Op loaded(int q, bool high, std::string t) { return {Op::Load, q, high, std::move(t)}; }
std::vector<Op> times(int n, const Op& op) { return std::vector<Op>(n, op); }
std::vector<Op> operator+(std::vector<Op> a, const std::vector<Op>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

enum { AIR, WB, DP, KIR, RH };
constexpr bool High = true, Low = false;

class LimitRules : public testing::TestWithParam<RuleCase> {};
TEST_P(LimitRules, ValueAndText) {
    const RuleCase& c = GetParam();
    kv::ReadingSet rs;
    for (const Op& op : c.ops) {
        if (op.kind == Op::Type) kv::typeLimit(rs, op.q, op.high, op.text);
        else if (op.kind == Op::Spin) kv::spinLimit(rs, op.q, op.high, op.delta);
        else kv::loadLimitText(rs, op.q, op.high, op.text);
    }
    EXPECT_FLOAT_EQ((c.high ? rs.hiLimit : rs.loLimit)[c.q], c.value);
    EXPECT_EQ((c.high ? rs.hiText : rs.loText)[c.q], c.text);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, LimitRules,
    testing::Values(
        RuleCase{"WbTyped500Accepted", {typed(WB, High, "500")}, WB, High, 500, "500.0"},
        RuleCase{"WbTyped500ThenSpunUp", {typed(WB, High, "500"), spun(WB, High, 1)}, WB, High, 140, "140.0"},
        RuleCase{"AirLowSpunToMinus20", times(25, spun(AIR, Low, -1)), AIR, Low, -20, "-20.0"},
        RuleCase{"AirLowTypedBelowTypedBound", {typed(AIR, Low, "-20")}, AIR, Low, -10, "-10.0"},
        RuleCase{"DpTyped6000", {typed(DP, High, "6000")}, DP, High, 5900, "5900.0"},
        RuleCase{"DpLowTypedNegative", {typed(DP, Low, "-5")}, DP, Low, 0, "0.0"},
        RuleCase{"KirHighTyped3000", {typed(KIR, High, "3000")}, KIR, High, 2501, "2501.0"},
        RuleCase{"KirLowTypedMinus500", {typed(KIR, Low, "-500")}, KIR, Low, -148, "-148.0"},
        RuleCase{"KirHighTypedMinus500", {typed(KIR, Low, "-500"), typed(KIR, High, "-500")}, KIR, High, -148,
                 "-148.0"},
        RuleCase{"HighTypedBelowLowTakesLow", {typed(AIR, Low, "20"), typed(AIR, High, "10")}, AIR, High, 20, "20.0"},
        RuleCase{"LowTypedAboveHighTakesHigh", {typed(AIR, High, "30"), typed(AIR, Low, "35")}, AIR, Low, 30, "30.0"},
        RuleCase{"LowSpunStopsAtHigh", std::vector<Op>{typed(RH, High, "50"), typed(RH, Low, "49.5")} + times(3, spun(RH, Low, 1)),
                 RH, Low, 50, "50.0"},
        RuleCase{"HighSpunStopsAtLow", std::vector<Op>{typed(RH, Low, "50"), typed(RH, High, "50.5")} + times(3, spun(RH, High, -1)),
                 RH, High, 50, "50.0"},
        RuleCase{"LoneMinusIsZero", {typed(AIR, Low, "-")}, AIR, Low, 0, "0.0"},
        RuleCase{"LettersInRhHighAreZero", {typed(RH, High, "abc")}, RH, High, 0, "0.0"},
        RuleCase{"LettersInRhHighTakeHigherLow", {typed(RH, Low, "20"), typed(RH, High, "abc")}, RH, High, 20,
                 "20.0"},
        RuleCase{"LoadedTextShownAsStored", {loaded(AIR, High, "35.50")}, AIR, High, 35.5f, "35.50"},
        RuleCase{"LoadedThenSpunDown", {loaded(AIR, High, "35.50"), spun(AIR, High, -1)}, AIR, High, 34.5f, "34.5"},
        RuleCase{"LoadedTextNoNumber", {loaded(DP, Low, "warm")}, DP, Low, 0, "warm"},
        RuleCase{"LoadedOutOfBoundsNotClamped", {loaded(RH, High, "250")}, RH, High, 250, "250"},
        RuleCase{"KirSpinStopsAtBound", {typed(KIR, High, "2490"), spun(KIR, High, 20)}, KIR, High, 2501, "2501.0"},
        RuleCase{"FieldRewrittenFromTypedText", {typed(AIR, High, "35.")}, AIR, High, 35, "35.0"}),
    [](const testing::TestParamInfo<RuleCase>& i) { return std::string(i.param.name); });

TEST(NumericEntry, AcceptsNumberCharactersOnly) {
    for (char32_t c = 0; c < 128; ++c) {
        const bool expected = (c >= '0' && c <= '9') || c == '.' || c == '-' || c == 8;
        EXPECT_EQ(kv::numEntryAccepts(c), expected) << static_cast<int>(c);
    }
    EXPECT_FALSE(kv::numEntryAccepts(U'\u00b0'));
    EXPECT_FALSE(kv::numEntryAccepts(U'\u0663'));  // a digit of another script
}

}  // namespace
