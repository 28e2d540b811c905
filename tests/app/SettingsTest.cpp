// Where the settings live, what each reader makes of them and what closing writes.
#include <gtest/gtest.h>

#include <map>

#include "TempDir.h"
#include "core/Model.h"
#include "core/config/Settings.h"
#include "core/platform/System.h"

namespace {

// ---- location ----

struct DirRow {
    const char* name;
    const char* cli;
    std::map<std::string, std::string> env;
    const char* expected;
};

class ConfigDir : public ::testing::TestWithParam<DirRow> {};

TEST_P(ConfigDir, FollowsThePrecedence) {
    const DirRow& r = GetParam();
    auto env = [&](const char* name) -> const char* {
        auto it = r.env.find(name);
        return it == r.env.end() ? nullptr : it->second.c_str();
    };
    // Without HOME, the account's home folder.
    const std::string expected = std::string(r.expected) == "<home>/.config" ? kv::sys::homeFolder() + "/.config"
                                                                              : r.expected;
    EXPECT_EQ(kv::resolveConfigDir(r.cli, env), expected);
}

const std::map<std::string, std::string> kAllSet = {
    {"KV2047_CONFIG_DIR", "/kv"}, {"XDG_CONFIG_HOME", "/xdg"}, {"HOME", "/home/u"}};

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigDir,
    ::testing::Values(DirRow{"CommandLineFirst", "/cli", kAllSet, "/cli"},
                      DirRow{"ThenOwnVariable", "", kAllSet, "/kv"},
                      DirRow{"ThenXdg", "", {{"XDG_CONFIG_HOME", "/xdg"}, {"HOME", "/home/u"}}, "/xdg"},
                      DirRow{"ThenHome", "", {{"HOME", "/home/u"}}, "/home/u/.config"},
                      DirRow{"HomeWithSlash", "", {{"HOME", "/home/u/"}}, "/home/u/.config"},
                      DirRow{"HomeIsRoot", "", {{"HOME", "/"}}, "/.config"},
                      DirRow{"EmptyVariablesSkipped", "",
                             {{"KV2047_CONFIG_DIR", ""}, {"XDG_CONFIG_HOME", ""}, {"HOME", "/h"}}, "/h/.config"},
                      DirRow{"NoHome", "", {}, "<home>/.config"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigPath, FileNameInDirectory) {
    EXPECT_EQ(kv::configFilePath("/a/b"), "/a/b/KV2047config.ini");
    EXPECT_EQ(kv::configFilePath("/a/b/"), "/a/b/KV2047config.ini");
}

// ---- readers ----

struct ReadRow {
    const char* name;
    const char* file;  // nullptr: no file
    int port, gain, offset, rate, count;
};

class SettingsRead : public ::testing::TestWithParam<ReadRow> {};

TEST_P(SettingsRead, AppliesDefaultsAndLimits) {
    const ReadRow& r = GetParam();
    TempDir dir;
    const std::string path = dir.file("KV2047config.ini");
    if (r.file) writeText(path, r.file);
    kv::ProfileFile f(path);
    EXPECT_EQ(kv::readPortNumber(f), r.port);
    EXPECT_EQ(kv::readYGain(f), r.gain);
    EXPECT_EQ(kv::readYOffset(f), r.offset);
    EXPECT_EQ(kv::readSampleRate(f), r.rate);
    EXPECT_EQ(kv::readSampleCount(f), r.count);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsRead,
    ::testing::Values(
        ReadRow{"FirstStart", nullptr, 1, 10, 0, 1, 1000},
        ReadRow{"Stored",
                "[COMInfo]\nCOM num=7\n[GainInfo]\nGain=50\n[OffsetInfo]\nOffset=-2\n"
                "[SamprateInfo]\nSamprate=2\n[SampdataInfo]\nSampdata=3000\n",
                7, 50, -2, 2, 3000},
        ReadRow{"PortZero", "[COMInfo]\nCOM num=0\n", 1, 10, 0, 1, 1000},
        ReadRow{"Port99", "[COMInfo]\nCOM num=99\n", 1, 10, 0, 1, 1000},
        ReadRow{"Port16", "[COMInfo]\nCOM num=16\n", 16, 10, 0, 1, 1000},
        ReadRow{"Port17", "[COMInfo]\nCOM num=17\n", 1, 10, 0, 1, 1000},
        ReadRow{"PortNegative", "[COMInfo]\nCOM num=-3\n", 1, 10, 0, 1, 1000},
        // Garbage reads 0: a gain of 0 is no scale, an offset of 0 is one.
        ReadRow{"Garbage",
                "[COMInfo]\nCOM num=x\n[GainInfo]\nGain=x\n[OffsetInfo]\nOffset=x\n"
                "[SamprateInfo]\nSamprate=x\n[SampdataInfo]\nSampdata=x\n",
                1, 10, 0, 1, 1000},
        ReadRow{"GainNotAChoice", "[GainInfo]\nGain=3\n[OffsetInfo]\nOffset=1\n", 1, 10, 0, 1, 1000},
        ReadRow{"ExtremeChoices", "[GainInfo]\nGain=500\n[OffsetInfo]\nOffset=-5\n", 1, 500, -5, 1, 1000},
        ReadRow{"RunBeyondLimits", "[SamprateInfo]\nSamprate=4000\n[SampdataInfo]\nSampdata=20000\n", 1, 10,
                0, 3600, 10000},
        ReadRow{"RunBelowLimits", "[SamprateInfo]\nSamprate=-1\n[SampdataInfo]\nSampdata=999\n", 1, 10, 0, 1,
                1000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Settings, DeviceMapping) {
    TempDir dir;
    const std::string path = dir.file("KV2047config.ini");
    writeText(path, "[comdevices]\ncom7=/dev/ttyACM0\nCOM3=\n");
    kv::ProfileFile f(path);
    EXPECT_EQ(kv::readDeviceFor(f, 1), "/dev/ttyUSB0");
    EXPECT_EQ(kv::readDeviceFor(f, 16), "/dev/ttyUSB15");
    EXPECT_EQ(kv::readDeviceFor(f, 7), "/dev/ttyACM0");
    EXPECT_EQ(kv::readDeviceFor(f, 3), "/dev/ttyUSB2");  // an empty entry names no device
}

TEST(Settings, LimitTextsAsStored) {
    TempDir dir;
    const std::string path = dir.file("KV2047config.ini");
    writeText(path, "[Alarmhi2Info]\nHi2 limit=35.50\n[Alarmlow5Info]\nLow5 limit=abc\n");
    kv::ProfileFile f(path);
    EXPECT_EQ(kv::readLimitText(f, 0, true), "140.0");
    EXPECT_EQ(kv::readLimitText(f, 1, true), "35.50");
    EXPECT_EQ(kv::readLimitText(f, 3, true), "2501.0");
    EXPECT_EQ(kv::readLimitText(f, 4, true), "100.0");
    EXPECT_EQ(kv::readLimitText(f, 4, false), "abc");  // the panel decides what a non-number means
    EXPECT_EQ(kv::readLimitText(f, 2, false), "0.0");
}

// ---- closing ----

const char* const kFirstStartFile =
    "[COMInfo]\nCOM num=1\n"
    "[Alarmhi1Info]\nHi1 limit=140.0\n[Alarmhi2Info]\nHi2 limit=140.0\n[Alarmhi3Info]\nHi3 limit=140.0\n"
    "[Alarmhi4Info]\nHi4 limit=2501.0\n[Alarmhi5Info]\nHi5 limit=100.0\n"
    "[Alarmlow1Info]\nLow1 limit=0.0\n[Alarmlow2Info]\nLow2 limit=0.0\n[Alarmlow3Info]\nLow3 limit=0.0\n"
    "[Alarmlow4Info]\nLow4 limit=0.0\n[Alarmlow5Info]\nLow5 limit=0.0\n"
    "[SamprateInfo]\nSamprate=1\n[SampdataInfo]\nSampdata=1000\n"
    "[GainInfo]\nGain=10\n[OffsetInfo]\nOffset=0\n";

TEST(SettingsClose, FirstStartWritesEveryKeyInOrder) {
    TempDir dir;
    // The directory does not exist yet either.
    const std::string path = kv::configFilePath((dir.path / "cfg" / "sub").string());
    kv::ProfileFile f(path);
    kv::Model m;
    ASSERT_TRUE(kv::writeSettingsOnClose(f, m));
    EXPECT_EQ(readText(path), kFirstStartFile);
}

TEST(SettingsClose, WritesTheModelsValues) {
    TempDir dir;
    const std::string path = dir.file("KV2047config.ini");
    kv::ProfileFile f(path);
    kv::Model m;
    m.link.port = 7;
    m.readings.hiText[0] = "35.50";
    m.readings.loText[4] = "-1.5";
    m.run.yGain = 200;
    m.run.yOffset = -5;
    m.link.runConfirmedOnce = true;
    m.link.lastRate = 2;
    m.link.lastCount = 4000;
    ASSERT_TRUE(kv::writeSettingsOnClose(f, m));
    EXPECT_EQ(kv::readPortNumber(f), 7);
    EXPECT_EQ(f.readString("Alarmhi1Info", "Hi1 limit", ""), "35.50");
    EXPECT_EQ(f.readString("Alarmlow5Info", "Low5 limit", ""), "-1.5");
    EXPECT_EQ(kv::readSampleRate(f), 2);
    EXPECT_EQ(kv::readSampleCount(f), 4000);
    EXPECT_EQ(kv::readYGain(f), 200);
    EXPECT_EQ(kv::readYOffset(f), -5);
}

TEST(SettingsClose, WithoutRunTheStoredRunSettingsStay) {
    TempDir dir;
    const std::string path = dir.file("KV2047config.ini");
    writeText(path,
              "[SampdataInfo]\nSampdata=7000\n[SamprateInfo]\nSamprate=05\n[COMDevices]\nCOM1=/dev/ttyS0\n");
    kv::ProfileFile f(path);
    kv::Model m;
    m.link.lastRate = 9;      // never confirmed: must not be written
    m.link.lastCount = 9000;
    ASSERT_TRUE(kv::writeSettingsOnClose(f, m));
    EXPECT_EQ(f.readString("SamprateInfo", "Samprate", ""), "05");
    EXPECT_EQ(f.readString("SampdataInfo", "Sampdata", ""), "7000");
    EXPECT_EQ(kv::readDeviceFor(f, 1), "/dev/ttyS0");

    // A second close after a confirmed Run replaces them.
    m.link.runConfirmedOnce = true;
    ASSERT_TRUE(kv::writeSettingsOnClose(f, m));
    EXPECT_EQ(f.readString("SamprateInfo", "Samprate", ""), "9");
    EXPECT_EQ(f.readString("SampdataInfo", "Sampdata", ""), "9000");
}

TEST(SettingsClose, ClosingTwiceChangesNothing) {
    TempDir dir;
    const std::string path = dir.file("KV2047config.ini");
    kv::ProfileFile f(path);
    kv::Model m;
    ASSERT_TRUE(kv::writeSettingsOnClose(f, m));
    ASSERT_TRUE(kv::writeSettingsOnClose(f, m));
    EXPECT_EQ(readText(path), kFirstStartFile);
}

TEST(SettingsClose, UnwritablePlaceIsReported) {
    TempDir dir;
    writeText(dir.file("plain"), "x");
    // The directory would have to be made inside a regular file.
    kv::ProfileFile f(kv::configFilePath(dir.file("plain") + "/cfg"));
    kv::Model m;
    EXPECT_FALSE(kv::writeSettingsOnClose(f, m));
}

}  // namespace
