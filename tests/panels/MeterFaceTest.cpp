// What the meter panel draws on its display window, and where.
#include <gtest/gtest.h>

#include <string>

#include "core/panels/MeterFace.h"

namespace {

using kv::MeterFont;
using kv::MeterText;

const MeterText* find(const std::vector<MeterText>& v, const std::string& text, MeterFont f) {
    for (const MeterText& t : v)
        if (t.text == text && t.font == f) return &t;
    return nullptr;
}

kv::MeterDisplay sampleDisplay() {
    kv::MeterDisplay d;
    d.upper = "23.5";
    d.upper2 = "60.0";
    d.lower = "-123.4";
    d.unitLetter = "C";
    d.maxminUpper = "MAX";
    d.maxminLower = "      MIN";
    d.holdUpper = "HOLD";
    d.holdLower = "    ";
    d.recUpper = "REC";
    d.recLower = "     ";
    d.link = "PC-LINK";
    d.derived = "WB";
    d.probe = "IRTEMP";
    return d;
}

struct Place { const char* text; MeterFont font; int x, y; };
class MeterTextPlaces : public testing::TestWithParam<Place> {};
TEST_P(MeterTextPlaces, AtTheirPositions) {
    const auto items = kv::meterDisplayTexts(sampleDisplay(), false);
    const Place& p = GetParam();
    const MeterText* t = find(items, p.text, p.font);
    ASSERT_NE(t, nullptr) << p.text;
    EXPECT_EQ(t->x, p.x) << p.text;
    EXPECT_EQ(t->y, p.y) << p.text;
    EXPECT_FALSE(t->red);
}
INSTANTIATE_TEST_SUITE_P(
    Texts, MeterTextPlaces,
    testing::Values(Place{"23.5", MeterFont::A, 66, 206},  // four characters end at 94
                    Place{"60.0", MeterFont::A, 118, 206}, Place{"%RH", MeterFont::B, 143, 209},
                    Place{"-123.4", MeterFont::F, 36, 259},  // six characters end at 132
                    Place{"WB", MeterFont::B, 100, 234}, Place{"IRTEMP", MeterFont::B, 60, 254},
                    Place{"PC-LINK", MeterFont::B, 126, 194}, Place{"REC", MeterFont::B, 52, 194},
                    Place{"MAX", MeterFont::B, 75, 194}, Place{"      MIN", MeterFont::B, 75, 329},
                    Place{"HOLD", MeterFont::E, 105, 194}, Place{"    ", MeterFont::E, 105, 329},
                    Place{"     ", MeterFont::B, 52, 329}));

TEST(MeterFace, UnitLetterAndDegreeMarksOnBothLines) {
    const auto items = kv::meterDisplayTexts(sampleDisplay(), false);
    int units = 0, marks = 0;
    for (const MeterText& t : items) {
        if (t.text == "C" && t.font == MeterFont::B) {
            ++units;
            EXPECT_TRUE((t.x == 100 && t.y == 217) || (t.x == 140 && t.y == 279));
        }
        if (t.text == "O" && t.font == MeterFont::C) {
            ++marks;
            EXPECT_TRUE((t.x == 96 && t.y == 217) || (t.x == 136 && t.y == 279));
        }
    }
    EXPECT_EQ(units, 2);
    EXPECT_EQ(marks, 2);
}

TEST(MeterFace, NoUnitNoDegreeMarkNorRh) {
    for (const char* unit : {"", "K", "CC"}) {
        kv::MeterDisplay d = sampleDisplay();
        d.unitLetter = unit;
        const auto items = kv::meterDisplayTexts(d, false);
        EXPECT_EQ(find(items, "O", MeterFont::C), nullptr) << unit;
        EXPECT_EQ(find(items, "%RH", MeterFont::B), nullptr) << unit;
    }
}

TEST(MeterFace, NothingBeforeTheFirstFrame) { EXPECT_TRUE(kv::meterDisplayTexts(kv::MeterDisplay{}, false).empty()); }

TEST(MeterFace, OfflineShowsOnlyOfflineInRed) {
    const auto items = kv::meterDisplayTexts(sampleDisplay(), true);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "OFFLINE");
    EXPECT_EQ(items[0].font, MeterFont::D);
    EXPECT_EQ(items[0].x, 55);
    EXPECT_EQ(items[0].y, 229);
    EXPECT_TRUE(items[0].red);
}

TEST(MeterFace, BacklightChoosesTheWindowColour) {
    kv::MeterDisplay d;
    d.backlight = 1;
    EXPECT_EQ(kv::displayColour(d).g, 238);
    d.backlight = 0;
    EXPECT_EQ(kv::displayColour(d).g, 191);
}

}  // namespace
