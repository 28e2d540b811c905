// The readings and alarm panel: limit fields typed and spun, loaded texts,
// Max/Min fields, blinking indicators, Enter and Esc.
#include <QLineEdit>

#include "PanelFixture.h"
#include "TestPty.h"
#include "core/link/LinkEngine.h"
#include "gui/panels/ReadingsPanel.h"
#include "gui/panels/UpDownArrows.h"

namespace {

enum { AIR, WB, DP, KIR, RH };

class ReadingsPanelTest : public PanelTest {
protected:
    ReadingsPanel* panel() { return frame().readingsPanel(); }
    QLineEdit* field(int q, bool high) { return panel()->limitField(q, high); }
    float limit(int q, bool high) {
        const auto& rs = frame().session().model().readings;
        return (high ? rs.hiLimit : rs.loLimit)[q];
    }
    // Types into a limit field as a user does: the whole text selected first.
    void type(int q, bool high, const QString& keys) {
        QLineEdit* e = field(q, high);
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, keys);
    }
    QColor pixel(QPoint p) { return panel()->grab().toImage().pixelColor(p); }
};

TEST_F(ReadingsPanelTest, NumericFieldRefusesOtherCharacters) {
    for (int q : {AIR, WB, DP, KIR, RH}) {
        QLineEdit* e = field(q, false);
        const QString before = e->text();
        e->setFocus();
        e->setCursorPosition(0);
        for (const char* k : {"a", " ", "+", ",", "Z", "e"}) QTest::keyClicks(e, k);
        QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);  // control characters too
        EXPECT_EQ(e->text(), before) << q;
    }
}

TEST_F(ReadingsPanelTest, TypedDigitsBecomeTheLimit) {
    type(AIR, true, "35");
    EXPECT_EQ(field(AIR, true)->text(), "35.0");
    EXPECT_FLOAT_EQ(limit(AIR, true), 35.f);
    type(WB, true, "500");
    EXPECT_EQ(field(WB, true)->text(), "500.0");
    // One click up on the spin from a typed 500 lands on the spin's bound.
    panel()->limitSpin(WB, true)->step(1);
    EXPECT_EQ(field(WB, true)->text(), "140.0");
}

TEST_F(ReadingsPanelTest, LoneMinusTurnsIntoZero) {
    type(AIR, false, "-");
    EXPECT_EQ(field(AIR, false)->text(), "0.0");
}

TEST_F(ReadingsPanelTest, RhHighFieldTakesLettersAsZeroOrTheLow) {
    type(RH, true, "abc");
    EXPECT_EQ(field(RH, true)->text(), "0.0");
    type(RH, true, "90");
    type(RH, false, "20");
    EXPECT_EQ(field(RH, false)->text(), "20.0");
    type(RH, true, "xyz");
    EXPECT_EQ(field(RH, true)->text(), "20.0");
}

// What a spin writes is not clamped again to the tighter typed bounds.
TEST_F(ReadingsPanelTest, SpunBelowTheTypedBoundStays) {
    for (int i = 0; i < 25; ++i) panel()->limitSpin(AIR, false)->step(-1);
    EXPECT_EQ(field(AIR, false)->text(), "-20.0");
    EXPECT_FLOAT_EQ(limit(AIR, false), -20.f);
    panel()->refreshDisplay();
    QTest::qWait(10);
    EXPECT_EQ(field(AIR, false)->text(), "-20.0");
    // Typing in the field brings the typed bounds back.
    type(AIR, false, "15");
    QTest::keyClick(field(AIR, false), Qt::Key_Home);
    QTest::keyClicks(field(AIR, false), "-");
    EXPECT_EQ(field(AIR, false)->text(), "-10.0");
}

TEST_F(ReadingsPanelTest, ArrowKeysAndSpinClicksStep) {
    QLineEdit* e = field(DP, true);
    e->setFocus();
    QTest::keyClick(e, Qt::Key_Down);
    QTest::keyClick(e, Qt::Key_Down);
    EXPECT_EQ(e->text(), "138.0");
    UpDownArrows* s = panel()->limitSpin(DP, true);
    QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(s->width() / 2, 3));
    EXPECT_EQ(e->text(), "139.0");
    QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(s->width() / 2, s->height() - 3));
    EXPECT_EQ(e->text(), "138.0");
}

TEST_F(ReadingsPanelTest, LoadedTextsShownAsStored) {
    writeConfig("[Alarmhi1Info]\nHi1 limit=35.50\n[Alarmlow3Info]\nLow3 limit=cold\n[Alarmhi5Info]\nHi5 limit=250\n");
    EXPECT_EQ(field(AIR, true)->text(), "35.50");
    EXPECT_EQ(field(DP, false)->text(), "cold");
    EXPECT_FLOAT_EQ(limit(DP, false), 0.f);
    EXPECT_EQ(field(RH, true)->text(), "250");  // not clamped on loading
    EXPECT_EQ(field(WB, true)->text(), "140.0");
    EXPECT_EQ(field(KIR, true)->text(), "2501.0");
    panel()->limitSpin(AIR, true)->step(-1);
    EXPECT_EQ(field(AIR, true)->text(), "34.5");
}

TEST_F(ReadingsPanelTest, MaxAndMinFieldsFollowTheReadingSet) {
    kvtest::TestPty pty;
    ASSERT_TRUE(pty.ok());
    frame(pty.path());
    for (int q = 0; q < 5; ++q) EXPECT_TRUE(panel()->maxField(q)->text().isEmpty());
    kv::FrameFields f = kvtest::frameReading(23.5f);
    f.wb = 18.3f;
    f.dp = 15.0f;
    f.kir = 23.47f;
    f.rh = 45.2f;
    ASSERT_TRUE(pty.write(f));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel()->maxField(AIR)->text().isEmpty(); }, 10000));
    EXPECT_EQ(panel()->maxField(AIR)->text(), "23.5C");
    EXPECT_EQ(panel()->minField(KIR)->text(), "23.4C");
    EXPECT_EQ(panel()->maxField(RH)->text(), "45.2 %RH");
}

TEST_F(ReadingsPanelTest, IndicatorsGreyThenBlinkingRedThenGrey) {
    kvtest::TestPty pty;
    ASSERT_TRUE(pty.ok());
    frame(pty.path());
    const QColor grey(181, 181, 181), red(255, 0, 0), back(240, 240, 240);
    const QPoint hiAir = ReadingsPanel::indicatorRect(AIR, true).center();
    const QPoint loRh = ReadingsPanel::indicatorRect(RH, false).center();
    EXPECT_EQ(pixel(hiAir), grey);
    EXPECT_EQ(pixel(loRh), grey);

    // A reading at the AIR high limit typed for it.
    type(AIR, true, "30");
    ASSERT_TRUE(pty.write(kvtest::frameReading(31.0f)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel()->isBlinking(AIR, true); }, 10000));
    EXPECT_FALSE(panel()->isBlinking(RH, false));
    bool sawRed = false, sawBack = false;
    for (int i = 0; i < 12 && !(sawRed && sawBack); ++i) {
        QTest::qWait(50);
        const QColor c = pixel(hiAir);
        sawRed |= c == red;
        sawBack |= c == back;
        EXPECT_TRUE(c == red || c == back) << c.name().toStdString();
    }
    EXPECT_TRUE(sawRed);
    EXPECT_TRUE(sawBack);
    EXPECT_EQ(pixel(loRh), grey);

    // Back below the limit: grey again and the blinking stops.
    ASSERT_TRUE(pty.write(kvtest::frameReading(21.0f)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel()->isBlinking(AIR, true); }, 10000));
    for (int i = 0; i < 3; ++i) {
        QTest::qWait(60);
        EXPECT_EQ(pixel(hiAir), grey);
    }
}

TEST_F(ReadingsPanelTest, EnterAndEscLeaveThePanelAsItWas) {
    QLineEdit* e = field(AIR, true);
    e->setFocus();
    for (Qt::Key k : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(e, k);
        EXPECT_TRUE(panel()->isVisible());
        EXPECT_EQ(e->text(), "140.0");
    }
    // Tab still moves on.
    QTest::keyClick(e, Qt::Key_Tab);
    EXPECT_FALSE(e->hasFocus());
}

}  // namespace
