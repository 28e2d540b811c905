#include "gui/report/ReportFile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSvgGenerator>

#include "gui/report/ReportPage.h"

namespace {

constexpr int kImageDpi = 300;

// Narrow margins: A4 holds the 8.0 x 11.2 inch page at its full size.
QPageLayout sheet(QPageSize::PageSizeId paper) {
    return QPageLayout(QPageSize(paper), QPageLayout::Portrait, QMarginsF(3, 3, 3, 3), QPageLayout::Millimeter);
}

// The whole sheet in pixels at `dpi`, from its size in millimetres (its size
// in points is rounded: 2479 instead of 2480 pixels across A4 at 300 dpi).
QSize sheetPixels(const QPageLayout& layout, int dpi) {
    const QSizeF mm = layout.pageSize().size(QPageSize::Millimeter);
    return QSize(qRound(mm.width() / 25.4 * dpi), qRound(mm.height() / 25.4 * dpi));
}

// The printable area of the sheet in pixels at `dpi`, not rounded to whole pixels.
QRectF printableArea(const QPageLayout& layout, int dpi) {
    const QRectF inch = layout.paintRect(QPageLayout::Inch);
    return QRectF(inch.x() * dpi, inch.y() * dpi, inch.width() * dpi, inch.height() * dpi);
}

bool renderPdf(QBuffer& out, const kv::ReportData& data, const QPageLayout& layout) {
    QPdfWriter pdf(&out);
    pdf.setTitle(QString::fromLatin1(kv::kReportDocName));
    pdf.setCreator(QCoreApplication::applicationName());
    pdf.setPageLayout(layout);
    QPainter p;
    if (!p.begin(&pdf)) return false;
    // The painter's origin is the printable area's top-left corner, as on a printer.
    drawReport(p, QRectF(0, 0, pdf.width(), pdf.height()), pdf.logicalDpiX(), pdf.logicalDpiY(), data);
    return p.end();
}

bool renderPng(QBuffer& out, const kv::ReportData& data, const QPageLayout& layout) {
    QImage img(sheetPixels(layout, kImageDpi), QImage::Format_RGB32);
    if (img.isNull()) return false;
    img.setDotsPerMeterX(qRound(kImageDpi / 0.0254));
    img.setDotsPerMeterY(qRound(kImageDpi / 0.0254));
    img.fill(Qt::white);
    QPainter p(&img);
    drawReport(p, printableArea(layout, kImageDpi), kImageDpi, kImageDpi, data);
    p.end();
    return img.save(&out, "PNG");
}

bool renderSvg(QBuffer& out, const kv::ReportData& data, const QPageLayout& layout) {
    QSvgGenerator svg;
    svg.setOutputDevice(&out);
    const QSize size = sheetPixels(layout, kImageDpi);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(kImageDpi);
    svg.setTitle(QString::fromLatin1(kv::kReportTitle).trimmed());
    QPainter p;
    if (!p.begin(&svg)) return false;
    const QRectF sheet(QPoint(0, 0), size), area = printableArea(layout, kImageDpi);
    p.fillRect(sheet, Qt::white);
    drawReport(p, area, kImageDpi, kImageDpi, data);
    // SVG has no clipping here: a trace that leaves the page is painted over
    // in the margins, where the printable area's edge cuts it on paper.
    QPainterPath margins;
    margins.addRect(sheet);
    margins.addRect(area);
    p.fillPath(margins, Qt::white);
    return p.end();
}

}  // namespace

ReportFormat reportFormatFor(const QString& fileName) {
    const QString ext = QFileInfo(fileName).suffix();
    if (ext.compare(QLatin1String("png"), Qt::CaseInsensitive) == 0) return ReportFormat::Png;
    if (ext.compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0) return ReportFormat::Svg;
    return ReportFormat::Pdf;
}

QByteArray renderReport(const kv::ReportData& data, ReportFormat format, QPageSize::PageSizeId paper,
                        QString* error) {
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    const QPageLayout layout = sheet(paper);
    bool done = false;
    switch (format) {
        case ReportFormat::Pdf: done = renderPdf(out, data, layout); break;
        case ReportFormat::Png: done = renderPng(out, data, layout); break;
        case ReportFormat::Svg: done = renderSvg(out, data, layout); break;
    }
    if (!done || bytes.isEmpty()) {
        const char* what = format == ReportFormat::Png ? "PNG image" : format == ReportFormat::Svg ? "SVG image" : "PDF";
        if (error) *error = QStringLiteral("the %1 could not be made").arg(QLatin1String(what));
        return {};
    }
    return bytes;
}
