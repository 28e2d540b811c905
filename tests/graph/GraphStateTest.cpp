// The graph's arithmetic: geometry, axis growth, point tables, grid, ticks and labels.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "GraphFixture.h"

using namespace kv;

// ---- Geometry -------------------------------------------------------------

struct GeometryRow {
    const char* name;
    int width, height;
    int W, H;
    int stripLeft, stripW;
};

class Geometry : public ::testing::TestWithParam<GeometryRow> {};

TEST_P(Geometry, AreasFollowTheClientRectangle) {
    const GeometryRow& r = GetParam();
    const PlotGeometry g = plotGeometry(r.width, r.height);
    EXPECT_EQ(g.plotLeft, 294);
    EXPECT_EQ(g.plotTop, 118);
    EXPECT_EQ(g.plotRight, r.width - 50);
    EXPECT_EQ(g.plotBottom, r.height - 200);
    EXPECT_EQ(g.W, r.W);
    EXPECT_EQ(g.H, r.H);
    EXPECT_EQ(g.stripLeft, r.stripLeft);
    EXPECT_EQ(g.stripW, r.stripW);
    EXPECT_EQ(g.colX, 226);
    EXPECT_EQ(g.colY, 94);
    EXPECT_EQ(g.colW, 68);
    EXPECT_EQ(g.colH, r.height - 200 + 30 - 94);
    EXPECT_EQ(g.hasPlot(), r.W > 0 && r.H > 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, Geometry,
    ::testing::Values(GeometryRow{"FullHd", 1920, 1020, 1576, 702, 1870, 60},
                      GeometryRow{"Small", 800, 500, 456, 182, 750, 60},
                      GeometryRow{"StripJustThere", 274, 400, -70, 82, 224, 60},
                      GeometryRow{"NarrowerThanStrip", 273, 400, -71, 82, 224, 0},
                      GeometryRow{"Tiny", 100, 100, -244, -218, 224, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- One decimal and units --------------------------------------------------

struct DecimalRow {
    const char* name;
    int q;
    float v;
    float expected;
};

class OneDecimal : public ::testing::TestWithParam<DecimalRow> {};

TEST_P(OneDecimal, KirIsCutOthersAreRounded) {
    const DecimalRow& r = GetParam();
    EXPECT_NEAR(oneDecimal(r.v, r.q), r.expected, 1e-5) << r.name;
}

INSTANTIATE_TEST_SUITE_P(
    Values, OneDecimal,
    ::testing::Values(DecimalRow{"KirCut", KIR, 23.47f, 23.4f}, DecimalRow{"AirRounded", AIR, 23.47f, 23.5f},
                      DecimalRow{"AirNegativeAwayFromZero", AIR, -0.06f, -0.1f},
                      DecimalRow{"KirNegativeCutToZero", KIR, -0.06f, 0.0f},
                      DecimalRow{"WbHalfUp", WB, 0.05f, 0.1f}, DecimalRow{"DpBelowHalf", DP, 12.34f, 12.3f},
                      DecimalRow{"RhRounded", RH, 55.26f, 55.3f},
                      DecimalRow{"KirNegativeCut", KIR, -12.39f, -12.3f},
                      DecimalRow{"KirMissingStaysFarBelow", KIR, -9000.0f, -9000.0f}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DisplayValue, FahrenheitConvertsTemperaturesButNeverRh) {
    for (int q = 0; q < kQuantities; ++q) {
        EXPECT_FLOAT_EQ(displayValue(20.0f, q, false), 20.0f);
        EXPECT_FLOAT_EQ(displayValue(20.0f, q, true), q == RH ? 20.0f : 68.0f) << kQuantityNames[q];
    }
}

// ---- A paint with no samples -------------------------------------------------

TEST(Paint, NoSamplesDrawsTheEmptyGrid) {
    GraphFixture t;
    const GraphFrame f = t.paint();
    EXPECT_TRUE(f.statusTexts);
    EXPECT_FALSE(f.traces);
    ASSERT_EQ(f.vLineCount, 13);
    for (int i = 0; i < 13; ++i) EXPECT_EQ(f.vLines[i], static_cast<int>(i * 1576.0 / 12.0 + 1e-9)) << i;
    ASSERT_EQ(f.hLineCount, 10);
    int visible = 0;
    for (int i = 0; i < 10; ++i) visible += f.hLines[i] < t.geo.H;
    EXPECT_EQ(visible, 9);
    EXPECT_EQ(f.hLines[9], t.geo.H);   // the tenth lies just outside the plot
    EXPECT_EQ(f.timeLabelCount, 0);
}

// ---- Y scale ---------------------------------------------------------------

struct ScaleRow {
    const char* name;
    int offset, gain;
    const char* bottom;
    const char* middle;
    const char* top;
};

class YScale : public ::testing::TestWithParam<ScaleRow> {};

TEST_P(YScale, LabelsSpanTenDivisions) {
    const ScaleRow& r = GetParam();
    GraphFixture t;
    t.run.yOffset = r.offset;
    t.run.yGain = r.gain;
    t.paint();
    EXPECT_EQ(yLabelText(t.g->tick[0][0]), r.bottom);
    EXPECT_EQ(yLabelText(t.g->tick[0][5]), r.middle);
    EXPECT_EQ(yLabelText(t.g->tick[0][10]), r.top);
}

INSTANTIATE_TEST_SUITE_P(Scales, YScale,
                         ::testing::Values(ScaleRow{"Default", 0, 10, "0.00", "50.00", "100.00"},
                                           ScaleRow{"OffsetMinus5Gain2", -5, 2, "-10.00", "0.00", "10.00"},
                                           ScaleRow{"Offset2Gain500", 2, 500, "1000.00", "3500.00", "6000.00"},
                                           ScaleRow{"OffsetMinus2Gain1", -2, 1, "-2.00", "3.00", "8.00"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Paint, LabelsSitOnTheirGridLines) {
    GraphFixture t;
    const GraphFrame f = t.paint();
    // In view coordinates the column starts at y 94.
    EXPECT_EQ(t.geo.colY + f.yTickY[0], t.geo.plotBottom - 1);
    EXPECT_EQ(t.geo.colY + f.yTickY[10], t.geo.plotTop);
    EXPECT_EQ(f.yTextX[0], 32);    // "0.00": four places of indent
    EXPECT_EQ(f.yTextX[10], 17);   // "100.00": two
    EXPECT_EQ(f.yTextY[0], t.geo.plotBottom - 94 - 8);
}

struct IndentRow {
    float v;
    int p;
};

TEST(LabelIndent, LastRuleThatHoldsWins) {
    const IndentRow rows[] = {{0, 4},     {5, 4},      {9.99f, 4},  {10, 3},    {99.9f, 3},
                              {100, 2},   {999, 2},    {1000, 1},   {5000, 1},  {-0.5f, 3},
                              {-9.9f, 3}, {-10, 2},    {-99, 2},    {-100, 1},  {-999, 1},
                              {-1000, 0}, {-5000, 0},  {NAN, 0}};
    for (const IndentRow& r : rows) EXPECT_EQ(labelIndent(r.v), r.p) << r.v;
}

// ---- Points ------------------------------------------------------------------

TEST(Paint, FiftyLiesHalfWayUp) {
    GraphFixture t;
    t.samples(10, 50.0f);
    const GraphFrame f = t.paint();
    ASSERT_TRUE(f.traces);
    for (int q = 0; q < kQuantities; ++q) EXPECT_FLOAT_EQ(t.g->yLive(q)[5], t.geo.H / 2.0f);
}

TEST(Paint, LiveSamplesStepAcrossTheAxis) {
    GraphFixture t;
    t.samples(50, 20.0f);
    const GraphFrame f = t.paint();
    const float step = 1576.0f / 99.0f;
    EXPECT_FLOAT_EQ(t.g->liveStep, step);
    EXPECT_FLOAT_EQ(t.g->xLive()[49], 49 * step);
    EXPECT_FLOAT_EQ(t.g->xRecord(0)[49], 49 * step);   // level 0 follows the live axis
    int xs[kMaxSamples], ys[kMaxSamples];
    ASSERT_EQ(tracePixels(*t.g, f, t.run, AIR, xs, ys), 50);
    EXPECT_EQ(xs[49], static_cast<int>(49 * step));
    EXPECT_EQ(ys[49], static_cast<int>(valueToY(20.0f, 0, 100, t.geo.H)));
}

TEST(Paint, FahrenheitShiftsTemperaturesButNotRh) {
    GraphFixture t;
    t.samples(5, 20.0f);
    t.run.unitFlag = 1;
    t.paint();
    const float y68 = valueToY(68.0f, 0, 100, t.geo.H), y20 = valueToY(20.0f, 0, 100, t.geo.H);
    for (int q = 0; q < kQuantities; ++q) EXPECT_FLOAT_EQ(t.g->yLive(q)[3], q == RH ? y20 : y68) << q;
}

TEST(Paint, KirIsCutAndAirRoundedOnThePlot) {
    GraphFixture t;
    t.run.yGain = 1;   // one unit per division so a tenth is visible
    t.run.yOffset = 0;
    t.samples(3, 0.0f);
    t.doc->live[AIR][1] = 3.47f;
    t.doc->live[KIR][1] = 3.47f;
    t.paint();
    EXPECT_FLOAT_EQ(t.g->yLive(AIR)[1], valueToY(oneDecimal(3.47f, AIR), 0, 10, t.geo.H));
    EXPECT_FLOAT_EQ(t.g->yLive(KIR)[1], valueToY(3.4f, 0, 10, t.geo.H));
    EXPECT_GT(t.g->yLive(KIR)[1] - t.g->yLive(AIR)[1], 6.0f);   // 0.1 unit = 7 pixels apart
}

TEST(Paint, MissingKirRunsOffTheBottom) {
    GraphFixture t;
    t.samples(4, 20.0f);
    t.doc->live[KIR][2] = kNoKir;
    const GraphFrame f = t.paint();
    int xs[kMaxSamples], ys[kMaxSamples];
    tracePixels(*t.g, f, t.run, KIR, xs, ys);
    EXPECT_GT(ys[2], 80 * t.geo.H);
    EXPECT_LT(ys[1], t.geo.H);
}

TEST(Paint, FirstSampleStartsAFreshAxis) {
    GraphFixture t;
    t.samples(20, 20.0f);
    t.paint();
    const float previousStep = t.g->liveStep;
    t.g->N = 500;
    t.g->L = 3;
    t.g->follow = 0;
    t.g->scrollShift = 7;
    EXPECT_TRUE(startFreshAxis(*t.g));   // browse mode ended: UndoZoom is told
    EXPECT_EQ(t.g->N, 100);
    EXPECT_EQ(t.g->L, 0);
    EXPECT_EQ(t.g->follow, 1);
    EXPECT_EQ(t.g->scrollShift, 0);
    EXPECT_FLOAT_EQ(t.g->browseStep, previousStep);
    EXPECT_FALSE(startFreshAxis(*t.g));  // live already: nothing to tell
    t.run.n = 1;
    EXPECT_FALSE(t.paint().traces);      // one sample, no segment
}

TEST(Paint, OneSampleLabelsUnderEveryThirdGridLine) {
    GraphFixture t;
    t.samples(1, 20.0f);
    t.run.runStartTime = 1000;
    t.run.intervalMs = 2000;
    const GraphFrame f = t.paint();
    ASSERT_EQ(f.vLineCount, 14);
    ASSERT_EQ(f.timeLabelCount, 5);
    EXPECT_EQ(f.timeLabelX[0], t.geo.plotLeft + 2);
    for (int j = 1; j <= 4; ++j) EXPECT_NEAR(f.timeLabelX[j], t.geo.plotLeft + f.vLines[3 * j], 1) << j;
    EXPECT_EQ(f.timeLabelY, t.geo.plotBottom + 40);
    const int k = static_cast<int>((1576 / 12) / t.g->liveStep);
    EXPECT_EQ(t.g->labelTime[0], 1000);
    EXPECT_EQ(t.g->labelTime[2], 1000 + k * 2 * 6);
    EXPECT_FALSE(f.statusTexts);
}

// ---- Growth of the live axis --------------------------------------------------

class Growth : public ::testing::TestWithParam<int> {};

TEST_P(Growth, FullAxisMakesRoomForAboutATwelfthMore) {
    const int N0 = GetParam();
    GraphFixture t;
    t.samples(N0 + 1, 20.0f);
    t.g->N = N0;
    const GraphFrame f = t.paint();
    EXPECT_TRUE(f.repaint);
    EXPECT_EQ(t.g->N, static_cast<int>(12.0 * N0 / 11.0 + 1.0));
    // The repaint lays the run out again: it fills about eleven twelfths.
    const GraphFrame again = t.paint();
    EXPECT_FALSE(again.repaint);
    EXPECT_NEAR(t.g->xLive()[N0] / 1576.0, 11.0 / 12.0, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Capacities, Growth, ::testing::Values(100, 250, 1000, 5000));

TEST(Growth, NothingGrowsBeforeTheAxisIsFull) {
    GraphFixture t;
    t.samples(100, 20.0f);
    EXPECT_FALSE(t.paint().repaint);
    EXPECT_EQ(t.g->N, 100);
}

TEST(Growth, AFullRunSettlesWithEverySampleOnThePlot) {
    GraphFixture t;
    t.samples(10000, 20.0f);
    t.settle();
    EXPECT_GE(t.g->N, 10000);
    EXPECT_LT(t.g->xLive()[9999], 1576.0f);
}
