// Print from the two windows that have it: the main window's Print command
// (the real-time run) and the logger viewer's Print button (the shown run),
// each through the print dialog into a PDF file.
#include <QAction>
#include <QLineEdit>
#include <QPrintDialog>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

#include "SessionRun.h"
#include "gui/MainWindow.h"
#include "session/MeterSession.h"
#include "gui/logger/LoggerViewer.h"
#include "core/record/DataFile.h"
#include "record/ModalScript.h"
#include "report/PdfProbe.h"

using kvtest::ModalScript;

namespace {

constexpr std::time_t kEight = 1710489600;   // 2024-03-15 08:00:00 UTC

ModalScript::Step printToFile(const std::string& path) {
    return [path](QWidget* w) {
        auto* dlg = qobject_cast<QPrintDialog*>(w);
        if (!dlg) return;
        if (auto* edit = dlg->findChild<QLineEdit*>("filename")) edit->setText(QString::fromStdString(path));
        dlg->accept();
    };
}

}  // namespace

TEST(PrintWindows, MainWindowPrintsTheRealTimeRun) {
    QTemporaryDir cfg;
    AppOptions o;
    o.configDir = cfg.path();
    o.port = cfg.path() + "/no-such-device";
    MainWindow w(o);
    ASSERT_TRUE(kvtest::putRun(w.session(), {.n = 7, .intervalMs = 10000, .start = kEight,
                                             .value = [](int q, int) { return 20.0f + 10 * q; }}));
    w.session().setTraces({1, 0, 1, 1, 1});
    ASSERT_TRUE(w.action("print")->isEnabled());

    kvtest::ScratchDir dir;
    const std::string pdf = dir.file("live.pdf");
    ModalScript script({printToFile(pdf)});
    w.action("print")->trigger();
    ASSERT_EQ(script.seen().size(), 1u);
    EXPECT_EQ(script.seen()[0].className, "QPrintDialog");
    EXPECT_EQ(kvtest::pdfPages(pdf, dir), 1);
    const std::string text = kvtest::pdfText(pdf, dir);
    EXPECT_NE(text.find("Test Report"), std::string::npos) << text;
    EXPECT_NE(text.find("08:00:40"), std::string::npos) << text;
    EXPECT_NE(text.find("K/IR"), std::string::npos) << text;
    EXPECT_EQ(text.find("WB"), std::string::npos) << text;
}

TEST(PrintWindows, LoggerViewerPrintsTheShownRun) {
    kvtest::ScratchDir dir;
    auto rec = kv::makeRunRecord();
    rec->run.count = 9;
    rec->run.interval = 30;
    rec->run.year = 2024, rec->run.month = 3, rec->run.day = 15, rec->run.hour = 14, rec->run.minute = 0;
    for (int i = 0; i < 9 * kv::kQuantities; ++i) rec->run.samples[i] = 40.0f;
    rec->yGain = 5;
    rec->yOffset = 2;
    const std::string file = dir.file("run.AsmDat");
    kvtest::writeWhole(file, kv::encodeDataFile(*rec));

    MeterSession session;
    auto* viewer = new LoggerViewer(session);
    viewer->show();

    // Nothing shown yet: Print does nothing at all.
    {
        ModalScript script({kvtest::cancel()});
        viewer->action("Print")->trigger();
        QApplication::processEvents();
        EXPECT_TRUE(script.seen().empty());
    }

    ASSERT_TRUE(viewer->downloadFile(QString::fromStdString(file)));
    viewer->showQuantity(kv::RH);
    const std::string pdf = dir.file("logger.pdf");
    {
        ModalScript script({printToFile(pdf)});
        viewer->action("Print")->trigger();
        EXPECT_EQ(script.seen().size(), 1u);
    }
    EXPECT_EQ(kvtest::pdfPages(pdf, dir), 1);
    const std::string text = kvtest::pdfText(pdf, dir);
    EXPECT_NE(text.find("Test Report"), std::string::npos) << text;
    EXPECT_NE(text.find("14:01:00"), std::string::npos) << text;   // 9 div 4 = 2 samples of 30 s
    EXPECT_NE(text.find("60.0"), std::string::npos) << text;       // (10 + 2) * 5 at the top
    EXPECT_NE(text.find("RH"), std::string::npos) << text;
    EXPECT_EQ(text.find("AIR"), std::string::npos) << text;
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
