#pragma once
// The "Test Report" page as the bytes of a file: a PDF, a PNG or an SVG of
// one sheet of paper, drawn by the page routine that prints it.
#include <QByteArray>
#include <QPageSize>
#include <QString>

#include "core/graph/ReportLayout.h"

enum class ReportFormat { Pdf, Png, Svg };

// The format a file's name asks for: .png or .svg (in any case), else PDF.
ReportFormat reportFormatFor(const QString& fileName);

// The page on `paper` with narrow margins, shrunk to fit as on a printer when
// the paper is too short for it: a PDF, a PNG at 300 dpi on white, or an SVG
// of the same page. Empty, with the reason in `error`, when it could not be made.
QByteArray renderReport(const kv::ReportData& data, ReportFormat format, QPageSize::PageSizeId paper,
                        QString* error);
