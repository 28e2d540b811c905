// The simulated meter's behaviour without its terminal: what it makes of the
// program's bytes, how it answers keys, and that its frames decode sensibly.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ostream>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "RunProgram.h"
#include "SimMeter.h"
#include "core/link/CommandPacket.h"
#include "core/link/FrameDecoder.h"

namespace {

using kvsim::Received;

std::vector<uint8_t> bytesOf(const std::string& hex) {
    std::vector<uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size();) {
        if (hex[i] == ' ' || hex[i] == '|') {
            ++i;
            continue;
        }
        out.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return out;
}

struct ParseCase {
    const char* name;
    std::vector<std::string> reads;  // one string per read
    bool flushAtEnd;
    std::vector<std::string> lines;  // "C FF AA ...", "A 11", "R 01 02"
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class SimParser : public ::testing::TestWithParam<ParseCase> {};

TEST_P(SimParser, SplitsIntoCommands) {
    kvsim::CommandParser p;
    std::vector<Received> got;
    for (const auto& r : GetParam().reads) {
        const auto b = bytesOf(r);
        p.feed(b.data(), b.size(), got);
    }
    if (GetParam().flushAtEnd) p.flush(got);
    std::vector<std::string> lines;
    for (const auto& r : got)
        lines.push_back(std::string(r.kind == Received::Command ? "C " : r.kind == Received::Ack ? "A " : "R ") +
                        kvsim::hexLine(r.bytes));
    EXPECT_EQ(lines, GetParam().lines);
}

#define INIT "FF AA 55 63 63 00 00 00 C6 00 FF"
#define UNITS "FF AA 55 6B 28 00 00 00 93 00 FF"
INSTANTIATE_TEST_SUITE_P(
    Streams, SimParser,
    ::testing::Values(
        ParseCase{"Init", {INIT}, false, {"C " INIT}},
        ParseCase{"Ack", {"11"}, false, {"A 11"}},
        ParseCase{"SeveralInOneRead", {INIT " 11 " UNITS " 11"}, false, {"C " INIT, "A 11", "C " UNITS, "A 11"}},
        ParseCase{"SplitOverReads", {"FF AA 55 63", "63 00 00", "00 C6 00 FF"}, false, {"C " INIT}},
        ParseCase{"AckByteInsidePayload", {"FF AA 55 11 11 00 00 00 22 00 FF"}, false,
                  {"C FF AA 55 11 11 00 00 00 22 00 FF"}},
        ParseCase{"Garbage", {"01 02 03"}, false, {"R 01 02 03"}},
        ParseCase{"GarbageThenAck", {"01 02 11 03"}, false, {"R 01 02", "A 11", "R 03"}},
        ParseCase{"FalseStart", {"FF 00 " INIT}, false, {"R FF 00", "C " INIT}},
        ParseCase{"BadEndByte", {"FF AA 55 63 63 00 00 00 C6 00 00"}, false, {"R FF AA 55 63 63 00 00 00 C6 00 00"}},
        ParseCase{"CutShortThenFlushed", {"FF AA 55 6B"}, true, {"R FF AA 55 6B"}},
        ParseCase{"CutShortWaits", {"FF AA 55 6B"}, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

Received command(kv::Payload p) {
    const kv::Command c = kv::makeCommand(p);
    return {Received::Command, std::vector<uint8_t>(c.begin(), c.end())};
}

struct Decoded {
    kv::DecoderMemory mem;
    kv::MeterDisplay meter;
    kv::DecodedFrame f{};
    void feed(const kv::FrameFields& fields) {
        const auto b = kv::buildFrame(fields);
        ASSERT_TRUE(kv::frameAccepted(b.data(), b.size()));
        f = kv::decodeFrame(b.data(), mem, meter);
    }
};

TEST(SimMeter, KeysChangeWhatTheFramesSay) {
    kvsim::SimMeter sim(kvsim::SimOptions{});
    Decoded d;
    d.feed(sim.nextFrame());
    EXPECT_EQ(d.meter.unitLetter, "C");
    EXPECT_EQ(d.meter.link, "       ");

    sim.apply(command(kv::kInitPayload));
    sim.apply(command({0x6B, 0x28, 0, 0, 0}));  // UNITS
    sim.apply(command({0x6B, 0x16, 0, 0, 0}));  // AVG double-click: backlight
    d.feed(sim.nextFrame());
    EXPECT_EQ(d.meter.unitLetter, "F");
    EXPECT_EQ(d.meter.link, "PC-LINK");
    EXPECT_EQ(d.meter.backlight, 1);
    EXPECT_NEAR(std::stof(d.meter.upper), d.f.q[0] * 1.8f + 32.0f, 0.11f);
    EXPECT_LT(d.f.q[0], 30.0f);  // still stored in degrees C

    sim.apply(command({0x6B, 0x1E, 0, 0, 0}));  // HOLDUP
    sim.apply(command({0x6B, 0x32, 0, 0, 0}));  // HOLDD
    d.feed(sim.nextFrame());
    const std::string upper = d.meter.upper, lower = d.meter.lower;
    for (int i = 0; i < 50; ++i) d.feed(sim.nextFrame());
    EXPECT_EQ(d.meter.holdUpper, "HOLD");
    EXPECT_EQ(d.meter.holdLower, "HOLD");
    EXPECT_EQ(d.meter.upper, upper);
    EXPECT_EQ(d.meter.lower, lower);

    sim.apply(command({0x6B, 0x0A, 0, 0, 0}));  // MAX/MIN upper: MAX, then MIN
    d.feed(sim.nextFrame());
    EXPECT_EQ(d.meter.maxminUpper, "MAX");
    sim.apply(command({0x6B, 0x0A, 0, 0, 0}));
    d.feed(sim.nextFrame());
    EXPECT_EQ(d.meter.maxminUpper, "     MIN");

    // A damaged command does nothing.
    Received bad = command({0x6B, 0x28, 0, 0, 0});
    bad.bytes[8] ^= 1;
    sim.apply(bad);
    d.feed(sim.nextFrame());
    EXPECT_EQ(d.meter.unitLetter, "F");

    EXPECT_FALSE(sim.poweredOff());
    sim.apply(command({0x6B, 0x50, 0, 0, 0}));  // POWEROFF
    EXPECT_TRUE(sim.poweredOff());
}

struct OptionCase {
    const char* name;
    std::vector<std::string> args;
    float kir;            // stored K/IR of the second frame; 0 = plausible reading
    const char* lower;    // lower reading of the second frame; nullptr = a number
    const char* probe;
    const char* unit;
    const char* battery;
};
void PrintTo(const OptionCase& c, std::ostream* os) { *os << c.name; }

class SimOptionsDecode : public ::testing::TestWithParam<OptionCase> {};

TEST_P(SimOptionsDecode, FramesSayWhatTheOptionsAsk) {
    std::vector<std::string> args = {"kv2047-sim"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    kvsim::SimOptions opt;
    bool help = false;
    std::string error;
    ASSERT_TRUE(kvsim::parseOptions(int(argv.size()), argv.data(), opt, help, error)) << error;

    kvsim::SimMeter sim(opt);
    Decoded d;
    d.feed(sim.nextFrame());
    const float first = d.f.q[3];
    d.feed(sim.nextFrame());
    const OptionCase& c = GetParam();
    if (c.kir == 0.0f) {
        EXPECT_GT(d.f.q[3], 25.0f);
        EXPECT_LT(d.f.q[3], 35.0f);
    } else if (std::isnan(c.kir)) {
        EXPECT_EQ(d.f.q[3], first);  // held from the first frame
    } else {
        EXPECT_EQ(d.f.q[3], c.kir);
    }
    if (c.lower) {
        EXPECT_EQ(d.meter.lower, c.lower);
    }
    EXPECT_EQ(d.meter.probe, c.probe);
    EXPECT_EQ(d.meter.unitLetter, c.unit);
    EXPECT_STREQ(d.f.battery, c.battery);

    // Plausible readings whatever the options: DP below WB below AIR.
    for (int i = 0; i < 200; ++i) {
        d.feed(sim.nextFrame());
        EXPECT_GT(d.f.q[0], 20.0f);
        EXPECT_LT(d.f.q[0], 26.0f);
        EXPECT_GT(d.f.q[4], 40.0f);
        EXPECT_LT(d.f.q[4], 70.0f);
        EXPECT_LT(d.f.q[2], d.f.q[1]);
        EXPECT_LT(d.f.q[1], d.f.q[0]);
    }
}

const std::string k12(12, ' ');

INSTANTIATE_TEST_SUITE_P(
    Options, SimOptionsDecode,
    ::testing::Values(OptionCase{"Default", {}, 0.0f, nullptr, "IRTEMP", "C", "Normal"},
                      OptionCase{"Fahrenheit", {"--fahrenheit"}, 0.0f, nullptr, "IRTEMP", "F", "Normal"},
                      OptionCase{"TypeK", {"--typek"}, 0.0f, nullptr, "     TYPE-K", "C", "Normal"},
                      OptionCase{"NoKir", {"--no-kir"}, -9000.0f, "----", "IRTEMP", "C", "Normal"},
                      OptionCase{"Over", {"--over"}, 505.0f, "+OL", "IRTEMP", "C", "Normal"},
                      OptionCase{"Under", {"--under", "--seed", "7"}, -55.0f, "-OL", "IRTEMP", "C", "Normal"},
                      OptionCase{"IrIdle", {"--ir-idle"}, NAN, nullptr, k12.c_str(), "C", "Normal"},
                      OptionCase{"LowBattery", {"--low-battery"}, 0.0f, nullptr, "IRTEMP", "C", "Low"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimOptions, RefusesWhatItCannotDo) {
    for (std::vector<std::string> bad : {std::vector<std::string>{"--period", "0"},
                                         {"--period", "x"},
                                         {"--frames"},
                                         {"--over", "--under"},
                                         {"--bogus"},
                                         {"--replay"},
                                         {"--replay", ""},
                                         {"--log="},
                                         {"--seed=1", "--seed", "2"},
                                         {"stray"},
                                         {"--log", "\xe9.log"}}) {
        bad.insert(bad.begin(), "kv2047-sim");
        std::vector<char*> argv;
        for (auto& a : bad) argv.push_back(a.data());
        kvsim::SimOptions opt;
        bool help = false;
        std::string error;
        EXPECT_FALSE(kvsim::parseOptions(int(argv.size()), argv.data(), opt, help, error)) << bad[1];
        EXPECT_FALSE(error.empty());
    }
}

// --replay: the reads of a capture and the pause before each; time stamps
// run on from the '#' line that starts each capture session.
struct ReplayCase {
    const char* name;
    std::string capture;
    int status;
    std::vector<long> gapsMs;  // when accepted
    const char* error;         // part of the message when refused
};
void PrintTo(const ReplayCase& c, std::ostream* os) { *os << c.name; }

class SimReplay : public ::testing::TestWithParam<ReplayCase> {};

TEST_P(SimReplay, TakesTheCapturedPaceOrRefusesTheLine) {
    const ReplayCase& c = GetParam();
    std::istringstream in(c.capture);
    kvsim::Replay r;
    std::string error;
    EXPECT_EQ(kvsim::loadReplay(in, "user.cap", r, error), c.status) << error;
    if (c.status == 0) {
        EXPECT_EQ(r.gapMs, c.gapsMs);
        EXPECT_EQ(r.reads.size(), c.gapsMs.size());
    } else {
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

#define HDR "# KV2047 capture started 2024-05-02 14:03:11 +0200\n"
INSTANTIATE_TEST_SUITE_P(
    Captures, SimReplay,
    ::testing::Values(
        ReplayCase{"CapturedPace", HDR "0.004 TX FF AA\n0.498 RX AA 61\n0.998 RX AA 62\n", 0, {-1, 500}, ""},
        ReplayCase{"PlainHexEveryPeriod", "AA 61\nAA 62\n", 0, {-1, -1}, ""},
        ReplayCase{"HashLineRestartsTheClock", HDR "7.5 RX AA\n" HDR "0.2 RX AA\n0.7 RX AA\n", 0, {-1, -1, 500}, ""},
        ReplayCase{"AnHourExactly", "1 RX AA\n3601 RX AA\n", 0, {-1, 3600000}, ""},
        ReplayCase{"BackwardsWithinASession", HDR "5.0 RX AA\n4.9 RX AA\n", 2, {}, "user.cap:3: time stamp 4.900 goes back"},
        ReplayCase{"BackwardsOnAWrite", "5.0 RX AA\n4.0 TX 11\n6.0 RX AA\n", 2, {}, "user.cap:2:"},
        ReplayCase{"MoreThanAnHour", HDR "1.0 RX AA\n3601.5 RX AA\n", 2, {}, "user.cap:3: time stamp 3601.500 jumps"},
        ReplayCase{"NotHex", "AA 61\nhello\n", 2, {}, "user.cap:2: not a capture line"},
        ReplayCase{"EndlessLine", std::string(100000, 'A'), 2, {}, "user.cap:1: line longer"},
        ReplayCase{"NothingToReplay", HDR "0.004 TX FF AA\n", 2, {}, "no read to replay"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// The files the simulator is given: a log appended through the writer's link
// rules (never truncated, never through another user's link in a shared
// folder), a replay that is a folder refused with the reason.
TEST(SimFiles, LogIsAppendedSafelyAndAFolderIsNoReplay) {
    const char* sim = std::getenv("KV2047_SIM");
    if (!sim) GTEST_SKIP() << "KV2047_SIM is not set";
    kvtest::ScratchDir dir;
    const std::string shared = dir.file("shared"), victim = dir.file("victim");
    ::mkdir(shared.c_str(), 0777);
    ::chmod(shared.c_str(), 01777);
    kvtest::writeWhole(victim, "someone else's file\n");
    kvtest::writeWhole(dir.file("earlier.log"), "an earlier log\n");
    ::symlink(victim.c_str(), (shared + "/planted.log").c_str());
    const uid_t other = ::geteuid() == 65534 ? 65533 : 65534;
    const bool planted = ::lchown((shared + "/planted.log").c_str(), other, other) == 0;   // root only
    const struct {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* err;
    } rows[] = {
        {"an earlier log is kept", {"--log", dir.file("earlier.log")}, 0, ""},
        {"another user's link in a shared folder", {"--log", shared + "/planted.log"}, 1,
         "planted.log': It is a symbolic link owned by another user in a shared folder"},
        {"a folder to replay", {"--replay", dir.path()}, 1, "': Is a directory"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (!planted && row.status == 1 && row.args[0] == "--log") continue;
        std::vector<std::string> args = row.args;
        args.insert(args.end(), {"--frames", "1", "--period", "20"});
        const auto r = kvtest::runProgram(sim, args, "", dir);
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
    }
    EXPECT_EQ(kvtest::readWhole(dir.file("earlier.log")), "an earlier log\n");
    EXPECT_EQ(kvtest::readWhole(victim), "someone else's file\n");
}

}  // namespace
