// kv2047-tool report: a saved run drawn into a one-page PDF without a display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <QXmlStreamReader>
#include <ostream>
#include <regex>
#include <vector>

#include "core/record/DataFile.h"
#include "core/record/LocalTime.h"
#include "report/PdfProbe.h"

namespace {

using kvtest::EnvScope;
using kvtest::ScratchDir;

std::string tool() {
    const char* t = std::getenv("KV2047_TOOL");
    return t ? t : "";
}

// A run of 7 samples 10 s apart from 08:00:00 on 2024-03-15 (local time).
// Each quantity keeps its own height band; AIR leaves the frame once at each end.
std::unique_ptr<kv::RunRecord> sevenSamples() {
    auto rec = kv::makeRunRecord();
    auto& r = rec->run;
    r.count = 7;
    r.interval = 10;
    r.year = 2024, r.month = 3, r.day = 15, r.hour = 8, r.minute = 0, r.second = 0;
    const float base[kv::kQuantities] = {20, 35, 50, 65, 80};
    for (int i = 0; i < 7; ++i)
        for (int q = 0; q < kv::kQuantities; ++q) r.samples[i * 5 + q] = base[q] + (i % 2);
    r.samples[1 * 5 + kv::AIR] = 140.0f;
    r.samples[5 * 5 + kv::AIR] = -30.0f;
    return rec;
}

std::string writeRun(const ScratchDir& dir, const kv::RunRecord& rec, const char* name = "run.AsmDat") {
    const std::string path = dir.file(name);
    kvtest::writeWhole(path, kv::encodeDataFile(rec));
    return path;
}

bool near(QRgb p, QRgb c, int tol = 12) {
    return std::abs(qRed(p) - qRed(c)) <= tol && std::abs(qGreen(p) - qGreen(c)) <= tol &&
           std::abs(qBlue(p) - qBlue(c)) <= tol;
}

const QRgb kPen[kv::kQuantities] = {qRgb(55, 0, 0), qRgb(55, 55, 0), qRgb(0, 55, 55), qRgb(50, 25, 50),
                                    qRgb(0, 55, 0)};

// Pixels of each trace colour inside and outside the frame of the page
// rendered at 100 dpi, leaving out a 3-pixel strip along the frame's lines.
// A4 with 3 mm margins holds the page at its full size, so page point (x, y)
// is pixel (814.96 + x, 1157.48 - y).
struct Colours {
    int inside[kv::kQuantities] = {}, outside[kv::kQuantities] = {};
};
Colours traceColours(const QImage& img) {
    Colours c;
    const QRect frame(QPoint(static_cast<int>(814.96 - 750), static_cast<int>(1157.48 - 1000)),
                      QPoint(static_cast<int>(814.96 - 10), static_cast<int>(1157.48 - 200)));
    const QRect in = frame.adjusted(3, 3, -3, -3), border = frame.adjusted(-3, -3, 3, 3);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            for (int q = 0; q < kv::kQuantities; ++q) {
                if (!near(img.pixel(x, y), kPen[q])) continue;
                if (in.contains(x, y)) ++c.inside[q];
                else if (!border.contains(x, y)) ++c.outside[q];
            }
    return c;
}

}  // namespace

TEST(ReportTool, SavedRunGivesOnePageWithTextsAndTracesInsideTheFrame) {
    ScratchDir dir;
    const std::string in = writeRun(dir, *sevenSamples()), out = dir.file("report.pdf");
    const std::time_t before = std::time(nullptr);
    const auto r = kvtest::runProgram(tool(), {"report", in, "-o", out}, "", dir);
    const std::time_t after = std::time(nullptr);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(kvtest::pdfPages(out, dir), 1);

    const std::string text = kvtest::pdfText(out, dir);
    EXPECT_NE(text.find("Test Report"), std::string::npos) << text;
    for (const char* s : {"AIR", "WB", "DP", "K/IR", "RH", "0.0", "50.0", "100.0", "08:00:00", "08:00:10", "08:00:20",
                          "08:00:30", "08:00:40"})
        EXPECT_NE(text.find(s), std::string::npos) << s << "\n" << text;
    EXPECT_EQ(text.find("08:01:00"), std::string::npos) << "labels step by 7 div 4 samples";
    // The date of printing, its two blanks perhaps collapsed by the extraction.
    bool dated = false;
    for (std::time_t t : {before, after}) {
        const std::regex date(kv::formatLocal(t, "%Y-%m-%d") + " +" + kv::formatLocal(t, "%H:%M"));
        dated = dated || std::regex_search(text, date);
    }
    EXPECT_TRUE(dated) << text;

    const QImage page = kvtest::pdfPage(out, 100, dir);
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.width(), 827);   // A4
    EXPECT_NEAR(page.height(), 1169, 1);
    const Colours c = traceColours(page);
    for (int q = 0; q < kv::kQuantities; ++q) {
        SCOPED_TRACE(kv::kQuantityNames[q]);
        EXPECT_GT(c.inside[q], 100);
        EXPECT_EQ(c.outside[q], 0);
    }
}

TEST(ReportTool, ShowsOnlyTheChosenQuantities) {
    ScratchDir dir;
    const std::string in = writeRun(dir, *sevenSamples()), out = dir.file("rh.pdf");
    const auto r = kvtest::runProgram(tool(), {"report", "--show", "rh", in, "-o", out}, "", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = kvtest::pdfText(out, dir);
    EXPECT_NE(text.find("RH"), std::string::npos);
    for (const char* s : {"AIR", "WB", "DP", "K/IR"}) EXPECT_EQ(text.find(s), std::string::npos) << s;
    const Colours c = traceColours(kvtest::pdfPage(out, 100, dir));
    EXPECT_GT(c.inside[kv::RH], 100);
    for (int q = 0; q < kv::RH; ++q) EXPECT_EQ(c.inside[q], 0) << kv::kQuantityNames[q];
}

TEST(ReportTool, NeedsNoDisplay) {
    ScratchDir dir;
    const std::string in = writeRun(dir, *sevenSamples()), out = dir.file("nodisplay.pdf");
    const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    std::string saved[3];
    bool had[3];
    for (int i = 0; i < 3; ++i) {
        const char* v = std::getenv(names[i]);
        had[i] = v != nullptr;
        if (v) saved[i] = v;
        unsetenv(names[i]);
    }
    const auto r = kvtest::runProgram(tool(), {"report", in, "-o", out}, "", dir);
    const auto info = kvtest::runProgram(tool(), {"info", in}, "", dir);
    for (int i = 0; i < 3; ++i)
        if (had[i]) setenv(names[i], saved[i].c_str(), 1);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(kvtest::pdfPages(out, dir), 1);
    EXPECT_EQ(info.status, 0) << info.err;
}

// Refused arguments and inputs: the exit status, and no PDF left behind;
// an older file at the output path stays as it was.
struct ErrorRow {
    const char* name;
    std::vector<std::string> args;   // "IN", "EMPTY", "BADTAG" and "OUT" stand for files
    int status;
    const char* err;                 // part of the message on standard error
};
class ReportToolErrors : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(ReportToolErrors, RefuseWithoutWriting) {
    const ErrorRow& row = GetParam();
    ScratchDir dir;
    const std::string in = writeRun(dir, *sevenSamples());
    auto empty = sevenSamples();
    empty->run.count = 0;
    const std::string emptyPath = writeRun(dir, *empty, "empty.AsmDat");
    auto bad = sevenSamples();
    bad->tag = "NOTKV";
    const std::string badPath = writeRun(dir, *bad, "bad.AsmDat");
    const std::string out = dir.file("out.pdf");
    kvtest::writeWhole(out, "older report");

    std::vector<std::string> args{"report"};
    for (const auto& a : row.args)
        args.push_back(a == "IN" ? in : a == "EMPTY" ? emptyPath : a == "BADTAG" ? badPath : a == "OUT" ? out
                       : a.rfind("DIR/", 0) == 0 ? dir.file(a.substr(4)) : a);
    const auto r = kvtest::runProgram(tool(), args, "", dir);
    EXPECT_EQ(r.status, row.status) << r.err;
    EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
    EXPECT_EQ(kvtest::readWhole(out), "older report");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReportToolErrors,
    ::testing::Values(
        ErrorRow{"NoOutput", {"IN"}, 2, "usage: kv2047-tool report"},
        ErrorRow{"NoInput", {"-o", "OUT"}, 2, "usage: kv2047-tool report"},
        ErrorRow{"TwoInputs", {"IN", "IN", "-o", "OUT"}, 2, "usage"},
        ErrorRow{"UnknownQuantity", {"IN", "-o", "OUT", "--show", "AIR,CO2"}, 2, "unknown quantity 'CO2'"},
        ErrorRow{"EmptyShowList", {"IN", "-o", "OUT", "--show", ""}, 2, "--show needs quantities"},
        ErrorRow{"MissingFile", {"DIR/none.AsmDat", "-o", "OUT"}, 1, "none.AsmDat"},
        ErrorRow{"EmptyRun", {"EMPTY", "-o", "OUT"}, 2, "no samples"},
        ErrorRow{"BadTag", {"BADTAG", "-o", "OUT"}, 2, "Invalid Format!"},
        ErrorRow{"OutputFolderMissing", {"IN", "-o", "DIR/no/such/out.pdf"}, 1, "out.pdf"},
        ErrorRow{"OutputIsTheInput", {"IN", "-o", "DIR/./run.AsmDat"}, 2, "is the input"},
        ErrorRow{"UnknownPageSize", {"IN", "-o", "OUT", "--page-size", "A5"}, 2, "'A5' (use A4 or Letter)"}),
    [](const auto& info) { return std::string(info.param.name); });

// The file's format by its name, the paper by --page-size or the locale, and
// nothing on standard error but the tool's own messages, also where Qt would
// warn about its surroundings (no XDG_RUNTIME_DIR in a root shell or cron).
struct OutputRow {
    const char* name;
    const char* out;                  // file name in the scratch folder
    std::vector<std::string> extra;   // further arguments
    const char* locale;               // LC_ALL of the tool
    bool noRuntimeDir;
    const char* magic;                // the file's first bytes
    QSize pixels;                     // of a PNG at 300 dpi, or a PDF's page in points
};
void PrintTo(const OutputRow& r, std::ostream* os) { *os << r.name; }
class ReportToolOutputs : public ::testing::TestWithParam<OutputRow> {};

// The smallest rectangle holding every pixel that is not white.
QRect inkBounds(const QImage& img) {
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) r |= QRect(x, y, 1, 1);
    return r;
}

TEST_P(ReportToolOutputs, FormatPaperAndQuiet) {
    const OutputRow& row = GetParam();
    ScratchDir dir;
    const std::string in = writeRun(dir, *sevenSamples()), out = dir.file(row.out);
    std::vector<std::string> args{"report", in, "-o", out};
    args.insert(args.end(), row.extra.begin(), row.extra.end());
    kvtest::ProgramResult r;
    {
        EnvScope env;
        env.set("LC_ALL", row.locale);
        if (row.noRuntimeDir) env.set("XDG_RUNTIME_DIR", nullptr);
        r = kvtest::runProgram(tool(), args, "", dir);
    }
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string bytes = kvtest::readWhole(out);
    ASSERT_EQ(bytes.rfind(row.magic, 0), 0u) << bytes.substr(0, 16);

    const std::string magic = row.magic;
    if (magic == "%PDF") {
        const std::string info = kvtest::pdfInfo(out, dir);
        const std::string size = std::to_string(row.pixels.width()) + " x " + std::to_string(row.pixels.height());
        EXPECT_NE(info.find("Page size:       " + size), std::string::npos) << info;
    } else if (magic == "\x89PNG") {
        const QImage png(QString::fromStdString(out));
        EXPECT_EQ(png.size(), row.pixels);
        EXPECT_EQ(png.dotsPerMeterX(), 11811);
        // Where the page lies on the paper: as in the PDF on the same paper, to
        // the few pixels by which two rasterisers place the edges of glyphs.
        const std::string pdf = dir.file("same.pdf");
        std::vector<std::string> pdfArgs{"report", in, "-o", pdf};
        pdfArgs.insert(pdfArgs.end(), row.extra.begin(), row.extra.end());
        EnvScope env;
        env.set("LC_ALL", row.locale);
        ASSERT_EQ(kvtest::runProgram(tool(), pdfArgs, "", dir).status, 0);
        const QRect fromPdf = inkBounds(kvtest::pdfPage(pdf, 300, dir)), fromPng = inkBounds(png);
        for (auto [a, b] : {std::pair{fromPng.left(), fromPdf.left()}, {fromPng.top(), fromPdf.top()},
                            {fromPng.right(), fromPdf.right()}, {fromPng.bottom(), fromPdf.bottom()}})
            EXPECT_NEAR(a, b, 8) << "ink of the PNG " << fromPng.x() << "," << fromPng.y() << " "
                                 << fromPng.width() << "x" << fromPng.height();
    } else {
        QXmlStreamReader xml(QByteArray::fromStdString(bytes));
        while (!xml.atEnd()) xml.readNext();
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        for (const char* colour : {"#370000", "#373700", "#003737", "#321932", "#003700"})
            EXPECT_NE(bytes.find(std::string("stroke=\"") + colour + "\""), std::string::npos) << colour;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReportToolOutputs,
    ::testing::Values(
        OutputRow{"PdfOnA4InTheCLocale", "r.pdf", {}, "C.UTF-8", false, "%PDF", {595, 842}},
        OutputRow{"PdfOnLetterInAUsLocale", "r.pdf", {}, "en_US.UTF-8", false, "%PDF", {612, 792}},
        OutputRow{"PageSizeOverridesTheLocale", "r.pdf", {"--page-size", "a4"}, "en_US.UTF-8", false, "%PDF",
                  {595, 842}},
        OutputRow{"UnknownExtensionIsPdf", "r.report", {}, "C.UTF-8", false, "%PDF", {595, 842}},
        OutputRow{"QuietWithoutRuntimeDir", "r.pdf", {}, "C.UTF-8", true, "%PDF", {595, 842}},
        OutputRow{"PngOnA4", "r.png", {"--page-size", "A4"}, "C.UTF-8", true, "\x89PNG", {2480, 3508}},
        OutputRow{"PngOnLetterByUpperCaseNames", "R.PNG", {"--page-size", "LETTER"}, "C.UTF-8", false, "\x89PNG",
                  {2550, 3300}},
        OutputRow{"Svg", "r.Svg", {}, "C.UTF-8", true, "<?xml", {}}),
    [](const auto& info) { return std::string(info.param.name); });

