#pragma once
// Draws the "Test Report" page through any QPainter: a printer, a PDF writer
// or an image. The layout comes from graph/ReportLayout.h.
#include <QFont>
#include <QRectF>

#include "core/graph/ReportLayout.h"

class QPainter;

// Draws the page into the printable area (device pixels, in the painter's
// coordinates) of a device with the given resolution. Leaves the painter's
// state as it found it.
void drawReport(QPainter& p, const QRectF& printableAreaPx, double dpiX, double dpiY,
                const kv::ReportData& data);

// The report's fonts: "Arial", thin, sans-serif, character height in page units.
QFont reportFont(kv::PageFont which);
