// The meter panel: the display window, its texts and colours, OFFLINE, and
// the keys' commands (once per press, never on a repaint).
#include <QWindow>

#include "PanelFixture.h"
#include "TestPty.h"
#include "gui/panels/MeterKeyButton.h"
#include "gui/panels/MeterPanel.h"
#include "core/panels/MeterFace.h"
#include "core/panels/MeterKeys.h"

namespace {

QByteArray hex(const kv::Command& c) {
    return QByteArray(reinterpret_cast<const char*>(c.data()), c.size()).toHex(' ').toUpper();
}

class MeterPanelTest : public PanelTest {
protected:
    MeterPanel* panel() { return frame().meterPanel(); }
    QImage face() { return panel()->client()->grab().toImage(); }
    // A key's centre in the main window's coordinates, for clicks that go the
    // way a user's do (the window turns a quick second press into a double-click).
    QPoint at(int i) {
        MeterKeyButton* k = panel()->key(i);
        return k->mapTo(&frame(), k->rect().center());
    }
    // Pixels inside the display window that differ from its colour.
    int inkInDisplay(const QImage& img, QRect r = QRect(kv::kDisplayX, kv::kDisplayY, kv::kDisplayW, kv::kDisplayH)) {
        const QColor bg = img.pixelColor(kv::kDisplayX + 1, kv::kDisplayY + kv::kDisplayH - 2);
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) n += img.pixelColor(x, y) != bg;
        return n;
    }
};

TEST_F(MeterPanelTest, KeysLieOnThePictureWhereTheTablePutsThem) {
    for (int i = 0; i < kv::kMeterKeyCount; ++i) {
        const kv::MeterKey& k = kv::kMeterKeys[i];
        EXPECT_EQ(panel()->key(i)->geometry(), QRect(k.x, k.y, k.width, k.height)) << k.name;
    }
    // Placed by the view at the left edge, 228 wide, the picture inside its sunken edge.
    EXPECT_EQ(panel()->width(), 228);
    EXPECT_EQ(panel()->client()->mapTo(panel(), QPoint(0, 0)), QPoint(2, 2));
}

TEST_F(MeterPanelTest, EachPressSendsItsCommandOnce) {
    for (int i = 0; i < kv::kMeterKeyCount; ++i) {
        const kv::MeterKey& k = kv::kMeterKeys[i];
        written_.clear();
        QTest::mouseClick(frame().windowHandle(), Qt::LeftButton, {}, at(i));
        ASSERT_EQ(written_.size(), 1u) << k.name;
        EXPECT_EQ(written_[0], hex(kv::pressCommand(k))) << k.name;
        QTest::qWait(600);  // the next click is not a double-click
    }
}

TEST_F(MeterPanelTest, RepaintWhileHeldSendsNothingMore) {
    const int holdUp = 0;
    written_.clear();
    QTest::mousePress(frame().windowHandle(), Qt::LeftButton, {}, at(holdUp));
    ASSERT_EQ(written_.size(), 1u);
    for (int i = 0; i < 3; ++i) {
        panel()->key(holdUp)->repaint();
        panel()->repaint();
        panel()->grab();
    }
    QTest::mouseRelease(frame().windowHandle(), Qt::LeftButton, {}, at(holdUp));
    ASSERT_EQ(written_.size(), 1u);
    EXPECT_EQ(written_[0], "FF AA 55 6B 1E 00 00 00 89 00 FF");
}

TEST_F(MeterPanelTest, DoubleClickSendsBothPressesAndItsCommand) {
    for (int i = 0; i < kv::kMeterKeyCount; ++i) {
        const kv::MeterKey& k = kv::kMeterKeys[i];
        written_.clear();
        QTest::mouseDClick(frame().windowHandle(), Qt::LeftButton, {}, at(i));
        std::vector<QByteArray> expected = {hex(kv::pressCommand(k)), hex(kv::pressCommand(k))};
        if (const auto d = kv::doubleClickCommand(k)) expected.push_back(hex(*d));
        EXPECT_EQ(written_, expected) << k.name;
        QTest::qWait(600);
    }
}

// From the keyboard: Space presses a key, Shift+Space gives its second function.
TEST_F(MeterPanelTest, SpaceAndShiftSpaceWorkAKeyWithItsFocus) {
    for (int i = 0; i < kv::kMeterKeyCount; ++i) {
        const kv::MeterKey& k = kv::kMeterKeys[i];
        MeterKeyButton* key = panel()->key(i);
        EXPECT_EQ(key->focusPolicy(), Qt::TabFocus) << k.name;
        written_.clear();
        QTest::keyClick(key, Qt::Key_Space);
        QTest::keyClick(key, Qt::Key_Space, Qt::ShiftModifier);
        std::vector<QByteArray> expected = {hex(kv::pressCommand(k)), hex(kv::pressCommand(k))};
        if (const auto d = kv::doubleClickCommand(k)) expected.push_back(hex(*d));
        EXPECT_EQ(written_, expected) << k.name;
    }
}

TEST_F(MeterPanelTest, DisplayWindowColourFollowsTheBacklight) {
    kvtest::TestPty pty;
    ASSERT_TRUE(pty.ok());
    frame(pty.path());
    const QPoint corner(kv::kDisplayX + 2, kv::kDisplayY + kv::kDisplayH - 3);
    EXPECT_EQ(face().pixelColor(corner), QColor(168, 191, 163));
    ASSERT_TRUE(pty.write(kvtest::frameReading(23.5f, kv::flagB::kBacklight)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return face().pixelColor(corner) == QColor(175, 238, 238); }, 10000));
    ASSERT_TRUE(pty.write(kvtest::frameReading(23.5f)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return face().pixelColor(corner) == QColor(168, 191, 163); }, 10000));
    // Below the meter the panel is plain background.
    EXPECT_EQ(face().pixelColor(100, kv::kMeterFaceBottom + 5), QColor(217, 218, 212));
}

TEST_F(MeterPanelTest, DisplayShowsTheTextsAndOfflineInRed) {
    kvtest::TestPty pty;
    ASSERT_TRUE(pty.ok());
    frame(pty.path());
    EXPECT_EQ(inkInDisplay(face()), 0);  // nothing before the first frame
    const auto redInDisplay = [this](const QImage& img) {
        int red = 0;
        for (int y = kv::kDisplayY; y < kv::kDisplayY + kv::kDisplayH; ++y)
            for (int x = kv::kDisplayX; x < kv::kDisplayX + kv::kDisplayW; ++x)
                red += img.pixelColor(x, y) == QColor(255, 0, 0);
        return red;
    };
    ASSERT_TRUE(pty.write(kvtest::frameReading(23.5f)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame().session().model().meter.upper.empty(); }, 10000));
    const QImage live = face();
    // The upper reading ends at x 94; the lower reading's digits are large.
    EXPECT_GT(inkInDisplay(live, QRect(66, 206, 28, 30)), 40);
    EXPECT_GT(inkInDisplay(live, QRect(68, 262, 64, 60)), 300);
    EXPECT_EQ(redInDisplay(live), 0);

    // The meter falls silent: the watchdog's second tick finds it so.
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame().session().isOffline(); }, 15000));
    const QImage off = face();
    EXPECT_GT(redInDisplay(off), 100);
    // No reading under OFFLINE: the lower reading's place is empty.
    EXPECT_EQ(inkInDisplay(off, QRect(68, 290, 64, 50)), 0);
}

TEST_F(MeterPanelTest, EnterAndEscLeaveThePanelOpen) {
    panel()->key(3)->setFocus();
    written_.clear();
    for (Qt::Key k : {Qt::Key_Return, Qt::Key_Escape}) QTest::keyClick(panel()->key(3), k);
    EXPECT_TRUE(panel()->isVisible());
    EXPECT_TRUE(written_.empty());
}

}  // namespace
