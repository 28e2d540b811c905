// The main window and the run journal: the recovery question at start, what
// each answer does, a desktop run killed with SIGKILL, captures and the link's
// error texts.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

#include "gui/MainWindow.h"
#include "session/MeterSession.h"
#include "gui/RecoveryPrompt.h"
#include "e2e/SimProcess.h"
#include "gui/graph/LiveGraphView.h"
#include "journal/JournalRig.h"
#include "record/ModalScript.h"
#include "core/link/LinkEngine.h"
#include "core/record/RunJournal.h"
#include "gui/record/SaveCommand.h"

using kvtest::answering;

namespace {

AppOptions optionsIn(const QTemporaryDir& dir, const QString& port = {}) {
    AppOptions o;
    o.configDir = dir.path();
    o.port = port.isEmpty() ? dir.path() + "/no-such-device" : port;
    return o;
}

// A run of `samples` samples left unfinished in `dir`, as a killed program leaves it.
void leaveInterruptedRun(const QTemporaryDir& dir, int samples) {
    auto m = std::make_unique<kv::Model>();
    m->run.runStartTime = 1185521435;
    m->run.intervalMs = 2000;
    m->run.countTarget = 1000;
    m->run.unitFlag = 1;
    m->run.unitText = "F";
    m->run.yGain = 50;
    m->run.yOffset = -5;
    m->link.runInProgress = 1;
    kv::RunJournal j(dir.path().toStdString());
    ASSERT_TRUE(j.begin(*m)) << j.error();
    for (int i = 0; i < samples; ++i) {
        for (int q = 0; q < 5; ++q) m->doc->live[q][i] = 20.0f + i + q * 0.5f;
        m->run.n = i + 1;
        ASSERT_TRUE(j.append(*m));
    }
}

}  // namespace

TEST(MainWindowRecovery, YesRestoresTheRunSoTheGraphShowsItAndSaveWorks) {
    QTemporaryDir dir;
    leaveInterruptedRun(dir, 12);
    const QString journal = kvtest::journalFiles(dir.path()).value(0);
    ASSERT_FALSE(journal.isEmpty());

    auto w = std::make_unique<MainWindow>(optionsIn(dir));
    EXPECT_EQ(w->journalDir(), dir.path());
    w->resize(1280, 960);
    w->show();
    auto redPixels = [&] {
        const QImage shot = w->view()->grab().toImage();
        int red = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) red += shot.pixelColor(x, y) == QColor(255, 0, 0);
        return red;
    };
    const int redBefore = redPixels();
    const auto asked = answering(QMessageBox::Yes, [&] { QTest::qWait(400); });
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].title, "KV2047");
    EXPECT_EQ(asked[0].text, "A recording was interrupted. Recover it?");

    const kv::Model& m = w->session().model();
    EXPECT_EQ(m.run.n, 12);
    EXPECT_EQ(m.run.runStartTime, 1185521435);
    EXPECT_EQ(m.run.intervalMs, 2000);
    EXPECT_EQ(m.run.unitText, "F");
    EXPECT_EQ(m.run.yGain, 50);
    EXPECT_EQ(m.run.yOffset, -5);
    EXPECT_FLOAT_EQ(m.doc->live[kv::RH][11], 33.0f);
    EXPECT_TRUE(w->action("save")->isEnabled());
    EXPECT_TRUE(w->action("print")->isEnabled());
    // The recovered run is drawn like a recorded one: the AIR trace appears.
    EXPECT_GT(redPixels(), redBefore + 20);

    QString error;
    ASSERT_TRUE(saveRunTo(dir.filePath("recovered.AsmDat"), w->session().model(), true, &error)) << error.toStdString();
    auto rec = kv::makeRunRecord();
    ASSERT_TRUE(kv::readDataFile(dir.filePath("recovered.AsmDat").toStdString(), *rec).ok());
    EXPECT_EQ(rec->run.count, 12);
    EXPECT_EQ(rec->run.interval, 2);
    EXPECT_EQ(rec->run.unitText, "F");
    EXPECT_FLOAT_EQ(rec->run.samples[11 * 5 + kv::AIR], 31.0f);

    // Until the run is saved or dropped the journal stays, held by this window.
    EXPECT_TRUE(QFile::exists(journal));
    EXPECT_TRUE(kv::findUnfinishedJournals(dir.path().toStdString()).empty());
    // Closing without saving is the user's choice: the journal is finished then.
    const auto onClose = answering(QMessageBox::No, [&] { w->close(); });
    ASSERT_EQ(onClose.size(), 1);
    EXPECT_EQ(onClose[0].text, "Do you want to save the data before closing?");
    kv::JournalContents c;
    ASSERT_EQ(kvtest::journalCount(journal, &c), 12);
    EXPECT_TRUE(c.finished);
    w.reset();

    // Nothing is offered on the next start.
    MainWindow again(optionsIn(dir));
    EXPECT_TRUE(answering(QMessageBox::Yes, [&] { QTest::qWait(300); }).isEmpty());
    EXPECT_EQ(again.session().model().run.n, 0);
}

TEST(MainWindowRecovery, NoKeepsTheJournalAsideAndAsksNoMore) {
    QTemporaryDir dir;
    leaveInterruptedRun(dir, 3);
    {
        MainWindow w(optionsIn(dir));
        const auto asked = answering(QMessageBox::No, [&] { QTest::qWait(400); });
        ASSERT_EQ(asked.size(), 1);
        EXPECT_EQ(w.session().model().run.n, 0);
        EXPECT_FALSE(w.action("save")->isEnabled());
    }
    EXPECT_TRUE(kvtest::journalFiles(dir.path()).isEmpty());
    const QStringList aside = kvtest::journalFiles(dir.path(), "*.kvj.declined");
    ASSERT_EQ(aside.size(), 1) << "renamed, not deleted";
    EXPECT_EQ(kvtest::journalCount(aside[0]), 3);

    MainWindow again(optionsIn(dir));
    EXPECT_TRUE(answering(QMessageBox::Yes, [&] { QTest::qWait(300); }).isEmpty());
}

TEST(MainWindowRecovery, SavingARecoveredRunFinishesItsJournal) {
    QTemporaryDir dir;
    leaveInterruptedRun(dir, 4);
    const QString journal = kvtest::journalFiles(dir.path()).value(0);
    MainWindow w(optionsIn(dir));
    answering(QMessageBox::Yes, [&] { QTest::qWait(400); });
    ASSERT_EQ(w.session().model().run.n, 4);
    EXPECT_TRUE(w.session().journal().adopted());
    // saveRun() asks for a path; the save dialog is answered with a file name.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dlg->setDirectory(dir.path());
            if (auto* edit = dlg->findChild<QLineEdit*>("fileNameEdit")) edit->setText("saved.AsmDat");
            else dlg->selectFile(dir.filePath("saved.AsmDat"));
            static_cast<QDialog*>(dlg)->accept();
        }
    });
    poll.start(20);
    ASSERT_TRUE(w.saveRun());
    poll.stop();
    EXPECT_TRUE(QFile::exists(dir.filePath("saved.AsmDat")));
    kv::JournalContents c;
    ASSERT_EQ(kvtest::journalCount(journal, &c), 4);
    EXPECT_TRUE(c.finished);
    EXPECT_FALSE(w.session().journal().isOpen());
}

// Run asks to save the run on show first; a save that fails keeps the run and
// its journal instead of going on to a new run that would replace them.
TEST(MainWindowWithSim, FailedSaveBeforeANewRunKeepsTheRunRecoverable) {
    QTemporaryDir dir;
    leaveInterruptedRun(dir, 4);
    const QString journal = kvtest::journalFiles(dir.path()).value(0);
    kvtest::SimProcess sim({"--period", "200"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    MainWindow w(optionsIn(dir, sim.ptyPath()));
    answering(QMessageBox::Yes, [&] { QTest::qWait(400); });
    ASSERT_EQ(w.session().model().run.n, 4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.action("run")->isEnabled(); }, 20000));
    QDir(dir.path()).mkdir("taken.txt");   // the text table cannot be written: the save fails

    using namespace kvtest;
    ModalScript script({press(QMessageBox::Yes), chooseFile(dir.filePath("taken.AsmDat")), press(QMessageBox::Ok)});
    w.action("run")->trigger();
    QTest::qWait(1500);   // frames go on arriving
    QStringList seen;
    for (const auto& s : script.seen()) seen << s.className;
    EXPECT_EQ(seen, (QStringList{"QMessageBox", "QFileDialog", "QMessageBox"})) << "no run settings dialog";
    EXPECT_EQ(w.session().model().run.n, 4);
    kv::JournalContents c;
    EXPECT_EQ(kvtest::journalCount(journal, &c), 4);
    EXPECT_FALSE(c.finished);
}

// A desktop run recorded in a child process, which is then killed with SIGKILL.
TEST(JournalChild, DesktopRunUntilKilled) {
    const QString dir = qEnvironmentVariable("KV_JOURNAL_CHILD_DIR");
    const QString port = qEnvironmentVariable("KV_JOURNAL_CHILD_PORT");
    if (dir.isEmpty()) GTEST_SKIP() << "only as the child of KilledDesktopRunIsOfferedForRecovery";
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    AppOptions o;
    o.configDir = dir;
    o.port = port;
    MainWindow w(o);
    w.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.session().model().run.runEnable == 1; }, 20000));
    w.session().run(1, 1000);
    QTest::qWait(120000);   // until killed
}

TEST(MainWindowWithSim, KilledDesktopRunIsOfferedForRecoveryWithAllItsSamples) {
    // Five keeps the test short; KV_JOURNAL_KILL_AFTER=20 runs the longer case by hand.
    const int kSamples = qEnvironmentVariableIsSet("KV_JOURNAL_KILL_AFTER")
                             ? qEnvironmentVariableIntValue("KV_JOURNAL_KILL_AFTER")
                             : 5;
    QTemporaryDir dir;
    kvtest::SimProcess sim({"--period", "200"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KV_JOURNAL_CHILD_DIR", dir.path());
    env.insert("KV_JOURNAL_CHILD_PORT", sim.ptyPath());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=JournalChild.DesktopRunUntilKilled"});
    ASSERT_TRUE(child.waitForStarted(10000));

    QString journal;
    const bool reached = QTest::qWaitFor(
        [&] {
            for (const QString& f : kvtest::journalFiles(dir.path()))
                if (QFileInfo(f).size() >= qint64(kv::kJournalHeaderBytes + kSamples * kv::kJournalRecordBytes)) {
                    journal = f;
                    return true;
                }
            return child.state() == QProcess::NotRunning;
        },
        40000 + kSamples * 1500);
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished(5000);
    ASSERT_TRUE(reached && !journal.isEmpty()) << "the child recorded no journal";
    kv::JournalContents c;
    const int recorded = kvtest::journalCount(journal, &c);
    ASSERT_GE(recorded, kSamples);
    EXPECT_FALSE(c.finished);
    EXPECT_LE(recorded, kSamples + 1) << "killed within a sample of the fifth";

    MainWindow w(optionsIn(dir));
    const auto asked = answering(QMessageBox::Yes, [&] { QTest::qWait(400); });
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].text, kRecoverQuestion);
    ASSERT_EQ(w.session().model().run.n, recorded);
    EXPECT_EQ(w.session().model().run.intervalMs, 1000);
    for (int i = 0; i < recorded; ++i) {
        EXPECT_GT(w.session().model().doc->live[kv::AIR][i], 5.0f) << "a reading of the meter, not a zero: " << i;
        for (int q = 0; q < 5; ++q) EXPECT_EQ(w.session().model().doc->live[q][i], c.samples[i * 5 + q]);
    }
    QString error;
    ASSERT_TRUE(saveRunTo(dir.filePath("after-kill.AsmDat"), w.session().model(), true, &error));
    EXPECT_EQ(kvtest::infoSamples(dir.filePath("after-kill.AsmDat"), dir.path()), recorded);
}

TEST(MainWindowWithSim, CaptureReplayedThroughTheSimDecodesToTheSameValues) {
    QTemporaryDir dir;
    const QString cap1 = dir.filePath("first.cap"), cap2 = dir.filePath("replayed.cap");
    auto countReads = [](const QString& path) {
        QFile f(path);
        int reads = 0;
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray& line : f.readAll().split('\n')) reads += !line.startsWith('#') && line.contains(" RX ");
        return reads;
    };
    {
        kvtest::SimProcess sim({"--period", "200", "--fahrenheit"});
        ASSERT_TRUE(sim.start()) << sim.error().toStdString();
        AppOptions o = optionsIn(dir, sim.ptyPath());
        o.capture = cap1;
        MainWindow w(o);
        ASSERT_TRUE(QTest::qWaitFor([&] { return countReads(cap1) >= 8; }, 20000));
    }
    QFile f(cap1);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.startsWith("# KV2047 capture started "));
    EXPECT_TRUE(text.contains(" TX FF AA 55 63 63 00 00 00 C6 00 FF\n")) << "the initialisation command";

    const auto decoded = kvtest::runTool({"decode", cap1}, dir.path());
    ASSERT_EQ(decoded.status, 0) << decoded.err.toStdString();
    const QStringList first = decoded.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(first.size(), 8);
    EXPECT_TRUE(first[0].contains("\"accepted\":true"));
    EXPECT_TRUE(first[0].contains("\"unit\":\"F\""));

    {
        kvtest::SimProcess replay({"--replay", cap1, "--period", "200"});
        ASSERT_TRUE(replay.start()) << replay.error().toStdString();
        AppOptions o = optionsIn(dir, replay.ptyPath());
        o.capture = cap2;
        MainWindow w(o);
        ASSERT_TRUE(QTest::qWaitFor([&] { return countReads(cap2) >= first.size(); }, 20000));
    }
    const auto again = kvtest::runTool({"decode", cap2}, dir.path());
    ASSERT_EQ(again.status, 0) << again.err.toStdString();
    const QStringList second = again.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(second.size(), first.size());
    for (int i = 0; i < first.size(); ++i) EXPECT_EQ(second[i], first[i]) << "read " << i;
}

TEST(FrameLink, StatusPaneSaysWhyThePortCannotBeOpenedAndEachRetryUpdatesIt) {
    QTemporaryDir dir;
    {
        MainWindow w(optionsIn(dir, "/dev/kv2047-no-such-tty"));
        EXPECT_EQ(w.paneText(0), "COM1 not open: /dev/kv2047-no-such-tty: no such device");
    }

    // A port another program holds: busy, until it lets go and a retry of the watchdog opens it.
    kvtest::SimProcess sim({"--period", "200"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    auto holder = std::make_unique<QSerialPort>(sim.ptyPath());
    ASSERT_TRUE(holder->open(QIODevice::ReadWrite));
    AppOptions simulated = optionsIn(dir, sim.ptyPath());
    simulated.simulate = true;  // as --simulate gives it
    MainWindow w(simulated);
    EXPECT_EQ(w.paneText(0), QString("COM1 not open: %1: device busy (another program is using it)").arg(sim.ptyPath()));
    holder.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.paneText(0) == "Simulated meter on " + sim.ptyPath(); }, 15000))
        << w.paneText(0).toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.session().model().run.runEnable == 1; }, 15000)) << "frames arrive";

    if (geteuid() != 0) {
        const QString locked = dir.filePath("locked-tty");
        QFile lf(locked);
        ASSERT_TRUE(lf.open(QIODevice::WriteOnly));
        lf.close();
        QFile::setPermissions(locked, QFileDevice::ReadOwner);
        MainWindow denied(optionsIn(dir, locked));
        EXPECT_TRUE(denied.paneText(0).contains("permission denied")) << denied.paneText(0).toStdString();
        EXPECT_TRUE(denied.paneText(0).contains("dialout"));
    }
}
