// The report page's layout: where the traces, labels and texts go, which
// scale and times it prints, and how it fits a printable area.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "graph/GraphFixture.h"
#include "core/graph/ReportLayout.h"
#include "core/record/LocalTime.h"

namespace {

using kv::PagePoint;

// 08:00:00 UTC on 2024-03-15 (tests run with TZ=UTC).
constexpr std::time_t kEight = 1710489600;

// A logged run of `n` samples, every quantity reading `v`.
std::unique_ptr<kv::LoggedRun> loggedRun(int n, float v, int intervalS = 10) {
    auto r = std::make_unique<kv::LoggedRun>();
    r->count = n;
    r->interval = intervalS;
    for (int i = 0; i < n * kv::kQuantities; ++i) r->samples[i] = v;
    return r;
}

constexpr bool kAll[kv::kQuantities] = {true, true, true, true, true};

kv::ReportData loggerData(const kv::LoggedRun& r, const bool shown[kv::kQuantities] = kAll,
                          int gain = 10, int offset = 0) {
    return kv::loggerReportData(r, gain, offset, kEight, shown, kEight);
}

std::vector<std::string> texts(const std::vector<kv::PageText>& v) {
    std::vector<std::string> out;
    for (const auto& t : v) out.push_back(t.text);
    return out;
}

}  // namespace

// Time labels step by (n div 4) samples; the live run counts its interval in
// milliseconds, the logged run in seconds, and both print the same times.
struct TimeRow {
    const char* name;
    bool live;
    int n;
    int interval;   // ms for the live run, s for the logged one
    const char* labels[5];
};
class ReportTimeLabels : public ::testing::TestWithParam<TimeRow> {};

TEST_P(ReportTimeLabels, StepByAQuarterOfTheRun) {
    const TimeRow& row = GetParam();
    auto doc = std::make_unique<kv::SampleStore>();
    kv::RunState run;
    auto logged = loggedRun(row.n, 20.0f, row.interval);
    kv::ReportData d;
    if (row.live) {
        run.n = row.n;
        run.intervalMs = row.interval;
        run.runStartTime = kEight;
        d = kv::liveReportData(*doc, run, kEight);
    } else {
        d = loggerData(*logged);
    }
    const kv::ReportLayout lay = kv::layoutReport(d);
    const int xs[5] = {-750, -580, -410, -240, -70};
    for (int j = 0; j < 5; ++j) {
        EXPECT_EQ(lay.timeLabels[j].text, row.labels[j]) << "label " << j;
        EXPECT_EQ(lay.timeLabels[j].at, (PagePoint{xs[j], 195}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ReportTimeLabels,
    ::testing::Values(
        // The traces end at 08:01:00, but 7 div 4 = 1 sample per label.
        TimeRow{"Logged7x10s", false, 7, 10, {"08:00:00", "08:00:10", "08:00:20", "08:00:30", "08:00:40"}},
        TimeRow{"Live7x10s", true, 7, 10000, {"08:00:00", "08:00:10", "08:00:20", "08:00:30", "08:00:40"}},
        TimeRow{"LoggedOneSample", false, 1, 10, {"08:00:00", "08:00:00", "08:00:00", "08:00:00", "08:00:00"}},
        TimeRow{"Live1000x1s", true, 1000, 1000, {"08:00:00", "08:04:10", "08:08:20", "08:12:30", "08:16:40"}},
        // 10000 samples an hour apart: 2500 hours (104 days and 4 hours) per
        // label, far past the 32-bit range in milliseconds.
        TimeRow{"LoggedLongRun", false, 10000, 3600, {"08:00:00", "12:00:00", "16:00:00", "20:00:00", "00:00:00"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Where a reading lands on the page: 800 units for the scale, 200 below it;
// Fahrenheit converts temperatures, never RH; no rounding to one decimal.
struct HeightRow {
    const char* name;
    int q;
    uint8_t unitFlag;
    float v;
    int gain, offset;
    int y;
};
class ReportTraceHeight : public ::testing::TestWithParam<HeightRow> {};

TEST_P(ReportTraceHeight, OnTheUnzoomedScale) {
    const HeightRow& row = GetParam();
    auto r = loggedRun(2, 0.0f);
    r->samples[row.q] = row.v;                    // sample 0
    r->samples[kv::kQuantities + row.q] = row.v;  // sample 1
    r->unitFlag = row.unitFlag;
    const kv::ReportLayout lay = kv::layoutReport(loggerData(*r, kAll, row.gain, row.offset));
    ASSERT_EQ(lay.trace[row.q].size(), 2u);
    EXPECT_EQ(lay.trace[row.q][0], (PagePoint{-750, row.y}));
    EXPECT_EQ(lay.trace[row.q][1], (PagePoint{-10, row.y}));
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReportTraceHeight,
    ::testing::Values(HeightRow{"Bottom", kv::AIR, 0, 0.0f, 10, 0, 200},
                      HeightRow{"Top", kv::WB, 0, 100.0f, 10, 0, 1000},
                      HeightRow{"Middle", kv::DP, 0, 50.0f, 10, 0, 600},
                      HeightRow{"AirInFahrenheit", kv::AIR, 1, 0.0f, 10, 0, 456},
                      HeightRow{"KirInFahrenheit", kv::KIR, 1, 10.0f, 10, 0, 600},
                      HeightRow{"RhNeverConverted", kv::RH, 1, 50.0f, 10, 0, 600},
                      // 23.47 is not brought to one decimal first: 387.76 -> 387.
                      HeightRow{"NotRounded", kv::AIR, 0, 23.47f, 10, 0, 387},
                      HeightRow{"NegativeOffset", kv::AIR, 0, 0.0f, 2, -5, 600},
                      HeightRow{"BelowTheFrame", kv::AIR, 0, -10.0f, 10, 0, 120},
                      HeightRow{"NoKirReading", kv::KIR, 0, kv::kNoKir, 10, 0, -71800}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReportLayout, SamplesSpreadAcrossTheFrameForEveryRunLength) {
    // The first sample sits on the frame's left edge and the last on its right
    // edge, whatever the count; no rounding may push it a unit off.
    for (int n : {2, 3, 7, 97, 999, 1000, 3001, 7777, 9999, 10000, 10010}) {
        SCOPED_TRACE(n);
        auto r = loggedRun(n, 50.0f);
        const kv::ReportLayout lay = kv::layoutReport(loggerData(*r));
        ASSERT_EQ(lay.trace[kv::AIR].size(), static_cast<std::size_t>(n));
        EXPECT_EQ(lay.trace[kv::AIR].front().x, -750);
        EXPECT_EQ(lay.trace[kv::AIR].back().x, -10);
        for (std::size_t i = 1; i < lay.trace[kv::AIR].size(); ++i)
            ASSERT_GE(lay.trace[kv::AIR][i].x, lay.trace[kv::AIR][i - 1].x);
    }
    auto r = loggedRun(5, 50.0f);
    const kv::ReportLayout lay = kv::layoutReport(loggerData(*r));
    EXPECT_EQ(lay.trace[kv::RH][2].x, -380);   // 2 * 185 - 750
}

TEST(ReportLayout, OneSampleHasTextsButNoSegment) {
    auto r = loggedRun(1, 50.0f);
    const kv::ReportLayout lay = kv::layoutReport(loggerData(*r));
    EXPECT_TRUE(lay.body);
    for (int q = 0; q < kv::kQuantities; ++q) EXPECT_TRUE(lay.trace[q].empty());
    EXPECT_EQ(lay.title.text, " Test Report ");
    EXPECT_EQ(lay.title.at, (PagePoint{-620, 1120}));
    EXPECT_EQ(lay.title.font, kv::PageFont::Title);
    EXPECT_EQ(texts(lay.names), (std::vector<std::string>{"AIR", "WB", "DP", "K/IR", "RH"}));
    for (int q = 0; q < kv::kQuantities; ++q) EXPECT_EQ(lay.names[q].at, (PagePoint{-600 + 100 * q, 1025}));

    // An empty run gets the frame alone.
    auto empty = loggedRun(0, 0.0f);
    const kv::ReportLayout none = kv::layoutReport(loggerData(*empty));
    EXPECT_FALSE(none.body);
    EXPECT_EQ(none.frame[0].a, (PagePoint{-750, 200}));
    EXPECT_EQ(none.frame[2].b, (PagePoint{-10, 1000}));
}

TEST(ReportLayout, OnlyTheShownQuantitiesAppear) {
    const bool rhOnly[kv::kQuantities] = {false, false, false, false, true};
    auto r = loggedRun(10, 50.0f);
    const kv::ReportLayout lay = kv::layoutReport(loggerData(*r, rhOnly));
    ASSERT_EQ(lay.names.size(), 1u);
    EXPECT_EQ(lay.names[0].text, "RH");
    EXPECT_EQ(lay.names[0].at, (PagePoint{-200, 1025}));
    for (int q = 0; q < kv::RH; ++q) EXPECT_TRUE(lay.trace[q].empty()) << q;
    EXPECT_EQ(lay.trace[kv::RH].size(), 10u);

    // The live run's trace switches count only when exactly 1.
    auto doc = std::make_unique<kv::SampleStore>();
    kv::RunState run;
    run.n = 3;
    const uint8_t sw[kv::kQuantities] = {1, 0, 2, 1, 0};
    for (int q = 0; q < kv::kQuantities; ++q) run.traces[q] = sw[q];
    const kv::ReportLayout live = kv::layoutReport(kv::liveReportData(*doc, run, 0));
    EXPECT_EQ(texts(live.names), (std::vector<std::string>{"AIR", "K/IR"}));
}

TEST(ReportLayout, YLabelsGridAndDate) {
    auto r = loggedRun(4, 0.0f);
    kv::ReportData d = loggerData(*r, kAll, 2, -5);
    d.printedAt = kEight + 3 * 86400 + 5 * 3600 + 7 * 60 + 59;
    const kv::ReportLayout lay = kv::layoutReport(d);
    const char* want[11] = {"-10.0", "-8.0", "-6.0", "-4.0", "-2.0", "0.0", "2.0", "4.0", "6.0", "8.0", "10.0"};
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(lay.yLabels[i].text, want[i]);
        EXPECT_EQ(lay.yLabels[i].at, (PagePoint{-800, 210 + 80 * i}));
    }
    EXPECT_EQ(lay.date.text, "2024-03-18  13:07");
    EXPECT_EQ(lay.date.at, (PagePoint{-200, 100}));
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(lay.grid[k].a, (PagePoint{-10, 280 + 80 * k}));
        EXPECT_EQ(lay.grid[k].b, (PagePoint{-755, 280 + 80 * k}));
    }
    EXPECT_EQ(lay.grid[10].a, (PagePoint{-565, 200}));
    EXPECT_EQ(lay.grid[12].b, (PagePoint{-195, 1000}));
}

TEST(ReportData, LiveAndLoggedStoresGiveTheSameSamples) {
    // The live series keeps one array per quantity, the logged run interleaves.
    auto doc = std::make_unique<kv::SampleStore>();
    kv::RunState run;
    run.n = 3;
    auto logged = loggedRun(3, 0.0f);
    for (int i = 0; i < 3; ++i)
        for (int q = 0; q < kv::kQuantities; ++q) {
            const float v = 10.0f * i + q;
            doc->live[q][i] = v;
            logged->samples[i * kv::kQuantities + q] = v;
        }
    const kv::ReportData live = kv::liveReportData(*doc, run, 0);
    const kv::ReportData log = loggerData(*logged);
    for (int i = 0; i < 3; ++i)
        for (int q = 0; q < kv::kQuantities; ++q) {
            EXPECT_EQ(live.samples.at(i, q), 10.0f * i + q);
            EXPECT_EQ(log.samples.at(i, q), 10.0f * i + q);
        }
    // A count beyond the store is held to the store.
    logged->count = 50000;
    EXPECT_EQ(loggerData(*logged).samples.count, kv::kMaxSamples);
    logged->count = -4;
    EXPECT_EQ(loggerData(*logged).samples.count, 0);
}

TEST(ReportData, LiveReportUsesTheUnzoomedScaleWhateverTheZoom) {
    GraphFixture gf;
    gf.run.yGain = 5;
    gf.run.yOffset = 2;
    gf.samples(200, 30.0f);
    gf.settle();
    const auto& geo = gf.geo;
    gf.drag(geo.plotLeft + 100, geo.plotTop + 100, geo.plotLeft + 400, geo.plotTop + 300);
    gf.paint();
    ASSERT_GE(gf.g->L, 1);
    ASSERT_NE(gf.g->tick[gf.g->L][0], gf.g->tick[0][0]);

    const kv::ReportData d = kv::liveReportData(*gf.doc, gf.run, 0);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(d.ticks[i], gf.g->tick[0][i]) << i;
        EXPECT_EQ(d.ticks[i], static_cast<float>((i + 2) * 5)) << i;
    }
    EXPECT_EQ(d.samples.count, 200);
}

TEST(ReportLayout, CorruptValuesStayDrawable) {
    // NaN and infinities from a damaged file must not become undefined
    // integer conversions; they land far off the frame.
    auto r = loggedRun(4, 50.0f);
    r->samples[0 * 5 + kv::AIR] = std::numeric_limits<float>::quiet_NaN();
    r->samples[1 * 5 + kv::AIR] = std::numeric_limits<float>::infinity();
    r->samples[2 * 5 + kv::AIR] = -std::numeric_limits<float>::infinity();
    r->samples[3 * 5 + kv::AIR] = 3e38f;
    const kv::ReportLayout lay = kv::layoutReport(loggerData(*r));
    const auto& t = lay.trace[kv::AIR];
    ASSERT_EQ(t.size(), 4u);
    EXPECT_LE(t[0].y, -10000);
    EXPECT_GE(t[1].y, 10000);
    EXPECT_LE(t[2].y, -10000);
    EXPECT_GE(t[3].y, 10000);
    // A zero scale (gain 0) has no height at all; nothing may blow up.
    const kv::ReportLayout flat = kv::layoutReport(loggerData(*r, kAll, 0, 0));
    EXPECT_EQ(flat.trace[kv::WB].size(), 4u);
}

// The page needs 8.0 x 11.2 inch; a smaller printable area gets the page
// shrunk evenly, a larger one the page at its size, anchored bottom-right.
struct FitRow {
    const char* name;
    double wIn, hIn, dpiX, dpiY;
    double scale;
};
class ReportFit : public ::testing::TestWithParam<FitRow> {};

TEST_P(ReportFit, KeepsProportionsAndCutsNothing) {
    const FitRow& row = GetParam();
    const double w = row.wIn * row.dpiX, h = row.hIn * row.dpiY;
    const kv::PageMapping m = kv::reportMapping(12, 34, w, h, row.dpiX, row.dpiY);
    EXPECT_NEAR(m.scale, row.scale, 1e-9);
    EXPECT_NEAR(m.sx / m.sy, row.dpiX / row.dpiY, 1e-9);   // proportions kept
    EXPECT_DOUBLE_EQ(m.ox, 12 + w);
    EXPECT_DOUBLE_EQ(m.oy, 34 + h);
    // The page's far corner (-800, 1120) stays inside the area.
    EXPECT_GE(m.ox - 800 * m.sx, 12 - 1e-6);
    EXPECT_GE(m.oy - 1120 * m.sy, 34 - 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Areas, ReportFit,
    ::testing::Values(FitRow{"LetterWithMargins", 8.0, 10.5, 600, 600, 10.5 / 11.2},
                      FitRow{"A4WithMargins", 7.93, 11.35, 600, 600, 7.93 / 8.0},
                      FitRow{"Tabloid", 11.0, 17.0, 300, 300, 1.0},
                      FitRow{"ExactlyThePage", 8.0, 11.2, 1200, 1200, 1.0},
                      FitRow{"UnevenResolution", 8.0, 10.5, 600, 300, 10.5 / 11.2},
                      FitRow{"Narrow", 4.0, 11.2, 72, 72, 0.5}),
    [](const auto& info) { return std::string(info.param.name); });
