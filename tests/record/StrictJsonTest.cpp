// JSON the tool writes is read by a strict parser, also when samples hold
// values that are not numbers (bare nan or inf would be refused).
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <limits>

#include "RecordTestUtil.h"
#include "core/record/RunExport.h"
#include "core/record/StatsText.h"

namespace {

QJsonObject parseStrictly(const std::string& text) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << " at " << error.offset
                                                     << " in\n" << text;
    return doc.object();
}

}  // namespace

TEST(StrictJson, ValuesThatAreNotNumbersAreNull) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    // 3e38 °C is beyond the float range in °F: its statistics keep double texts.
    auto rec = kvtest::makeRecord({{nan, -nan, inf, -inf, nan}, {inf, 12, -nan, 3e38f, 50}}, 5, 1);

    const QJsonArray data = parseStrictly(kv::exportJson(*rec))["data"].toArray();
    ASSERT_EQ(data.size(), 2);
    for (const char* q : {"AIR", "WB", "DP", "K/IR", "RH"}) EXPECT_TRUE(data[0][q].isNull()) << q;
    EXPECT_TRUE(data[1]["AIR"].isNull());
    EXPECT_EQ(data[1]["WB"].toDouble(), 53.6);

    const kv::RunStats st = kv::computeRunStats(kv::loggedSamples(rec->run), 0, 1, 1);
    const QJsonObject stats = parseStrictly(kv::statsJson(st, {0, 5}, "F"));
    EXPECT_EQ(stats["air"]["valid"].toInt(), 0);
    for (const char* key : {"min", "min_time", "max", "max_time", "mean", "sd"})
        EXPECT_TRUE(stats["air"][key].isNull()) << key;
    EXPECT_EQ(stats["wb"]["mean"].toDouble(), 53.6);
    EXPECT_TRUE(stats["wb"]["sd"].isNull());
}
