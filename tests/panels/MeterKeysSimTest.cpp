// End to end with the simulated meter: the meter picture's keys reach the
// meter, and the panels follow its frames, its alarms and its silence.
// KV_SHOT_DIR=DIR saves screenshots of the main window there.
#include <QLineEdit>
#include <QWindow>

#include "PanelFixture.h"
#include "e2e/SimProcess.h"
#include "gui/panels/ReadingsPanel.h"
#include "gui/panels/MeterKeyButton.h"
#include "gui/panels/MeterPanel.h"
#include "core/panels/MeterFace.h"
#include "core/panels/MeterKeys.h"

namespace {

QString hex(const kv::Command& c) {
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(c.data()), c.size()).toHex(' ').toUpper());
}

class SimPanels : public PanelTest {
protected:
    bool startWith(const QStringList& simArgs) {
        sim_ = std::make_unique<kvtest::SimProcess>(simArgs);
        if (!sim_->start()) {
            ADD_FAILURE() << sim_->error().toStdString();
            return false;
        }
        frame(sim_->ptyPath());
        return QTest::qWaitFor([&] { return !frame().session().model().meter.upper.empty(); }, 10000);
    }
    QPoint at(int i) {
        MeterKeyButton* k = frame().meterPanel()->key(i);
        return k->mapTo(&frame(), k->rect().center());
    }
    // The key commands in the sim's log, without the link's own traffic.
    QStringList keyLog() const {
        const QString init = hex(kv::makeCommand(kv::kInitPayload));
        QStringList out;
        for (const auto& l : sim_->log())
            if (l.hex != init && l.hex != "11") out << l.hex;
        return out;
    }
    void shot(const QString& name) {
        const QString dir = qEnvironmentVariable("KV_SHOT_DIR");
        if (!dir.isEmpty()) frame().grab().save(dir + "/" + name + ".png");
    }
    void TearDown() override {
        frame_.reset();  // closes the port before the sim goes
        sim_.reset();
    }

    std::unique_ptr<kvtest::SimProcess> sim_;
};

TEST_F(SimPanels, EveryKeyReachesTheMeter) {
    ASSERT_TRUE(startWith({"--period", "200"}));
    QStringList expected;
    // A press held while the key is repainted is still one command.
    QTest::mousePress(frame().windowHandle(), Qt::LeftButton, {}, at(0));
    for (int i = 0; i < 3; ++i) {
        frame().meterPanel()->key(0)->repaint();
        frame().meterPanel()->repaint();
    }
    QTest::mouseRelease(frame().windowHandle(), Qt::LeftButton, {}, at(0));
    expected << hex(kv::pressCommand(kv::kMeterKeys[0]));
    QTest::qWait(600);
    // Then every key but POWEROFF (which silences the meter) clicked and double-clicked, POWEROFF last.
    for (int i = 0; i < kv::kMeterKeyCount; ++i) {
        const kv::MeterKey& k = kv::kMeterKeys[i];
        if (std::string(k.name) == "POWEROFF") continue;
        QTest::mouseClick(frame().windowHandle(), Qt::LeftButton, {}, at(i));
        expected << hex(kv::pressCommand(k));
        QTest::qWait(600);
        QTest::mouseDClick(frame().windowHandle(), Qt::LeftButton, {}, at(i));
        expected << hex(kv::pressCommand(k)) << hex(kv::pressCommand(k));
        if (const auto d = kv::doubleClickCommand(k)) expected << hex(*d);
        QTest::qWait(600);
    }
    const int power = int(kv::meterKeyByControl(1045) - kv::kMeterKeys.data());
    QTest::mouseClick(frame().windowHandle(), Qt::LeftButton, {}, at(power));
    expected << "FF AA 55 6B 50 00 00 00 BB 00 FF";
    EXPECT_TRUE(QTest::qWaitFor([&] { return keyLog().size() >= expected.size(); }, 5000));
    EXPECT_EQ(keyLog(), expected);
}

TEST_F(SimPanels, PanelsFollowTheMeterItsAlarmsAndItsSilence) {
    // AIR (about 23 C) is above a high limit of 10: the AIR high alarm blinks.
    writeConfig("[Alarmhi1Info]\nHi1 limit=10.0\n");
    ASSERT_TRUE(startWith({"--period", "200", "--silence-after", "25"}));
    auto& m = frame().session().model();
    ReadingsPanel* alarms = frame().readingsPanel();
    MeterPanel* meter = frame().meterPanel();
    QTest::qWait(1000);

    // The display mirrors the frames: readings, unit and the degree mark.
    EXPECT_EQ(m.meter.unitLetter, "C");
    const QImage live = meter->client()->grab().toImage();
    const QColor window = live.pixelColor(kv::kDisplayX + 1, kv::kDisplayY + kv::kDisplayH - 2);
    int ink = 0;
    for (int y = kv::kDisplayY; y < kv::kDisplayY + kv::kDisplayH; ++y)
        for (int x = kv::kDisplayX; x < kv::kDisplayX + kv::kDisplayW; ++x) ink += live.pixelColor(x, y) != window;
    EXPECT_GT(ink, 400);
    // Max and Min fill with the readings.
    for (int q = 0; q < 5; ++q) {
        EXPECT_FALSE(alarms->maxField(q)->text().isEmpty()) << q;
        EXPECT_FALSE(alarms->minField(q)->text().isEmpty()) << q;
    }
    EXPECT_TRUE(alarms->maxField(4)->text().endsWith(" %RH"));
    EXPECT_EQ(m.link.alarmHigh[0], 1);
    EXPECT_TRUE(alarms->isBlinking(0, true));
    const QPoint ind = ReadingsPanel::indicatorRect(0, true).center();
    EXPECT_TRUE(QTest::qWaitFor([&] { return alarms->grab().toImage().pixelColor(ind) == QColor(255, 0, 0); }, 1000));
    shot("panels-live");

    // Silence: within the watchdog's period the meter shows OFFLINE and the alarm goes grey.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.run.offline == 1; }, 12000));
    QTest::qWait(100);
    const QImage off = meter->client()->grab().toImage();
    int red = 0;
    for (int y = kv::kDisplayY; y < kv::kDisplayY + kv::kDisplayH; ++y)
        for (int x = kv::kDisplayX; x < kv::kDisplayX + kv::kDisplayW; ++x) red += off.pixelColor(x, y) == QColor(255, 0, 0);
    EXPECT_GT(red, 100);
    EXPECT_FALSE(alarms->isBlinking(0, true));
    EXPECT_EQ(alarms->grab().toImage().pixelColor(ind), QColor(181, 181, 181));
    shot("panels-offline");
}

}  // namespace
