// Zoom boxes, browse mode and the cursor read-out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GraphFixture.h"

using namespace kv;

namespace {

// A live graph of n samples, laid out.
GraphFixture liveGraph(int n) {
    GraphFixture t;
    t.samples(n, 20.0f);
    t.run.runStartTime = 0;
    t.run.intervalMs = 1000;
    t.settle();
    return t;
}

}  // namespace

// ---- Level push rules ------------------------------------------------------

struct BoxRow {
    const char* name;
    int gain;
    int x1, y1, x2, y2;   // relative to the plot's top-left corner
    bool pushed;
};

class ZoomBox : public ::testing::TestWithParam<BoxRow> {};

TEST_P(ZoomBox, PushesOnlyBoxesWithADivisionAboveATenth) {
    const BoxRow& r = GetParam();
    GraphFixture t = liveGraph(200);
    t.run.yGain = r.gain;
    t.paint();
    const int px = t.geo.plotLeft, py = t.geo.plotTop;
    const ReleaseEffects up = t.drag(px + r.x1, py + r.y1, px + r.x2, py + r.y2);
    EXPECT_TRUE(up.finished);
    EXPECT_EQ(up.pushed, r.pushed);
    EXPECT_EQ(t.g->L, r.pushed ? 1 : 0);
    EXPECT_EQ(t.g->follow, 0);   // browse mode even when refused
    EXPECT_EQ(t.g->scrollValid, 0);
}

// H is 702: a fifth is 140 pixels, a twentieth 35.
INSTANTIATE_TEST_SUITE_P(
    Boxes, ZoomBox,
    ::testing::Values(BoxRow{"FifthHighGain1", 1, 100, 200, 500, 340, true},
                      BoxRow{"TwentiethHighGain1", 1, 100, 200, 500, 235, false},
                      BoxRow{"TwentiethHighGain10", 10, 100, 200, 500, 235, true},
                      BoxRow{"DrawnUpwardsAndLeft", 1, 500, 340, 100, 200, true},
                      BoxRow{"ZeroWidth", 10, 300, 100, 300, 400, false},
                      BoxRow{"ZeroHeight", 10, 100, 300, 500, 300, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Zoom, NewDivisionOfAFifthHighBoxIsAFifthOfAUnit) {
    GraphFixture t = liveGraph(200);
    t.run.yGain = 1;
    t.paint();
    t.drag(t.geo.plotLeft + 100, t.geo.plotTop + 200, t.geo.plotLeft + 500, t.geo.plotTop + 340);
    EXPECT_NEAR(t.g->tick[1][1] - t.g->tick[1][0], 0.2, 0.01);
    t.paint();
    EXPECT_NEAR(t.g->tick[1][10] - t.g->tick[1][0], 2.0, 0.05);
}

TEST(Zoom, ClickWithoutMovingChangesNothing) {
    GraphFixture t = liveGraph(200);
    kv::pressAt(*t.g, t.geo, t.run, 600, 400);
    ReleaseEffects up;
    kv::releaseAt(*t.g, t.geo, t.run, 600, 400, up);
    EXPECT_FALSE(up.finished);
    EXPECT_EQ(t.g->follow, 1);
    EXPECT_EQ(t.g->L, 0);
    EXPECT_EQ(t.g->dragInProgress, 0);
}

TEST(Zoom, NothingHappensBeforeTheFirstSample) {
    GraphFixture t;
    EXPECT_FALSE(kv::pressAt(*t.g, t.geo, t.run, 600, 400));
    MoveEffects mv;
    EXPECT_FALSE(kv::moveTo(*t.g, t.geo, t.run, 700, 500, mv));
    EXPECT_EQ(t.g->dragging, 0);
}

TEST(Zoom, OneSampleHasNothingToZoomInto) {
    GraphFixture t = liveGraph(1);
    const ReleaseEffects up = t.drag(t.geo.plotLeft + 100, t.geo.plotTop + 100, t.geo.plotLeft + 500, t.geo.plotTop + 400);
    EXPECT_TRUE(up.removeBand);
    EXPECT_FALSE(up.finished);
    EXPECT_EQ(t.g->follow, 1);
    EXPECT_EQ(t.g->L, 0);
    EXPECT_EQ(t.g->dragInProgress, 0);
}

TEST(Zoom, BoxBeyondThePlotIsCutAtItsEdges) {
    GraphFixture t = liveGraph(200);
    t.drag(t.geo.plotLeft + 200, t.geo.plotTop + 100, 5000, 5000);
    EXPECT_FLOAT_EQ(t.g->boxRight[0], t.geo.plotRight);
    EXPECT_FLOAT_EQ(t.g->boxBottom[0], t.geo.plotBottom);
    EXPECT_DOUBLE_EQ(t.g->releaseX[0], 1.0);
    EXPECT_DOUBLE_EQ(t.g->releaseY[0], 1.0);
}

TEST(Zoom, StopsAtNinetyNineLevels) {
    GraphFixture t = liveGraph(50);
    // The whole plot as a box: every level is accepted while levels remain.
    for (int i = 0; i < 110; ++i) {
        t.drag(t.geo.plotLeft, t.geo.plotTop, t.geo.plotRight, t.geo.plotBottom);
        t.paint();
    }
    EXPECT_EQ(t.g->L, 99);
    EXPECT_EQ(t.g->follow, 0);
}

TEST(Zoom, RefusedOnceOneIntervalSpansThePlot) {
    GraphFixture t = liveGraph(50);
    // Halving the width each time doubles the spacing until it passes W.
    int levels = 0;
    for (int i = 0; i < 20; ++i) {
        levels += t.drag(t.geo.plotLeft, t.geo.plotTop, t.geo.plotLeft + t.geo.W / 2, t.geo.plotBottom).pushed;
        t.paint();
    }
    EXPECT_LT(levels, 20);
    float x0, dx;
    ASSERT_TRUE(sampleSpacing(*t.g, t.run.n, x0, dx));
    EXPECT_GE(dx, t.geo.W);
}

TEST(Zoom, FirstBoxFreezesTheLiveAxis) {
    GraphFixture t = liveGraph(200);
    const int N = t.g->N;
    const float step = t.g->liveStep;
    t.drag(t.geo.plotLeft + 10, t.geo.plotTop, t.geo.plotRight, t.geo.plotBottom);
    t.paint();
    EXPECT_EQ(t.g->browseCapacity, N);
    EXPECT_FLOAT_EQ(t.g->browseStep, step);
}

TEST(Zoom, UndoReturnsToLiveMode) {
    GraphFixture t = liveGraph(200);
    t.drag(t.geo.plotLeft + 10, t.geo.plotTop, t.geo.plotLeft + 400, t.geo.plotBottom);
    t.g->scrollShift = -20;
    t.paint();
    undoZoom(*t.g);
    EXPECT_EQ(t.g->L, 0);
    EXPECT_EQ(t.g->follow, 1);
    EXPECT_EQ(t.g->scrollShift, 0);
    EXPECT_FLOAT_EQ(t.g->browseStep, t.g->liveStep);
    EXPECT_TRUE(t.paint().live);
}

// ---- Browse mode ---------------------------------------------------------------

TEST(Browse, LeftHalfDoublesTheSpacingAndSetsThePosition) {
    GraphFixture t = liveGraph(1000);
    const float step = t.g->browseStep;
    t.drag(t.geo.plotLeft, t.geo.plotTop, t.geo.plotLeft + t.geo.W / 2, t.geo.plotBottom);
    GraphFrame f = t.paint();
    EXPECT_FALSE(f.live);
    EXPECT_TRUE(f.scrollRange);
    EXPECT_TRUE(f.scrollPosition);
    EXPECT_EQ(t.g->firstVisible, 0);
    EXPECT_FLOAT_EQ(f.x0, 0.0f);
    EXPECT_NEAR(f.dx, 2 * step, 1e-3);
    EXPECT_NEAR(t.g->xRecord(1)[500], 2 * t.g->xRecord(0)[500], 1e-2);
    // Position is set once per zoom.
    f = t.paint();
    EXPECT_FALSE(f.scrollPosition);
    EXPECT_TRUE(f.scrollRange);
}

TEST(Browse, GridLabelsQuarterThePlotAndHideBeyondIt) {
    GraphFixture t = liveGraph(1000);
    t.drag(t.geo.plotLeft, t.geo.plotTop, t.geo.plotLeft + t.geo.W / 2, t.geo.plotBottom);
    const GraphFrame f = t.paint();
    const int m = static_cast<int>(static_cast<float>(t.geo.W / 4) / f.dx);
    ASSERT_EQ(f.vLineCount, 10);
    int shown = 0;
    for (int j = 0; j < 10; ++j) {
        EXPECT_EQ(t.g->labelSample[j], j * m);
        EXPECT_EQ(t.g->labelTime[j], j * m);   // one second per sample from 0
        shown += f.timeLabelShown[j];
    }
    EXPECT_EQ(shown, 5);
}

TEST(Browse, ScrollShiftMovesTracesAndTimes) {
    GraphFixture t = liveGraph(1000);
    t.drag(t.geo.plotLeft + t.geo.W / 2, t.geo.plotTop, t.geo.plotRight, t.geo.plotBottom);
    GraphFrame f = t.paint();
    const int fv = t.g->firstVisible;
    EXPECT_GT(fv, 400);
    int xs[kMaxSamples], ys[kMaxSamples];
    tracePixels(*t.g, f, t.run, AIR, xs, ys);
    const int before = xs[fv + 10];
    t.g->scrollShift = -100;   // scroll bar moved on by 100 samples
    f = t.paint();
    EXPECT_EQ(t.g->firstVisible, fv);
    tracePixels(*t.g, f, t.run, AIR, xs, ys);
    EXPECT_NEAR(xs[fv + 110], before, 1);
    EXPECT_EQ(t.g->labelTime[0], fv + 100);
}

TEST(Browse, LevelsAreRebuiltForANewSize) {
    GraphFixture t = liveGraph(1000);
    t.drag(t.geo.plotLeft, t.geo.plotTop, t.geo.plotLeft + t.geo.W / 2, t.geo.plotBottom);
    t.paint();
    t.geo = plotGeometry(1000, 700);
    const GraphFrame f = t.paint();
    EXPECT_FLOAT_EQ(t.g->boxRight[0], t.geo.plotLeft + t.geo.W / 2.0f);
    EXPECT_NEAR(f.dx, 2.0f * t.geo.W / static_cast<float>(t.g->browseCapacity - 1), 1e-3);
}

TEST(Browse, DeepLevelMatchesBuildingEveryLevelInTurn) {
    GraphFixture t;
    t.samples(3000, 0.0f);
    for (int i = 0; i < 3000; ++i) {
        t.doc->live[AIR][i] = 20.0f + (i % 37) * 0.7f;
        t.doc->live[RH][i] = 40.0f + (i % 23) * 1.3f;
    }
    t.settle();
    // Nested boxes, each a little inside and off-centre.
    for (int k = 0; k < 12; ++k) {
        t.drag(t.geo.plotLeft + 15, t.geo.plotTop + 9, t.geo.plotRight - 40, t.geo.plotBottom - 20);
        t.paint();
    }
    ASSERT_EQ(t.g->L, 12);
    std::vector<float> x(t.g->xRecord(0), t.g->xRecord(0) + 3000);
    std::vector<float> y(t.g->yRecord(RH, 0), t.g->yRecord(RH, 0) + 3000);
    const float W = static_cast<float>(t.geo.W), H = static_cast<float>(t.geo.H);
    for (int k = 0; k < 12; ++k) {
        const float ax = t.g->boxLeft[k] - t.geo.plotLeft, bw = t.g->boxRight[k] - t.g->boxLeft[k];
        const float ay = t.g->boxTop[k] - t.geo.plotTop, bh = t.g->boxBottom[k] - t.g->boxTop[k];
        for (float& v : x) v = (v - ax) * W / bw;
        for (float& v : y) v = (v - ay) * H / bh;
    }
    for (int j = 0; j < 3000; j += 7) {
        ASSERT_EQ(t.g->xRecord(12)[j], x[j]) << j;
        ASSERT_EQ(t.g->yRecord(RH, 12)[j], y[j]) << j;
    }
}

// ---- Cursor --------------------------------------------------------------------

struct CursorRow {
    const char* name;
    int dx;   // pixels right of the plot's left edge
    int sample;
};

class CursorSample : public ::testing::TestWithParam<CursorRow> {};

TEST_P(CursorSample, NearerNeighbourWinsTieKeepsLeft) {
    GraphFixture t;
    t.geo = plotGeometry(99 * 16 + 344, 1020);   // live spacing of exactly 16 pixels
    t.samples(10, 20.0f);
    t.paint();
    EXPECT_EQ(cursorSampleAt(*t.g, t.geo, t.run.n, 0, t.geo.plotLeft + GetParam().dx), GetParam().sample);
}

INSTANTIATE_TEST_SUITE_P(Positions, CursorSample,
                         ::testing::Values(CursorRow{"OnSample0", 0, 0}, CursorRow{"Left", 7, 0},
                                           CursorRow{"Tie", 8, 0}, CursorRow{"Right", 9, 1},
                                           CursorRow{"OnSample3", 48, 3}, CursorRow{"PastTheRun", 300, 19}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Cursor, LineIsDrawnThenErasedAtTheOldPlace) {
    GraphFixture t = liveGraph(20);
    MoveEffects a, b;
    ASSERT_TRUE(moveTo(*t.g, t.geo, t.run, 500, 300, a));
    EXPECT_FALSE(a.eraseCursor);
    EXPECT_EQ(a.cursorX, 500);
    ASSERT_TRUE(moveTo(*t.g, t.geo, t.run, 520, 300, b));
    EXPECT_TRUE(b.eraseCursor);
    EXPECT_EQ(b.oldCursorX, 500);
    EXPECT_EQ(t.g->cursorOff, 0);
}

TEST(Cursor, NoReadOutBeyondTheRun) {
    GraphFixture t = liveGraph(5);
    MoveEffects mv;
    moveTo(*t.g, t.geo, t.run, t.geo.plotRight, 300, mv);
    EXPECT_FALSE(mv.readout);
    moveTo(*t.g, t.geo, t.run, t.geo.plotLeft, 300, mv);
    EXPECT_TRUE(mv.readout);
    EXPECT_EQ(mv.sample, 0);
}

TEST(Cursor, CommitRepaintKeepsTheLineAndAPlainRepaintDropsIt) {
    GraphFixture t = liveGraph(20);
    MoveEffects mv;
    moveTo(*t.g, t.geo, t.run, 500, 300, mv);
    t.g->fresh = 1;
    GraphFrame f = t.paint();
    EXPECT_TRUE(f.cursorLine);
    EXPECT_EQ(f.cursorLineX, 500 - t.geo.plotLeft);
    EXPECT_EQ(t.g->fresh, 0);
    f = t.paint();
    EXPECT_FALSE(f.cursorLine);
    EXPECT_EQ(t.g->cursorOff, 1);
}

TEST(Cursor, RubberBandFollowsAndLeavesNothingOnTheAnchor) {
    GraphFixture t = liveGraph(20);
    pressAt(*t.g, t.geo, t.run, 400, 200);
    MoveEffects a, b, c;
    moveTo(*t.g, t.geo, t.run, 450, 260, a);
    EXPECT_TRUE(a.band);
    EXPECT_TRUE(a.oldBand.empty());
    EXPECT_EQ(a.newBand, (IRect{400, 200, 450, 260}));
    EXPECT_EQ(t.g->dragInProgress, 1);
    moveTo(*t.g, t.geo, t.run, 400, 200, b);
    EXPECT_EQ(b.oldBand, (IRect{400, 200, 450, 260}));
    EXPECT_TRUE(b.newBand.empty());
    moveTo(*t.g, t.geo, t.run, 380, 150, c);
    EXPECT_TRUE(c.oldBand.empty());
    EXPECT_EQ(c.newBand, (IRect{380, 150, 400, 200}));
}

TEST(Cursor, DragLeavingTheZoneIsCancelled) {
    GraphFixture t = liveGraph(20);
    pressAt(*t.g, t.geo, t.run, 400, 200);
    MoveEffects mv;
    moveTo(*t.g, t.geo, t.run, 450, 260, mv);
    EXPECT_FALSE(dragZoneCheck(*t.g, t.geo, 450, 260));
    EXPECT_FALSE(dragZoneCheck(*t.g, t.geo, 250, 260));   // inside: left of the plot but in the zone
    EXPECT_TRUE(dragZoneCheck(*t.g, t.geo, 240, 260));
    EXPECT_EQ(t.g->dragging, 0);
    EXPECT_EQ(t.g->dragInProgress, 0);
    ReleaseEffects up;
    releaseAt(*t.g, t.geo, t.run, 450, 260, up);
    EXPECT_FALSE(up.finished);
    EXPECT_EQ(t.g->follow, 1);
}

// ---- Read-out texts ------------------------------------------------------------

struct ReadoutRow {
    const char* name;
    int q;
    float v;
    bool fahrenheit;
    const char* text;
};

class ReadoutValue : public ::testing::TestWithParam<ReadoutRow> {};

TEST_P(ReadoutValue, Formats) {
    const ReadoutRow& r = GetParam();
    EXPECT_EQ(readoutValue(r.v, r.q, r.fahrenheit), r.text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadoutValue,
    ::testing::Values(ReadoutRow{"AirFahrenheitRounded", AIR, 23.55f, true, "74.4 F"},
                      ReadoutRow{"KirFahrenheitCut", KIR, 23.55f, true, "74.3 F"},
                      ReadoutRow{"AirCelsius", AIR, 23.56f, false, "23.6 C"},
                      ReadoutRow{"KirCelsiusCut", KIR, 23.58f, false, "23.5 C"},
                      ReadoutRow{"KirMissing", KIR, -1000.0f, false, "----"},
                      ReadoutRow{"KirMissingMarker", KIR, kNoKir, true, "----"},
                      ReadoutRow{"KirJustAboveMissing", KIR, -999.0f, false, "-999.0 C"},
                      ReadoutRow{"RhNeverConverted", RH, 55.3f, true, "55.3 %RH"},
                      ReadoutRow{"DpNegative", DP, -3.25f, false, "-3.2 C"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Readout, PanesJoinTheFiveTexts) {
    GraphFixture t;
    t.samples(3, 0.0f);
    t.run.runStartTime = 3600;   // 01:00:00 UTC
    t.run.intervalMs = 2000;
    const float v[kQuantities] = {23.5f, 18.2f, 12.0f, kNoKir, 55.3f};
    for (int q = 0; q < kQuantities; ++q) t.doc->live[q][2] = v[q];
    const Readout r = readoutTexts(t.run, *t.doc, 2);
    EXPECT_EQ(r.time, "time:01:00:04");
    EXPECT_EQ(r.values, "AIR:23.5 C    WB:18.2 C    DP:12.0 C    K/IR:----    RH:55.3 %RH");
}

TEST(Readout, LongIntervalLateSampleKeepsItsTime) {
    RunState run;
    SampleStore doc;
    run.runStartTime = 0;
    run.intervalMs = 3600 * 1000;   // an hour: 10000 samples overflow 32-bit milliseconds
    const Readout r = readoutTexts(run, doc, 10000);
    EXPECT_EQ(r.time, "time:16:00:00");   // 10000 hours = 416 days 16 hours
}
