// The link end to end: MeterSerialPort on the simulated meter's pseudo-terminal, the
// engine fed from its events, timers on the real event loop. Timeouts are
// generous: these must pass on a slow, busy machine.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest/QTest>
#include <ctime>

#include "SimProcess.h"
#include "session/MeterSerialPort.h"
#include "core/link/CommandPacket.h"
#include "core/link/LinkEngine.h"

namespace {

using kvtest::SimProcess;

const QString kInit = "FF AA 55 63 63 00 00 00 C6 00 FF";
const QString kAck = "11";

// What the main frame does with the serial control, without its windows.
struct LiveLink {
    kv::Model m;
    MeterSerialPort comm;
    int accepted = 0, refused = 0;
    QElapsedTimer sinceFrame;

    explicit LiveLink(const QString& pty) {
        kv::initLinkAtStartup(m);
        comm.setDevice(m.link.port, pty);
        QObject::connect(&comm, &MeterSerialPort::commEvent, [this](int code) {
            const QByteArray data = code == kv::kEventReceive ? comm.input() : QByteArray();
            const auto fx = kv::serialEvent(m, comm, code, reinterpret_cast<const uint8_t*>(data.constData()),
                                            std::size_t(data.size()), std::time(nullptr));
            if (code != kv::kEventReceive) return;
            if (fx.accepted) {
                ++accepted;
                sinceFrame.start();
            } else {
                ++refused;
            }
        });
        comm.openPort(m.link.port);
    }
    bool waitAccepted(int n, int timeoutMs = 20000) {
        return QTest::qWaitFor([&] { return accepted >= n; }, timeoutMs);
    }
};

class LinkE2e : public ::testing::Test {
protected:
    void SetUp() override {
        if (SimProcess::program().isEmpty()) GTEST_SKIP() << "KV2047_SIM is not set";
    }
};

TEST_F(LinkE2e, OpeningThePortSendsTheInitialisationCommand) {
    SimProcess sim({"--period", "200"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    LiveLink link(sim.ptyPath());
    ASSERT_TRUE(link.comm.isOpen()) << link.comm.lastError().toStdString();
    ASSERT_TRUE(sim.waitForLog([](const auto& l) { return !l.isEmpty(); }, 20000));
    const auto log = sim.log();
    EXPECT_EQ(log.first().hex, kInit);
    EXPECT_EQ(sim.count(kInit), 1);
}

TEST_F(LinkE2e, FramesReachTheLiveSeries) {
    SimProcess sim({"--period", "100", "--fahrenheit"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    LiveLink link(sim.ptyPath());
    ASSERT_TRUE(link.waitAccepted(5)) << "accepted " << link.accepted << ", refused " << link.refused;
    const kv::Model& m = link.m;
    EXPECT_EQ(m.run.offline, 0);
    EXPECT_EQ(m.run.unitText, "F");
    EXPECT_EQ(m.link.comEnable[0], 0);  // port menu locked
    const float air = m.doc->live[kv::AIR][m.run.n];
    EXPECT_GT(air, 15.0f);
    EXPECT_LT(air, 30.0f);
    EXPECT_FALSE(m.meter.upper.empty());
    EXPECT_EQ(m.meter.link, "PC-LINK");  // the sim answered the initialisation
}

TEST_F(LinkE2e, DamagedAndBunchedFramesAreRefusedOthersAccepted) {
    SimProcess sim({"--period", "100", "--corrupt-every", "2", "--burst"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    LiveLink link(sim.ptyPath());
    ASSERT_TRUE(QTest::qWaitFor([&] { return link.accepted >= 3 && link.refused >= 3; }, 30000))
        << "accepted " << link.accepted << ", refused " << link.refused;
}

TEST_F(LinkE2e, RunRecordsSamplesFromTheMeter) {
    SimProcess sim({"--period", "100"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    LiveLink link(sim.ptyPath());
    ASSERT_TRUE(link.waitAccepted(1));
    kv::applyRunSettings(link.m, 1, 1000);
    kv::finishRunCommand(link.m);
    // The sample timer at a short period: the commit logic does not care.
    QTimer sampleTimer;
    QObject::connect(&sampleTimer, &QTimer::timeout, [&] { kv::sampleTick(link.m); });
    sampleTimer.start(250);
    EXPECT_TRUE(QTest::qWaitFor([&] { return link.m.run.n >= 4; }, 30000)) << "n = " << link.m.run.n;
    EXPECT_EQ(link.m.link.stopped, 0);
    for (int i = 0; i < 4; ++i) EXPECT_GT(link.m.doc->live[kv::RH][i], 30.0f) << i;
}

// The watchdog runs at 1 s here instead of 3 s: same logic, shorter test.
TEST_F(LinkE2e, SilentMeterIsReopenedWithTheInitialisationCommand) {
    SimProcess sim({"--period", "100", "--silence-after", "10"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    LiveLink link(sim.ptyPath());
    int silentTicks = 0;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&] { silentTicks += kv::watchdogTick(link.m, link.comm); });
    watchdog.start(1000);
    ASSERT_TRUE(link.waitAccepted(3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return link.m.run.offline == 1; }, 30000));
    EXPECT_EQ(link.m.link.comEnable[0], 1);
    // Each silent tick closes and re-opens the port, and the meter hears the command again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return silentTicks >= 3; }, 30000));
    const int reopens = silentTicks;
    EXPECT_TRUE(sim.waitForLog([&](const auto&) { return sim.count(kInit) >= 1 + reopens; }, 20000))
        << "init commands in the log: " << sim.count(kInit) << ", re-opens: " << reopens;
    EXPECT_TRUE(link.comm.isOpen()) << link.comm.lastError().toStdString();
    EXPECT_EQ(link.m.run.offline, 1);
}

TEST_F(LinkE2e, OnlineAgainWhenFramesReturn) {
    SimProcess sim({"--period", "100"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    LiveLink link(sim.ptyPath());
    QTimer watchdog;
    int silentTicks = 0;
    QObject::connect(&watchdog, &QTimer::timeout, [&] { silentTicks += kv::watchdogTick(link.m, link.comm); });
    watchdog.start(1000);
    ASSERT_TRUE(link.waitAccepted(3));
    sim.pause();
    ASSERT_TRUE(QTest::qWaitFor([&] { return link.m.run.offline == 1; }, 30000));
    const int before = link.accepted;
    sim.resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return link.m.run.offline == 0 && link.accepted > before; }, 30000));
    EXPECT_EQ(link.m.link.comEnable[0], 0);
    // The re-open's command reached the meter once it listened again.
    EXPECT_TRUE(sim.waitForLog([&](const auto&) { return sim.count(kInit) >= 2; }, 20000));
}

TEST_F(LinkE2e, AckAtMostOncePerSecondAndOnlyWhileFramesArrive) {
    SimProcess sim({"--period", "100", "--silence-after", "25"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    LiveLink link(sim.ptyPath());
    int sent = 0;
    QTimer ack;
    QObject::connect(&ack, &QTimer::timeout, [&] { sent += kv::ackTick(link.m, link.comm); });
    ack.start(1000);
    ASSERT_TRUE(link.waitAccepted(5));
    // Wait for the silence, then for two more ticks without frames.
    ASSERT_TRUE(QTest::qWaitFor([&] { return link.sinceFrame.elapsed() > 1500; }, 30000));
    const int acksAtSilence = sent;
    QTest::qWait(2500);
    EXPECT_EQ(sent, acksAtSilence);
    EXPECT_GE(sent, 1);

    ASSERT_TRUE(sim.waitForLog([&](const auto&) { return sim.count(kAck) == sent; }, 20000))
        << "acks in the log: " << sim.count(kAck) << ", sent: " << sent;
    qint64 last = -1000000;
    for (const auto& l : sim.log()) {
        if (l.hex != kAck) continue;
        // One timer tick per second; allow for a slow pseudo-terminal reader.
        EXPECT_GE(l.ms - last, 500) << "acks at " << last << " and " << l.ms << " ms";
        last = l.ms;
    }
}

TEST_F(LinkE2e, MeterAnswersKeysFromTheProgram) {
    SimProcess sim({"--period", "100"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    LiveLink link(sim.ptyPath());
    ASSERT_TRUE(link.waitAccepted(2));
    ASSERT_EQ(link.m.run.unitText, "C");
    for (kv::Payload key : {kv::Payload{0x6B, 0x28, 0, 0, 0}, kv::Payload{0x6B, 0x16, 0, 0, 0},
                            kv::Payload{0x6B, 0x1E, 0, 0, 0}}) {  // UNITS, AVG double-click, HOLDUP
        const kv::Command c = kv::makeCommand(key);
        link.comm.write(c.data(), c.size());
    }
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return link.m.run.unitText == "F" && link.m.meter.backlight == 1 && link.m.meter.holdUpper == "HOLD"; },
        20000));
    EXPECT_TRUE(sim.waitForLog([&](const auto&) { return sim.count("FF AA 55 6B 28 00 00 00 93 00 FF") == 1; }, 20000));

    const kv::Command off = kv::makeCommand({0x6B, 0x50, 0, 0, 0});  // POWEROFF
    link.comm.write(off.data(), off.size());
    ASSERT_TRUE(QTest::qWaitFor([&] { return link.sinceFrame.elapsed() > 1500; }, 20000)) << "still sending";
}

TEST_F(LinkE2e, SimExitsCleanlyAfterItsFramesAndOnSigterm) {
    SimProcess counted({"--period", "50", "--frames", "3"});
    ASSERT_TRUE(counted.start()) << counted.error().toStdString();
    ASSERT_TRUE(counted.process().waitForFinished(20000));
    EXPECT_EQ(counted.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(counted.process().exitCode(), 0);

    SimProcess endless({"--period", "50"});
    ASSERT_TRUE(endless.start()) << endless.error().toStdString();
    endless.process().terminate();
    ASSERT_TRUE(endless.process().waitForFinished(20000));
    EXPECT_EQ(endless.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(endless.process().exitCode(), 0);
}

}  // namespace
