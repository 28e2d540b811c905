// Inputs the fuzzers found, kept as plain tests. Their sharpest check is the
// sanitizer build of the suite, which turns any overflow here into a failure.
#include <gtest/gtest.h>

#include <climits>
#include <cctype>
#include <string>

#include "core/record/DataFile.h"
#include "core/record/TextTable.h"
#include "core/record/RunExport.h"

namespace {

// A data file's start fields are whatever its bytes say: a damaged file may
// hold any year, month or interval. Reading and exporting it must stay defined.
struct StartRow {
    const char* name;
    int32_t year, month, day, hour, minute, second, interval;
};

class ExtremeStartFields : public ::testing::TestWithParam<StartRow> {};

TEST_P(ExtremeStartFields, ReadAndExportedRowByRow) {
    const StartRow& r = GetParam();
    auto rec = kv::makeRunRecord();
    rec->run.count = 3;
    for (int i = 0; i < 15; ++i) rec->run.samples[i] = 20.0f + i;
    rec->run.year = r.year;
    rec->run.month = r.month;
    rec->run.day = r.day;
    rec->run.hour = r.hour;
    rec->run.minute = r.minute;
    rec->run.second = r.second;
    rec->run.interval = r.interval;
    const std::string bytes = kv::encodeDataFile(*rec);

    auto back = kv::makeRunRecord();
    ASSERT_TRUE(kv::parseDataFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), *back).ok());
    EXPECT_EQ(back->run.year, r.year);
    EXPECT_EQ(back->run.interval, r.interval);

    const std::string text = kv::exportText(back->run);
    // Header and three rows, each row ending in a time of the fixed pattern.
    auto endsInTime = [](const std::string& row) {
        const std::string pattern = "dd-dd-dd/dd:dd:dd  ";
        if (row.size() < pattern.size() + 1 || row[row.size() - pattern.size() - 1] != ' ') return false;
        const std::string tail = row.substr(row.size() - pattern.size());
        for (std::size_t i = 0; i < pattern.size(); ++i)
            if (pattern[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(tail[i])) : tail[i] != pattern[i])
                return false;
        return true;
    };
    std::size_t lines = 0, pos = 0;
    for (std::size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2, ++lines)
        if (lines > 0) {
            EXPECT_TRUE(endsInTime(text.substr(pos, end - pos))) << text.substr(pos, end - pos);
        }
    EXPECT_EQ(lines, 4u);
    EXPECT_EQ(pos, text.size());
    EXPECT_NE(kv::exportCsv(*back).find("\n3,"), std::string::npos);
    EXPECT_NE(kv::exportJson(*back).find("\"no\":3"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ExtremeStartFields,
    ::testing::Values(StartRow{"Ordinary", 2007, 7, 27, 7, 40, 35, 5},
                      StartRow{"LowestYear", INT32_MIN, 1, 1, 0, 0, 0, 1},
                      StartRow{"HighestYear", INT32_MAX, 12, 31, 23, 59, 59, 1},
                      StartRow{"LowestMonth", 2007, INT32_MIN, 1, 0, 0, 0, 1},
                      StartRow{"EverythingLowest", INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN,
                               INT32_MIN},
                      StartRow{"EverythingHighest", INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX,
                               INT32_MAX}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
