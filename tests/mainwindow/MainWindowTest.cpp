// The main window's own rules: closing, the configuration written on a first
// start, the COM check marks and the command enable states, whatever changes them.
#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "SessionRun.h"
#include "TestPty.h"
#include "gui/MainWindow.h"
#include "gui/graph/LiveGraphView.h"
#include "gui/logger/LoggerViewer.h"
#include "gui/panels/MeterKeyButton.h"
#include "gui/panels/MeterPanel.h"
#include "gui/panels/ReadingsPanel.h"
#include "record/RecordTestUtil.h"
#include "session/MeterSession.h"
#include "core/link/LinkEngine.h"
#include "core/record/DataFile.h"

namespace {

// Answers every message box that shows up while `fn` runs, recording its texts.
QStringList answeringBoxes(QMessageBox::StandardButton answer, const std::function<void()>& fn) {
    QStringList seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen << box->text();
            box->button(answer)->click();
        }
    });
    poll.start(20);
    fn();
    return seen;
}

// The configuration in `dir`; the meter on `port`, else on nothing the frame can open.
AppOptions optionsIn(const QTemporaryDir& dir, const QString& port = {}) {
    AppOptions o;
    o.configDir = dir.path();
    o.port = port.isEmpty() ? dir.path() + "/no-such-device" : port;
    return o;
}

void writeFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

}  // namespace

TEST(MainWindow, TitleAndMenusAsStarted) {
    QTemporaryDir dir;
    MainWindow w(optionsIn(dir));
    EXPECT_EQ(w.windowTitle(), "KV2047");
    // Nothing recorded yet: Save and Print are off, Run waits for a frame, Open is on.
    EXPECT_FALSE(w.action("save")->isEnabled());
    EXPECT_FALSE(w.action("print")->isEnabled());
    EXPECT_FALSE(w.action("run")->isEnabled());
    EXPECT_FALSE(w.action("stop")->isEnabled());
    EXPECT_TRUE(w.action("open")->isEnabled());
    EXPECT_TRUE(w.action("com1")->isChecked());
    EXPECT_EQ(w.action("run")->toolTip(), "Start");
    EXPECT_EQ(w.action("othercom")->toolTip(), "Other comports");
    // The File menu as it was, the image export between Print and Exit.
    QStringList file;
    for (QAction* a : w.menuBar()->actions().value(0)->menu()->actions())
        if (!a->isSeparator()) file << a->text();
    EXPECT_EQ(file, QStringList({"&Save", "&Open", "Open &File...", "&Print", "Export Graph &Image...", "&Exit"}));
    EXPECT_EQ(w.action("exportimage")->toolTip(), "Export Graph Image");
    // The usual keys, shown beside the commands in the menus.
    const struct { const char* action; QKeySequence keys; } keys[] = {
        {"save", QKeySequence::Save}, {"open", QKeySequence::Open}, {"print", QKeySequence::Print},
        {"run", QKeySequence(Qt::Key_F5)}, {"stop", QKeySequence(Qt::SHIFT | Qt::Key_F5)},
        {"undozoom", QKeySequence("Ctrl+Z")}, {"help", QKeySequence::HelpContents}};
    for (const auto& k : keys) EXPECT_EQ(w.action(k.action)->shortcut(), k.keys) << k.action;
    EXPECT_FALSE(w.action("exportimage")->isEnabled());
    ASSERT_TRUE(kvtest::putRun(w.session(), {.n = 1}));
    EXPECT_TRUE(w.action("save")->isEnabled());
    EXPECT_TRUE(w.action("print")->isEnabled());
    EXPECT_TRUE(w.action("exportimage")->isEnabled());
}

TEST(MainWindow, ComCheckMarksFollowConfiguredPort) {
    const struct { const char* ini; int port; int checked; } rows[] = {
        {"[COMInfo]\nCOM num=7\n", 7, -1},
        {"[COMInfo]\nCOM num=3\n", 3, 2},
        {"[COMInfo]\nCOM num=99\n", 1, 0},   // no such port: falls back to COM1
        {"[cominfo]\ncom NUM=2\n", 2, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ini);
        QTemporaryDir dir;
        writeFile(dir.path() + "/KV2047config.ini", row.ini);
        MainWindow w(optionsIn(dir));
        EXPECT_EQ(w.session().model().link.port, row.port);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(w.action(QStringLiteral("com%1").arg(i + 1).toLatin1())->isChecked(), i == row.checked);
    }
}

TEST(MainWindow, ClosingAsksOnlyWhenMoreThanOneSample) {
    for (int n : {0, 1, 2, 500}) {
        SCOPED_TRACE(n);
        QTemporaryDir dir;
        MainWindow w(optionsIn(dir));
        if (n > 0) ASSERT_TRUE(kvtest::putRun(w.session(), {.n = n}));
        bool closed = false;
        const QStringList asked = answeringBoxes(QMessageBox::No, [&] { closed = w.close(); });
        EXPECT_TRUE(closed);
        if (n > 1) EXPECT_EQ(asked, QStringList{"Do you want to save the data before closing?"});
        else EXPECT_TRUE(asked.isEmpty());
    }
}

TEST(MainWindow, FirstStartWritesEveryKeyInOrderOnClosing) {
    QTemporaryDir dir;
    {
        MainWindow w(optionsIn(dir));
        w.close();
    }
    QFile f(dir.path() + "/KV2047config.ini");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    const QStringList expected = {
        "[COMInfo]", "COM num=1", "[Alarmhi1Info]", "Hi1 limit=140.0", "[Alarmhi2Info]", "Hi2 limit=140.0",
        "[Alarmhi3Info]", "Hi3 limit=140.0", "[Alarmhi4Info]", "Hi4 limit=2501.0", "[Alarmhi5Info]",
        "Hi5 limit=100.0", "[Alarmlow1Info]", "Low1 limit=0.0", "[Alarmlow2Info]", "Low2 limit=0.0",
        "[Alarmlow3Info]", "Low3 limit=0.0", "[Alarmlow4Info]", "Low4 limit=0.0", "[Alarmlow5Info]",
        "Low5 limit=0.0", "[SamprateInfo]", "Samprate=1", "[SampdataInfo]", "Sampdata=1000", "[GainInfo]",
        "Gain=10", "[OffsetInfo]", "Offset=0"};
    QStringList lines = text.split('\n', Qt::SkipEmptyParts);
    for (auto& l : lines) l = l.trimmed();
    EXPECT_EQ(lines, expected);
}

TEST(MainWindow, StopKeepsCommittedSamples) {
    kvtest::TestPty pty;
    ASSERT_TRUE(pty.ok());
    QTemporaryDir dir;
    MainWindow w(optionsIn(dir, pty.path()));
    const kv::Model& m = w.session().model();
    ASSERT_TRUE(kvtest::putRun(w.session(), {.n = 42}));
    // A frame enables Run; a confirmed Run enables Stop.
    ASSERT_TRUE(pty.write(kvtest::frameReading(21.5f)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.action("run")->isEnabled(); }, 10000));
    w.session().run(1, 1000);
    ASSERT_TRUE(w.action("stop")->isEnabled());
    w.action("stop")->trigger();
    EXPECT_EQ(m.run.n, 42);
    EXPECT_EQ(m.link.runInProgress, 0);
    EXPECT_EQ(m.link.stopped, 1);
    EXPECT_FALSE(w.action("stop")->isEnabled());
}

TEST(MainWindow, StatisticsFollowTheRunSoFar) {
    kvtest::TestPty pty;
    ASSERT_TRUE(pty.ok());
    QTemporaryDir dir;
    MainWindow w(optionsIn(dir, pty.path()));
    ASSERT_TRUE(kvtest::putRun(w.session(), {.n = 2, .value = [](int, int i) { return 20.0f + i; }}));
    w.action("statistics")->trigger();
    auto* stats = w.findChild<QTableWidget*>("statistics");
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->item(kv::AIR, 0)->text(), "2");
    EXPECT_EQ(stats->item(kv::AIR, 3)->text(), "21.00");
    // A new run: its first committed sample reaches the open window.
    ASSERT_TRUE(pty.write(kvtest::frameReading(30.5f)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.action("run")->isEnabled(); }, 10000));
    w.session().run(1, 1000);
    ASSERT_TRUE(pty.write(kvtest::frameReading(30.5f)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return stats->item(kv::AIR, 0)->text() == "1"; }, 10000));
    EXPECT_EQ(stats->item(kv::AIR, 3)->text(), "30.50");
}

// Every cause of a command's state reaches both the menu item and the tool
// button, whoever caused it, without anybody refreshing the window by hand.
// The steps run in order on one window, each from the state the last one left.
TEST(MainWindow, EveryCauseOfACommandStateReachesMenuAndToolbar) {
    kvtest::TestPty pty;
    ASSERT_TRUE(pty.ok());
    QTemporaryDir dir;
    MainWindow w(optionsIn(dir, pty.path()));
    w.resize(1280, 900);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    LiveGraphView* view = w.view();
    auto* toolbar = w.findChild<QToolBar*>("toolbar");
    ASSERT_NE(toolbar, nullptr);
    const auto zoom = [&] {
        view->repaint();
        const kv::PlotGeometry g = view->plotGeometry();
        const QPoint a(g.plotLeft + 100, g.plotTop + 100), b(g.plotLeft + 400, g.plotTop + 400);
        QTest::mousePress(view, Qt::LeftButton, {}, a);
        QTest::mouseMove(view, b);
        QTest::mouseRelease(view, Qt::LeftButton, {}, b);
    };
    const auto logger = [&] { return w.findChild<LoggerViewer*>(); };

    struct Step {
        const char* cause;
        std::function<void()> act;
        std::vector<std::pair<const char*, bool>> enabled;   // command -> expected
    };
    const Step steps[] = {
        {"AsStarted", [] {}, {{"save", false}, {"print", false}, {"run", false}, {"stop", false},
                              {"undozoom", false}, {"open", true}, {"com1", true}}},
        {"RunPutBack", [&] { ASSERT_TRUE(kvtest::putRun(w.session(), {.n = 200})); },
         {{"save", true}, {"print", true}, {"exportimage", true}}},
        {"ZoomBox", zoom, {{"undozoom", true}}},
        {"UndoZoom", [&] { w.action("undozoom")->trigger(); }, {{"undozoom", false}}},
        {"ZoomAgain", zoom, {{"undozoom", true}}},
        {"RunPutBackWhileZoomed", [&] { ASSERT_TRUE(kvtest::putRun(w.session(), {.n = 300})); },
         {{"undozoom", false}, {"save", true}}},
        {"ZoomOnceMore", zoom, {{"undozoom", true}}},
        {"FrameArrives", [&] { ASSERT_TRUE(pty.write(kvtest::frameReading(21.5f))); },
         {{"run", true}, {"com1", false}, {"othercom", false}}},
        {"RunConfirmed", [&] { w.session().run(1, 1000); }, {{"run", false}, {"stop", true}, {"undozoom", true}}},
        {"FirstSampleOfTheNewRun", [&] { ASSERT_TRUE(pty.write(kvtest::frameReading(22.5f))); },
         {{"undozoom", false}, {"stop", true}}},
        {"Stop", [&] { w.action("stop")->trigger(); }, {{"stop", false}}},
        {"LoggerShown", [&] { w.action("open")->trigger(); }, {{"open", false}}},
        {"LoggerClosed", [&] { logger()->close(); }, {{"open", true}}},
        {"MeterSilent", [] {}, {{"run", false}, {"com1", true}, {"othercom", true}}},
        {"FramesBack", [&] { ASSERT_TRUE(pty.write(kvtest::frameReading(23.5f))); },
         {{"run", true}, {"com1", false}}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.cause);
        s.act();
        const auto button = [&](const char* name) {
            auto* b = qobject_cast<QToolButton*>(toolbar->widgetForAction(w.action(name)));
            return b ? std::optional<bool>(b->isEnabled()) : std::nullopt;
        };
        // Frames, samples and silence take their time; the rest is at once.
        QTest::qWaitFor([&] {
            for (const auto& [name, on] : s.enabled)
                if (w.action(name)->isEnabled() != on || button(name).value_or(on) != on) return false;
            return true;
        }, 15000);
        for (const auto& [name, on] : s.enabled) {
            EXPECT_EQ(w.action(name)->isEnabled(), on) << name << " in the menu";
            EXPECT_EQ(button(name).value_or(on), on) << name << " on the toolbar";
        }
    }
}

// A screen reader can name the program's own widgets and say what they do.
TEST(MainWindow, CustomWidgetsHaveAccessibleNamesAndDescriptions) {
    QTemporaryDir dir;
    AppOptions o;
    o.configDir = dir.path();
    o.port = dir.filePath("no-such-device");
    MainWindow w(o);
    w.action("open")->trigger();
    const auto indicator = [&](int q, bool high) -> QObject* {
        for (QWidget* c : w.readingsPanel()->findChildren<QWidget*>())
            if (c->geometry() == ReadingsPanel::indicatorRect(q, high)) return c;
        return nullptr;
    };
    const struct {
        QObject* widget;
        QString name;
    } rows[] = {
        {w.meterPanel()->key(7), QString::fromUtf8("UNITS, \u00B0C/\u00B0F")},
        {w.meterPanel()->key(1), "Power off"},
        {indicator(kv::AIR, true), "AIR high alarm"},
        {indicator(kv::RH, false), "RH low alarm"},
        {w.meterPanel()->client(), "Meter display"},
        {w.view(), "Real-time graph"},
        {w.findChild<LoggerViewer*>(), "Graph"},
    };
    for (const auto& row : rows) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(row.widget);
        ASSERT_NE(a, nullptr) << row.name.toStdString();
        EXPECT_EQ(a->text(QAccessible::Name), row.name);
        EXPECT_FALSE(a->text(QAccessible::Description).isEmpty()) << row.name.toStdString();
    }
}

// The first pane shows the port's state alone: a long one ends in "..." with
// the whole text in its tool tip, and a command's hover text does not take
// its place.
TEST(MainWindow, PortStateIsElidedWithTheWholeInItsToolTip) {
    QTemporaryDir dir;
    AppOptions o;
    o.configDir = dir.path();
    o.port = dir.filePath(QString(120, 'x'));
    MainWindow w(o);
    w.resize(1280, 900);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QString state = w.paneText(0);
    ASSERT_TRUE(state.startsWith("COM1 not open: ")) << state.toStdString();
    QLabel* pane = nullptr;
    for (QLabel* l : w.statusBar()->findChildren<QLabel*>())
        if (l->toolTip() == state) pane = l;
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->text().endsWith(QChar(0x2026))) << pane->text().toStdString();
    // Whole within the pane, after QLabel's indent of half an "x" beside its frame.
    EXPECT_LE(pane->fontMetrics().horizontalAdvance(pane->text()),
              pane->contentsRect().width() - pane->fontMetrics().horizontalAdvance('x') / 2);
    w.action("run")->showStatusText(w.findChild<QToolBar*>("toolbar"));
    EXPECT_TRUE(w.statusBar()->currentMessage().isEmpty()) << w.statusBar()->currentMessage().toStdString();
    EXPECT_TRUE(pane->isVisible());
}

// kv2047 FILE... (a double-clicked .AsmDat on Windows): each file joins the
// logger viewer; one that cannot be opened is reported, not passed over.
TEST(MainWindow, OpensDataFilesNamedOnTheCommandLine) {
    QTemporaryDir dir;
    const QString good = dir.filePath("run.AsmDat");
    writeFile(good, QByteArray::fromStdString(kv::encodeDataFile(*kvtest::makeRecord({{20, 10, 5, 30, 50}}))));
    MainWindow w(optionsIn(dir));
    const QStringList boxes =
        answeringBoxes(QMessageBox::Ok, [&] { w.openFiles({good, dir.filePath("missing.AsmDat")}); });
    const auto* viewer = w.findChild<LoggerViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->list()->rowCount(), 1);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains("missing.AsmDat")) << boxes[0].toStdString();
}

// A stored start that the clocks going back made twice is read as the earlier
// one, and the window says so; any other start needs no word.
TEST(MainWindow, OpeningARunFromTheRepeatedHourSaysWhichReadingItTook) {
    QTemporaryDir dir;
    const std::string zone = qEnvironmentVariable("TZ", "UTC").toStdString();
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    MainWindow w(optionsIn(dir));
    QStringList said;
    for (const int hour : {2, 4}) {
        auto rec = kv::makeRunRecord();
        std::tie(rec->run.year, rec->run.month, rec->run.day, rec->run.hour, rec->run.minute) =
            std::tuple(2026, 10, 25, hour, 30);
        rec->run.interval = 1;
        const QString path = dir.filePath(QString("run%1.AsmDat").arg(hour));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromStdString(kv::encodeDataFile(*rec)));
        f.close();
        w.statusBar()->clearMessage();
        ASSERT_TRUE(w.session().openRun(path).ok());
        said << w.statusBar()->currentMessage();
    }
    setenv("TZ", zone.c_str(), 1);
    tzset();
    EXPECT_TRUE(said[0].contains("2026-10-25 02:30:00 falls in the hour repeated")) << said[0].toStdString();
    EXPECT_TRUE(said[0].contains("2026-10-25T02:30:00+02:00")) << said[0].toStdString();
    EXPECT_EQ(said[1], "");
}
