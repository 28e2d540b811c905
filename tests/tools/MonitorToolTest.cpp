// kv2047-tool monitor against the simulated meter: lines as the frames come, in
// either format, every way the stream ends, and a meter that falls silent.
#include <signal.h>

#include <QDateTime>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

#include "core/link/FrameBuilder.h"
#include "e2e/SimProcess.h"
#include "journal/JournalRig.h"

namespace {

// A running `monitor` (or a shell running it), its outputs collected as they
// come, in a zone half an hour off UTC and with a journal folder of its own.
struct Monitor {
    QProcess p;
    QString out, err;
    QTemporaryDir config;
    explicit Monitor(const QStringList& args, const QString& shell = {}) {
        kvtest::prepareTool(p, config.path());
        QProcessEnvironment env = p.processEnvironment();
        env.insert("TZ", "<+0530>-5:30");
        p.setProcessEnvironment(env);
        if (!shell.isEmpty()) p.setProgram(shell);
        p.setArguments(shell.isEmpty() ? QStringList{"monitor"} + args : args);
        QObject::connect(&p, &QProcess::readyReadStandardOutput, [this] { out += p.readAllStandardOutput(); });
        QObject::connect(&p, &QProcess::readyReadStandardError, [this] { err += p.readAllStandardError(); });
        p.start();
    }
    QStringList lines() const { return out.left(out.lastIndexOf('\n') + 1).split('\n', Qt::SkipEmptyParts); }
    bool waitFor(const std::function<bool()>& pred) {
        return QTest::qWaitFor([&] { return pred() || p.state() == QProcess::NotRunning; }, 20000) && pred();
    }
    int finish() {
        if (!p.waitForFinished(20000)) return -2;
        out += p.readAllStandardOutput();
        err += p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    // No run is started, so no journal may appear.
    bool journalFolderEmpty() const { return QDir(config.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot); }
};

QString waiting(const kvtest::SimProcess& sim) {
    return "kv2047-tool monitor: waiting for the meter on " + sim.ptyPath() + "\n";
}

}  // namespace

TEST(MonitorTool, RefusesBadArgumentsAndAMissingPort) {
    const struct {
        QStringList args;
        int status;
        const char* message;
    } rows[] = {
        {{}, 2, "--port DEVICE is needed"},
        {{"--port", "/dev/null", "--format", "json"}, 2, "--format must be jsonl or csv"},
        {{"--port", "/dev/null", "--count", "0"}, 2, "--count must be a whole number from 1 to 1000000"},
        {{"--port", "/dev/null", "--count=1000001"}, 2, "usage: kv2047-tool monitor"},
        {{"--port", "/dev/kv2047-no-such-tty"}, 1, "cannot open the port: /dev/kv2047-no-such-tty: no such device"},
    };
    for (const auto& row : rows) {
        Monitor m(row.args);
        EXPECT_EQ(m.finish(), row.status) << m.err.toStdString();
        EXPECT_TRUE(m.err.contains(row.message)) << m.err.toStdString();
        EXPECT_EQ(m.out, "") << "not even a CSV header";
    }
}

// A damaged frame's NaN and a K/IR without reading are no numbers; the rest
// are the shortest floats of the values in the unit named, and the time names
// the present moment.
struct FormatCase {
    const char* name;
    QStringList args;
    const char* header;
    const char* tail;  // a line after its time
    bool fahrenheit = true;
};
void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class MonitorFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(MonitorFormat, OneLinePerFrame) {
    kv::FrameFields f;
    f.air = 0.1f;
    f.wb = 1.0000001f;
    f.dp = NAN;
    f.kir = kv::kFrameNoKir;
    f.rh = 1e-7f;
    f.flagsA = 0;
    f.flagsB = GetParam().fahrenheit ? kv::flagB::kFahrenheit : 0;
    const kv::FrameBytes frame = kv::buildFrame(f);
    QTemporaryDir dir;
    QFile replay(dir.filePath("frames.hex"));
    ASSERT_TRUE(replay.open(QIODevice::WriteOnly));
    for (int i = 0; i < 40; ++i) replay.write(QByteArray(reinterpret_cast<const char*>(frame.data()), 46).toHex() + '\n');
    replay.close();
    kvtest::SimProcess sim({"--period", "100", "--replay", replay.fileName()});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();

    Monitor m(QStringList{"--port", sim.ptyPath(), "--count", "3"} + GetParam().args);
    ASSERT_EQ(m.finish(), 0) << m.err.toStdString();
    EXPECT_EQ(m.err, waiting(sim));
    QStringList lines = m.lines();
    if (*GetParam().header) {
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.takeFirst(), GetParam().header);
    }
    ASSERT_EQ(lines.size(), 3) << m.out.toStdString();
    for (const QString& line : lines) {
        const QString time = line.mid(line.startsWith('{') ? 9 : 0, 25);
        EXPECT_TRUE(time.endsWith("+05:30")) << line.toStdString();
        EXPECT_LE(std::abs(QDateTime::fromString(time, Qt::ISODate).secsTo(QDateTime::currentDateTimeUtc())), 60);
        EXPECT_EQ(line.mid(line.indexOf("+05:30") + 6), GetParam().tail);
        if (line.startsWith('{')) {
            EXPECT_TRUE(QJsonDocument::fromJson(line.toUtf8()).isObject());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, MonitorFormat,
    ::testing::Values(
        // The meter shows °F: the temperatures as the text table converts them, RH as it is.
        FormatCase{"JsonLines", {}, "",
                   R"(","air":32.18,"wb":33.8,"dp":null,"kir":null,"rh":1e-07,"unit":"F","battery":"Low"})"},
        FormatCase{"Csv", {"--format=csv"}, "time,air,wb,dp,kir,rh,unit,battery", ",32.18,33.8,,,1e-07,F,Low"},
        FormatCase{"Celsius", {"--format=csv"}, "time,air,wb,dp,kir,rh,unit,battery", ",0.1,1.0000001,,,1e-07,C,Low",
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

// Signals and a reader that goes away end the stream with status 0; an output
// that cannot be written with 1 and a message.
TEST(MonitorTool, EndsOnSignalsClosedPipeAndFullDisk) {
    kvtest::SimProcess sim({"--period", "100"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    for (const int sig : {SIGINT, SIGTERM}) {
        Monitor m({"--port", sim.ptyPath()});
        // Flushed line by line: they arrive while it runs.
        ASSERT_TRUE(m.waitFor([&] { return m.lines().size() >= 3; })) << m.err.toStdString();
        ::kill(pid_t(m.p.processId()), sig);
        EXPECT_EQ(m.finish(), 0) << sig;
        EXPECT_EQ(m.err, waiting(sim)) << "nothing else on standard error";
        EXPECT_TRUE(m.out.endsWith('\n'));
    }
    const struct {
        const char* script;
        int status;
        qsizetype lines;
        const char* message;
    } rows[] = {
        {R"("$0" monitor --port "$1" | head -3; exit ${PIPESTATUS[0]})", 0, 3, ""},
        {R"("$0" monitor --port "$1" > /dev/full)", 1, 0, "cannot write the output: No space left on device\n"},
        {R"("$0" monitor --port "$1" >&-)", 1, 0, "cannot write the output: Bad file descriptor\n"},
    };
    for (const auto& row : rows) {
        Monitor m({"-c", row.script, kvtest::toolProgram(), sim.ptyPath()}, "/bin/bash");
        EXPECT_EQ(m.finish(), row.status) << row.script;
        EXPECT_EQ(m.lines().size(), row.lines) << row.script;
        EXPECT_EQ(m.err, waiting(sim) + (*row.message ? "kv2047-tool monitor: " : "") + row.message);
    }
}

// Silence and return are said on standard error while the stream waits, on the
// desktop program's link: initialisation at each opening, acknowledgements.
TEST(MonitorTool, ReportsSilenceAndReturnAndKeepsNoJournal) {
    kvtest::SimProcess sim({"--period", "200"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    Monitor m({"--port", sim.ptyPath()});
    ASSERT_TRUE(m.waitFor([&] { return sim.count("11") >= 1; })) << "an acknowledgement after the frames";
    sim.pause();
    const QString silent = "kv2047-tool monitor: the meter is silent; re-opening " + sim.ptyPath() + "\n";
    ASSERT_TRUE(m.waitFor([&] { return m.err.contains(silent); })) << m.err.toStdString();
    const qsizetype before = m.lines().size();
    sim.resume();
    ASSERT_TRUE(m.waitFor(
        [&] { return m.err.endsWith("kv2047-tool monitor: the meter is back\n") && m.lines().size() > before; }))
        << m.err.toStdString();
    ::kill(pid_t(m.p.processId()), SIGTERM);
    EXPECT_EQ(m.finish(), 0) << m.err.toStdString();
    EXPECT_TRUE(m.err.startsWith(waiting(sim) + silent));
    EXPECT_GE(sim.count("FF AA 55 63 63 00 00 00 C6 00 FF"), 2);
    EXPECT_TRUE(m.journalFolderEmpty());
}
