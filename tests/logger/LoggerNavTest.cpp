// Navigation in the logger viewer: zoom boxes, the cursor and its read-out,
// the drag watchdog, the scroll bar, and what a paint computes.
#include <gtest/gtest.h>

#include "LoggerTestUtil.h"
#include "core/logger/LoggerNav.h"

using namespace kv::logger;
using kvtest::rampRun;
using kvtest::viewerPlot;

namespace {

// A loaded run drawn at level 0, ready for mouse events.
struct Viewer {
    PlotRect p = viewerPlot();
    CoordTables t;
    Nav nav;
    std::unique_ptr<kv::LoggedRun> run;
    explicit Viewer(int n, int32_t gain = 10, int32_t offset = 0, PlotRect plot = viewerPlot())
        : p(plot), run(rampRun(n)) {
        paint(gain, offset);
    }
    Frame paint(int32_t gain = 10, int32_t offset = 0) {
        return prepareFrame(t, nav, p, *run, kvtest::runStart(*run), gain, offset, true);
    }
    ReleaseResult drag(int x0, int y0, int x1, int y1) {
        press(nav, p, x0, y0);
        move(nav, p, t, *run, kvtest::runStart(*run), true, (x0 + x1) / 2, (y0 + y1) / 2);
        move(nav, p, t, *run, kvtest::runStart(*run), true, x1, y1);
        return release(nav, p, t, run->count, true, x1, y1);
    }
    MoveResult moveTo(int x, int y = 300) {
        return move(nav, p, t, *run, kvtest::runStart(*run), true, x, y);
    }
};

}  // namespace

struct Box { const char* name; int n; int32_t gain; float plotHeight; int x0, y0, x1, y1; bool accepted; };

class ZoomRule : public ::testing::TestWithParam<Box> {};

TEST_P(ZoomRule, AcceptsOrRefusesTheBox) {
    const Box& b = GetParam();
    PlotRect p = viewerPlot();
    p.bottom = p.top + b.plotHeight;
    p.h = b.plotHeight;
    Viewer v(b.n, b.gain, 0, p);
    const ReleaseResult r = v.drag(b.x0, b.y0, b.x1, b.y1);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.pushed, b.accepted);
    EXPECT_EQ(v.nav.level, b.accepted ? 1 : 0);
    EXPECT_FALSE(v.nav.wholeRun);   // the zoomed view either way
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, ZoomRule,
    ::testing::Values(Box{"TwoPixelsHighIsTooFlat", 100, 1, 400, 400, 200, 600, 202, false},
                      Box{"HundredPixelsHigh", 100, 1, 400, 400, 200, 600, 300, true},
                      Box{"TwoSamplesFillThePlotAlready", 2, 10, 447, 400, 100, 600, 400, false},
                      Box{"NoWidth", 100, 10, 447, 500, 100, 500, 400, false},
                      Box{"UpperLeftToLowerRight", 100, 10, 447, 400, 100, 600, 400, true},
                      Box{"LowerRightToUpperLeft", 100, 10, 447, 600, 400, 400, 100, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Zoom, EitherDragDirectionGivesTheSameView) {
    Viewer a(300), b(300);
    a.drag(400, 100, 600, 400);
    b.drag(600, 400, 400, 100);
    a.paint();
    b.paint();
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(a.t.x(1)[i], b.t.x(1)[i]);
        ASSERT_EQ(a.t.y(1, kv::DP)[i], b.t.y(1, kv::DP)[i]);
    }
    for (int m = 0; m <= 10; ++m) EXPECT_EQ(a.t.v(1, m), b.t.v(1, m));
}

TEST(Zoom, NinetyNineLevelsThenNoMore) {
    Viewer v(2000, 500, -5);
    for (int k = 0; k < 99; ++k) {
        v.drag(320, 100, 860, 520);   // a slightly smaller box each time
        v.paint(500, -5);
        ASSERT_EQ(v.nav.level, k + 1) << "zoom " << k;
    }
    const ReleaseResult r = v.drag(320, 100, 860, 520);
    EXPECT_FALSE(r.pushed);
    EXPECT_EQ(v.nav.level, 99);
    v.nav.wholeRunReset();
    EXPECT_EQ(v.nav.level, 0);
    EXPECT_TRUE(v.nav.wholeRun);
}

TEST(Zoom, NothingWithoutAMoveOrARun) {
    Viewer v(100);
    press(v.nav, v.p, 400, 200);
    EXPECT_FALSE(release(v.nav, v.p, v.t, 100, true, 600, 400).finished);   // no rubber band drawn
    press(v.nav, v.p, 400, 200);
    EXPECT_EQ(move(v.nav, v.p, v.t, *v.run, 0, false, 500, 300).band, false);
    const ReleaseResult r = release(v.nav, v.p, v.t, 100, false, 600, 400);
    EXPECT_FALSE(r.finished);
    EXPECT_TRUE(v.nav.wholeRun);
}

TEST(Zoom, PressInTheMarginStartsAtThePlotEdge) {
    Viewer v(100);
    press(v.nav, v.p, 100, 20);
    EXPECT_EQ(v.nav.anchor, (IPoint{306, 90}));
    EXPECT_EQ(v.nav.boxes[0].xB, 306);
    EXPECT_EQ(v.nav.boxes[0].yB, 90);
    press(v.nav, v.p, 940, 590);
    EXPECT_EQ(v.nav.anchor, (IPoint{885, 537}));
}

TEST(RubberBand, MovesFromTheOldRectangleToTheNewAndComesOff) {
    Viewer v(100);
    press(v.nav, v.p, 400, 200);
    MoveResult m = v.moveTo(450, 260);
    EXPECT_TRUE(m.band);
    EXPECT_TRUE(m.oldBand.empty());
    EXPECT_EQ(m.newBand, (IRect{400, 200, 450, 260}));
    m = v.moveTo(350, 150);
    EXPECT_EQ(m.oldBand, (IRect{400, 200, 450, 260}));
    EXPECT_EQ(m.newBand, (IRect{350, 150, 400, 200}));
    m = v.moveTo(400, 200);   // back on the anchor: the band stays as it is
    EXPECT_FALSE(m.band);
    const ReleaseResult r = release(v.nav, v.p, v.t, 100, true, 400, 200);
    EXPECT_TRUE(r.removeBand);
    EXPECT_EQ(r.band, (IRect{350, 150, 400, 200}));
}

struct Far { int x, y; bool cancels; };

TEST(DragWatchdog, CancelsOnlyWellOutsideThePlot) {
    // left 306, top 90, right 885, bottom 537
    const Far rows[] = {{500, 576, false}, {500, 577, true}, {500, 71, false}, {500, 70, true},
                        {934, 300, false}, {935, 300, true}, {257, 300, false}, {256, 300, true},
                        {600, 300, false}};
    for (const Far& f : rows) {
        Viewer v(100);
        press(v.nav, v.p, 500, 300);
        v.moveTo(600, 400);
        EXPECT_EQ(watchDrag(v.nav, v.p, f.x, f.y), f.cancels) << f.x << "," << f.y;
        EXPECT_EQ(v.nav.dragging, !f.cancels);
        if (f.cancels) {
            EXPECT_FALSE(release(v.nav, v.p, v.t, 100, true, 600, 400).finished);
        }
    }
    Nav idle;
    EXPECT_FALSE(watchDrag(idle, viewerPlot(), 0, 0));
}

TEST(Cursor, FollowsTheMouseUpToOnePixelPastThePlot) {
    Viewer v(11);
    MoveResult m = v.moveTo(500);
    EXPECT_TRUE(m.cursor);
    EXPECT_FALSE(m.eraseOld);
    m = v.moveTo(886);   // right + 1
    EXPECT_TRUE(m.cursor);
    EXPECT_TRUE(m.eraseOld);
    EXPECT_EQ(m.oldX, 500);
    EXPECT_EQ(m.newX, 886);
    m = v.moveTo(887);   // right + 2
    EXPECT_FALSE(m.cursor);
    EXPECT_EQ(v.nav.cursorX, 886);
    EXPECT_FALSE(v.moveTo(305).cursor);
    EXPECT_TRUE(v.moveTo(306).cursor);
}

TEST(Cursor, PicksTheNearerSampleAndATieStaysLeft) {
    const Spacing s{300.0f, 10.0f, true};
    EXPECT_EQ(cursorIndexAt(300, s, 0), 0);
    EXPECT_EQ(cursorIndexAt(304, s, 0), 0);
    EXPECT_EQ(cursorIndexAt(305, s, 0), 0);   // tie
    EXPECT_EQ(cursorIndexAt(306, s, 0), 1);
    EXPECT_EQ(cursorIndexAt(336, s, 0), 4);
    EXPECT_EQ(cursorIndexAt(336, s, 2), 2);   // the trace moved two slots right
    EXPECT_EQ(cursorIndexAt(500, Spacing{}, 0), 0);   // one sample: always that one
}

TEST(Readout, ShowsTheSampleUnderTheCursor) {
    Viewer v(11);
    v.run->samples[3 * 5 + kv::AIR] = 23.47f;
    v.run->samples[3 * 5 + kv::KIR] = 23.47f;
    v.run->samples[3 * 5 + kv::RH] = 50.04f;
    const int x3 = static_cast<int>(v.t.x(0)[3]);
    ASSERT_TRUE(v.moveTo(x3).readout);
    EXPECT_EQ(v.nav.cursorIndex, 3);
    EXPECT_EQ(v.nav.readout[kv::AIR], "23.5");
    EXPECT_EQ(v.nav.readout[kv::KIR], "23.4");
    EXPECT_EQ(v.nav.readout[kv::RH], "50.0");
    EXPECT_EQ(v.nav.readoutTime, "10:03:00");

    v.run->unitFlag = 1;
    v.run->unitText = "F";
    v.run->samples[3 * 5 + kv::AIR] = 25.0f;
    v.run->samples[3 * 5 + kv::KIR] = -9000.0f;
    v.moveTo(x3);
    EXPECT_EQ(v.nav.readout[kv::AIR], "77.0");
    EXPECT_EQ(v.nav.readout[kv::KIR], "------");
    EXPECT_EQ(v.nav.readout[kv::RH], "50.0");
    const Frame f = v.paint();
    EXPECT_EQ(f.readoutText[kv::AIR], "77.0F");
    EXPECT_EQ(f.readoutText[kv::KIR], "------F");
    EXPECT_EQ(f.readoutText[kv::RH], "50.0%RH");
    EXPECT_EQ(f.readoutTime, "10:03:00");
}

TEST(Readout, NothingWithoutARun) {
    Viewer v(11);
    const MoveResult m = move(v.nav, v.p, v.t, *v.run, 0, false, 500, 300);
    EXPECT_FALSE(m.cursor || m.band || m.readout);
}

TEST(Frame, WholeRunTimeLabelsAtBothEnds) {
    Viewer v(11);   // 60 s apart from 10:00:00
    const Frame f = v.paint();
    EXPECT_EQ(f.startLabel.text, "10:00:00");
    EXPECT_EQ(f.endLabel.text, "10:10:00");
    EXPECT_EQ(f.startLabel.x, 306);
    EXPECT_EQ(f.endLabel.x, 885 - 55);
    EXPECT_EQ(f.startLabel.y, 537 + 8);
    EXPECT_EQ(f.yLabels[0].text, "0.00");
    EXPECT_EQ(f.yLabels[10].text, "100.00");
}

TEST(Frame, OneSampleRunHasLabelsAndAReadout) {
    Viewer v(1);
    ASSERT_TRUE(v.moveTo(700).readout);
    EXPECT_EQ(v.nav.cursorIndex, 0);
    const Frame f = v.paint();
    EXPECT_EQ(f.startLabel.text, "10:00:00");
    EXPECT_EQ(f.endLabel.text, "10:00:00");
    EXPECT_EQ(f.readoutText[kv::AIR], "20.0C");
    // A box over a single sample is refused, and the zoomed view still draws.
    EXPECT_FALSE(v.drag(400, 100, 600, 400).pushed);
    const Frame z = v.paint();
    EXPECT_FALSE(z.wholeRun);
    EXPECT_EQ(v.nav.firstVisible, 0);
}

TEST(Frame, ZoomedViewSetsTheScrollBarAndItsTimeLabels) {
    Viewer v(1001, 10, 0);   // one sample a minute from 10:00:00
    v.drag(306 + 579 / 4, 100, 306 + 579 / 2, 500);
    Frame f = v.paint();
    EXPECT_EQ(f.scrollMax, 1001);
    EXPECT_TRUE(f.setScrollPos);
    EXPECT_EQ(f.scrollPos, 248);   // trunc(144 px / 0.579 px per sample)
    EXPECT_EQ(v.nav.firstVisible, f.scrollPos);
    ASSERT_GT(f.timeLabels, 2);
    EXPECT_EQ(f.timeLabel[0].y, 538);
    // Labels step a quarter of the plot.
    EXPECT_EQ(f.grid.slot[1] - f.grid.slot[0], f.grid.slot[2] - f.grid.slot[1]);
    f = v.paint();
    EXPECT_FALSE(f.setScrollPos);   // computed once after each zoom

    thumbTrack(v.nav, 400);
    EXPECT_EQ(v.nav.shift, v.nav.firstVisible - 399);
    EXPECT_EQ(thumbPosition(v.nav), 400);
    const Frame g = v.paint();
    EXPECT_EQ(g.shift, v.nav.shift);
    // The grid stays; the times under it are those of the moved trace.
    EXPECT_EQ(g.grid.lineX[0], f.grid.lineX[0]);
    EXPECT_EQ(g.grid.time[0] - f.grid.time[0], (399 - v.nav.firstVisible) * 60);
}

TEST(Frame, NoRunNoLabels) {
    Nav nav;
    CoordTables t;
    kv::LoggedRun run;
    const Frame f = prepareFrame(t, nav, viewerPlot(), run, 0, 10, 0, false);
    EXPECT_FALSE(f.loaded);
    EXPECT_TRUE(f.startLabel.text.empty());
    EXPECT_FALSE(t.allocated());
}

TEST(Quantities, OneAloneOrAllFive) {
    Nav nav;
    showOnly(nav, kv::DP);
    EXPECT_EQ(nav.shown, (std::array<bool, 5>{false, false, true, false, false}));
    showOnly(nav, kv::DP);
    EXPECT_EQ(nav.shown, (std::array<bool, 5>{false, false, true, false, false}));
    showAll(nav);
    EXPECT_EQ(nav.shown, (std::array<bool, 5>{true, true, true, true, true}));
}
