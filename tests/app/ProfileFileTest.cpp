// The INI file behaves like the private-profile services the settings were made for.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TempDir.h"
#include "core/config/ProfileFile.h"

using kv::ProfileFile;

namespace {

struct IntRow {
    const char* name;
    const char* file;   // nullptr: no file at all
    const char* section;
    const char* key;
    int def;
    int expected;
};

class ProfileReadInt : public ::testing::TestWithParam<IntRow> {};

TEST_P(ProfileReadInt, ReadsWithDefault) {
    const IntRow& r = GetParam();
    TempDir dir;
    const std::string path = dir.file("k.ini");
    if (r.file) writeText(path, r.file);
    EXPECT_EQ(ProfileFile(path).readInt(r.section, r.key, r.def), r.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileReadInt,
    ::testing::Values(
        IntRow{"MissingFile", nullptr, "COMInfo", "COM num", 1, 1},
        IntRow{"MissingSection", "[Other]\nCOM num=5\n", "COMInfo", "COM num", 1, 1},
        IntRow{"MissingKey", "[COMInfo]\nCOM=5\n", "COMInfo", "COM num", 7, 7},
        IntRow{"Plain", "[COMInfo]\nCOM num=5\n", "COMInfo", "COM num", 1, 5},
        IntRow{"NotANumber", "[GainInfo]\nGain=abc\n", "GainInfo", "Gain", 10, 0},
        IntRow{"EmptyValue", "[GainInfo]\nGain=\n", "GainInfo", "Gain", 10, 0},
        IntRow{"LeadingDigits", "[GainInfo]\nGain=20x\n", "GainInfo", "Gain", 10, 20},
        IntRow{"Negative", "[OffsetInfo]\nOffset=-5\n", "OffsetInfo", "Offset", 0, -5},
        IntRow{"Overflow", "[A]\nk=99999999999999\n", "A", "k", 0, 2147483647},
        IntRow{"SectionOtherCase", "[cominfo]\nCOM num=9\n", "COMInfo", "COM num", 1, 9},
        IntRow{"KeyOtherCase", "[COMInfo]\ncom NUM=9\n", "COMInfo", "COM num", 1, 9},
        IntRow{"SpacesAroundEquals", "[ COMInfo ]\n  COM num  =  11  \n", "COMInfo", "COM num", 1, 11},
        IntRow{"CrLfLines", "[COMInfo]\r\nCOM num=12\r\n", "COMInfo", "COM num", 1, 12},
        IntRow{"ByteOrderMark", "\xEF\xBB\xBF[COMInfo]\nCOM num=3\n", "COMInfo", "COM num", 1, 3},
        IntRow{"KeyInLaterSectionOnly", "[COMInfo]\nx=1\n[GainInfo]\nCOM num=4\n", "COMInfo", "COM num", 1, 1},
        IntRow{"KeyBeforeAnySection", "COM num=4\n[COMInfo]\n", "COMInfo", "COM num", 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileFile, StringReadDefaultAndLimit) {
    TempDir dir;
    const std::string path = dir.file("k.ini");
    ProfileFile f(path);
    EXPECT_EQ(f.readString("Alarmhi1Info", "Hi1 limit", "140.0"), "140.0");

    // A 260-character buffer holds 259 characters and the terminator.
    const std::string longText(300, '7');
    writeText(path, "[S]\nk=" + longText + "\n");
    EXPECT_EQ(f.readString("S", "k", ""), std::string(259, '7'));
    writeText(path, "[S]\nk=" + std::string(259, 'a') + "\n");
    EXPECT_EQ(f.readString("S", "k", ""), std::string(259, 'a'));
}

TEST(ProfileFile, WriteCreatesFileSectionAndKey) {
    TempDir dir;
    const std::string path = dir.file("new.ini");
    ProfileFile f(path);
    ASSERT_TRUE(f.writeString("COMInfo", "COM num", "3"));
    ASSERT_TRUE(f.writeString("GainInfo", "Gain", "20"));
    ASSERT_TRUE(f.writeString("COMInfo", "Other", "x"));  // key added to its existing section
    EXPECT_EQ(readText(path), "[COMInfo]\nCOM num=3\nOther=x\n[GainInfo]\nGain=20\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(ProfileFile, WriteKeepsOtherContentAndReplacesInPlace) {
    TempDir dir;
    const std::string path = dir.file("k.ini");
    const std::string before =
        "; the user's own note\n"
        "[COMDevices]\nCOM7=/dev/ttyACM0\n\n"
        "[cominfo]\ncom num=2\nunrelated=keep me\n\n"
        "[Tail]\nz=1\n";
    writeText(path, before);
    ProfileFile f(path);
    ASSERT_TRUE(f.writeString("COMInfo", "COM num", "7"));
    ASSERT_TRUE(f.writeString("COMInfo", "New key", "v"));
    EXPECT_EQ(readText(path),
              "; the user's own note\n"
              "[COMDevices]\nCOM7=/dev/ttyACM0\n\n"
              "[cominfo]\nCOM num=7\nunrelated=keep me\nNew key=v\n\n"
              "[Tail]\nz=1\n");
    EXPECT_EQ(f.readInt("COMInfo", "COM num", 1), 7);
    EXPECT_EQ(f.readString("COMDevices", "com7", ""), "/dev/ttyACM0");
}

struct WriteRow {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* after;   // the file once the key is set to "2"
};

class ProfileWrite : public ::testing::TestWithParam<WriteRow> {};

// The key lands where the private-profile services put it, also after other
// keys were set in memory and before the one write of the file.
TEST_P(ProfileWrite, PutsTheKeyInPlace) {
    const WriteRow& r = GetParam();
    TempDir dir;
    const std::string path = dir.file("k.ini");
    writeText(path, r.before);
    ProfileFile f(path);
    ASSERT_TRUE(f.setString(r.section, r.key, "1"));
    ASSERT_TRUE(f.setString("Z", "z", "1"));
    ASSERT_TRUE(f.setString(r.section, r.key, "2"));
    ASSERT_TRUE(f.save()) << f.error();
    EXPECT_EQ(readText(path), std::string(r.after) + "[Z]\nz=1\n");
    EXPECT_EQ(f.readString(r.section, r.key, ""), "2");
    EXPECT_EQ(ProfileFile(path).readString(r.section, r.key, ""), "2");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileWrite,
    ::testing::Values(
        WriteRow{"LastLineWithoutLf", "[A]\nk=1", "A", "j", "[A]\nk=1\nj=2\n"},
        WriteRow{"LastLineWithoutLfThenNewSection", "[A]\nk=1", "B", "j", "[A]\nk=1\n[B]\nj=2\n"},
        WriteRow{"HeaderAloneWithoutLf", "[A]", "a", "j", "[A]\nj=2\n"},
        WriteRow{"CrLfLineReplaced", "[A]\r\nk=1\r\nm=3\r\n", "A", "K", "[A]\nK=2\nm=3\n"},
        WriteRow{"ByteOrderMarkDropped", "\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "[A]\nk=2\n"},
        WriteRow{"AfterLastLineThatIsNotBlank", "[A]\nk=1\n\n\n[B]\nx=1\n", "A", "j",
                 "[A]\nk=1\nj=2\n\n\n[B]\nx=1\n"},
        WriteRow{"FirstOfTwoSectionsOfOneName", "[A]\nx=1\n[B]\n[a]\nj=9\n", "A", "j",
                 "[A]\nx=1\nj=2\n[B]\n[a]\nj=9\n"},
        WriteRow{"FirstOfTwoEqualKeys", "[A]\nk=1\nk=5\n", "A", "k", "[A]\nk=2\nk=5\n"},
        WriteRow{"KeyBeforeAnySectionIsNotIt", "k=1\n[A]\n", "A", "k", "k=1\n[A]\nk=2\n"},
        WriteRow{"EmptyFile", "", "A", "k", "[A]\nk=2\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileFile, TextsComeBackExactly) {
    TempDir dir;
    ProfileFile f(dir.file("k.ini"));
    for (const char* text : {"35.50", "35.5", "-0.0", "2501.0", "1e3", ""}) {
        ASSERT_TRUE(f.writeString("Alarmhi1Info", "Hi1 limit", text));
        EXPECT_EQ(f.readString("Alarmhi1Info", "Hi1 limit", "none"), text);
    }
}

TEST(ProfileFile, LineBreakInValueStaysOnOneLine) {
    TempDir dir;
    const std::string path = dir.file("k.ini");
    ProfileFile f(path);
    ASSERT_TRUE(f.writeString("A", "k", "1\n[COMInfo]\nCOM num=9"));
    EXPECT_EQ(f.readInt("COMInfo", "COM num", 1), 1);
    EXPECT_EQ(readText(path), "[A]\nk=1 [COMInfo] COM num=9\n");
}

TEST(ProfileFile, HasKey) {
    TempDir dir;
    const std::string path = dir.file("k.ini");
    writeText(path, "[SamprateInfo]\nsamprate=\n");
    ProfileFile f(path);
    EXPECT_TRUE(f.hasKey("SAMPRATEINFO", "Samprate"));
    EXPECT_FALSE(f.hasKey("SampdataInfo", "Sampdata"));
}

TEST(ProfileFile, WriteIntoMissingDirectoryFails) {
    TempDir dir;
    EXPECT_FALSE(ProfileFile(dir.file("no/such/dir/k.ini")).writeString("A", "k", "1"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
}

TEST(ProfileFile, UnreadableFileKeepsItsContent) {
    if (geteuid() == 0) GTEST_SKIP() << "file permissions do not bind root";
    TempDir dir;
    const std::string path = dir.file("locked.ini");
    writeText(path, "[A]\nk=1\n[B]\nj=2\n");
    ::chmod(path.c_str(), 0);
    EXPECT_FALSE(ProfileFile(path).writeString("A", "k", "5"));
    ::chmod(path.c_str(), 0600);
    EXPECT_EQ(readText(path), "[A]\nk=1\n[B]\nj=2\n");
}

}  // namespace
