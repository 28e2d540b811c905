// The logger graph's numbers: plot, coordinate tables, labels, time grid.
#include <gtest/gtest.h>

#include "LoggerTestUtil.h"
#include "core/logger/LoggerGeometry.h"
#include "core/logger/SetTable.h"

using namespace kv::logger;
using kvtest::rampRun;
using kvtest::viewerPlot;

TEST(LoggerPlot, MarginsOfTheViewerWindow) {
    const PlotRect p = viewerPlot();
    EXPECT_EQ(p.left, 306);
    EXPECT_EQ(p.top, 90);
    EXPECT_EQ(p.right, 885);
    EXPECT_EQ(p.bottom, 537);
    EXPECT_EQ(p.w, 579);
    EXPECT_EQ(p.h, 447);
}

struct Drawn { const char* name; int q; float stored; uint8_t unitFlag; double value; };

class TraceValue : public ::testing::TestWithParam<Drawn> {};

TEST_P(TraceValue, IsTheOneDecimalValueOnTheLabelScale) {
    const Drawn& d = GetParam();
    EXPECT_NEAR(traceValue(d.stored, d.q, d.unitFlag), d.value, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, TraceValue,
    ::testing::Values(Drawn{"KirTruncated", kv::KIR, 12.37f, 0, 12.3}, Drawn{"AirHalfUp", kv::AIR, 12.35f, 0, 12.4},
                      Drawn{"AirNegativeHalfAway", kv::AIR, -12.35f, 0, -12.4},
                      Drawn{"KirNegativeTowardZero", kv::KIR, -12.37f, 0, -12.3},
                      Drawn{"AirFahrenheit", kv::AIR, 25.0f, 1, 77.0}, Drawn{"RhNeverConverted", kv::RH, 50.0f, 1, 50.0},
                      Drawn{"DpBelowHalf", kv::DP, 0.04f, 0, 0.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WholeRun, LabelsFollowGainAndOffset) {
    CoordTables t;
    auto run = rampRun(3);
    computeWholeRun(t, viewerPlot(), *run, 10, -2);
    for (int m = 0; m <= 10; ++m) EXPECT_EQ(t.v(0, m), (m - 2) * 10.0f) << m;
    computeWholeRun(t, viewerPlot(), *run, 500, -5);
    EXPECT_EQ(t.v(0, 0), -2500.0f);
    EXPECT_EQ(t.v(0, 10), 2500.0f);
}

TEST(WholeRun, SamplesSpanThePlotAndSitAtTheirValue) {
    CoordTables t;
    const PlotRect p = viewerPlot();
    auto run = rampRun(11);
    run->samples[4 * 5 + kv::AIR] = 25.0f;
    run->unitFlag = 1;
    computeWholeRun(t, p, *run, 10, 0);
    EXPECT_EQ(t.x(0)[0], p.left);
    EXPECT_FLOAT_EQ(t.x(0)[10], p.right);
    EXPECT_FLOAT_EQ(t.x(0)[1] - t.x(0)[0], p.w / 10);
    // AIR 25.0 in Fahrenheit is drawn at 77.0 on a 0..100 scale.
    EXPECT_FLOAT_EQ(t.y(0, kv::AIR)[4], p.bottom - 77.0f * p.h / 100.0f);
    // RH 24.0 stays 24.0.
    EXPECT_FLOAT_EQ(t.y(0, kv::RH)[4], p.bottom - 24.0f * p.h / 100.0f);
}

TEST(WholeRun, OneSampleHasNoSpacing) {
    CoordTables t;
    auto run = rampRun(1);
    computeWholeRun(t, viewerPlot(), *run, 10, 0);
    EXPECT_EQ(t.x(0)[0], viewerPlot().left);
    EXPECT_FALSE(spacing(t, 0, 1).valid);
    EXPECT_EQ(firstVisibleSlot(viewerPlot(), spacing(t, 0, 1)), 0);
}

TEST(ZoomLevels, ABoxFillsThePlotAndTheLabelsFollowIt) {
    CoordTables t;
    const PlotRect p = viewerPlot();
    auto run = rampRun(101);
    computeWholeRun(t, p, *run, 10, 0);
    // Box from x of sample 20 to sample 40, and from value 50 (y) up to value 30.
    const float x20 = t.x(0)[20], x40 = t.x(0)[40];
    const float y50 = p.bottom - 50 * p.h / 100, y30 = p.bottom - 30 * p.h / 100;
    ZoomBox boxes[1] = {{x40, y30, x20, y50}};
    computeZoomLevels(t, p, 101, boxes, 1);
    EXPECT_NEAR(t.x(1)[20], p.left, 1e-3);
    EXPECT_NEAR(t.x(1)[40], p.right, 1e-3);
    EXPECT_NEAR(t.v(1, 0), 30.0f, 1e-3);
    EXPECT_NEAR(t.v(1, 10), 50.0f, 1e-3);
    EXPECT_NEAR(t.v(1, 5), 40.0f, 1e-3);
    EXPECT_EQ(boxes[0].xA, x40);   // normalised and stored back: A the larger
    EXPECT_EQ(boxes[0].yA, y30);
}

TEST(ZoomLevels, DragDirectionDoesNotMatter) {
    const PlotRect p = viewerPlot();
    auto run = rampRun(500);
    const ZoomBox corners[] = {
        {700, 400, 400, 150},   // from upper left (B) to lower right (A)
        {400, 150, 700, 400},   // from lower right to upper left
        {400, 400, 700, 150},   // from upper right to lower left
    };
    CoordTables ref;
    computeWholeRun(ref, p, *run, 10, 0);
    ZoomBox b0[2] = {corners[0], {800, 500, 350, 100}};
    computeZoomLevels(ref, p, 500, b0, 2);
    for (const ZoomBox& c : corners) {
        CoordTables t;
        computeWholeRun(t, p, *run, 10, 0);
        ZoomBox b[2] = {c, {350, 100, 800, 500}};
        computeZoomLevels(t, p, 500, b, 2);
        for (int i = 0; i < 500; ++i) {
            ASSERT_EQ(t.x(2)[i], ref.x(2)[i]) << i;
            ASSERT_EQ(t.y(2, kv::WB)[i], ref.y(2, kv::WB)[i]) << i;
        }
        for (int m = 0; m <= 10; ++m) EXPECT_EQ(t.v(2, m), ref.v(2, m));
    }
}

struct Indent { float v; int w; };

TEST(YLabels, IndentByTheWidthOfMissingDigits) {
    const Indent rows[] = {{0, 4},       {5, 4},       {9.99f, 4},   {10, 3},     {99, 3},     {100, 2},
                           {999, 2},     {1000, 1},    {2500, 1},    {-0.5f, 3},  {-9.99f, 3}, {-10, 2},
                           {-99, 2},     {-100, 1},    {-999, 1},    {-1000, 0},  {-2500, 0}};
    for (const Indent& r : rows) EXPECT_EQ(labelIndent(r.v), r.w) << r.v;
    const PlotRect p = viewerPlot();
    EXPECT_EQ(yLabel(p, 0, 5.0f).x - yLabel(p, 0, 500.0f).x, 15);
    EXPECT_EQ((labelIndent(-5.0f) - labelIndent(-50.0f)) * 7.5, 7.5);
    EXPECT_EQ(yLabel(p, 0, -5.0f).x, 258);   // trunc(306 - 70 + 22.5)
    EXPECT_EQ(yLabel(p, 0, -50.0f).x, 251);
    EXPECT_EQ(yLabel(p, 3, -20.0f).text, "-20.00");
    EXPECT_EQ(yLabel(p, 10, 80.0f).y, 90 - 5);
    EXPECT_EQ(yLabel(p, 0, 80.0f).y, 537 - 5);
    EXPECT_EQ(yLabel(p, 1, 80.0f).y, static_cast<int>(537 - 44.7f - 5));
}

TEST(TimeGrid, StepsWithTheNumberOfIntervalsAcrossThePlot) {
    const PlotRect p = viewerPlot();   // W = 579
    struct Case { float dx; int step; };
    // S >= 4: W/4; S = 3: W/3; S = 2: W/2; S <= 1: one slot per line.
    const Case cases[] = {{10.0f, 14}, {100.0f, 1}, {150.0f, 1}, {250.0f, 1}, {579.0f, 1}, {1000.0f, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dx);
        CoordTables t;
        t.allocate();
        const int n = 200;
        for (int i = 0; i < n; ++i) t.x(1)[i] = p.left - 3 * c.dx + i * c.dx;
        const Spacing s = spacing(t, 1, n);
        const int first = firstVisibleSlot(p, s);
        EXPECT_EQ(first, 3);
        const TimeGrid g = timeGrid(t, p, 1, n, s, first, 0, 1000, 5);
        EXPECT_EQ(g.slot[1] - g.slot[0], c.step);
        EXPECT_EQ(g.time[2] - g.time[0], 2 * c.step * 5);
        EXPECT_EQ(g.time[0], 1000 + 3 * 5);
        EXPECT_FLOAT_EQ(g.lineX[1] - g.lineX[0], c.step * c.dx);
    }
    // A third of the plot at three intervals across it; a quarter at many.
    CoordTables t;
    t.allocate();
    for (int i = 0; i < 50; ++i) t.x(1)[i] = p.left + i * 150.0f;
    EXPECT_EQ(timeGrid(t, p, 1, 50, spacing(t, 1, 50), 0, 0, 0, 1).slot[1], 1);   // trunc(193/150)
    for (int i = 0; i < 50; ++i) t.x(1)[i] = p.left + i * 20.0f;
    EXPECT_EQ(timeGrid(t, p, 1, 50, spacing(t, 1, 50), 0, 0, 0, 1).slot[1], 7);   // trunc(144.75/20)
}

TEST(TimeGrid, ShiftMovesTheTimesNotTheLines) {
    const PlotRect p = viewerPlot();
    CoordTables t;
    t.allocate();
    for (int i = 0; i < 100; ++i) t.x(1)[i] = p.left + i * 10.0f;
    const Spacing s = spacing(t, 1, 100);
    const TimeGrid a = timeGrid(t, p, 1, 100, s, 0, 0, 1000, 2);
    const TimeGrid b = timeGrid(t, p, 1, 100, s, 0, 4, 1000, 2);
    EXPECT_EQ(a.lineX[3], b.lineX[3]);
    EXPECT_EQ(a.time[0] - b.time[0], 8);
}

TEST(SetTable, AppendsUpToAHundredThenStartsAgain) {
    SetTable sets;
    auto run = rampRun(5, 30);
    for (int i = 0; i < 100; ++i) EXPECT_FALSE(sets.append(*run, 1000 + i, 10, 0));
    EXPECT_EQ(sets.newest(), 99);
    run->count = 2;
    EXPECT_TRUE(sets.append(*run, 5000, 20, 2));
    EXPECT_EQ(sets.newest(), 0);
    EXPECT_EQ(sets.at(0).count, 2);
    EXPECT_EQ(sets.at(0).start, 5000);
    EXPECT_EQ(sets.listRow(0).set, "1");
}

TEST(SetTable, ListRowTexts) {
    SetTable sets;
    auto run = rampRun(0, 5);
    sets.append(*run, kvtest::runStart(*run), 10, 0);
    const ListRow r = sets.listRow(0);
    EXPECT_EQ(r.set, "1");
    EXPECT_EQ(r.time, "27/07/07 10:00:00");
    EXPECT_EQ(r.rate, "5sec");
    EXPECT_EQ(r.nums, "0");
}

TEST(SetTable, ShowingASetRestoresItsOwnScaleAndSamples) {
    SetTable sets;
    auto a = rampRun(3, 5, 1.0f);
    auto b = rampRun(4, 7, 2.0f);
    b->unitFlag = 1;
    b->unitText = "F";
    sets.append(*a, 111, 20, -2);
    sets.append(*b, 222, 500, 5);
    auto shown = std::make_unique<ShownRun>();
    showSet(sets.at(0), *shown);
    const kv::LoggedRun& doc = shown->run;
    EXPECT_EQ(doc.count, 3);
    EXPECT_EQ(doc.samples[2 * 5 + kv::RH], 3.0f);
    EXPECT_EQ(doc.interval, 5);
    EXPECT_EQ(doc.unitText, "C");
    EXPECT_EQ(shown->start, 111);
    EXPECT_EQ(shown->yGain, 20);
    EXPECT_EQ(shown->yOffset, -2);
    showSet(sets.at(1), *shown);
    EXPECT_EQ(doc.count, 4);
    EXPECT_EQ(doc.unitFlag, 1);
    EXPECT_EQ(shown->yGain, 500);
    EXPECT_EQ(shown->start, 222);
}
