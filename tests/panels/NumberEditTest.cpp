// The numeric entry field on its own: what typing lets through and what it
// leaves to the owner.
#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <gtest/gtest.h>

#include "gui/panels/NumberEdit.h"

namespace {

struct TypeCase { const char* name; const char* keys; const char* text; };
class NumberEditTyping : public testing::TestWithParam<TypeCase> {};

TEST_P(NumberEditTyping, KeepsNumberCharactersOnly) {
    NumberEdit e;
    e.show();
    QTest::keyClicks(&e, GetParam().keys);
    EXPECT_EQ(e.text(), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(Keys, NumberEditTyping,
                         testing::Values(TypeCase{"Digits", "0123456789", "0123456789"},
                                         TypeCase{"PointsAndMinusesAnywhere", "1-.2.-", "1-.2.-"},
                                         TypeCase{"Letter", "a", ""}, TypeCase{"Space", " ", ""},
                                         TypeCase{"Plus", "+", ""}, TypeCase{"Comma", ",", ""},
                                         TypeCase{"Mixed", "1a2 3+4,5e6", "123456"}),
                         [](const testing::TestParamInfo<TypeCase>& i) { return std::string(i.param.name); });

TEST(NumberEdit, EditingKeysStillWork) {
    NumberEdit e;
    e.show();
    QTest::keyClicks(&e, "123");
    QTest::keyClick(&e, Qt::Key_Backspace);
    EXPECT_EQ(e.text(), "12");
    QTest::keyClick(&e, Qt::Key_Home);
    QTest::keyClick(&e, Qt::Key_Delete);
    EXPECT_EQ(e.text(), "2");
    QTest::keyClick(&e, Qt::Key_End);
    QTest::keyClicks(&e, "7");
    EXPECT_EQ(e.text(), "27");
}

TEST(NumberEdit, ControlCharactersAreDiscarded) {
    NumberEdit e;
    e.show();
    e.setText("5");
    for (int c = 1; c < 32; ++c) {
        if (c == 8) continue;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(c)));
        QApplication::sendEvent(&e, &press);
    }
    EXPECT_EQ(e.text(), "5");
}

// Text set by the program passes unfiltered; the owner reads it.
TEST(NumberEdit, ProgramTextIsNotFiltered) {
    NumberEdit e;
    e.setText("abc 1,5");
    EXPECT_EQ(e.text(), "abc 1,5");
}

}  // namespace
