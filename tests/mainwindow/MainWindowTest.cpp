// The main window's own rules: closing, the configuration written on a first
// start, the COM check marks and the command enable rules.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <tuple>

#include "gui/MainWindow.h"
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

AppOptions optionsIn(const QTemporaryDir& dir) {
    AppOptions o;
    o.configDir = dir.path();
    o.port = dir.path() + "/no-such-device";  // nothing to open: the frame must not mind
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
    EXPECT_EQ(file, QStringList({"&Save", "&Open", "&Print", "Export Graph &Image...", "&Exit"}));
    EXPECT_EQ(w.action("exportimage")->statusTip(), "Export Graph Image");
    EXPECT_FALSE(w.action("exportimage")->isEnabled());
    w.session().model().run.n = 1;
    w.updateCommandStates();
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
        w.session().model().run.n = n;
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
    QTemporaryDir dir;
    MainWindow w(optionsIn(dir));
    auto& m = w.session().model();
    m.run.runEnable = 1;
    kv::applyRunSettings(m, 1, 1000);
    m.link.startPending = 0;
    m.link.stopped = 0;
    m.run.n = 42;
    w.updateCommandStates();
    ASSERT_TRUE(w.action("stop")->isEnabled());
    w.action("stop")->trigger();
    EXPECT_EQ(m.run.n, 42);
    EXPECT_EQ(m.link.runInProgress, 0);
    EXPECT_EQ(m.link.stopped, 1);
    EXPECT_FALSE(w.action("stop")->isEnabled());
}

TEST(MainWindow, StatisticsFollowTheRunSoFar) {
    QTemporaryDir dir;
    MainWindow w(optionsIn(dir));
    kv::Model& m = w.session().model();
    m.run.runStartTime = 0;
    m.run.intervalMs = 1000;
    for (int i = 0; i < 4; ++i) m.doc->live[kv::AIR][i] = 20.0f + i;
    m.run.n = 2;
    w.action("statistics")->trigger();
    auto* stats = w.findChild<QTableWidget*>("statistics");
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->item(kv::AIR, 0)->text(), "2");
    EXPECT_EQ(stats->item(kv::AIR, 3)->text(), "21.00");
    // The next committed sample reaches the open window.
    m.run.n = 4;
    emit w.session().sampleCommitted(4);
    EXPECT_EQ(stats->item(kv::AIR, 0)->text(), "4");
    EXPECT_EQ(stats->item(kv::AIR, 3)->text(), "23.00");
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
