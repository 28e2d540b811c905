// The text table byte for byte, its file name, and the tool's other exports.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <tuple>

#include "RecordTestUtil.h"
#include "core/record/LocalTime.h"
#include "core/record/TextTable.h"
#include "core/record/RunExport.h"
#include "core/Model.h"
#include "core/logger/SetTable.h"

using kvtest::makeRecord;

namespace {

const std::string kHeader =
    "      NO             AIR                WB               DP               K/IR               RH"
    "              TIME\r\n";

std::string pad(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

// One row built field by field from the column layout: two blanks, the number
// in 5, ten blanks, AIR in 9, ten blanks, WB in 9, eight blanks, DP in 9, eight
// blanks, K/IR in 9, twelve blanks, RH in 9, nine blanks, time in 8, two blanks.
std::string row(int no, const std::string& air, const std::string& wb, const std::string& dp,
                const std::string& kir, const std::string& rh, const std::string& time) {
    return "  " + pad(std::to_string(no), 5) + std::string(10, ' ') + pad(air, 9) + std::string(10, ' ') +
           pad(wb, 9) + std::string(8, ' ') + pad(dp, 9) + std::string(8, ' ') + pad(kir, 9) +
           std::string(12, ' ') + pad(rh, 9) + std::string(9, ' ') + pad(time, 8) + "  \r\n";
}

}  // namespace

TEST(TextExport, EmptyRunIsTheHeaderLineAlone) {
    auto rec = makeRecord({});
    EXPECT_EQ(kv::exportText(rec->run), kHeader);
}

TEST(TextExport, ThreeRowsByteForByte) {
    auto rec = makeRecord({{23.46f, 18.04f, -3.25f, 23.46f, 45.55f},
                           {0.0f, -0.04f, 100.0f, -9000.0f, 0.0f},
                           {-12.35f, 1234.5f, 7.0f, -12.37f, 99.99f}});
    const std::string expected =
        kHeader + row(1, "23.5C", "18.0C", "-3.2C", "23.4C", "45.5%RH", "07-27-07/07:40:35") +
        row(2, "0.0C", "-0.0C", "100.0C", "----C", "0.0%RH", "07-27-07/07:40:40") +
        row(3, "-12.4C", "1234.5C", "7.0C", "-12.3C", "100.0%RH", "07-27-07/07:40:45");
    EXPECT_EQ(kv::exportText(rec->run), expected);
}

TEST(TextExport, FahrenheitConvertsTemperaturesButNotHumidity) {
    auto rec = makeRecord({{20.0f, 25.0f, -40.0f, -9000.0f, 50.0f}}, 1, 1);
    EXPECT_EQ(kv::exportText(rec->run),
              kHeader + row(1, "68.0F", "77.0F", "-40.0F", "----F", "50.0%RH", "07-27-07/07:40:35"));
}

struct Cell {
    const char* name;
    int quantity;
    float stored;
    uint8_t unitFlag;
    const char* shown;
};

class TextExportCell : public ::testing::TestWithParam<Cell> {};

TEST_P(TextExportCell, ShowsTheValueAsTheTableDoes) {
    const Cell& c = GetParam();
    kvtest::Row r{1, 1, 1, 1, 1};
    float* f[5] = {&r.air, &r.wb, &r.dp, &r.kir, &r.rh};
    *f[c.quantity] = c.stored;
    auto rec = makeRecord({r}, 1, c.unitFlag);
    const std::string text = kv::exportText(rec->run);
    const std::string line = text.substr(kHeader.size());
    // Columns end at fixed positions: 7, 26, 45, 62, 79, 100.
    const std::size_t end[5] = {26, 45, 62, 79, 100};
    const std::string cell = line.substr(end[c.quantity] - 9, 9);
    EXPECT_EQ(cell, pad(c.shown, 9));
}

INSTANTIATE_TEST_SUITE_P(
    Values, TextExportCell,
    ::testing::Values(Cell{"AirRoundsUp", 0, 23.46f, 0, "23.5C"}, Cell{"KirCutsDown", 3, 23.46f, 0, "23.4C"},
                      Cell{"KirNegativeCutsTowardsZero", 3, -12.37f, 0, "-12.3C"},
                      Cell{"KirAtThresholdIsNoReading", 3, -1000.0f, 0, "----C"},
                      Cell{"KirIntegerPartOfNegativeHundredth", 3, -0.05f, 0, "0.0C"},
                      Cell{"KirJustAboveThreshold", 3, -999.9f, 0, "-999.9C"},
                      Cell{"KirOverRange", 3, 505.0f, 0, "505.0C"},
                      Cell{"KirFahrenheitCutAfterConversion", 3, 23.46f, 1, "74.2F"},
                      Cell{"DewPointFahrenheit", 2, 0.0f, 1, "32.0F"},
                      Cell{"HumidityNeverConverted", 4, 50.0f, 1, "50.0%RH"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextExport, RowTimeIsStartPlusIndexTimesInterval) {
    auto rec = makeRecord({}, 5);
    rec->run.count = 3;
    const std::string text = kv::exportText(rec->run);
    EXPECT_NE(text.find("07-27-07/07:40:45  \r\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 21), "07-27-07/07:40:45  \r\n");
}

TEST(TextExport, TimesCrossMidnightAndTheYear) {
    auto rec = makeRecord({}, 3600);
    rec->run.year = 2007; rec->run.month = 12; rec->run.day = 31; rec->run.hour = 23;
    rec->run.minute = 30; rec->run.second = 0;
    rec->run.count = 2;
    const std::string text = kv::exportText(rec->run);
    EXPECT_NE(text.find("12-31-07/23:30:00"), std::string::npos);
    EXPECT_NE(text.find("01-01-08/00:30:00"), std::string::npos);
}

TEST(TextExport, TenThousandRowsHaveOneLineEach) {
    auto rec = kvtest::makeRamp(10000);
    const std::string text = kv::exportText(rec->run);
    std::size_t lines = 0;
    for (std::size_t p = 0; (p = text.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
    EXPECT_EQ(lines, 10001u);
    EXPECT_NE(text.find("\r\n  10000          "), std::string::npos);
}

struct Naming { const char* data; const char* text; };

class TextFileNaming : public ::testing::TestWithParam<Naming> {};

TEST_P(TextFileNaming, SitsBesideTheDataFile) {
    EXPECT_EQ(kv::textFilePathFor(GetParam().data), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, TextFileNaming,
    ::testing::Values(Naming{"run.AsmDat", "run.txt"}, Naming{"run.dat", "run.dat.txt"},
                      Naming{"/home/u/data/07-07-27 07.40.35.AsmDat", "/home/u/data/07-07-27 07.40.35.txt"},
                      Naming{"/tmp/a.AsmDat/run", "/tmp/a.AsmDat/run.txt"},
                      Naming{"/tmp/run.asmdat", "/tmp/run.asmdat.txt"},
                      Naming{"/tmp/run.AsmDat.AsmDat", "/tmp/run.AsmDat.txt"},
                      Naming{".AsmDat", ".txt"}));

// The tool's formats.

TEST(InfoJson, DescribesTheFile) {
    auto rec = makeRecord({{1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}}, 5, 1);
    rec->yGain = 50;
    rec->yOffset = -2;
    EXPECT_EQ(kv::infoJson(*rec),
              "{\"samples\":2,\"unit_flag\":1,\"unit\":\"F\",\"start\":\"2007-07-27T07:40:35+00:00\","
              "\"interval\":5,\"gain\":50,\"offset\":-2}");
}

TEST(InfoJson, EscapesAStrangeUnitText) {
    auto rec = makeRecord({});
    rec->run.unitText = "\"\\\x01\xB0";
    EXPECT_NE(kv::infoJson(*rec).find("\"unit\":\"\\\"\\\\\\u0001\\u00b0\""), std::string::npos);
}

TEST(ExportJson, HoldsTheInfoAndTheShownSamples) {
    auto rec = makeRecord({{20, 10, 5, -9000, 50}, {21, 11, 6, 23.46f, 51}}, 5, 1);
    const std::string j = kv::exportJson(*rec);
    EXPECT_EQ(j.rfind("{\"samples\":2,\"unit_flag\":1,\"unit\":\"F\",", 0), 0u);
    EXPECT_NE(j.find("\"data\":[{\"no\":1,\"time\":\"2007-07-27T07:40:35+00:00\",\"AIR\":68.0,\"WB\":50.0,"
                     "\"DP\":41.0,\"K/IR\":null,\"RH\":50.0}"),
              std::string::npos)
        << j;
    EXPECT_NE(j.find("\"time\":\"2007-07-27T07:40:40+00:00\",\"AIR\":69.8,\"WB\":51.8,\"DP\":42.8,\"K/IR\":74.2"),
              std::string::npos)
        << j;
    EXPECT_EQ(j.substr(j.size() - 3), "}]}");
}

TEST(ExportCsv, HeaderRowThenIsoTimesAndShownValues) {
    auto rec = makeRecord({{20, 10, 5, -9000, 50}, {21.04f, 11, 6, 23.46f, 51}}, 5);
    EXPECT_EQ(kv::exportCsv(*rec),
              "no,time,\"AIR (C)\",\"WB (C)\",\"DP (C)\",\"K/IR (C)\",\"RH (%RH)\"\n"
              "1,2007-07-27T07:40:35+00:00,20.0,10.0,5.0,,50.0\n"
              "2,2007-07-27T07:40:40+00:00,21.0,11.0,6.0,23.4,51.0\n");
}

TEST(ExportCsv, ValuesThatAreNotNumbersAreEmptyFields) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    auto rec = makeRecord({{nan, inf, -inf, -nan, 50}, {20, 10, 5, inf, -nan}}, 5);
    EXPECT_EQ(kv::exportCsv(*rec),
              "no,time,\"AIR (C)\",\"WB (C)\",\"DP (C)\",\"K/IR (C)\",\"RH (%RH)\"\n"
              "1,2007-07-27T07:40:35+00:00,,,,,50.0\n"
              "2,2007-07-27T07:40:40+00:00,20.0,10.0,5.0,,\n");
}

// One local-time helper writes every offset: a capture's "%z" and the ISO
// times, in zones east and west of UTC and off the whole hour, the same on
// Linux and on Windows (whose C library would write the zone's name for %z).
TEST(LocalTime, OffsetsOfEveryFormatter) {
    const char* suiteZone = std::getenv("TZ");
    const std::string restore = suiteZone ? suiteZone : "UTC";
    const struct { const char* tz; const char* z; const char* iso; } rows[] = {
        {"UTC", "+0000", "1971-02-05T00:00:00+00:00"},
        {"IST-5:30", "+0530", "1971-02-05T05:30:00+05:30"},
        {"NST3:30", "-0330", "1971-02-04T20:30:00-03:30"},
    };
    for (const auto& row : rows) {
        setenv("TZ", row.tz, 1);
        tzset();
        const std::time_t t = 86400 * 400;
        EXPECT_EQ(kv::formatLocal(t, "%z|%%z|%H"), std::string(row.z) + "|%z|" + std::string(row.iso).substr(11, 2))
            << row.tz;
        EXPECT_EQ(kv::isoLocal(t), row.iso) << row.tz;
    }
    setenv("TZ", restore.c_str(), 1);
    tzset();
}

TEST(ExportTimes, CarryTheOffsetAcrossTheClockChanges) {
    const char* suiteZone = std::getenv("TZ");
    const std::string restore = suiteZone ? suiteZone : "UTC";
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);   // Central Europe
    tzset();
    auto autumn = kvtest::makeRamp(3, 3600);   // 01:30, then 02:30 in summer time and in winter time
    std::tie(autumn->run.year, autumn->run.month, autumn->run.day, autumn->run.hour) = std::tuple(2026, 10, 25, 1);
    autumn->run.minute = 30;
    auto spring = kvtest::makeRamp(1, 60);     // 02:30 was skipped: every reader moves on to 03:30
    std::tie(spring->run.year, spring->run.month, spring->run.day, spring->run.hour) = std::tuple(2026, 3, 29, 2);
    spring->run.minute = 30;
    // A file whose start is 02:30:35 that night names two instants: every
    // reader takes the earlier one and says so.
    auto twice = kvtest::makeRamp(2, 1800);
    twice->run = autumn->run;
    twice->run.hour = 2;
    const std::string twiceInfo = kv::infoJson(*twice), twiceNote = kv::startNote(twice->run);
    const std::time_t twiceLogged = kv::logger::loggedStart(twice->run);
    // A live run started at either 02:30:35 is written from its own instant.
    std::string liveTables[2];
    for (const std::time_t start : {1792888235, 1792891835}) {   // 00:30:35 and 01:30:35 UTC
        kv::Model m;
        m.run.n = 2;
        m.run.intervalMs = 1800 * 1000;
        m.run.runStartTime = start;
        auto rec = kv::makeRunRecord();
        kv::snapshotLiveRun(*m.doc, m.run, *rec);
        liveTables[start == 1792891835] = kv::exportText(rec->run);
    }
    const std::string autumnCsv = kv::exportCsv(*autumn), springInfo = kv::infoJson(*spring),
                      springCsv = kv::exportCsv(*spring);
    setenv("TZ", restore.c_str(), 1);
    tzset();

    EXPECT_NE(twiceInfo.find("\"start\":\"2026-10-25T02:30:35+02:00\""), std::string::npos) << twiceInfo;
    EXPECT_EQ(twiceLogged, 1792888235) << "the logger reads it as the exports do";
    EXPECT_NE(twiceNote.find("2026-10-25 02:30:35 falls in the hour repeated"), std::string::npos) << twiceNote;
    EXPECT_NE(twiceNote.find("2026-10-25T02:30:35+02:00"), std::string::npos) << twiceNote;
    EXPECT_EQ(kv::startNote(autumn->run), "") << "an hour that is not repeated needs no word";
    EXPECT_NE(liveTables[0].find("10-25-26/02:30:35  \r\n"), std::string::npos) << liveTables[0];
    EXPECT_NE(liveTables[0].find("10-25-26/02:00:35  \r\n"), std::string::npos) << "half an hour later, back an hour";
    EXPECT_NE(liveTables[1].find("10-25-26/02:30:35  \r\n"), std::string::npos) << liveTables[1];
    EXPECT_NE(liveTables[1].find("10-25-26/03:00:35  \r\n"), std::string::npos) << "the second 02:30 runs on to 03:00";

    EXPECT_NE(autumnCsv.find("\n1,2026-10-25T01:30:35+02:00,"), std::string::npos) << autumnCsv;
    EXPECT_NE(autumnCsv.find("\n2,2026-10-25T02:30:35+02:00,"), std::string::npos) << autumnCsv;
    EXPECT_NE(autumnCsv.find("\n3,2026-10-25T02:30:35+01:00,"), std::string::npos) << autumnCsv;
    EXPECT_NE(springInfo.find("\"start\":\"2026-03-29T03:30:35+02:00\""), std::string::npos) << springInfo;
    EXPECT_NE(springCsv.find("\n1,2026-03-29T03:30:35+02:00,"), std::string::npos) << springCsv;
}
