// The graph control bar: trace buttons, the Y scale dialog, fields and clock.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include "PanelFixture.h"
#include "SessionRun.h"
#include "TestPty.h"
#include "gui/panels/GraphControlBar.h"
#include "gui/dialogs/YScaleDialog.h"

namespace {

struct SwitchCase { int button; const char* caption; std::array<uint8_t, 5> traces; };

class GraphBarSwitches : public PanelTest, public testing::WithParamInterface<SwitchCase> {};

TEST_P(GraphBarSwitches, ButtonSetsTheTracesAndRedraws) {
    GraphControlBar* bar = frame().graphBar();
    const auto& traces = frame().session().model().run.traces;
    // Start from a pattern no button produces.
    frame().session().setTraces({0, 1, 0, 1, 0});
    QPushButton* b = bar->button(GetParam().button);
    EXPECT_EQ(b->text(), GetParam().caption);
    countViewPaints();
    QTest::mouseClick(b, Qt::LeftButton);
    for (int q = 0; q < 5; ++q) EXPECT_EQ(traces[q], GetParam().traces[q]) << q;
    EXPECT_TRUE(QTest::qWaitFor([&] { return viewPaints_ > 0; }, 1000));
    // The same button again: nothing changes, the graph is still redrawn.
    countViewPaints();
    QTest::mouseClick(b, Qt::LeftButton);
    for (int q = 0; q < 5; ++q) EXPECT_EQ(traces[q], GetParam().traces[q]) << q;
    EXPECT_TRUE(QTest::qWaitFor([&] { return viewPaints_ > 0; }, 1000));
}

INSTANTIATE_TEST_SUITE_P(Buttons, GraphBarSwitches,
                         testing::Values(SwitchCase{0, "AIR", {1, 0, 0, 0, 0}}, SwitchCase{1, "WB", {0, 1, 0, 0, 0}},
                                         SwitchCase{2, "DP", {0, 0, 1, 0, 0}}, SwitchCase{3, "IR/K", {0, 0, 0, 1, 0}},
                                         SwitchCase{4, "RH", {0, 0, 0, 0, 1}},
                                         SwitchCase{5, "Combine", {1, 1, 1, 1, 1}}),
                         [](const testing::TestParamInfo<SwitchCase>& i) {
                             std::string n;
                             for (const char* p = i.param.caption; *p; ++p)
                                 if (std::isalnum(static_cast<unsigned char>(*p))) n += *p;
                             return n;
                         });

struct ScaleCase {
    const char* name;
    int offsetPick, gainPick;  // -1: leave the list alone
    bool ok;                   // OK, else Esc
    int32_t offset, gain;      // afterwards, from offset 2 and gain 20
    bool redrawn;
};

class YScaleDialogTest : public PanelTest, public testing::WithParamInterface<ScaleCase> {};

TEST_P(YScaleDialogTest, AppliesOnlyChosenEntriesOnOk) {
    const ScaleCase& c = GetParam();
    const auto& run = frame().session().model().run;
    frame().session().setYScale(2, 20);
    bool redrawn = false;
    const bool seen = withModal<YScaleDialog>([&] { redrawn = frame().graphBar()->editYScale(); },
                                            [&](YScaleDialog* d) {
                                                EXPECT_EQ(d->windowTitle(), "Y OFFSET And Y GAINS Setup");
                                                // Nothing chosen when it opens, whatever the graph has.
                                                EXPECT_EQ(d->offsetList()->currentIndex(), -1);
                                                EXPECT_EQ(d->gainList()->currentIndex(), -1);
                                                if (c.offsetPick >= 0) d->offsetList()->setCurrentIndex(c.offsetPick);
                                                if (c.gainPick >= 0) d->gainList()->setCurrentIndex(c.gainPick);
                                                if (c.ok) QTest::keyClick(d, Qt::Key_Return);
                                                else QTest::keyClick(d, Qt::Key_Escape);
                                            });
    ASSERT_TRUE(seen);
    EXPECT_EQ(run.yOffset, c.offset);
    EXPECT_EQ(run.yGain, c.gain);
    EXPECT_EQ(redrawn, c.redrawn);
}

INSTANTIATE_TEST_SUITE_P(Choices, YScaleDialogTest,
                         testing::Values(ScaleCase{"OkWithoutChoice", -1, -1, true, 2, 20, true},
                                         ScaleCase{"OnlyGain", -1, 8, true, 2, 500, true},
                                         ScaleCase{"OnlyOffset", 4, -1, true, -5, 20, true},
                                         ScaleCase{"Both", 3, 0, true, -2, 1, true},
                                         ScaleCase{"EscCancels", 4, 8, false, 2, 20, false}),
                         [](const testing::TestParamInfo<ScaleCase>& i) { return std::string(i.param.name); });

TEST_F(PanelTest, BarIgnoresEnterAndEsc) {
    GraphControlBar* bar = frame().graphBar();
    frame().session().setTraces({1, 0, 1, 1, 1});
    bar->button(5)->setFocus();  // Combine
    for (Qt::Key k : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) QTest::keyClick(bar->button(5), k);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(frame().session().model().run.traces[1], 0);
}

TEST_F(PanelTest, YScaleListsInTheirOrder) {
    YScaleDialog d;
    QStringList offsets, gains;
    for (int i = 0; i < d.offsetList()->count(); ++i) offsets << d.offsetList()->itemText(i);
    for (int i = 0; i < d.gainList()->count(); ++i) gains << d.gainList()->itemText(i);
    EXPECT_EQ(offsets.join(' '), "0 2 5 -2 -5");
    EXPECT_EQ(gains.join(' '), "1 2 5 10 20 50 100 200 500");
}

TEST_F(PanelTest, BarFieldsShowTheModelAndTheClock) {
    kvtest::TestPty pty;
    ASSERT_TRUE(pty.ok());
    GraphControlBar* bar = frame(pty.path()).graphBar();
    // Before any run or frame only the clock has a text.
    for (auto f : {GraphControlBar::StartTime, GraphControlBar::DataNo, GraphControlBar::Battery, GraphControlBar::SampleRate,
                   GraphControlBar::SampleCount})
        EXPECT_TRUE(bar->field(f)->text().isEmpty()) << f;
    const QRegularExpression clock(R"(^\d\d/\d\d/\d\d \d\d:\d\d:\d\d$)");
    EXPECT_TRUE(clock.match(bar->field(GraphControlBar::Clock)->text()).hasMatch())
        << bar->field(GraphControlBar::Clock)->text().toStdString();
    // A run put back, and a frame of a meter whose battery is low.
    ASSERT_TRUE(kvtest::putRun(frame().session(), {.n = 17, .intervalMs = 5000, .start = 1796594911}));
    kv::FrameFields low = kvtest::frameReading(21.0f);
    low.flagsA = 0;
    ASSERT_TRUE(pty.write(low));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bar->field(GraphControlBar::Battery)->text().isEmpty(); }, 10000));
    EXPECT_EQ(bar->field(GraphControlBar::StartTime)->text(), "06/12/26 22:08:31");
    EXPECT_EQ(bar->field(GraphControlBar::DataNo)->text(), "17");
    EXPECT_EQ(bar->field(GraphControlBar::Battery)->text(), "Low");
    EXPECT_EQ(bar->field(GraphControlBar::SampleRate)->text(), "5");
    EXPECT_EQ(bar->field(GraphControlBar::SampleCount)->text(), "1000");
    EXPECT_TRUE(bar->field(GraphControlBar::Battery)->isReadOnly());
    // The clock ticks every second.
    const QString before = bar->field(GraphControlBar::Clock)->text();
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->field(GraphControlBar::Clock)->text() != before; }, 2500));
}

}  // namespace
