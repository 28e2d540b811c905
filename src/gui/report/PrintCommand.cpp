#include "gui/report/PrintCommand.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "gui/BusyCursor.h"
#include "core/Model.h"
#include "gui/report/ReportPage.h"
#include "core/logger/SetTable.h"

const char* printOutcomeMessage(PrintOutcome outcome) {
    switch (outcome) {
        case PrintOutcome::NoPrinter: return "Printer is busy!";
        case PrintOutcome::DocumentFailed: return "Initial error!";
        case PrintOutcome::PageFailed: return "Can't start printing!";
        case PrintOutcome::Unfinished: return "The report could not be completed on the printer.";
        default: return nullptr;
    }
}

PrintOutcome printReport(QPrinter& printer, const kv::ReportData& data) {
    if (data.samples.count <= 0) return PrintOutcome::NothingToPrint;
    if (!printer.isValid()) return PrintOutcome::NoPrinter;
    printer.setDocName(QString::fromLatin1(kv::kReportDocName));
    QPainter painter;
    if (!painter.begin(&printer)) return PrintOutcome::DocumentFailed;
    // The painter's origin is the printable area's top-left corner.
    const QRectF area(0, 0, printer.width(), printer.height());
    if (printer.printerState() == QPrinter::Error || area.isEmpty()) {
        printer.abort();
        painter.end();
        return PrintOutcome::PageFailed;
    }
    drawReport(painter, area, printer.logicalDpiX(), printer.logicalDpiY(), data);
    if (!painter.end() || printer.printerState() == QPrinter::Error) return PrintOutcome::Unfinished;
    return PrintOutcome::Printed;
}

PrintOutcome printReportWithDialog(QWidget* parent, QPrinter& printer,
                                   const std::function<kv::ReportData()>& makeData) {
    printer.setDocName(QString::fromLatin1(kv::kReportDocName));
    QPrintDialog dlg(&printer, parent);
    // One page: no page range, no selection; a PDF file is one of the printers.
    dlg.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize |
                   QAbstractPrintDialog::PrintCollateCopies);
    dlg.setPrintRange(QAbstractPrintDialog::AllPages);
    dlg.setMinMax(1, 1);
    if (dlg.exec() != QDialog::Accepted) return PrintOutcome::Cancelled;

    kv::ReportData data = makeData();
    if (data.printedAt == 0) data.printedAt = std::time(nullptr);
    PrintOutcome outcome;
    {
        BusyCursor busy;
        outcome = printReport(printer, data);
    }
    if (const char* msg = printOutcomeMessage(outcome)) QMessageBox::warning(parent, QGuiApplication::applicationDisplayName(), msg);
    return outcome;
}

PrintOutcome printLiveReport(QWidget* parent, const kv::Model& model) {
    if (model.run.n <= 0) return PrintOutcome::NothingToPrint;
    QPrinter printer(QPrinter::HighResolution);
    return printReportWithDialog(parent, printer, [&model] {
        return kv::liveReportData(*model.doc, model.run, std::time(nullptr));
    });
}

PrintOutcome printLoggerReport(QWidget* parent, const kv::logger::ShownRun& shown,
                               const bool switches[kv::kQuantities]) {
    if (shown.run.count <= 0) return PrintOutcome::NothingToPrint;
    bool on[kv::kQuantities];
    for (int q = 0; q < kv::kQuantities; ++q) on[q] = switches[q];
    QPrinter printer(QPrinter::HighResolution);
    return printReportWithDialog(parent, printer, [&shown, &on] {
        return kv::loggerReportData(shown.run, shown.yGain, shown.yOffset, shown.start, on, std::time(nullptr));
    });
}
