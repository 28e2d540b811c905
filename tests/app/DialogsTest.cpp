// The run settings dialog, the COM Port Setup dialog and the About box.
#include <gtest/gtest.h>

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <climits>

#include "ModalHelper.h"
#include "gui/AboutDialog.h"
#include "gui/Fonts.h"
#include "gui/dialogs/ComPortDialog.h"
#include "gui/dialogs/RunSetupDialog.h"

namespace {

QStringList labelTexts(const QWidget& w) {
    QStringList out;
    for (const QLabel* l : w.findChildren<QLabel*>()) out << l->text();
    return out;
}

// ---- run settings: integer fields ----

struct ParseRow {
    const char* name;
    const char* text;
    bool valid;
    int value;
};

class RunSetupParse : public ::testing::TestWithParam<ParseRow> {};

TEST_P(RunSetupParse, IntegerOrNot) {
    const ParseRow& r = GetParam();
    const std::optional<int> v = RunSetupDialog::parseInteger(QString::fromUtf8(r.text));
    ASSERT_EQ(v.has_value(), r.valid);
    if (r.valid) {
        EXPECT_EQ(*v, r.value);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RunSetupParse,
                         ::testing::Values(ParseRow{"Plain", "12", true, 12},
                                           ParseRow{"Blanks", "  3000 ", true, 3000},
                                           ParseRow{"Negative", "-5", true, -5},
                                           ParseRow{"Plus", "+7", true, 7},
                                           ParseRow{"Zero", "0", true, 0},
                                           ParseRow{"Huge", "99999999999", true, INT_MAX},
                                           ParseRow{"HugeNegative", "-99999999999", true, INT_MIN},
                                           ParseRow{"Empty", "", false, 0},
                                           ParseRow{"SignOnly", "-", false, 0},
                                           ParseRow{"Fraction", "1.5", false, 0},
                                           ParseRow{"Letters", "abc", false, 0},
                                           ParseRow{"Trailing", "12a", false, 0},
                                           ParseRow{"Inner", "1 2", false, 0},
                                           ParseRow{"Exponent", "1e3", false, 0},
                                           ParseRow{"OtherDigits", "\xd9\xa3", false, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct StepRow {
    const char* name;
    bool count;  // false: rate
    const char* text;
    int last, dir, expected;
};

class RunSetupArrows : public ::testing::TestWithParam<StepRow> {};

TEST_P(RunSetupArrows, StepWithinRange) {
    const StepRow& r = GetParam();
    const QString text = QString::fromUtf8(r.text);
    const int got = r.count ? RunSetupDialog::stepCount(text, r.last, r.dir) : RunSetupDialog::stepRate(text, r.last, r.dir);
    EXPECT_EQ(got, r.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunSetupArrows,
    ::testing::Values(StepRow{"RateUp", false, "5", 1, +1, 6}, StepRow{"RateDown", false, "5", 1, -1, 4},
                      StepRow{"RateFloor", false, "1", 1, -1, 1}, StepRow{"RateCeiling", false, "3600", 1, +1, 3600},
                      StepRow{"RateTypedAbove", false, "5000", 1, -1, 3599},
                      StepRow{"RateTypedBelow", false, "-40", 1, +1, 2},
                      StepRow{"RateNoInteger", false, "x", 7, +1, 8},
                      StepRow{"CountUp", true, "1000", 1000, +1, 2000},
                      StepRow{"CountDown", true, "5000", 1000, -1, 4000},
                      StepRow{"CountFloor", true, "1000", 1000, -1, 1000},
                      StepRow{"CountCeiling", true, "10000", 1000, +1, 10000},
                      StepRow{"CountBetweenSteps", true, "2500", 1000, +1, 3500},
                      StepRow{"CountTypedAbove", true, "50000", 1000, -1, 10000},
                      StepRow{"CountNoInteger", true, "", 4000, -1, 3000},
                      StepRow{"CountHuge", true, "99999999999", 1000, +1, 10000},
                      StepRow{"CountHugeNegative", true, "-99999999999", 1000, -1, 1000}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- run settings: the dialog ----

struct RunSetupDialogFixture : ::testing::Test {
    RunSetupDialog dlg{2, 3000, nullptr};
    QLineEdit* rate = nullptr;
    QLineEdit* count = nullptr;
    void SetUp() override {
        rate = dlg.findChild<QLineEdit*>("rateEdit");
        count = dlg.findChild<QLineEdit*>("countEdit");
        ASSERT_TRUE(rate && count);
        dlg.show();
    }
    void clickOk() { QTest::mouseClick(dlg.findChild<QPushButton*>("ok"), Qt::LeftButton); }
    void click(const char* name) {
        auto* b = dlg.findChild<QToolButton*>(name);
        ASSERT_NE(b, nullptr) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    }
};

TEST_F(RunSetupDialogFixture, LooksAsSpecified) {
    EXPECT_EQ(dlg.windowTitle(), "Sample Rate And Sample Data ");
    EXPECT_EQ(rate->text(), "2");
    EXPECT_EQ(count->text(), "3000");
    const QStringList labels = labelTexts(dlg);
    for (const char* t : {"Sample Rate", "Sec", "Sample Data"}) EXPECT_TRUE(labels.contains(t)) << t;
    QList<QWidget*> fonted;
    for (QLabel* l : dlg.findChildren<QLabel*>()) fonted << l;
    fonted << dlg.findChild<QPushButton*>("ok");
    for (QWidget* w : fonted) {
        EXPECT_EQ(w->font().family(), kv::faceFont("Arial").family());
        EXPECT_EQ(w->font().pixelSize(), 15);
        EXPECT_EQ(w->font().weight(), QFont::Weight(500));
    }
    EXPECT_EQ(dlg.findChildren<QPushButton*>().size(), 1);  // OK only
}

TEST_F(RunSetupDialogFixture, ArrowsAndArrowKeys) {
    click("countUp");
    EXPECT_EQ(count->text(), "4000");
    click("countDown");
    click("countDown");
    click("countDown");
    click("countDown");
    EXPECT_EQ(count->text(), "1000");
    click("rateUp");
    EXPECT_EQ(rate->text(), "3");
    QTest::keyClick(rate, Qt::Key_Down);
    QTest::keyClick(rate, Qt::Key_Down);
    QTest::keyClick(rate, Qt::Key_Down);
    EXPECT_EQ(rate->text(), "1");
    QTest::keyClick(count, Qt::Key_Up);
    EXPECT_EQ(count->text(), "2000");
    // The arrows start from what was typed.
    count->setText("7000");
    click("countUp");
    EXPECT_EQ(count->text(), "8000");
}

TEST_F(RunSetupDialogFixture, NonIntegerRefusedOnOk) {
    for (QLineEdit* bad : {rate, count}) {
        rate->setText("2");
        count->setText("3000");
        bad->setText("ten");
        SeenBox box;
        answerNextMessageBox(&box);
        clickOk();
        EXPECT_TRUE(box.seen);
        EXPECT_EQ(box.title, "KV2047");
        EXPECT_EQ(box.text, "Please enter an integer.");
        EXPECT_TRUE(dlg.isVisible()) << "the dialog stays open";
        EXPECT_EQ(dlg.rate(), 2);
        EXPECT_EQ(dlg.count(), 3000);
    }
}

TEST_F(RunSetupDialogFixture, TypedValuesKeptWithinRange) {
    struct { const char* rate; const char* count; int r, c; } rows[] = {
        {"5000", "20000", 3600, 10000}, {"0", "10", 1, 1000}, {"-3", "2500", 1, 2500}, {" 60 ", "9000", 60, 9000}};
    for (const auto& row : rows) {
        rate->setText(row.rate);
        count->setText(row.count);
        dlg.show();
        clickOk();
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(dlg.rate(), row.r) << row.rate;
        EXPECT_EQ(dlg.count(), row.c) << row.count;
    }
}

TEST_F(RunSetupDialogFixture, EnterAndEscDoNothing) {
    QSignalSpy finished(&dlg, &QDialog::finished);
    for (QWidget* w : {static_cast<QWidget*>(rate), static_cast<QWidget*>(count), static_cast<QWidget*>(&dlg)}) {
        QTest::keyClick(w, Qt::Key_Return);
        QTest::keyClick(w, Qt::Key_Enter);
        QTest::keyClick(w, Qt::Key_Escape);
    }
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(finished.count(), 0);
}

TEST(RunSetupDialog, OpensWithinRange) {
    RunSetupDialog dlg(0, 50, nullptr);
    EXPECT_EQ(dlg.findChild<QLineEdit*>("rateEdit")->text(), "1");
    EXPECT_EQ(dlg.findChild<QLineEdit*>("countEdit")->text(), "1000");
    RunSetupDialog big(9999, 99999, nullptr);
    EXPECT_EQ(big.rate(), 3600);
    EXPECT_EQ(big.count(), 10000);
}

TEST(RunSetupDialog, ClosingWithoutOkKeepsTheOpeningValues) {
    RunSetupDialog dlg(4, 6000, nullptr);
    dlg.show();
    QTest::mouseClick(dlg.findChild<QToolButton*>("rateUp"), Qt::LeftButton);
    QTest::mouseClick(dlg.findChild<QToolButton*>("countUp"), Qt::LeftButton);
    dlg.close();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(dlg.rate(), 4);
    EXPECT_EQ(dlg.count(), 6000);
}

// ---- COM Port Setup ----

struct ComRow {
    const char* name;
    const char* text;
    ComPortDialog::Input::Status status;
    int port;
};

class ComPortInput : public ::testing::TestWithParam<ComRow> {};

TEST_P(ComPortInput, Validation) {
    const ComRow& r = GetParam();
    const ComPortDialog::Input in = ComPortDialog::checkInput(QString::fromUtf8(r.text));
    EXPECT_EQ(in.status, r.status);
    EXPECT_EQ(in.port, r.port);
}

using S = ComPortDialog::Input;
INSTANTIATE_TEST_SUITE_P(
    Cases, ComPortInput,
    ::testing::Values(ComRow{"Five", "5", S::Ok, 5}, ComRow{"Sixteen", "16", S::Ok, 16},
                      ComRow{"Blanks", " 7 ", S::Ok, 7}, ComRow{"Plus", "+8", S::Ok, 8},
                      ComRow{"LeadingZeros", "007", S::Ok, 7}, ComRow{"Four", "4", S::OutOfRange, 0},
                      ComRow{"One", "1", S::OutOfRange, 0}, ComRow{"Seventeen", "17", S::OutOfRange, 0},
                      ComRow{"Huge", "99999999999", S::OutOfRange, 0},
                      ComRow{"ZerosThenDigits", "000000000012", S::Ok, 12},
                      ComRow{"Zero", "0", S::NotPositive, 0}, ComRow{"Zeros", "000", S::NotPositive, 0},
                      ComRow{"Negative", "-5", S::NotPositive, 0}, ComRow{"Empty", "", S::NotPositive, 0},
                      ComRow{"Blank", "   ", S::NotPositive, 0}, ComRow{"Letters", "COM5", S::NotPositive, 0},
                      ComRow{"Fraction", "5.0", S::NotPositive, 0}, ComRow{"Exponent", "1e1", S::NotPositive, 0},
                      ComRow{"OtherDigits", "\xd9\xa7", S::NotPositive, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ComPortDialog, OpensWithFiveOrTheCurrentPort) {
    struct { int current; const char* shown; } rows[] = {{1, "5"}, {4, "5"}, {5, "5"}, {7, "7"}, {16, "16"}};
    for (const auto& row : rows) {
        ComPortDialog dlg(row.current, nullptr);
        EXPECT_EQ(dlg.findChild<QLineEdit*>("portEdit")->text(), row.shown) << row.current;
    }
}

TEST(ComPortDialog, Texts) {
    ComPortDialog dlg(1, nullptr);
    EXPECT_EQ(dlg.windowTitle(), "COM Port Setup");
    EXPECT_TRUE(labelTexts(dlg).contains("COM  No."));
    auto* frame = dlg.findChild<QGroupBox*>();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), "Input integer number 5 to 16");
    auto* list = dlg.findChild<QListWidget*>("portList");
    ASSERT_NE(list, nullptr);
    EXPECT_GE(list->count(), 1);  // the devices found, or a line saying there are none
}

TEST(ComPortDialog, OkOutcomes) {
    struct {
        const char* text;
        bool message;
        bool closes;
        std::optional<int> chosen;
    } rows[] = {{"9", false, true, 9},     {"16", false, true, 16},          {"20", false, true, std::nullopt},
                {"3", false, true, std::nullopt}, {"abc", true, false, std::nullopt}, {"0", true, false, std::nullopt},
                {"-7", true, false, std::nullopt}};
    for (const auto& row : rows) {
        ComPortDialog dlg(1, nullptr);
        dlg.show();
        dlg.findChild<QLineEdit*>("portEdit")->setText(row.text);
        SeenBox box;
        if (row.message) answerNextMessageBox(&box);
        QTest::mouseClick(dlg.findChild<QPushButton*>("ok"), Qt::LeftButton);
        EXPECT_EQ(box.seen, row.message) << row.text;
        if (row.message) {
            EXPECT_EQ(box.title, "KV2047");
            EXPECT_EQ(box.text, "Please enter a positive integer.");
        }
        EXPECT_EQ(!dlg.isVisible(), row.closes) << row.text;
        EXPECT_EQ(dlg.chosenPort(), row.chosen) << row.text;
    }
}

TEST(ComPortDialog, ClosingOtherwiseChoosesNothing) {
    ComPortDialog dlg(1, nullptr);
    dlg.show();
    dlg.findChild<QLineEdit*>("portEdit")->setText("9");
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(dlg.chosenPort().has_value());
}

// ---- About box ----

TEST(AboutBox, TextsIconAndOk) {
    AboutDialog box;
    box.show();
    EXPECT_EQ(box.windowTitle(), "About KV2047");
    const QStringList labels = labelTexts(box);
    EXPECT_TRUE(labels.contains("KV2047 Version 1.0"));
    auto* line = box.findChild<QLabel*>("about");
    ASSERT_NE(line, nullptr);
    EXPECT_FALSE(line->text().isEmpty());
    EXPECT_FALSE(line->text().contains('\n'));
    auto* licence = box.findChild<QLabel*>("licence");
    ASSERT_NE(licence, nullptr);
    for (const char* words : {"GPL-3.0-or-later", "NO WARRANTY", "Qt 6.", "LGPL-3.0"})
        EXPECT_TRUE(licence->text().contains(words)) << words;
    // The icon shows exactly when the artwork is built in.
    auto* icon = box.findChild<QLabel*>("icon");
    ASSERT_NE(icon, nullptr);
    const bool haveArt = QFile::exists(AboutDialog::kIconPath);
    EXPECT_EQ(icon->isVisible(), haveArt);
    if (haveArt) {
        const QImage img = icon->pixmap().toImage();
        ASSERT_FALSE(img.isNull());
        bool drawn = false;
        for (int y = 0; y < img.height() && !drawn; ++y)
            for (int x = 0; x < img.width() && !drawn; ++x) drawn = qAlpha(img.pixel(x, y)) != 0;
        EXPECT_TRUE(drawn) << "the icon is not blank";
    }
    auto buttons = box.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->text(), "OK");
    QTest::mouseClick(buttons[0], Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

}  // namespace
