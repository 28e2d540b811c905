// The desktop window against the simulated meter: the real serial code, the
// real timers, the main window's own handlers.
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "gui/MainWindow.h"
#include "session/MeterSession.h"
#include "e2e/SimProcess.h"
#include "gui/graph/LiveGraphView.h"
#include "core/link/LinkEngine.h"

namespace {

const QString kInit = "FF AA 55 63 63 00 00 00 C6 00 FF";

struct Rig {
    explicit Rig(QStringList simArgs) : sim(std::move(simArgs)) {}
    bool start() {
        if (!sim.start()) return false;
        AppOptions o;
        o.configDir = dir.path();
        o.port = sim.ptyPath();
        frame = std::make_unique<MainWindow>(o);
        frame->show();
        return true;
    }
    const kv::Model& m() { return frame->session().model(); }
    QTemporaryDir dir;
    kvtest::SimProcess sim;
    std::unique_ptr<MainWindow> frame;
};

}  // namespace

TEST(MainWindowWithSim, RecordsOneSamplePerIntervalAndStopKeepsThem) {
    Rig rig({"--period", "200"});
    ASSERT_TRUE(rig.start()) << rig.sim.error().toStdString();
    ASSERT_TRUE(rig.sim.waitForLog([](const auto& log) {
        for (const auto& l : log) if (l.hex == kInit) return true;
        return false;
    }, 20000)) << "the port-open operation sends the initialisation command";

    // Frames arrive: the meter display fills and Run becomes available.
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.m().run.runEnable == 1; }, 20000));
    EXPECT_FALSE(rig.m().meter.upper.empty());
    EXPECT_EQ(rig.m().run.offline, 0);

    // Run at 1 s (the dialog's answer given to the session directly).
    rig.frame->session().run(1, 1000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.m().run.n >= 3; }, 30000));
    EXPECT_EQ(rig.m().link.hasRunData, 1);
    // The committed samples hold readings of the meter, not zeros.
    for (int i = 0; i < 3; ++i) EXPECT_GT(rig.m().doc->live[kv::AIR][i], 5.0f) << i;

    rig.frame->findChild<QAction*>("stop")->trigger();
    const int n = rig.m().run.n;
    QTest::qWait(2500);
    EXPECT_EQ(rig.m().run.n, n) << "no commit after Stop";

    // The acknowledgement goes out at most once a second.
    const auto log = rig.sim.log();
    qint64 last = -100000;
    int acks = 0;
    for (const auto& l : log) {
        if (l.hex != "11") continue;
        ++acks;
        EXPECT_GE(l.ms - last, 900) << "two acknowledgements within a second";
        last = l.ms;
    }
    EXPECT_GE(acks, 2);
}

TEST(MainWindowWithSim, SilentMeterGoesOfflineAndComesBack) {
    Rig rig({"--period", "200"});
    ASSERT_TRUE(rig.start()) << rig.sim.error().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.m().run.runEnable == 1; }, 20000));

    rig.sim.pause();
    // Offline within the watchdog's period (two ticks at most, with slack for a busy machine).
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.m().run.offline == 1; }, 15000));
    EXPECT_EQ(rig.m().run.runEnable, 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(rig.m().link.comEnable[i], 1);
    QTest::qWait(3500);  // at least one more re-open while silent
    const int initsBefore = rig.sim.count(kInit);

    rig.sim.resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.m().run.offline == 0 && rig.m().run.runEnable == 1; }, 20000));
    // The re-opens while silent each sent the initialisation command again.
    ASSERT_TRUE(rig.sim.waitForLog([&](const auto&) { return rig.sim.count(kInit) >= 3; }, 10000))
        << "inits seen before resume: " << initsBefore;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(rig.m().link.comEnable[i], 0) << "port menu locked again";
}
