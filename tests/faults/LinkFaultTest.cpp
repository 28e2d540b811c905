// Faults of the serial line, end to end through the main window: the meter
// that goes away and comes back, damaged and bunched reads among good ones,
// and a flood of frames. Timeouts are generous: these run on busy machines and
// under the sanitizers.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <memory>
#include <utility>
#include <vector>

#include "FaultRig.h"
#include "e2e/SimProcess.h"
#include "gui/graph/LiveGraphView.h"
#include "core/link/CommandPacket.h"
#include "core/link/FrameBuilder.h"
#include "core/link/FrameDecoder.h"

namespace {

using kvfault::LoopWatch;
using kvfault::optionsFor;
using kvtest::SimProcess;

const QString kInitHex = "FF AA 55 63 63 00 00 00 C6 00 FF";

QByteArray initCommand() {
    const kv::Command c = kv::makeCommand(kv::kInitPayload);
    return QByteArray(reinterpret_cast<const char*>(c.data()), qsizetype(c.size()));
}

// Checks every serial event of the window against the read it was handed: a
// read is accepted exactly when it begins with a well-formed frame.
struct EventAudit {
    int accepted = 0, refused = 0, wrong = 0;
    bool lastGood = false;
    bool frameSignalled = false;

    explicit EventAudit(MainWindow& w) {
        w.session().port().tap = [this](bool incoming, const QByteArray& bytes) {
            if (incoming)
                lastGood = kv::frameAccepted(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size());
        };
        QObject::connect(&w.session(), &MeterSession::frameAccepted, &w, [this] { frameSignalled = true; });
        // Connected after the session's own handler, so this runs once it has decoded.
        QObject::connect(&w.session().port(), &MeterSerialPort::commEvent, &w, [this](int code) {
            if (code != kv::kEventReceive) return;
            const bool got = std::exchange(frameSignalled, false);
            (got ? accepted : refused) += 1;
            wrong += got != lastGood;
            lastGood = false;
        });
    }
};

class LinkFaults : public ::testing::Test {
protected:
    void SetUp() override {
        if (SimProcess::program().isEmpty()) GTEST_SKIP() << "KV2047_SIM is not set";
    }
};

// The meter's pseudo-terminal closes (the sim ends) and a new one appears
// under the same device path, as a USB adapter pulled and plugged back does.
TEST_F(LinkFaults, DeviceDisappearsMidRunAndComesBackUnderTheSamePath) {
    QTemporaryDir dir;
    const QString device = dir.filePath("kv2047-meter");
    auto first = std::make_unique<SimProcess>(QStringList{"--period", "100"});
    ASSERT_TRUE(first->start()) << first->error().toStdString();
    ASSERT_TRUE(QFile::link(first->ptyPath(), device));
    SimProcess second({"--period", "100", "--seed", "2"});

    MainWindow w(optionsFor(dir, device));
    w.show();
    const kv::Model& m = w.session().model();
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> opens;  // every port open sends the initialisation command
    w.session().port().tap = [&](bool incoming, const QByteArray& b) {
        if (!incoming && b == initCommand()) opens.push_back(clock.elapsed());
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.run.runEnable == 1; }, 20000)) << "no frame from the first sim";

    // Record a few samples.
    w.session().run(1, 1000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.run.n >= 3; }, 30000)) << "n = " << m.run.n;

    const int committed = m.run.n;
    std::vector<float> kept;
    for (int q = 0; q < kv::kQuantities; ++q)
        for (int i = 0; i < committed; ++i) kept.push_back(m.doc->live[q][i]);
    auto samplesKept = [&] {
        std::size_t k = 0;
        for (int q = 0; q < kv::kQuantities; ++q)
            for (int i = 0; i < committed; ++i)
                if (m.doc->live[q][i] != kept[k++]) return false;
        return true;
    };

    // Pulled: the terminal closes and its path goes away.
    first->stop();
    first.reset();
    ASSERT_TRUE(QFile::remove(device));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.run.offline == 1; }, 15000));
    EXPECT_EQ(m.link.stopped, 1) << "the run ends when the meter is gone";
    EXPECT_GE(m.run.n, committed);
    EXPECT_LE(m.run.n, committed + 1);
    const int nOffline = m.run.n;
    EXPECT_TRUE(samplesKept());
    EXPECT_EQ(m.link.comEnable[0], 1) << "the port menu is free again";

    // While it is gone: a re-open every 3 s, each failing quickly, the window responsive.
    LoopWatch watch;
    opens.clear();
    QTest::qWait(8500);
    EXPECT_GE(opens.size(), 2u) << "re-opens while the device was gone";
    for (std::size_t i = 1; i < opens.size(); ++i) {
        EXPECT_GE(opens[i] - opens[i - 1], 2500) << "re-open " << i;
        EXPECT_LE(opens[i] - opens[i - 1], 6000) << "re-open " << i;
    }
    std::printf("device gone: %zu re-opens in 8.5 s, longest stall %lld ms, status: %s\n", opens.size(),
                static_cast<long long>(watch.maxGapMs()), qPrintable(w.paneText(0)));
    EXPECT_FALSE(w.session().port().isOpen());
    EXPECT_TRUE(w.paneText(0).contains("not open")) << w.paneText(0).toStdString();
    EXPECT_LT(watch.maxGapMs(), 1500) << "the event loop stalled while retrying";
    EXPECT_GT(watch.ticks(), 100);

    // Plugged back: a new terminal under the same path.
    ASSERT_TRUE(second.start()) << second.error().toStdString();
    ASSERT_TRUE(QFile::link(second.ptyPath(), device));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.run.offline == 0 && m.run.runEnable == 1; }, 20000))
        << "no frames after the device came back";
    EXPECT_TRUE(w.session().port().isOpen());
    EXPECT_TRUE(w.paneText(0).isEmpty()) << w.paneText(0).toStdString();
    EXPECT_TRUE(second.waitForLog([&](const auto&) { return second.count(kInitHex) >= 1; }, 10000))
        << "the new device heard no initialisation command";
    EXPECT_EQ(m.run.n, nOffline) << "no run is going on: nothing new is committed";
    EXPECT_TRUE(samplesKept());
    EXPECT_LT(watch.maxGapMs(), 1500);
}

// Frame fields the test recognises: good frames carry 21.5, poisoned ones 99.
kv::FrameFields fields(float air) {
    kv::FrameFields f;
    f.air = air;
    f.wb = 18.25f;
    f.dp = 15.0f;
    f.rh = air == 99.0f ? 99.0f : 40.0f;
    f.kir = 30.25f;
    f.display1 = air;
    f.display2 = f.rh;
    f.display3 = 30.25f;
    return f;
}
std::string frameBytes(float air) {
    const auto b = kv::buildFrame(fields(air));
    return std::string(b.begin(), b.end());
}

TEST_F(LinkFaults, OnlyReadsThatBeginWithAGoodFrameAreAccepted) {
    kvfault::TestPty pty;
    ASSERT_TRUE(pty.ok());
    QTemporaryDir dir;
    MainWindow w(optionsFor(dir, pty.path()));
    const kv::Model& m = w.session().model();
    EventAudit audit(w);
    ASSERT_TRUE(w.session().port().isOpen()) << w.session().port().lastError().toStdString();

    const std::string good = frameBytes(21.5f);
    const std::string poison = frameBytes(99.0f);
    std::string badEnd = poison, badSync = poison, badLetters = poison;
    badEnd[44] = 0;
    badSync[0] = 0x55;
    badLetters[3] = 'J';
    std::string garbage;
    for (int i = 0; i < 200; ++i) garbage += char((i * 37 + 11) & 0xFF);

    struct Step {
        const char* what;
        std::vector<std::string> writes;  // written apart, 150 ms between
        bool accepted;
    };
    const Step steps[] = {
        {"good frame", {good}, true},
        {"end marker damaged", {badEnd}, false},
        {"sync byte damaged", {badSync}, false},
        {"letters damaged", {badLetters}, false},
        {"good frame in two pieces", {good.substr(0, 20), good.substr(20)}, true},
        {"short frame, then a good one", {poison.substr(0, 30), good}, false},
        {"junk before a good frame", {std::string("\x01\x02", 2) + good}, false},
        {"burst: good, then a well-formed one", {good + poison + poison}, true},
        {"garbage", {garbage}, false},
        {"good frame again", {good}, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        const int accepted = audit.accepted, refused = audit.refused;
        for (const std::string& piece : s.writes) {
            ASSERT_TRUE(pty.write(piece));
            QTest::qWait(150);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return audit.accepted + audit.refused > accepted + refused; }, 10000))
            << "no serial event";
        QTest::qWait(100);
        EXPECT_EQ(audit.accepted - accepted, s.accepted ? 1 : 0);
        EXPECT_EQ(audit.refused - refused, s.accepted ? 0 : 1);
        // What was stored and shown is the good frame's, never the poisoned one's.
        EXPECT_FLOAT_EQ(m.doc->live[kv::AIR][m.run.n], 21.5f);
        EXPECT_FLOAT_EQ(m.doc->live[kv::RH][m.run.n], 40.0f);
        EXPECT_EQ(m.meter.upper, "21.5");
        EXPECT_LT(m.readings.runMax[kv::AIR], 50.0f);
    }
    EXPECT_EQ(audit.wrong, 0);
}

TEST_F(LinkFaults, SimulatedDamageAndBurstsAmongGoodFrames) {
    SimProcess sim({"--period", "40", "--corrupt-every", "2", "--burst"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    QTemporaryDir dir;
    MainWindow w(optionsFor(dir, sim.ptyPath()));
    w.show();
    EventAudit audit(w);
    ASSERT_TRUE(QTest::qWaitFor([&] { return audit.accepted >= 5 && audit.refused >= 5; }, 30000))
        << "accepted " << audit.accepted << ", refused " << audit.refused;
    EXPECT_EQ(audit.wrong, 0) << "a read was judged differently from its first 46 bytes";
    EXPECT_EQ(w.session().model().run.offline, 0);
}

// Frames 1000 times a second, far faster than the meter's two: the window
// keeps serving its timers (the acknowledgement goes out once a second), keeps
// accepting frames, and does not grow.
TEST_F(LinkFaults, FloodOfFramesLeavesTheWindowResponsive) {
    SimProcess sim({"--period", "1"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    QTemporaryDir dir;
    MainWindow w(optionsFor(dir, sim.ptyPath()));
    w.show();
    const kv::Model& m = w.session().model();
    EventAudit audit(w);
    ASSERT_TRUE(QTest::qWaitFor([&] { return audit.accepted >= 50; }, 20000)) << audit.accepted;
    QTest::qWait(2000);  // settle: caches, fonts, first paints

    constexpr int kSeconds = 10;
    LoopWatch watch;
    bool wentOffline = false;
    QTimer offlineProbe;
    QObject::connect(&offlineProbe, &QTimer::timeout, [&] { wentOffline |= m.run.offline != 0; });
    offlineProbe.start(100);
    const long rssBefore = kvfault::residentKb();
    const int acceptedBefore = audit.accepted;
    const int acksBefore = sim.count("11");
    QTest::qWait(kSeconds * 1000);
    const long rssAfter = kvfault::residentKb();

    EXPECT_LT(watch.maxGapMs(), 1500) << "the event loop stalled under the flood";
    EXPECT_GT(watch.ticks(), kSeconds * 1000 / 20 / 3);
    EXPECT_FALSE(wentOffline) << "the watchdog took a flooded line for a silent one";
    EXPECT_GT(audit.accepted - acceptedBefore, kSeconds * 10);
    EXPECT_EQ(audit.wrong, 0);
    ASSERT_TRUE(sim.waitForLog([&](const auto&) { return sim.count("11") - acksBefore >= kSeconds - 3; }, 5000))
        << "acknowledgements during the flood: " << sim.count("11") - acksBefore;
    std::printf("flood: %d reads accepted in %d s, %d acknowledgements, longest stall %lld ms, resident %ld kB -> %ld kB\n",
                audit.accepted - acceptedBefore, kSeconds, sim.count("11") - acksBefore,
                static_cast<long long>(watch.maxGapMs()), rssBefore, rssAfter);
    // Under AddressSanitizer freed memory waits in quarantine: the size says nothing there.
    if (!kvfault::kUnderAsan) {
        EXPECT_LT(rssAfter - rssBefore, 20 * 1024) << "kB before " << rssBefore << ", after " << rssAfter;
    }
}

}  // namespace
