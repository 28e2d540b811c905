#pragma once
// Print of the "Test Report": the standard print dialog (a printer or a PDF
// file), the page, and the messages when the printing services fail.
#include <ctime>
#include <functional>

#include "core/graph/ReportLayout.h"

class QPrinter;
class QWidget;
namespace kv { struct Model; }
namespace kv::logger { struct ShownRun; }

enum class PrintOutcome {
    Printed,
    Cancelled,        // the dialog was closed without printing
    NothingToPrint,   // the run has no samples
    NoPrinter,        // "Printer is busy!"
    DocumentFailed,   // "Initial error!"
    PageFailed,       // "Can't start printing!"
    Unfinished,       // the printer refused the finished page
};

// The message the user gets for an outcome; null when there is nothing to say.
const char* printOutcomeMessage(PrintOutcome outcome);

// Prints the page on `printer` as it is set up: no dialog, no message.
PrintOutcome printReport(QPrinter& printer, const kv::ReportData& data);

// Shows the print dialog for `printer`, then prints what `makeData` returns at
// that moment (a run may grow while the dialog is open) and tells the user
// about a failure. A zero printedAt means "now".
PrintOutcome printReportWithDialog(QWidget* parent, QPrinter& printer,
                                   const std::function<kv::ReportData()>& makeData);

// Print of the real-time view: the live run of n samples on the unzoomed scale.
PrintOutcome printLiveReport(QWidget* parent, const kv::Model& model);

// Print of the logger viewer: its shown run with the viewer's scale and
// shown-quantity switches; nothing for an empty run.
PrintOutcome printLoggerReport(QWidget* parent, const kv::logger::ShownRun& shown,
                               const bool switches[kv::kQuantities]);
