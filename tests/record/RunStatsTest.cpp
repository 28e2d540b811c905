// Statistics of a run against hand-computed figures, read from the logged
// run's interleaved samples and from the live store's per-quantity series.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "RecordTestUtil.h"
#include "core/record/RunStats.h"

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct Expect {
    int valid, missing;
    double min;
    int minAt;
    double max;
    int maxAt;
    double mean, sd;   // kNone: none expected
};

struct StatsCase {
    const char* name;
    std::vector<kvtest::Row> rows;
    uint8_t unitFlag;
    int first, last;   // 0-based, inclusive
    int quantity;
    Expect expect;
};

void expectStats(const kv::QuantityStats& s, const Expect& e) {
    EXPECT_EQ(s.valid, e.valid);
    EXPECT_EQ(s.missing, e.missing);
    ASSERT_EQ(s.min.has_value(), !std::isnan(e.min));
    ASSERT_EQ(s.mean.has_value(), !std::isnan(e.mean));
    ASSERT_EQ(s.sd.has_value(), !std::isnan(e.sd));
    if (s.min) {
        EXPECT_DOUBLE_EQ(s.min->value, e.min);
        EXPECT_EQ(s.min->index, e.minAt);
        EXPECT_DOUBLE_EQ(s.max->value, e.max);
        EXPECT_EQ(s.max->index, e.maxAt);
        EXPECT_DOUBLE_EQ(*s.mean, e.mean);
    }
    if (s.sd) {
        EXPECT_NEAR(*s.sd, e.sd, 1e-12);
    }
}

class RunStatsTable : public ::testing::TestWithParam<StatsCase> {};

TEST_P(RunStatsTable, MatchesTheHandComputedFigures) {
    const StatsCase& c = GetParam();
    auto rec = kv::makeRunRecord();
    auto live = std::make_unique<kv::SampleStore>();
    int i = 0;
    for (const kvtest::Row& r : c.rows) {
        const float v[5] = {r.air, r.wb, r.dp, r.kir, r.rh};
        for (int q = 0; q < 5; ++q) rec->run.samples[i * 5 + q] = live->live[q][i] = v[q];
        ++i;
    }
    rec->run.count = i;
    {
        SCOPED_TRACE("logged run");
        const kv::RunStats s = kv::computeRunStats(kv::loggedSamples(rec->run), c.first, c.last, c.unitFlag);
        EXPECT_EQ(s.samples, i);
        expectStats(s.q[c.quantity], c.expect);
    }
    {
        SCOPED_TRACE("live series");
        const kv::RunStats s = kv::computeRunStats(kv::liveSamples(*live, i), c.first, c.last, c.unitFlag);
        expectStats(s.q[c.quantity], c.expect);
    }
}

// AIR 20, 25, 30 °C is 68, 77, 86 °F: mean 77, deviations -9, 0, 9, sd 9.
// Span 2..4 of 10, 1, 2, 6, 100: mean 3, deviations -2, -1, 3, sd sqrt(14 / 2).
INSTANTIATE_TEST_SUITE_P(
    Runs, RunStatsTable,
    ::testing::Values(
        StatsCase{"FahrenheitConverted", {{20, 0, 0, 0, 0}, {25, 0, 0, 0, 0}, {30, 0, 0, 0, 0}}, 1, 0, 2, kv::AIR,
                  {3, 0, 68, 0, 86, 2, 77, 9}},
        StatsCase{"HumidityNeverConverted", {{0, 0, 0, 0, 40}, {0, 0, 0, 0, 60}}, 1, 0, 1, kv::RH,
                  {2, 0, 40, 0, 60, 1, 50, std::sqrt(200.0)}},
        StatsCase{"KirNotCutToOneDecimal", {{0, 0, 0, 23.25f, 0}, {0, 0, 0, 23.75f, 0}}, 0, 0, 1, kv::KIR,
                  {2, 0, 23.25, 0, 23.75, 1, 23.5, std::sqrt(0.125)}},
        StatsCase{"AllKirMissing", {{0, 0, 0, -9000, 0}, {0, 0, 0, -1000, 0}, {0, 0, 0, -1e6f, 0}}, 1, 0, 2,
                  kv::KIR, {0, 3, kNone, 0, kNone, 0, kNone, kNone}},
        StatsCase{"OneSampleHasNoSd", {{21.5f, 0, 0, 0, 0}}, 0, 0, 0, kv::AIR,
                  {1, 0, 21.5, 0, 21.5, 0, 21.5, kNone}},
        StatsCase{"Span", {{10, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {2, 0, 0, 0, 0}, {6, 0, 0, 0, 0}, {100, 0, 0, 0, 0}},
                  0, 1, 3, kv::AIR, {3, 0, 1, 1, 6, 3, 3, std::sqrt(7.0)}},
        StatsCase{"ExtremesAtTheirFirstOccurrence", {{5, 0, 0, 0, 0}, {3, 0, 0, 0, 0}, {5, 0, 0, 0, 0},
                  {3, 0, 0, 0, 0}}, 0, 0, 3, kv::AIR, {4, 0, 3, 1, 5, 0, 4, std::sqrt(4.0 / 3)}},
        StatsCase{"NotANumberIsMissing", {{kNan, 0, 0, 0, 0}, {kInf, 0, 0, 0, 0}, {-kInf, 0, 0, 0, 0},
                  {2, 0, 0, 0, 0}, {-kNan, 0, 0, 0, 0}, {4, 0, 0, 0, 0}}, 1, 0, 5, kv::AIR,
                  {2, 4, 35.6, 3, 39.2, 5, 37.4, 1.8 * std::sqrt(2.0)}},
        StatsCase{"FarOffsetKeepsItsPrecision", {{1e6f + 1, 0, 0, 0, 0}, {1e6f + 2, 0, 0, 0, 0},
                  {1e6f + 3, 0, 0, 0, 0}}, 0, 0, 2, kv::AIR, {3, 0, 1e6 + 1, 0, 1e6 + 3, 2, 1e6 + 2, 1}},
        StatsCase{"EmptyRun", {}, 0, 0, -1, kv::DP, {0, 0, kNone, 0, kNone, 0, kNone, kNone}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
