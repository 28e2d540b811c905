// What the user sees change, read back from the X server without asking any
// widget to paint: "OFFLINE" on the meter picture when the meter falls silent
// or the port is missing and gone when frames come back, readings on the
// meter picture, the alarm indicator going grey, a committed sample on the
// graph. Time limits are generous: these must pass on a slow, busy machine.
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "core/panels/MeterFace.h"
#include "core/record/SampleStore.h"
#include "e2e/SimProcess.h"
#include "gui/MainWindow.h"
#include "gui/graph/LiveGraphView.h"
#include "gui/panels/MeterPanel.h"
#include "gui/panels/ReadingsPanel.h"
#include "session/MeterSession.h"

namespace {

using kvtest::SimProcess;

bool isRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }
bool isDark(QRgb c) { return qGray(c) < 80; }

class Screen : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override { w.reset(); }

    void writeConfig(const QByteArray& text) {
        QFile f(dir.filePath("KV2047config.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    MainWindow& open(const QString& port) {
        AppOptions o;
        o.configDir = dir.path();
        o.port = port;
        started.start();
        w = std::make_unique<MainWindow>(o);
        w->setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        return *w;
    }

    // The whole screen as the X server holds it.
    static QImage screen() {
        return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    }
    static int count(const QImage& img, const QRect& r, const std::function<bool(QRgb)>& f) {
        int n = 0;
        const QRect in = r & img.rect();
        for (int y = in.top(); y <= in.bottom(); ++y)
            for (int x = in.left(); x <= in.right(); ++x) n += f(img.pixel(x, y));
        return n;
    }
    // Reads the screen every `stepMs` until `pred` holds for it or `timeoutMs` passed.
    static bool waitForScreen(const std::function<bool(const QImage&)>& pred, int timeoutMs, int stepMs = 100) {
        QElapsedTimer t;
        t.start();
        do {
            if (pred(screen())) return true;
            QTest::qWait(stepMs);
        } while (t.elapsed() < timeoutMs);
        return pred(screen());
    }

    // The meter picture's display window, in screen pixels.
    QRect display() const {
        const QWidget* face = w->meterPanel()->client();
        return QRect(face->mapToGlobal(QPoint(kv::kDisplayX, kv::kDisplayY)), QSize(kv::kDisplayW, kv::kDisplayH));
    }
    QRect indicator(int q, bool high) const {
        const QRect r = ReadingsPanel::indicatorRect(q, high);
        return QRect(w->readingsPanel()->mapToGlobal(r.topLeft()), r.size()).adjusted(2, 2, -2, -2);
    }
    QRect plot() const {
        const kv::PlotGeometry g = w->view()->plotGeometry();
        return QRect(w->view()->mapToGlobal(QPoint(g.plotLeft, g.plotTop)), QSize(g.W, g.H));
    }
    bool offlineShown(const QImage& img) const { return count(img, display(), isRed) > 150; }
    bool readingsShown(const QImage& img) const {
        return count(img, display(), isDark) > 150 && count(img, display(), isRed) == 0;
    }

    QTemporaryDir dir;
    std::unique_ptr<MainWindow> w;
    QElapsedTimer started;
};

TEST_F(Screen, MissingPortShowsOfflineAtTheFirstWatchdogTick) {
    open(dir.filePath("no-such-device"));
    EXPECT_FALSE(offlineShown(screen())) << "before the first watchdog tick";
    ASSERT_TRUE(waitForScreen([&](const QImage& s) { return offlineShown(s); }, 15000))
        << "no red OFFLINE on the meter picture " << started.elapsed() << " ms after start";
    std::printf("OFFLINE on screen %lld ms after start\n", static_cast<long long>(started.elapsed()));
    EXPECT_LT(started.elapsed(), 10000);
}

TEST_F(Screen, SilentMeterTurnsOfflineAndBackWithTheIndicatorsGrey) {
    if (SimProcess::program().isEmpty()) GTEST_SKIP() << "KV2047_SIM is not set";
    // An AIR high limit every reading passes: its alarm blinks while frames come.
    writeConfig("[Alarmhi1Info]\r\nHi1 limit=1.0\r\n");
    SimProcess sim({"--period", "200"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    open(sim.ptyPath());

    ASSERT_TRUE(waitForScreen([&](const QImage& s) { return readingsShown(s); }, 20000)) << "no readings";
    const QRect hiAir = indicator(kv::AIR, true);
    ASSERT_TRUE(waitForScreen([&](const QImage& s) { return count(s, hiAir, isRed) > 0; }, 10000, 20))
        << "the AIR alarm never showed red";

    sim.pause();
    QElapsedTimer silent;
    silent.start();
    ASSERT_TRUE(waitForScreen([&](const QImage& s) { return offlineShown(s); }, 20000))
        << "no OFFLINE " << silent.elapsed() << " ms after the meter fell silent";
    std::printf("OFFLINE on screen %lld ms after the meter fell silent\n", static_cast<long long>(silent.elapsed()));
    EXPECT_LT(silent.elapsed(), 12000);
    // Cleared by the silence: grey, and it stays grey.
    const QRgb grey = qRgb(181, 181, 181);
    for (int i = 0; i < 5; ++i) {
        QTest::qWait(60);
        EXPECT_EQ(count(screen(), hiAir, [&](QRgb c) { return (c & 0xFFFFFF) != (grey & 0xFFFFFF); }), 0);
    }

    sim.resume();
    EXPECT_TRUE(waitForScreen([&](const QImage& s) { return readingsShown(s); }, 20000))
        << "OFFLINE stayed after the frames came back";
}

TEST_F(Screen, CommittedSampleReachesTheGraph) {
    if (SimProcess::program().isEmpty()) GTEST_SKIP() << "KV2047_SIM is not set";
    SimProcess sim({"--period", "100"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    MeterSession& session = open(sim.ptyPath()).session();
    ASSERT_TRUE(waitForScreen([&](const QImage& s) { return readingsShown(s); }, 20000)) << "no readings";
    const auto airTrace = [](QRgb c) { return (c & 0xFFFFFF) == 0xFF0000; };
    EXPECT_EQ(count(screen(), plot(), airTrace), 0) << "a trace before any run";

    session.run(1, 1000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.sampleCount() >= 3; }, 20000));
    EXPECT_TRUE(waitForScreen([&](const QImage& s) { return count(s, plot(), airTrace) > 20; }, 10000))
        << "the AIR trace of " << session.sampleCount() << " samples is not on the screen";
}

}  // namespace
