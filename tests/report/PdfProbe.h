#pragma once
// Looks into a PDF file with poppler's command-line tools: its text, its
// page count and title, and its first page rendered as an image.
#include <QFileInfo>
#include <QImage>
#include <QString>
#include <string>

#include "tools/RunProgram.h"

namespace kvtest {

inline std::string pdfText(const std::string& pdf, const ScratchDir& dir) {
    return runProgram("/usr/bin/pdftotext", {pdf, "-"}, "", dir).out;
}

inline std::string pdfInfo(const std::string& pdf, const ScratchDir& dir) {
    return runProgram("/usr/bin/pdfinfo", {pdf}, "", dir).out;
}

// "Pages:           1" -> 1; -1 when pdfinfo cannot read the file.
inline int pdfPages(const std::string& pdf, const ScratchDir& dir) {
    const std::string info = pdfInfo(pdf, dir);
    const auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

// The first page at `dpi`, through pdftoppm.
inline QImage pdfPage(const std::string& pdf, int dpi, const ScratchDir& dir) {
    const std::string prefix = dir.file("page");
    runProgram("/usr/bin/pdftoppm", {"-r", std::to_string(dpi), "-png", "-singlefile", "-f", "1", "-l", "1", pdf, prefix},
               "", dir);
    return QImage(QString::fromStdString(prefix + ".png"));
}

inline bool fileExists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

}  // namespace kvtest
