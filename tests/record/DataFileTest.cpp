// The data file: exact bytes, sizes, round trips, and every file the reader
// must refuse without touching the document.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>

#include "RecordTestUtil.h"
#include "core/Model.h"
#include "core/record/DataFile.h"

using kvtest::makeRecord;
using kvtest::makeRamp;

namespace {

std::string hex(const std::string& h) {
    std::string out;
    for (std::size_t i = 0; i + 1 < h.size();) {
        if (h[i] == ' ') { ++i; continue; }
        out.push_back(static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return out;
}

kv::ReadResult parse(const std::string& bytes, kv::RunRecord& out) {
    return kv::parseDataFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
}

// Every field of two records, samples up to the count.
void expectSameRecord(const kv::RunRecord& a, const kv::RunRecord& b) {
    EXPECT_EQ(a.tag, b.tag);
    ASSERT_EQ(a.run.count, b.run.count);
    for (int i = 0; i < a.run.count * 5; ++i) ASSERT_EQ(a.run.samples[i], b.run.samples[i]) << "value " << i;
    EXPECT_EQ(a.run.unitFlag, b.run.unitFlag);
    EXPECT_EQ(a.run.unitText, b.run.unitText);
    EXPECT_EQ(a.run.interval, b.run.interval);
    EXPECT_EQ(std::tie(a.run.year, a.run.month, a.run.day, a.run.hour, a.run.minute, a.run.second),
              std::tie(b.run.year, b.run.month, b.run.day, b.run.hour, b.run.minute, b.run.second));
    EXPECT_EQ(a.yGain, b.yGain);
    EXPECT_EQ(a.yOffset, b.yOffset);
}

const char* kTwoSampleFile =
    "06 4B5632303437"                                  // tag "KV2047"
    "02000000"                                         // N = 2
    "0000A041 0000803F 0000003F 00A00CC6 00004842"     // 20, 1, 0.5, -9000, 50
    "0000A0C0 00000040 00008040 0080FC43 0000C842"     // -5, 2, 4, 505, 100
    "01"                                               // Fahrenheit shown
    "D7070000 07000000 1B000000"                       // 2007-07-27
    "07000000 28000000 23000000"                       // 07:40:35
    "05000000"                                         // 5 s
    "01 46"                                            // "F"
    "F4010000 FBFFFFFF";                               // gain 500, offset -5

}  // namespace

TEST(DataFileWrite, TwoSamplesGiveTheExactBytes) {
    auto rec = makeRecord({{20, 1, 0.5f, -9000, 50}, {-5, 2, 4, 505, 100}}, 5, 1);
    rec->yGain = 500;
    rec->yOffset = -5;
    const std::string bytes = kv::encodeDataFile(*rec);
    EXPECT_EQ(bytes, hex(kTwoSampleFile));
    EXPECT_EQ(bytes.size(), 90u);
}

TEST(DataFileWrite, SizeIsFiftyPlusTwentyPerSample) {
    for (int n : {0, 1, 1000, 10010}) {
        auto rec = makeRamp(n);
        EXPECT_EQ(kv::encodeDataFile(*rec).size(), 50u + 20u * n) << n << " samples";
    }
    EXPECT_EQ(kv::dataFileSize(1000), 20050u);
}

TEST(DataFileRead, GoldenBytesDecodeToTheirFields) {
    auto expected = makeRecord({{20, 1, 0.5f, -9000, 50}, {-5, 2, 4, 505, 100}}, 5, 1);
    expected->yGain = 500;
    expected->yOffset = -5;
    auto got = kv::makeRunRecord();
    ASSERT_TRUE(parse(hex(kTwoSampleFile), *got).ok());
    expectSameRecord(*got, *expected);
}

struct RoundTrip {
    const char* name;
    int count;
    uint8_t unitFlag;
    std::string unitText;
    int32_t gain, offset;
};

class DataFileRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(DataFileRoundTrip, ReadGivesBackWhatWasWritten) {
    const RoundTrip& p = GetParam();
    auto rec = makeRamp(p.count, 7);
    rec->run.unitFlag = p.unitFlag;
    rec->run.unitText = p.unitText;
    rec->yGain = p.gain;
    rec->yOffset = p.offset;
    auto back = kv::makeRunRecord();
    const kv::ReadResult r = parse(kv::encodeDataFile(*rec), *back);
    ASSERT_TRUE(r.ok()) << r.message;
    expectSameRecord(*back, *rec);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, DataFileRoundTrip,
    ::testing::Values(RoundTrip{"Empty", 0, 0, "C", 10, 0}, RoundTrip{"OneSample", 1, 1, "F", 1, 2},
                      RoundTrip{"Thousand", 1000, 0, "C", 50, -2}, RoundTrip{"Full", 10010, 1, "F", 500, -5},
                      RoundTrip{"LongUnitText", 3, 0, std::string(300, 'x'), 2, 5},
                      RoundTrip{"VeryLongUnitText", 2, 0, std::string(70000, 'y'), 2, 5},
                      RoundTrip{"EmptyUnitText", 2, 0, "", 20, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DataFileRead, AcceptsTheLongerStringLengthForms) {
    // Tag with 0xFF + 16-bit length; unit text with 0xFF, 0xFFFF + 32-bit length.
    const std::string file = hex("FF 0600 4B5632303437"
                                 "00000000"
                                 "00"
                                 "D7070000 07000000 1B000000 07000000 28000000 23000000 05000000"
                                 "FF FFFF 01000000 43"
                                 "0A000000 00000000");
    auto rec = kv::makeRunRecord();
    const kv::ReadResult r = parse(file, *rec);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(rec->tag, "KV2047");
    EXPECT_EQ(rec->run.unitText, "C");
    EXPECT_EQ(rec->yGain, 10);
}

TEST(DataFileRead, IgnoresBytesAfterTheLastField) {
    auto rec = kv::makeRunRecord();
    EXPECT_TRUE(parse(hex(kTwoSampleFile) + "DEADBEEF", *rec).ok());
    EXPECT_EQ(rec->yOffset, -5);
}

struct Refusal {
    const char* name;
    std::string bytes;
    kv::ReadError error;
    const char* message;   // a part of the message the user sees
};

std::string withCount(int32_t n, std::size_t sampleBytes) {
    std::string f = hex("06 4B5632303437");
    f.append(reinterpret_cast<const char*>(&n), 4);
    f.append(sampleBytes, '\0');
    return f + hex("00 D7070000 07000000 1B000000 07000000 28000000 23000000 05000000 01 43 0A000000 00000000");
}

class DataFileRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(DataFileRefusal, IsRefusedWithItsMessage) {
    const Refusal& p = GetParam();
    auto rec = kv::makeRunRecord();
    const kv::ReadResult r = parse(p.bytes, *rec);
    EXPECT_EQ(r.error, p.error);
    EXPECT_NE(r.message.find(p.message), std::string::npos) << r.message;
}

INSTANTIATE_TEST_SUITE_P(
    Files, DataFileRefusal,
    ::testing::Values(
        Refusal{"FirstByteFive", hex("05 4B56323034") + std::string(60, '\0'), kv::ReadError::BadTag,
                "Invalid Format!"},
        Refusal{"TagInLowerCase", hex("06 6B7632303437") + std::string(60, '\0'), kv::ReadError::BadTag,
                "Invalid Format!"},
        Refusal{"OtherTag", hex("06 4B5632303438") + std::string(60, '\0'), kv::ReadError::BadTag,
                "Invalid Format!"},
        Refusal{"EmptyFile", "", kv::ReadError::Truncated, "before its tag"},
        Refusal{"NegativeCount", withCount(-1, 0), kv::ReadError::BadCount, "claims -1 samples"},
        Refusal{"CountAboveStore", withCount(10011, 20 * 10011), kv::ReadError::BadCount, "claims 10011 samples"},
        Refusal{"HugeCount", withCount(0x7FFFFFFF, 0), kv::ReadError::BadCount, "0 to 10010"},
        Refusal{"SamplesMissing", withCount(3, 40).substr(0, 51), kv::ReadError::Truncated, "before its last sample"},
        Refusal{"UnitTextLongerThanFile", hex(kTwoSampleFile).substr(0, 80) + hex("FF FFFF FFFFFFFF 46"),
                kv::ReadError::Truncated, "unit text"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DataFileRead, EveryShortenedFileIsRefusedAsIncomplete) {
    const std::string whole = hex(kTwoSampleFile);
    for (std::size_t len = 0; len < whole.size(); ++len) {
        auto rec = kv::makeRunRecord();
        const kv::ReadResult r = parse(whole.substr(0, len), *rec);
        EXPECT_EQ(r.error, kv::ReadError::Truncated) << len << " bytes";
        EXPECT_NE(r.message.find("incomplete"), std::string::npos) << len << " bytes";
    }
}

TEST(DataFileRead, MostSamplesTheStoreHoldsAreAccepted) {
    auto rec = kv::makeRunRecord();
    const kv::ReadResult r = parse(withCount(10010, 20 * 10010), *rec);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(rec->run.count, 10010);
}

// Loading into the document.

class LoadIntoDocument : public ::testing::Test {
protected:
    void SetUp() override {
        model.doc->logged.count = 3;
        model.doc->logged.samples[0] = 42.0f;
        model.doc->logged.unitText = "C";
        model.run.loggerYGain = 2;
        model.run.loggerYOffset = 5;
    }
    void expectDocumentUntouched() {
        EXPECT_EQ(model.doc->logged.count, 3);
        EXPECT_EQ(model.doc->logged.samples[0], 42.0f);
        EXPECT_EQ(model.run.loggerYGain, 2);
        EXPECT_EQ(model.run.loggerYOffset, 5);
    }
    kv::Model model;
    kvtest::ScratchDir dir;
};

TEST_F(LoadIntoDocument, GoodFileFillsTheLoggedRunAndItsScale) {
    const std::string path = dir.file("run.AsmDat");
    kvtest::writeBytes(path, hex(kTwoSampleFile));
    const kv::ReadResult r = kv::loadDataFile(path, *model.doc, model.run);
    ASSERT_TRUE(r.ok()) << r.message;
    const kv::LoggedRun& d = model.doc->logged;
    EXPECT_EQ(d.count, 2);
    EXPECT_EQ(d.samples[0], 20.0f);
    EXPECT_EQ(d.samples[3], -9000.0f);
    EXPECT_EQ(d.samples[9], 100.0f);
    EXPECT_EQ(d.unitFlag, 1);
    EXPECT_EQ(d.unitText, "F");
    EXPECT_EQ(d.interval, 5);
    EXPECT_EQ(std::tie(d.year, d.month, d.day, d.hour, d.minute, d.second),
              std::make_tuple(2007, 7, 27, 7, 40, 35));
    EXPECT_EQ(model.run.loggerYGain, 500);
    EXPECT_EQ(model.run.loggerYOffset, -5);
}

TEST_F(LoadIntoDocument, BadTagIsInvalidFormatAndChangesNothing) {
    const std::string path = dir.file("other.CH4");
    kvtest::writeBytes(path, hex("06 6B7632303437") + hex(kTwoSampleFile).substr(7));
    const kv::ReadResult r = kv::loadDataFile(path, *model.doc, model.run);
    EXPECT_EQ(r.error, kv::ReadError::BadTag);
    EXPECT_EQ(r.message, "Invalid Format!");
    expectDocumentUntouched();
}

TEST_F(LoadIntoDocument, RefusedFilesLeaveEverythingAsItWas) {
    const std::string whole = hex(kTwoSampleFile);
    const std::pair<const char*, std::string> files[] = {
        {"truncated in the samples", whole.substr(0, 40)},
        {"truncated in the Y offset", whole.substr(0, whole.size() - 1)},
        {"too many samples", withCount(10011, 20 * 10011)},
        {"negative count", withCount(-7, 0)},
    };
    for (const auto& [what, bytes] : files) {
        SCOPED_TRACE(what);
        const std::string path = dir.file("bad.AsmDat");
        kvtest::writeBytes(path, bytes);
        const kv::ReadResult r = kv::loadDataFile(path, *model.doc, model.run);
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.error, kv::ReadError::BadTag);
        expectDocumentUntouched();
    }
}

TEST_F(LoadIntoDocument, MissingFileIsAnIoErrorAndChangesNothing) {
    const kv::ReadResult r = kv::loadDataFile(dir.file("absent.AsmDat"), *model.doc, model.run);
    EXPECT_EQ(r.error, kv::ReadError::Io);
    EXPECT_NE(r.message.find("cannot be opened"), std::string::npos);
    expectDocumentUntouched();
}

TEST_F(LoadIntoDocument, AFolderOrAPipeNobodyWritesIsNotADataFile) {
    // Opening the pipe must not wait for a writer that never comes.
    const std::string pipe = dir.file("pipe.AsmDat");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    for (const std::string& path : {dir.path.string(), pipe}) {
        SCOPED_TRACE(path);
        const kv::ReadResult r = kv::loadDataFile(path, *model.doc, model.run);
        EXPECT_FALSE(r.ok());
        expectDocumentUntouched();
    }
}

TEST_F(LoadIntoDocument, ReadOnlyFileIsRead) {
    const std::string path = dir.file("kept.AsmDat");
    kvtest::writeBytes(path, hex(kTwoSampleFile));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_TRUE(kv::loadDataFile(path, *model.doc, model.run).ok());
    EXPECT_EQ(model.doc->logged.count, 2);
}

TEST_F(LoadIntoDocument, OversizedFileIsRefusedBeforeDecoding) {
    const std::string path = dir.file("huge.AsmDat");
    kvtest::writeBytes(path, hex(kTwoSampleFile) + std::string(kv::kMaxDataFileBytes, '\0'));
    const kv::ReadResult r = kv::loadDataFile(path, *model.doc, model.run);
    EXPECT_EQ(r.error, kv::ReadError::TooLarge);
    expectDocumentUntouched();
}

// A start no clock shows marks a damaged file; Open, Download and the tool
// refuse it alike. Valid extremes of the calendar are read.
struct StartCase {
    const char* name;
    int32_t year, month, day, hour, minute, second;
    const char* refusal;   // nullptr: accepted
};

class StartFields : public LoadIntoDocument, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartFields, ImpossibleStartIsRefusedAsDamaged) {
    const StartCase& c = GetParam();
    auto rec = makeRecord({{20, 1, 0.5f, -9000, 50}});
    kv::LoggedRun& r = rec->run;
    std::tie(r.year, r.month, r.day, r.hour, r.minute, r.second) =
        std::make_tuple(c.year, c.month, c.day, c.hour, c.minute, c.second);
    const std::string path = dir.file("start.AsmDat");
    kvtest::writeBytes(path, kv::encodeDataFile(*rec));
    const kv::ReadResult res = kv::loadDataFile(path, *model.doc, model.run);
    if (!c.refusal) {
        EXPECT_TRUE(res.ok()) << res.message;
        EXPECT_EQ(model.doc->logged.count, 1);
        return;
    }
    EXPECT_EQ(res.error, kv::ReadError::BadStart);
    EXPECT_NE(res.message.find("damaged"), std::string::npos) << res.message;
    EXPECT_NE(res.message.find(c.refusal), std::string::npos) << res.message;
    expectDocumentUntouched();
}

INSTANTIATE_TEST_SUITE_P(
    Starts, StartFields,
    ::testing::Values(StartCase{"LeapDay", 2008, 2, 29, 23, 59, 59, nullptr},
                      StartCase{"MonthThirteen", 2007, 13, 27, 7, 40, 35, "(month 13)"},
                      StartCase{"NoLeapDay", 2007, 2, 29, 7, 40, 35, "(day 29)"},
                      StartCase{"ThirtyFirstOfApril", 2007, 4, 31, 7, 40, 35, "(day 31)"},
                      StartCase{"HugeDay", 2007, 7, 2147483647, 7, 40, 35, "(day 2147483647)"},
                      StartCase{"Hour24", 2007, 7, 27, 24, 0, 0, "(hour 24)"},
                      StartCase{"LeapSecond", 2007, 7, 27, 23, 59, 60, "(second 60)"},
                      StartCase{"FiveDigitYear", 10000, 1, 1, 0, 0, 0, "(year 10000)"}),
    [](const auto& info) { return std::string(info.param.name); });

// What Save takes from the live series and the run state.

TEST(SnapshotLiveRun, TakesCommittedSamplesInterleavedWithLocalStart) {
    kv::Model m;
    for (int q = 0; q < 5; ++q)
        for (int i = 0; i < 4; ++i) m.doc->live[q][i] = static_cast<float>(q * 100 + i);
    m.run.n = 3;
    m.run.intervalMs = 5999;
    m.run.unitFlag = 1;
    m.run.unitText = "F";
    m.run.yGain = 20;
    m.run.yOffset = -2;
    m.run.runStartTime = 1185522035;   // 2007-07-27 07:40:35 UTC

    const char* oldTz = std::getenv("TZ");
    const std::string savedTz = oldTz ? oldTz : "";
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    auto rec = kv::makeRunRecord();
    kv::snapshotLiveRun(*m.doc, m.run, *rec);
    if (oldTz) setenv("TZ", savedTz.c_str(), 1); else unsetenv("TZ");
    tzset();

    EXPECT_EQ(rec->run.count, 3);
    EXPECT_EQ(rec->run.samples[0], 0.0f);
    EXPECT_EQ(rec->run.samples[1], 100.0f);   // sample 0, WB
    EXPECT_EQ(rec->run.samples[5], 1.0f);     // sample 1, AIR
    EXPECT_EQ(rec->run.samples[14], 402.0f);  // sample 2, RH
    EXPECT_EQ(rec->run.interval, 5);          // whole seconds, remainder dropped
    EXPECT_EQ(rec->run.hour, 9);              // summer time in Central Europe
    EXPECT_EQ(std::tie(rec->run.year, rec->run.month, rec->run.day, rec->run.minute, rec->run.second),
              std::make_tuple(2007, 7, 27, 40, 35));
    EXPECT_EQ(rec->run.unitText, "F");
    EXPECT_EQ(rec->yGain, 20);
    EXPECT_EQ(rec->yOffset, -2);
    EXPECT_EQ(kv::encodeDataFile(*rec).size(), 110u);
}
