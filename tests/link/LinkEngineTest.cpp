// The link and the run: serial events, acknowledgement, watchdog, Run/Stop and
// the sample commit, driven with explicit times through a fake port.
#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "core/link/CommandPacket.h"
#include "core/link/CommandStates.h"
#include "core/link/FrameBuilder.h"
#include "core/link/LinkEngine.h"

namespace {

struct FakePort : kv::PortIO {
    bool open = true;
    std::vector<std::string> calls;  // "open 1", "close", "discard", "write 11"
    bool isOpen() const override { return open; }
    void openPort(int p) override {
        calls.push_back("open " + std::to_string(p));
        open = true;
    }
    void closePort() override {
        calls.push_back("close");
        open = false;
    }
    void write(const uint8_t* d, std::size_t n) override {
        std::string s = "write";
        char b[4];
        for (std::size_t i = 0; i < n; ++i) {
            std::snprintf(b, sizeof b, " %02X", d[i]);
            s += b;
        }
        calls.push_back(s);
    }
    void discardInput() override { calls.push_back("discard"); }
    long count(const std::string& c) const { return std::count(calls.begin(), calls.end(), c); }
};

kv::FrameBytes frameWith(float air) {
    kv::FrameFields f;
    f.air = air;
    f.wb = 18.25f;
    f.dp = 15.0f;
    f.rh = 60.0f;
    f.kir = 30.25f;
    f.display1 = air;
    f.display2 = 60.0f;
    f.display3 = 30.25f;
    return kv::buildFrame(f);
}

class Link : public ::testing::Test {
protected:
    void SetUp() override { kv::initLinkAtStartup(m); }

    kv::SerialEffects frame(std::time_t t, float air = 23.5f) {
        const auto b = frameWith(air);
        return kv::serialEvent(m, port, kv::kEventReceive, b.data(), b.size(), t);
    }
    kv::SerialEffects badRead(std::time_t t) {
        auto b = frameWith(23.5f);
        b[0] = 0x00;
        return kv::serialEvent(m, port, kv::kEventReceive, b.data(), b.size(), t);
    }
    void run(int rate, int count) {
        kv::applyRunSettings(m, rate, count);
        kv::finishRunCommand(m);
    }
    // start-pending, run-in-progress, stopped
    std::string state() const {
        return std::to_string(m.link.startPending) + std::to_string(m.link.runInProgress) +
               std::to_string(m.link.stopped);
    }
    float liveAir(int i) const { return m.doc->live[kv::AIR][i]; }

    kv::Model m;
    FakePort port;
};

constexpr const char* kIdle = "001";
constexpr const char* kArmed = "111";
constexpr const char* kRecording = "010";

TEST_F(Link, RunStatesIdleArmedRecording) {
    EXPECT_EQ(state(), kIdle);
    frame(100);
    EXPECT_EQ(m.run.runEnable, 1);
    run(1, 1000);
    EXPECT_EQ(state(), kArmed);
    EXPECT_EQ(m.run.runEnable, 0);
    EXPECT_EQ(m.run.stopEnable, 1);
    EXPECT_EQ(m.link.hasRunData, 1);
    EXPECT_EQ(m.run.intervalMs, 1000);
    EXPECT_EQ(m.bar.sampleRate, "1");
    EXPECT_EQ(m.bar.sampleCount, "1000");
    EXPECT_EQ(state(), kArmed);
    const auto fx = frame(200);
    EXPECT_TRUE(fx.runStarted);
    EXPECT_EQ(state(), kRecording);
    kv::stopRun(m);
    EXPECT_EQ(state(), kIdle);
    EXPECT_EQ(m.run.stopEnable, 0);
}

TEST_F(Link, FirstFrameStartsTheRunAtZeroWithTheReadTime) {
    m.run.n = 7;  // left from an earlier run
    run(2, 1000);
    frame(1234567, 21.5f);
    EXPECT_EQ(m.run.n, 0);
    EXPECT_EQ(m.run.runStartTime, 1234567);
    EXPECT_EQ(liveAir(0), 21.5f);
    // Later frames of the same run do not restart it.
    frame(1234568, 22.5f);
    EXPECT_EQ(m.run.runStartTime, 1234567);
    EXPECT_EQ(liveAir(0), 22.5f);
}

TEST_F(Link, SampleTickCommitsOnlyAfterANewFrame) {
    run(1, 1000);
    frame(0, 20.5f);
    EXPECT_TRUE(kv::sampleTick(m));
    EXPECT_EQ(m.run.n, 1);
    EXPECT_EQ(m.bar.dataNo, "1");
    EXPECT_EQ(m.bar.startTime, "01/01/70 00:00:00");
    EXPECT_FALSE(kv::sampleTick(m));  // no frame since the last commit
    EXPECT_EQ(m.run.n, 1);
    frame(1, 21.5f);
    frame(1, 22.5f);  // two frames, one commit: the newest values
    EXPECT_TRUE(kv::sampleTick(m));
    EXPECT_EQ(m.run.n, 2);
    EXPECT_EQ(liveAir(0), 20.5f);
    EXPECT_EQ(liveAir(1), 22.5f);
}

TEST_F(Link, RunStartsAtTheFirstFrameAfterRunNeverAtOneFromBefore) {
    frame(100, 19.5f);                 // the meter talked, then fell silent
    kv::watchdogTick(m, port);
    kv::watchdogTick(m, port);
    ASSERT_EQ(m.run.offline, 1);
    run(1, 1000);                      // Run confirmed while it is silent
    EXPECT_FALSE(kv::sampleTick(m)) << "a frame from before Run is no sample";
    EXPECT_EQ(m.run.n, 0);
    EXPECT_EQ(m.bar.startTime, "") << "no run has started: no start time, not 01/01/70";
    frame(500, 21.5f);
    EXPECT_EQ(m.run.runStartTime, 500);
    EXPECT_TRUE(kv::sampleTick(m));
    EXPECT_EQ(m.run.n, 1);
    EXPECT_EQ(liveAir(0), 21.5f);
    EXPECT_EQ(m.bar.startTime, "01/01/70 00:08:20");
}

TEST_F(Link, NoCommitWithoutARun) {
    frame(0);
    EXPECT_FALSE(kv::sampleTick(m));
    EXPECT_EQ(m.run.n, 0);
}

TEST_F(Link, StopKeepsTheCommittedSamples) {
    run(1, 1000);
    for (int i = 0; i < 3; ++i) {
        frame(i, 20.0f + i);
        kv::sampleTick(m);
    }
    kv::stopRun(m);
    EXPECT_EQ(m.run.n, 3);
    frame(10, 99.0f);  // frames go on landing at n, not committed
    EXPECT_FALSE(kv::sampleTick(m));
    EXPECT_EQ(m.run.n, 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(liveAir(i), 20.0f + i);
    EXPECT_EQ(liveAir(3), 99.0f);
    EXPECT_EQ(m.run.runEnable, 1);  // the next frame enabled Run again
}

TEST_F(Link, StopWhileArmedKeepsStartPending) {
    m.run.n = 5;
    run(1, 1000);
    kv::stopRun(m);
    EXPECT_EQ(state(), "101");
    frame(50);
    EXPECT_EQ(m.run.n, 0);
    EXPECT_EQ(m.run.runStartTime, 50);
    EXPECT_FALSE(kv::sampleTick(m));
    EXPECT_EQ(m.run.n, 0);
}

TEST_F(Link, RunEndsAtTheTarget) {
    run(1, 1000);
    for (int i = 0; i < 1000; ++i) {
        frame(i, float(i));
        ASSERT_TRUE(kv::sampleTick(m));
    }
    EXPECT_EQ(m.run.n, 1000);
    EXPECT_EQ(state(), kRecording);
    frame(1000, 1234.0f);  // lands at position n, then ends the run
    EXPECT_EQ(state(), kIdle);
    EXPECT_EQ(m.run.stopEnable, 0);
    EXPECT_FALSE(kv::sampleTick(m));
    EXPECT_EQ(m.run.n, 1000);
    EXPECT_EQ(liveAir(999), 999.0f);
    EXPECT_EQ(liveAir(1000), 1234.0f);
    frame(1001);
    EXPECT_EQ(m.run.runEnable, 1);
}

TEST_F(Link, RefusedReadAlsoEndsARunAtItsTarget) {
    run(1, 1000);
    frame(0);
    m.run.n = 1000;
    m.run.newSample = 0;
    EXPECT_FALSE(badRead(1).accepted);
    EXPECT_EQ(state(), kIdle);
}

// A second run confirmed after the first ended at its target is still armed
// when a damaged read comes before its first frame: the old count must not end it.
TEST_F(Link, ArmedRunSurvivesARefusedReadAfterAFullRun) {
    run(1, 1000);
    frame(0);
    m.run.n = 1000;
    frame(1);
    ASSERT_EQ(state(), kIdle);
    run(1, 1000);
    badRead(2);
    EXPECT_EQ(state(), kArmed);
    frame(3);
    EXPECT_EQ(state(), kRecording);
    EXPECT_TRUE(kv::sampleTick(m));
    EXPECT_EQ(m.run.n, 1);
}

TEST_F(Link, AcceptedFrameLocksThePortMenuAndSetsTheUnit) {
    auto b = frameWith(23.5f);
    b[8] = kv::flagB::kFahrenheit;
    b[7] = 0;  // battery low
    kv::serialEvent(m, port, kv::kEventReceive, b.data(), b.size(), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(m.link.comEnable[i], 0);
    EXPECT_EQ(m.link.otherComEnable, 0);
    EXPECT_EQ(m.link.waiting[m.link.port], 0);
    EXPECT_EQ(m.run.unitFlag, 1);
    EXPECT_EQ(m.run.unitText, "F");
    EXPECT_EQ(m.bar.battery, "Low");
    EXPECT_EQ(m.meter.upper, "23.5");
}

TEST_F(Link, RefusedReadChangesNothing) {
    m.run.offline = 1;
    const auto fx = badRead(0);
    EXPECT_FALSE(fx.accepted);
    EXPECT_EQ(m.run.offline, 1);
    EXPECT_EQ(m.link.frameAck, 0);
    EXPECT_EQ(m.link.comEnable[0], 1);
    EXPECT_EQ(m.meter.upper, "");
    EXPECT_TRUE(port.calls.empty());
}

TEST_F(Link, OtherEventsDiscardTheInput) {
    m.run.n = 4;
    const auto b = frameWith(23.5f);
    const auto fx = kv::serialEvent(m, port, 3, b.data(), b.size(), 0);
    EXPECT_FALSE(fx.accepted);
    EXPECT_EQ(port.calls, std::vector<std::string>{"discard"});
    EXPECT_EQ(m.run.n, 4);
    EXPECT_EQ(m.run.newSample, 0);
}

TEST_F(Link, AckOnlyAfterAnAcceptedFrameAndOncePerTick) {
    EXPECT_FALSE(kv::ackTick(m, port));
    badRead(0);
    EXPECT_FALSE(kv::ackTick(m, port));
    frame(1);
    frame(1);
    frame(1);
    EXPECT_TRUE(kv::ackTick(m, port));
    EXPECT_FALSE(kv::ackTick(m, port));
    EXPECT_EQ(port.calls, std::vector<std::string>{"write 11"});
}

TEST_F(Link, WatchdogFindsTheMeterSilent) {
    frame(0);
    run(1, 1000);
    frame(1);
    kv::sampleTick(m);
    m.link.alarmHigh[0] = 1;
    m.link.alarmLow[4] = 1;
    // One tick with the frame seen arms it; the next one finds silence.
    EXPECT_FALSE(kv::watchdogTick(m, port));
    EXPECT_TRUE(port.calls.empty());
    EXPECT_TRUE(kv::watchdogTick(m, port));
    EXPECT_EQ(m.run.offline, 1);
    for (int q = 0; q < 5; ++q) EXPECT_EQ(m.link.alarmHigh[q] + m.link.alarmLow[q], 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(m.link.comEnable[i], 1);
    EXPECT_EQ(m.link.otherComEnable, 1);
    EXPECT_EQ(m.run.runEnable, 0);
    EXPECT_EQ(m.run.stopEnable, 0);
    EXPECT_EQ(state(), kIdle);
    EXPECT_EQ(m.run.n, 1);
    EXPECT_EQ(port.calls, (std::vector<std::string>{"close", "open 1"}));
    EXPECT_EQ(m.link.waiting[1], 1);
    // Frames return: online again, the next tick finds nothing wrong.
    frame(10);
    EXPECT_EQ(m.run.offline, 0);
    EXPECT_FALSE(kv::watchdogTick(m, port));
    EXPECT_EQ(port.calls.size(), 2u);
}

// Unattended recording keeps a run through a silence, armed or recording,
// and goes on with the frames; everything else the silence does is the same.
TEST_F(Link, WatchdogKeepsTheRunWhenSilenceDoesNotEndIt) {
    const struct { const char* name; bool firstFrame; const char* state; } rows[] = {
        {"armed", false, kArmed}, {"recording", true, kRecording}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        m = kv::Model{};
        kv::initLinkAtStartup(m);
        frame(0);
        run(1, 1000);
        if (r.firstFrame) frame(1);
        EXPECT_FALSE(kv::watchdogTick(m, port, kv::Silence::KeepsRun));
        EXPECT_TRUE(kv::watchdogTick(m, port, kv::Silence::KeepsRun));
        EXPECT_EQ(m.run.offline, 1);
        EXPECT_EQ(m.run.stopEnable, 0);
        EXPECT_EQ(state(), r.state);
    }
}

TEST_F(Link, WatchdogOpensAClosedPortWithoutClosingIt) {
    port.open = false;
    EXPECT_TRUE(kv::watchdogTick(m, port));  // start-up armed the current port's flag
    EXPECT_EQ(port.calls, std::vector<std::string>{"open 1"});
    EXPECT_TRUE(kv::watchdogTick(m, port));
    EXPECT_EQ(port.count("open 1"), 2);
}

TEST_F(Link, WatchdogWatchesTheCurrentPort) {
    kv::changePort(m, port, 7);
    port.calls.clear();
    EXPECT_TRUE(kv::watchdogTick(m, port));
    EXPECT_EQ(port.calls, (std::vector<std::string>{"close", "open 7"}));
    frame(0);
    EXPECT_EQ(m.link.waiting[7], 0);
    EXPECT_FALSE(kv::watchdogTick(m, port));
}

TEST(RunSettings, TypedValuesStayWithinWhatTheStoreHolds) {
    const std::pair<int, int> rates[] = {{-5, 1}, {0, 1}, {1, 1}, {3600, 3600}, {3601, 3600}, {INT32_MAX, 3600}};
    for (auto [in, out] : rates) EXPECT_EQ(kv::clampRate(in), out) << in;
    const std::pair<int, int> counts[] = {{0, 1000},         {999, 1000},   {1000, 1000}, {5500, 5500},
                                          {10000, 10000}, {10001, 10000}, {INT32_MIN, 1000}};
    for (auto [in, out] : counts) EXPECT_EQ(kv::clampCount(in), out) << in;
}

// ---- a run at rate 1 on a timeline: frames, 1 s sample and ack ticks, 3 s watchdog ----

struct TimelineCase {
    const char* name;
    int framePeriodMs;
    int silenceFromMs, silenceToMs;  // no frames in [from, to)
    int endMs;
    int n;              // committed samples at the end
    int reopens;        // watchdog re-opens
    bool running;       // run-in-progress at the end
    bool offline;
};
void PrintTo(const TimelineCase& c, std::ostream* os) { *os << c.name; }

class RunTimeline : public Link, public ::testing::WithParamInterface<TimelineCase> {};

TEST_P(RunTimeline, Rate1) {
    const TimelineCase& c = GetParam();
    run(1, 1000);
    int acks = 0, ackTicksAfterFrames = 0;
    bool frameSinceAck = false;
    // Frames land at odd offsets so no two events share a millisecond.
    for (int t = 1; t <= c.endMs; ++t) {
        const bool silent = t >= c.silenceFromMs && t < c.silenceToMs;
        if (t % c.framePeriodMs == 7 % c.framePeriodMs && !silent) {
            frame(t / 1000, float(t));
            frameSinceAck = true;
        }
        if (t % 1000 == 0) {
            kv::sampleTick(m);
            const bool sent = kv::ackTick(m, port);
            acks += sent;
            EXPECT_EQ(sent, frameSinceAck) << "ack tick at " << t;
            ackTicksAfterFrames += frameSinceAck;
            frameSinceAck = false;
        }
        if (t % 3000 == 500) kv::watchdogTick(m, port);
    }
    EXPECT_EQ(m.run.n, c.n);
    EXPECT_EQ(port.count("open 1"), c.reopens);
    EXPECT_EQ(m.link.runInProgress, c.running ? 1 : 0);
    EXPECT_EQ(m.run.offline, c.offline ? 1 : 0);
    EXPECT_EQ(acks, ackTicksAfterFrames);
    EXPECT_EQ(port.count("write 11"), acks);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, RunTimeline,
    ::testing::Values(
        TimelineCase{"Steady500ms", 500, 0, 0, 10000, 10, 0, true, false},
        TimelineCase{"Steady1s", 1000, 0, 0, 10000, 10, 0, true, false},
        // Ticks at 4 s and 5 s find no frame: nothing committed, the run goes on.
        TimelineCase{"TwoSecondSilence", 500, 3000, 5000, 10000, 8, 0, true, false},
        // The watchdog at 6.5 s finds the meter silent and ends the run.
        TimelineCase{"LongSilence", 500, 3000, 7000, 10000, 3, 1, false, false},
        TimelineCase{"SilentToTheEnd", 500, 3000, 20000, 10000, 3, 2, false, true},
        TimelineCase{"NeverSends", 500, 0, 20000, 10000, 0, 4, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The one rule for the commands' states: the model's flags and what only
// windows know (browse mode, a logger viewer shown).
TEST(CommandStates, EnableRules) {
    kv::Model m;
    kv::CommandStates c = kv::commandStates(m, false, false);
    EXPECT_FALSE(c.run || c.stop || c.undoZoom || c.save || c.print || c.exportImage);
    EXPECT_TRUE(c.open && c.otherCom && c.com[0]);
    m.run.runEnable = 1;
    m.run.n = 3;
    m.link.comEnable[2] = 0;
    m.link.comCheck[2] = 1;
    c = kv::commandStates(m, true, true);
    EXPECT_TRUE(c.run && c.undoZoom && c.save && c.print && c.exportImage && c.comChecked[2]);
    EXPECT_FALSE(c.stop || c.open || c.com[2] || c.comChecked[1]);
}

}  // namespace
