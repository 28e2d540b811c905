// kv2047-tool report: the logger's "Test Report" of a data file, as a PDF,
// PNG or SVG file. Drawn by the same page routine as the Print commands, on an
// offscreen platform, so no display is needed.
#include <QByteArray>
#include <QGuiApplication>
#include <QLocale>
#include <QPageSize>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "CommandLine.h"
#include "Commands.h"
#include "Messages.h"
#include "ToolRead.h"
#include "core/io/AtomicFile.h"
#include "core/graph/ReportLayout.h"
#include "gui/report/ReportFile.h"
#include "core/logger/SetTable.h"

namespace {

// "AIR,RH" -> switches; false on an unknown or missing name.
bool parseShown(const char* list, bool shown[kv::kQuantities]) {
    for (int q = 0; q < kv::kQuantities; ++q) shown[q] = false;
    std::string s(list);
    if (s.empty()) {
        toolMessage("--show needs quantities (AIR, WB, DP, K/IR, RH)");
        return false;
    }
    std::size_t pos = 0;
    while (true) {
        const std::size_t comma = s.find(',', pos);
        const std::string name = s.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        int found = -1;
        for (int q = 0; q < kv::kQuantities; ++q)
            if (QByteArray(name.c_str()).compare(kv::kQuantityNames[q], Qt::CaseInsensitive) == 0) found = q;
        if (found < 0) {
            toolMessage("unknown quantity '%s' (use AIR, WB, DP, K/IR, RH)", name.c_str());
            return false;
        }
        shown[found] = true;
        if (comma == std::string::npos) return true;
        pos = comma + 1;
    }
}

// The paper of the user's locale. Qt knows no paper size per locale; the
// locales that measure in US units are the Letter countries, the others
// mostly use A4 (--page-size chooses otherwise).
QPageSize::PageSizeId localePaper() {
    return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4;
}

}  // namespace

int cmdReport(const QStringList& args) {
    CommandLine cli("kv2047-tool report", "FILE -o OUT [--page-size A4|Letter] [--show AIR,WB,DP,K/IR,RH]",
                    "Draws the logger's test report of a data file on one page, the page that\n"
                    "Print draws: OUT.png is a PNG image at 300 dpi, OUT.svg an SVG image, any\n"
                    "other name a PDF. Needs no display.");
    const QCommandLineOption outOpt = cli.add({"o", "output"}, "The file to write (.pdf, .png or .svg).", "OUT");
    const QCommandLineOption paperOpt = cli.add(
        {"page-size"}, "The paper: A4 or Letter (default: the locale's; a page too short shrinks to fit).",
        "A4|Letter");
    const QCommandLineOption showOpt =
        cli.add({"show"}, "The quantities drawn: AIR, WB, DP, K/IR, RH, separated by commas (default: all).",
                "LIST");
    cli.addArgument("FILE", "A data file (.AsmDat).", "FILE");
    if (const int status = cli.parse(args, 1, 1); status >= 0) return status;
    const std::string fileArg = cli.argument(0), outArg = cli.value(outOpt);
    if (outArg.empty()) return cli.refuse("-o OUT is needed");
    if (CommandLine::sameFile(fileArg, outArg)) return cli.refuse("the output '" + outArg + "' is the input");
    QPageSize::PageSizeId paper = localePaper();
    if (cli.isSet(paperOpt)) {
        const QString name = cli.parser().value(paperOpt);
        if (name.compare(QLatin1String("A4"), Qt::CaseInsensitive) == 0) paper = QPageSize::A4;
        else if (name.compare(QLatin1String("Letter"), Qt::CaseInsensitive) == 0) paper = QPageSize::Letter;
        else return cli.refuse("unknown page size '" + cli.value(paperOpt) + "' (use A4 or Letter)");
    }
    bool shown[kv::kQuantities] = {true, true, true, true, true};
    if (cli.isSet(showOpt) && !parseShown(cli.value(showOpt).c_str(), shown)) return 2;
    const char* file = fileArg.c_str();
    const char* outPath = outArg.c_str();

    auto rec = kv::makeRunRecord();
    if (const int status = readForTool(file, *rec)) return status;
    if (rec->run.count <= 0) {
        toolMessage("%s: the run has no samples; there is nothing to report", file);
        return 2;
    }

    // Only this command needs Qt; it must not need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qargc = 1;
    char name[] = "kv2047-tool";
    char* qargv[] = {name, nullptr};
    QGuiApplication app(qargc, qargv);

    const kv::ReportData data = kv::loggerReportData(rec->run, rec->yGain, rec->yOffset,
                                                     kv::logger::loggedStart(rec->run), shown, std::time(nullptr));
    // Written through the safe writer: an older file at the path stays as it
    // was unless the whole report is on the disk. Opened first, so a path that
    // cannot take it is reported before the drawing.
    kv::AtomicFile reportFile(outPath);
    if (!reportFile.open()) {
        toolMessage("%s", reportFile.error().c_str());
        return 1;
    }
    QString error;
    const QByteArray bytes = renderReport(data, reportFormatFor(QString::fromLocal8Bit(outPath)), paper, &error);
    if (bytes.isEmpty()) {
        toolMessage("%s: %s", outPath, qPrintable(error));
        return 1;
    }
    if (!reportFile.write(bytes.constData(), static_cast<std::size_t>(bytes.size())) || !reportFile.commit()) {
        toolMessage("%s", reportFile.error().c_str());
        return 1;
    }
    return 0;
}
