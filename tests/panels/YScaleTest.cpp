// The Y scale dialog's choices and what an OK'd choice does to a graph's pair.
#include <gtest/gtest.h>

#include "core/panels/YScale.h"

namespace {

struct Choice { const char* name; int offsetChoice, gainChoice; int32_t offset, gain; };
class YScaleChoice : public testing::TestWithParam<Choice> {};
TEST_P(YScaleChoice, Applies) {
    int32_t offset = 2, gain = 20;  // what the graph had
    kv::applyYScaleChoice(GetParam().offsetChoice, GetParam().gainChoice, offset, gain);
    EXPECT_EQ(offset, GetParam().offset);
    EXPECT_EQ(gain, GetParam().gain);
}
INSTANTIATE_TEST_SUITE_P(
    Choices, YScaleChoice,
    testing::Values(Choice{"NothingChosen", -1, -1, 2, 20}, Choice{"OnlyGain", -1, 6, 2, 100},
                    Choice{"OnlyOffset", 3, -1, -2, 20}, Choice{"Both", 4, 8, -5, 500},
                    Choice{"FirstEntries", 0, 0, 0, 1}, Choice{"PastTheLists", 5, 9, 2, 20}),
    [](const testing::TestParamInfo<Choice>& i) { return std::string(i.param.name); });

// Gain 500 with offset -5 spans -2500 at the bottom grid line to 2500 at the top.
TEST(YScaleChoice, WidestAxis) {
    int32_t offset = 0, gain = 10;
    kv::applyYScaleChoice(4, 8, offset, gain);
    EXPECT_EQ(offset * gain, -2500);
    EXPECT_EQ((offset + 10) * gain, 2500);
}

TEST(YScaleChoice, ListsInTheirOrder) {
    for (int i = 0; i < kv::kYGainCount; ++i) EXPECT_EQ(std::to_string(kv::kYGains[i]), kv::kYGainTexts[i]);
    for (int i = 0; i < kv::kYOffsetCount; ++i) EXPECT_EQ(std::to_string(kv::kYOffsets[i]), kv::kYOffsetTexts[i]);
}

}  // namespace
