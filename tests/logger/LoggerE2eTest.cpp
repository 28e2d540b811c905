// End to end: record a short run from the simulated meter in the main window,
// Save it, open it in the logger viewer, and export it with kv2047-tool.
#include <gtest/gtest.h>

#include <QAction>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "gui/MainWindow.h"
#include "session/MeterSession.h"
#include "e2e/SimProcess.h"
#include "gui/graph/LiveGraphView.h"
#include "core/link/LinkEngine.h"
#include "gui/logger/LoggerViewer.h"
#include "record/ModalScript.h"
#include "record/RecordTestUtil.h"

TEST(LoggerEndToEnd, RecordSaveViewAndExport) {
    if (kvtest::SimProcess::program().isEmpty()) GTEST_SKIP() << "KV2047_SIM is not set";
    const QString tool = qEnvironmentVariable("KV2047_TOOL");
    ASSERT_FALSE(tool.isEmpty()) << "KV2047_TOOL is not set";

    kvtest::SimProcess sim({"--period", "100"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    QTemporaryDir config;
    AppOptions o;
    o.configDir = config.path();
    o.port = sim.ptyPath();
    MainWindow frame(o);
    frame.show();
    const kv::Model& m = frame.session().model();

    // A run at one sample a second, stopped after a few samples.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.run.runEnable == 1; }, 20000)) << "no frames from the sim";
    frame.session().run(1, 1000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.run.n >= 4; }, 30000));
    frame.findChild<QAction*>("stop")->trigger();
    const int n = m.run.n;
    ASSERT_GE(n, 4);

    // Save through the main window's command and its dialog.
    kvtest::ScratchDir dir;
    const QString data = QString::fromStdString(dir.file("sim run.AsmDat"));
    {
        kvtest::ModalScript script({kvtest::chooseFile(data)});
        ASSERT_TRUE(frame.saveRun());
    }
    const std::string bytes = kvtest::readBytes(data.toStdString());
    EXPECT_EQ(bytes.size(), 50u + 20u * n);
    const std::string text = kvtest::readBytes(dir.file("sim run.txt"));
    ASSERT_FALSE(text.empty());

    // Open: the viewer, then Download of the saved file.
    QAction* open = frame.findChild<QAction*>("open");
    ASSERT_NE(open, nullptr);
    open->trigger();
    auto* viewer = frame.findChild<LoggerViewer*>();
    ASSERT_NE(viewer, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewer->hasBeenShown(); }, 5000));
    EXPECT_FALSE(open->isEnabled()) << "Open is disabled while the viewer is shown";

    ASSERT_TRUE(viewer->downloadFile(data));
    ASSERT_EQ(viewer->list()->rowCount(), 1);
    EXPECT_EQ(viewer->list()->item(0, 2)->text(), "1sec");
    EXPECT_EQ(viewer->list()->item(0, 3)->text(), QString::number(n));
    for (int i = 0; i < n; ++i)
        for (int q = 0; q < kv::kQuantities; ++q)
            ASSERT_EQ(viewer->shown().run.samples[i * 5 + q], m.doc->live[q][i]) << "sample " << i << " quantity " << q;
    EXPECT_EQ(viewer->shownStart(), m.run.runStartTime);

    // The tool's export of the saved file is the text file Save wrote.
    QProcess proc;
    proc.start(tool, {"export", data});
    ASSERT_TRUE(proc.waitForFinished(30000));
    EXPECT_EQ(proc.exitCode(), 0) << proc.readAllStandardError().toStdString();
    EXPECT_EQ(proc.readAllStandardOutput().toStdString(), text);

    // Closing the viewer offers Open again.
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(open->isEnabled());
}
