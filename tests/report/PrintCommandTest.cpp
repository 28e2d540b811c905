// The Print commands: the page printed to a PDF file, through the print
// dialog as the user drives it, and the messages when printing fails.
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

#include "core/Model.h"
#include "core/logger/SetTable.h"
#include "gui/report/PrintCommand.h"
#include "core/record/LocalTime.h"
#include "record/ModalScript.h"
#include "report/PdfProbe.h"

using kvtest::ModalScript;

namespace {

constexpr std::time_t kEight = 1710489600;   // 2024-03-15 08:00:00 UTC

// A live run of n samples at `intervalMs`, all readings 40.
void liveRun(kv::Model& m, int n, int intervalMs = 10000) {
    m.run.n = n;
    m.run.intervalMs = intervalMs;
    m.run.runStartTime = kEight;
    for (int q = 0; q < kv::kQuantities; ++q)
        for (int i = 0; i <= n; ++i) m.doc->live[q][i] = 40.0f;
}

// The logger viewer's shown run of n samples, from 09:30:00.
std::unique_ptr<kv::logger::ShownRun> loggedRun(int n) {
    auto shown = std::make_unique<kv::logger::ShownRun>();
    auto& r = shown->run;
    r.count = n;
    r.interval = 10;
    r.year = 2024, r.month = 3, r.day = 15, r.hour = 9, r.minute = 30, r.second = 0;
    for (int i = 0; i < n * kv::kQuantities; ++i) r.samples[i] = 40.0f;
    shown->start = kv::logger::loggedStart(r);
    return shown;
}

std::unique_ptr<QPrinter> pdfPrinter(const std::string& path) {
    auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
    p->setOutputFormat(QPrinter::PdfFormat);
    p->setOutputFileName(QString::fromStdString(path));
    return p;
}

// The print dialog's step: print to the PDF file `path`.
ModalScript::Step printToFile(const std::string& path) {
    return [path](QWidget* w) {
        auto* dlg = qobject_cast<QPrintDialog*>(w);
        if (!dlg) return;
        if (auto* edit = dlg->findChild<QLineEdit*>("filename")) edit->setText(QString::fromStdString(path));
        dlg->accept();
    };
}

}  // namespace

TEST(PrintCommand, PrintsOnePageWithTheDocumentName) {
    kvtest::ScratchDir dir;
    auto model = std::make_unique<kv::Model>();
    liveRun(*model, 7);
    const std::string pdf = dir.file("live.pdf");
    auto printer = pdfPrinter(pdf);
    EXPECT_EQ(printReport(*printer, kv::liveReportData(*model->doc, model->run, kEight)), PrintOutcome::Printed);
    EXPECT_EQ(kvtest::pdfPages(pdf, dir), 1);
    EXPECT_NE(kvtest::pdfInfo(pdf, dir).find("client   print"), std::string::npos);
    const std::string text = kvtest::pdfText(pdf, dir);
    EXPECT_NE(text.find("Test Report"), std::string::npos) << text;
    EXPECT_NE(text.find("08:00:40"), std::string::npos) << text;
    EXPECT_NE(text.find("2024-03-15"), std::string::npos) << text;
}

// What each failure of the printing services tells the user.
struct FailRow {
    const char* name;
    int samples;
    const char* path;   // relative to the scratch folder, or absolute
    PrintOutcome outcome;
    const char* message;
};
class PrintFailures : public ::testing::TestWithParam<FailRow> {};

TEST_P(PrintFailures, EndWithTheirMessage) {
    const FailRow& row = GetParam();
    kvtest::ScratchDir dir;
    auto model = std::make_unique<kv::Model>();
    liveRun(*model, row.samples);
    const std::string path = row.path[0] == '/' || !*row.path ? row.path : dir.file(row.path);
    auto printer = pdfPrinter(path);
    EXPECT_EQ(printReport(*printer, kv::liveReportData(*model->doc, model->run, kEight)), row.outcome);
    const char* msg = printOutcomeMessage(row.outcome);
    if (row.message) {
        ASSERT_NE(msg, nullptr);
        EXPECT_STREQ(msg, row.message);
    } else {
        EXPECT_EQ(msg, nullptr);
    }
    if (row.outcome != PrintOutcome::Printed && *row.path) EXPECT_FALSE(kvtest::fileExists(path));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PrintFailures,
    ::testing::Values(FailRow{"EmptyRun", 0, "empty.pdf", PrintOutcome::NothingToPrint, nullptr},
                      FailRow{"NoSuchFolder", 3, "missing/dir/report.pdf", PrintOutcome::DocumentFailed,
                              "Initial error!"},
                      FailRow{"NoFileName", 3, "", PrintOutcome::DocumentFailed, "Initial error!"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PrintCommand, MessagesOfThePrintingServices) {
    EXPECT_STREQ(printOutcomeMessage(PrintOutcome::NoPrinter), "Printer is busy!");
    EXPECT_STREQ(printOutcomeMessage(PrintOutcome::DocumentFailed), "Initial error!");
    EXPECT_STREQ(printOutcomeMessage(PrintOutcome::PageFailed), "Can't start printing!");
    EXPECT_NE(printOutcomeMessage(PrintOutcome::Unfinished), nullptr);
    EXPECT_EQ(printOutcomeMessage(PrintOutcome::Cancelled), nullptr);
}

TEST(PrintCommand, DialogPrintsToAPdfFileOrIsCancelled) {
    kvtest::ScratchDir dir;
    auto model = std::make_unique<kv::Model>();
    liveRun(*model, 5);
    int made = 0;
    auto make = [&] {
        ++made;
        return kv::liveReportData(*model->doc, model->run, 0);
    };

    const std::string cancelled = dir.file("cancelled.pdf");
    {
        auto printer = pdfPrinter(cancelled);
        ModalScript script({kvtest::cancel()});
        EXPECT_EQ(printReportWithDialog(nullptr, *printer, make), PrintOutcome::Cancelled);
        ASSERT_EQ(script.seen().size(), 1u);
        EXPECT_EQ(script.seen()[0].className, "QPrintDialog");
    }
    EXPECT_EQ(made, 0);
    EXPECT_FALSE(kvtest::fileExists(cancelled));

    const std::string printed = dir.file("printed.pdf");
    {
        auto printer = pdfPrinter(dir.file("other.pdf"));
        // The run grows while the dialog is open: the page shows it as it is then.
        ModalScript script({[&](QWidget* w) {
            liveRun(*model, 9);
            printToFile(printed)(w);
        }});
        EXPECT_EQ(printReportWithDialog(nullptr, *printer, make), PrintOutcome::Printed);
        EXPECT_EQ(script.seen().size(), 1u);
    }
    EXPECT_EQ(made, 1);
    EXPECT_EQ(kvtest::pdfPages(printed, dir), 1);
    const std::string text = kvtest::pdfText(printed, dir);
    EXPECT_NE(text.find("Test Report"), std::string::npos);
    EXPECT_NE(text.find("08:00:20"), std::string::npos) << "9 samples: two per label";
    // A zero printing time means the moment of printing.
    const std::string today = kv::formatLocal(std::time(nullptr), "%Y-%m-%d");
    EXPECT_NE(text.find(today), std::string::npos) << text;
}

TEST(PrintCommand, DialogTellsWhenTheDocumentCannotStart) {
    kvtest::ScratchDir dir;
    auto model = std::make_unique<kv::Model>();
    liveRun(*model, 5);
    auto printer = pdfPrinter(dir.file("x.pdf"));
    ModalScript script({printToFile("/proc/kv2047-report-test.pdf"), kvtest::press(QMessageBox::Ok)});
    EXPECT_EQ(printReportWithDialog(nullptr, *printer, [&] { return kv::liveReportData(*model->doc, model->run, 0); }),
              PrintOutcome::DocumentFailed);
    ASSERT_EQ(script.seen().size(), 2u);
    EXPECT_EQ(script.seen()[1].className, "QMessageBox");
    EXPECT_EQ(script.seen()[1].title, "KV2047");
    EXPECT_EQ(script.seen()[1].text, "Initial error!");
}

TEST(PrintCommand, BothWindowsPrintThroughTheDialog) {
    kvtest::ScratchDir dir;
    auto model = std::make_unique<kv::Model>();
    liveRun(*model, 13, 5000);
    model->run.traces[kv::DP] = 0;
    auto shown = loggedRun(9);
    shown->yGain = 2;
    shown->yOffset = 5;

    const std::string live = dir.file("live.pdf");
    {
        ModalScript script({printToFile(live)});
        EXPECT_EQ(printLiveReport(nullptr, *model), PrintOutcome::Printed);
    }
    std::string text = kvtest::pdfText(live, dir);
    EXPECT_NE(text.find("Test Report"), std::string::npos);
    EXPECT_NE(text.find("08:00:15"), std::string::npos) << text;   // 13 div 4 = 3 samples of 5 s
    EXPECT_NE(text.find("100.0"), std::string::npos) << text;
    EXPECT_EQ(text.find("DP"), std::string::npos) << text;

    const std::string logger = dir.file("logger.pdf");
    const bool rhOnly[kv::kQuantities] = {false, false, false, false, true};
    {
        ModalScript script({printToFile(logger)});
        EXPECT_EQ(printLoggerReport(nullptr, *shown, rhOnly), PrintOutcome::Printed);
    }
    text = kvtest::pdfText(logger, dir);
    EXPECT_NE(text.find("09:30:20"), std::string::npos) << text;   // the logged run's own start
    EXPECT_NE(text.find("30.0"), std::string::npos) << text;       // top label: (10 + 5) * 2
    EXPECT_NE(text.find("RH"), std::string::npos) << text;
    EXPECT_EQ(text.find("AIR"), std::string::npos) << text;

    // The start time the viewer keeps for a chosen set.
    const std::string chosen = dir.file("chosen.pdf");
    shown->start = kEight + 3600;
    {
        ModalScript script({printToFile(chosen)});
        EXPECT_EQ(printLoggerReport(nullptr, *shown, rhOnly), PrintOutcome::Printed);
    }
    EXPECT_NE(kvtest::pdfText(chosen, dir).find("09:00:20"), std::string::npos);
}

TEST(PrintCommand, NothingToPrintOpensNoDialog) {
    auto model = std::make_unique<kv::Model>();
    const bool all[kv::kQuantities] = {true, true, true, true, true};
    ModalScript script({kvtest::cancel()});
    EXPECT_EQ(printLiveReport(nullptr, *model), PrintOutcome::NothingToPrint);
    EXPECT_EQ(printLoggerReport(nullptr, *loggedRun(0), all), PrintOutcome::NothingToPrint);
    QApplication::processEvents();
    EXPECT_TRUE(script.seen().empty());
}
