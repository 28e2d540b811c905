// The meter session on the simulated meter's pseudo-terminal, observed the way
// the windows and the recorder observe it: its signals, counted.
#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QtTest/QTest>
#include <type_traits>
#include <unistd.h>

#include "SimProcess.h"
#include "session/MeterSession.h"

#include "CountingNew.h"

namespace {

using kvtest::SimProcess;

// Every frame's signal is copied nowhere and allocates nothing.
static_assert(std::is_trivially_copyable_v<kv::DecodedFrame>);

TEST(SessionSignals, FrameSignalAllocatesNothing) {
    MeterSession session;
    float sum = 0.0f;
    QObject::connect(&session, &MeterSession::frameAccepted, &session,
                     [&](const kv::DecodedFrame& f) { sum += f.q[kv::AIR]; });
    const kv::DecodedFrame f{{23.5f, 17.0f, 9.0f, 30.0f, 45.0f}, 0, "C", "Normal"};
    emit session.frameAccepted(f);  // Qt sets up its connection data once
    gAllocations = 0;
    gCounting = true;
    for (int i = 0; i < 1000; ++i) emit session.frameAccepted(f);
    gCounting = false;
    EXPECT_EQ(gAllocations, 0);
    EXPECT_FLOAT_EQ(sum, 1001 * 23.5f);
}

struct PolicyCase {
    const char* name;
    MeterSession::Policy policy;
};

class SessionOnSim : public ::testing::TestWithParam<PolicyCase> {
protected:
    void SetUp() override {
        if (SimProcess::program().isEmpty()) GTEST_SKIP() << "KV2047_SIM is not set";
    }
};

// Frames, a run, a silence and the frames' return, as each front-end sees them.
TEST_P(SessionOnSim, SignalsFollowTheLink) {
    SimProcess sim({"--period", "100"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    MeterSession session;
    session.setPolicy(GetParam().policy);
    session.setJournalDir(QDir::tempPath() + "/kv2047-session-test-" + QString::number(::getpid()));
    QSignalSpy frames(&session, &MeterSession::frameAccepted), offline(&session, &MeterSession::offlineChanged),
        silent(&session, &MeterSession::meterSilent), started(&session, &MeterSession::runStarted),
        ended(&session, &MeterSession::runEnded), samples(&session, &MeterSession::sampleCommitted),
        states(&session, &MeterSession::commandStatesChanged);
    session.setDevice(1, sim.ptyPath());
    session.start(1);
    ASSERT_TRUE(session.isPortOpen()) << session.portError().toStdString();

    ASSERT_TRUE(QTest::qWaitFor([&] { return frames.count() >= 3; }, 20000));
    EXPECT_GE(states.count(), 1) << "Run is enabled by the first frame";
    EXPECT_TRUE(session.model().run.runEnable);
    EXPECT_EQ(offline.count(), 0);

    session.run(1, 1000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return samples.count() >= 2; }, 20000));
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(samples.at(0).at(0).toInt(), 1);
    EXPECT_EQ(samples.at(1).at(0).toInt(), 2);

    sim.pause();
    ASSERT_TRUE(QTest::qWaitFor([&] { return offline.count() >= 1; }, 20000));
    EXPECT_TRUE(offline.at(0).at(0).toBool());
    EXPECT_GE(silent.count(), 1);
    const bool ends = GetParam().policy.silenceEndsRun;
    EXPECT_EQ(session.isRunInProgress(), !ends);
    EXPECT_EQ(ended.count(), ends ? 1 : 0);
    // Ended or paused, the run's samples stay recoverable until its files are written.
    auto journalFinished = [&] {
        kv::JournalContents c;
        return kv::readJournal(session.journal().path(), c, nullptr) && c.finished;
    };
    EXPECT_TRUE(session.journal().isOpen());
    EXPECT_FALSE(journalFinished());

    const int before = samples.count();
    sim.resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return offline.count() >= 2; }, 20000));
    EXPECT_FALSE(offline.at(1).at(0).toBool());
    // Unattended, the run goes on with the frames; on the desktop it stays ended.
    QTest::qWait(2500);
    EXPECT_EQ(samples.count() > before, !ends) << "samples before " << before << ", after " << samples.count();
    EXPECT_EQ(offline.count(), 2);
    session.close();
    EXPECT_FALSE(journalFinished()) << "closing is no save";
    QDir(QDir::tempPath() + "/kv2047-session-test-" + QString::number(::getpid())).removeRecursively();
}

INSTANTIATE_TEST_SUITE_P(Policies, SessionOnSim,
                         ::testing::Values(PolicyCase{"Desktop", {true}}, PolicyCase{"Recorder", {false}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
