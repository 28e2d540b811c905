// kv2047-tool record and recover against the simulated meter: a run recorded
// without a display, stopped by a signal, or killed and written out afterwards.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "e2e/SimProcess.h"
#include "journal/JournalRig.h"

namespace {

// A running `record` whose standard error is collected as it comes.
struct Recording {
    QProcess p;
    QString err;
    void start(const QStringList& args, const QString& journalDir, rlim_t fileSizeLimit = RLIM_INFINITY) {
        kvtest::prepareTool(p, journalDir);
        // A full disk for every file the recorder writes, met as the program would meet it.
        if (fileSizeLimit != RLIM_INFINITY)
            p.setChildProcessModifier([fileSizeLimit] {
                ::signal(SIGXFSZ, SIG_DFL);
                const rlimit lim{fileSizeLimit, fileSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &lim);
            });
        p.setArguments(QStringList{"record"} + args);
        QObject::connect(&p, &QProcess::readyReadStandardError,
                         [this] { err += QString::fromLocal8Bit(p.readAllStandardError()); });
        p.start();
    }
    // The sample count of the newest progress line, 0 before the first one.
    int samplesShown() const {
        static const QRegularExpression re("record: (\\d+)/\\d+ samples");
        int n = 0;
        for (auto it = re.globalMatch(err); it.hasNext();) n = it.next().captured(1).toInt();
        return n;
    }
    bool waitForSamples(int n, int timeoutMs) {
        return QTest::qWaitFor([&] { return samplesShown() >= n || p.state() == QProcess::NotRunning; },
                               timeoutMs) &&
               samplesShown() >= n;
    }
    int finish(int timeoutMs = 15000) {
        if (!p.waitForFinished(timeoutMs)) return -2;
        err += QString::fromLocal8Bit(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
};

}  // namespace

TEST(RecordTool, RefusesBadArgumentsWithStatus2) {
    QTemporaryDir dir;
    const QString out = dir.filePath("x.AsmDat");
    // Outputs that could not be written are refused before the port is opened.
    QDir(dir.path()).mkdir("folder.AsmDat");
    const QString folder = dir.filePath("folder.AsmDat"), longTable = dir.filePath(QString(250, 'n') + ".dat");
    // Another user's text table in a sticky, world-writable folder: the run's
    // files could never replace it.
    QDir(dir.path()).mkdir("shared");
    const QString shared = dir.filePath("shared");
    ::chmod(QFile::encodeName(shared).constData(), 01777);
    QFile othersTable(shared + "/theirs.txt");
    ASSERT_TRUE(othersTable.open(QIODevice::WriteOnly));
    othersTable.close();
    const uid_t other = ::geteuid() == 65534 ? 65533 : 65534;
    const bool canChown = ::chown(QFile::encodeName(othersTable.fileName()).constData(), other, other) == 0;
    const struct {
        const char* name;
        QStringList args;
        const char* says = nullptr;   // else the usage or the limits
    } rows[] = {
        {"nothing", {}},
        {"output is a folder", {"--port", "/dev/null", "--rate", "1", "--count", "5", "-o", folder}, "Is a directory"},
        {"text table name too long", {"--port", "/dev/null", "--rate", "1", "--count", "5", "-o", longTable},
         "File name too long"},
        {"output folder missing", {"--port", "/dev/null", "--rate", "1", "--count", "5", "-o", dir.filePath("no/x.AsmDat")},
         "No such file or directory"},
        {"another user's table in a shared folder",
         {"--port", "/dev/null", "--rate", "1", "--count", "5", "-o", shared + "/theirs.AsmDat"},
         "theirs.txt: It belongs to another user in a shared folder"},
        {"capture is the table", {"--port", "/dev/null", "--rate", "1", "--count", "5", "-o", out, "--capture",
                                  dir.filePath("x.txt")}, "capture"},
        {"no port", {"--rate", "1", "--count", "5", "-o", out}},
        {"no output", {"--port", "/dev/null", "--rate", "1", "--count", "5"}},
        {"no rate", {"--port", "/dev/null", "--count", "5", "-o", out}},
        {"rate 0", {"--port", "/dev/null", "--rate", "0", "--count", "5", "-o", out}},
        {"rate 3601", {"--port", "/dev/null", "--rate", "3601", "--count", "5", "-o", out}},
        {"count 0", {"--port", "/dev/null", "--rate", "1", "--count", "0", "-o", out}},
        {"count 10001", {"--port", "/dev/null", "--rate", "1", "--count", "10001", "-o", out}},
        {"count not a number", {"--port", "/dev/null", "--rate", "1", "--count", "5x", "-o", out}},
        {"unknown option", {"--port", "/dev/null", "--rate", "1", "--count", "5", "-o", out, "--fast"}},
        {"missing value", {"--port", "/dev/null", "--rate", "1", "--count", "5", "-o"}},
        {"capture is the output", {"--port", "/dev/null", "--rate", "1", "--count", "5", "-o", out, "--capture", out}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (!canChown && row.args.contains(shared + "/theirs.AsmDat")) continue;   // only root gives files away
        const auto r = kvtest::runTool(QStringList{"record"} + row.args, dir.path());
        EXPECT_EQ(r.status, 2) << r.err.toStdString();
        if (row.says) {
            EXPECT_TRUE(r.err.contains(row.says)) << r.err.toStdString();
        } else {
            EXPECT_TRUE(r.err.contains("usage: kv2047-tool record") || r.err.contains("must be")) << r.err.toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"folder.AsmDat", "shared"}))
        << "nothing written beside a refused output";
    EXPECT_EQ(QDir(shared).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"theirs.txt"});
    EXPECT_EQ(kvtest::runTool({"recover"}, dir.path()).status, 2);
}

TEST(RecordTool, UnopenablePortIsAnIoErrorWithItsReason) {
    QTemporaryDir dir;
    const auto r = kvtest::runTool({"record", "--port", "/dev/kv2047-no-such-tty", "--rate", "1", "--count", "5", "-o",
                                    dir.filePath("x.AsmDat")},
                                   dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("/dev/kv2047-no-such-tty: no such device")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("x.AsmDat")));
}

TEST(RecordTool, TenSamplesAtOneSecondGiveAFileOfTen) {
    QTemporaryDir dir;
    kvtest::SimProcess sim({"--period", "200"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    const QString out = dir.filePath("ten.AsmDat");
    Recording rec;
    rec.start({"--port", sim.ptyPath(), "--rate", "1", "--count", "10", "-o", out, "--capture",
               dir.filePath("ten.cap")},
              dir.path());
    EXPECT_EQ(rec.finish(40000), 0) << rec.err.toStdString();
    EXPECT_TRUE(rec.err.contains("record: 10/10 samples")) << "progress on standard error";
    EXPECT_EQ(kvtest::infoSamples(out, dir.path()), 10);
    QFile txt(dir.filePath("ten.txt"));
    ASSERT_TRUE(txt.open(QIODevice::ReadOnly)) << "the text table beside it";
    EXPECT_EQ(txt.readAll().count("\r\n"), 11);
    // The run went through the link as the desktop program drives it.
    EXPECT_GE(sim.count("FF AA 55 63 63 00 00 00 C6 00 FF"), 1);
    EXPECT_GE(sim.count("11"), 5);
    // Finished and saved: nothing is left to recover.
    EXPECT_EQ(kvtest::runTool({"recover", "-o", dir.filePath("none.AsmDat")}, dir.path()).status, 1);
    // The capture holds the reads and the writes, and decodes.
    const auto decoded = kvtest::runTool({"decode", dir.filePath("ten.cap")}, dir.path());
    EXPECT_EQ(decoded.status, 0);
    EXPECT_GE(decoded.out.count("\"accepted\":true"), 10);
}

TEST(RecordTool, CaptureCutShortIsReportedAndTheRunStillWritten) {
    QTemporaryDir dir;
    kvtest::SimProcess sim({"--period", "100"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    const QString out = dir.filePath("run.AsmDat");
    Recording rec;
    // Room for the run's files (under 700 bytes) but not for a few seconds of capture.
    rec.start({"--port", sim.ptyPath(), "--rate", "1", "--count", "3", "-o", out, "--capture", dir.filePath("c.cap")},
              dir.path(), 1500);
    EXPECT_EQ(rec.finish(40000), 1) << rec.err.toStdString();
    EXPECT_TRUE(rec.err.contains("could not be completely written")) << rec.err.toStdString();
    EXPECT_EQ(kvtest::infoSamples(out, dir.path()), 3) << rec.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("run.txt")));
}

TEST(RecordTool, FilesThatCannotBeWrittenLeaveTheSamplesToRecover) {
    QTemporaryDir dir;
    kvtest::SimProcess sim({"--period", "100"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    const QString out = dir.filePath("run.AsmDat");
    Recording rec;
    // Room for the journal of three samples (160 bytes) and the data file
    // (110), not for the text table (about 460): a disk that fills up at the end.
    rec.start({"--port", sim.ptyPath(), "--rate", "1", "--count", "3", "-o", out}, dir.path(), 300);
    EXPECT_EQ(rec.finish(40000), 1) << rec.err.toStdString();
    EXPECT_TRUE(rec.err.contains("cannot save the run: " + dir.filePath("run.txt"))) << rec.err.toStdString();
    const QStringList journals = kvtest::journalFiles(dir.path());
    ASSERT_EQ(journals.size(), 1);
    EXPECT_TRUE(rec.err.contains("`kv2047-tool recover --journal " + journals[0] + " -o FILE.AsmDat` writes them out"))
        << rec.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));

    // The next recording leaves it alone, and recover writes it out.
    const auto next = kvtest::runTool({"record", "--port", "/dev/kv2047-no-such-tty", "--rate", "1", "--count", "5",
                                       "-o", dir.filePath("x.AsmDat")},
                                      dir.path());
    EXPECT_TRUE(next.err.contains("an interrupted recording is kept in " + journals[0])) << next.err.toStdString();
    const auto r = kvtest::runTool({"recover", "-o", out}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(kvtest::infoSamples(out, dir.path()), 3);
}

TEST(RecordTool, InterruptKeepsWhatWasRecorded) {
    QTemporaryDir dir;
    kvtest::SimProcess sim({"--period", "200"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    const QString out = dir.filePath("five.AsmDat");
    Recording rec;
    rec.start({"--port", sim.ptyPath(), "--rate", "1", "--count", "100", "-o", out}, dir.path());
    ASSERT_TRUE(rec.waitForSamples(5, 30000)) << rec.err.toStdString();
    ::kill(pid_t(rec.p.processId()), SIGINT);
    EXPECT_EQ(rec.finish(), 0) << rec.err.toStdString();
    EXPECT_EQ(kvtest::infoSamples(out, dir.path()), 5) << rec.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("five.txt")));
}

TEST(RecordTool, KilledRecordingIsWrittenOutByRecover) {
    QTemporaryDir dir;
    kvtest::SimProcess sim({"--period", "200"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    Recording rec;
    rec.start({"--port", sim.ptyPath(), "--rate", "1", "--count", "100", "-o", dir.filePath("never.AsmDat")},
              dir.path());
    ASSERT_TRUE(rec.waitForSamples(3, 30000)) << rec.err.toStdString();
    ::kill(pid_t(rec.p.processId()), SIGKILL);
    rec.finish();
    EXPECT_FALSE(QFile::exists(dir.filePath("never.AsmDat")));
    const QStringList journals = kvtest::journalFiles(dir.path());
    ASSERT_EQ(journals.size(), 1);
    const int kept = kvtest::journalCount(journals[0]);
    EXPECT_GE(kept, 3);
    EXPECT_LE(kept, 4);

    // The next recording says where the interrupted one is.
    const auto next = kvtest::runTool({"record", "--port", "/dev/kv2047-no-such-tty", "--rate", "1", "--count", "5",
                                       "-o", dir.filePath("x.AsmDat")},
                                      dir.path());
    EXPECT_TRUE(next.err.contains("an interrupted recording is kept in")) << next.err.toStdString();

    const auto r = kvtest::runTool({"recover", "-o", dir.filePath("recovered.AsmDat")}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(kvtest::infoSamples(dir.filePath("recovered.AsmDat"), dir.path()), kept);
    EXPECT_TRUE(QFile::exists(dir.filePath("recovered.txt")));
    EXPECT_EQ(kvtest::runTool({"recover", "-o", dir.filePath("again.AsmDat")}, dir.path()).status, 1)
        << "written out once, then finished";
}
