#include "gui/logger/LoggerPainter.h"

#include <QFontMetrics>
#include <QPainter>

#include "core/graph/Raster.h"
#include "gui/graph/PlotSurface.h"

namespace kv::logger {

namespace {

constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kValueGrid = 0xFF505050u;   // 80, 80, 80
constexpr uint32_t kAxis = 0xFFFF0000u;
constexpr uint32_t kTimeGrid = 0xFF646464u;    // 100, 100, 100
const char* const kNames[kQuantities] = {"AIR", "WB", "DP", "K/IR", "RH"};

QColor qcolour(uint32_t c) { return QColor::fromRgb(c); }

// Text with its top-left corner at (x, y), on an opaque background.
void textAt(QPainter& p, int x, int y, const QString& s) {
    p.drawText(QPoint(x, y + p.fontMetrics().ascent()), s);
}

// Everything around the plot below the toolbar band: clips traces and grid.
void marginFill(PlotSurface& s, int cw, int ch, const PlotRect& p) {
    s.fill(0, 23, cw, pixelTrunc(p.top - 23), kBackground);
    s.fill(0, pixelTrunc(p.bottom) + 1, cw, pixelTrunc(ch - p.bottom), kBackground);
    s.fill(0, 23, pixelTrunc(p.left), ch - 23, kBackground);
    s.fill(pixelTrunc(p.right), 23, pixelTrunc(cw - p.right), ch - 23, kBackground);
}

}  // namespace

LoggerPainter::LoggerPainter() {
    fontA_ = QFont(QStringLiteral("Arial"));
    fontA_.setPixelSize(14);
    fontA_.setWeight(QFont::Thin);
    fontA_.setStyleHint(QFont::SansSerif);
    fontB_ = QFont(QStringLiteral("Arial"));
    fontB_.setPixelSize(12);
    fontB_.setWeight(QFont::Thin);
    fontB_.setStyleHint(QFont::SansSerif);
    // Font B is narrow: about five pixels a character.
    const int avg = QFontMetrics(fontB_).averageCharWidth();
    if (avg > 5) fontB_.setStretch(std::max(50, 500 / avg));
}

void LoggerPainter::paint(QImage& img, const Frame& f, const CoordTables& t, const Nav& nav) const {
    {
        QPainter qp(&img);
        RasterSurface s(img, img.rect());
        draw(qp, s, img.size(), f, t, nav, Marks::Shown);
    }
    if (nav.cursorPresent) cursorLine(img, f.plot, nav.cursorX);
}

void LoggerPainter::draw(QPainter& qp, PlotSurface& s, const QSize& client, const Frame& f, const CoordTables& t,
                         const Nav& nav, Marks marks) const {
    const PlotRect& p = f.plot;
    const int cw = client.width(), ch = client.height();
    const int l = pixelTrunc(p.left), tp = pixelTrunc(p.top), r = pixelTrunc(p.right), b = pixelTrunc(p.bottom);

    s.fill(0, 0, cw, ch, kBackground);
    s.fill(l, tp, r - l, b - tp, kBlack);
    for (int m = 0; m <= 10; ++m) {
        const int y = pixelTrunc(p.top + m * p.h / 10);
        s.segment(l, y, r, y, kValueGrid);
    }
    if (f.wholeRun)
        for (int k = 1; k <= 15; ++k) {
            const int x = pixelTrunc(p.left + k * p.w * 0.06666667f);
            s.segment(x, tp, x, b, kValueGrid);
        }
    s.segment(l, tp, l, b, kAxis);
    s.segment(r, tp, r, b, kAxis);
    for (int m = 0; m <= 10; ++m) {
        const int y = pixelTrunc(p.top + m * p.h / 10);
        s.segment(pixelTrunc(p.left - 3), y, l, y, kAxis);
    }
    s.fill(pixelTrunc(p.left - 11.2), b + 1, r, 100, kBackground);

    qp.setBackgroundMode(Qt::OpaqueMode);
    qp.setBackground(qcolour(kBackground));
    qp.setPen(Qt::black);
    qp.setFont(fontA_);

    if (f.loaded) {
        const int n = f.n;
        const int L = f.level;
        const float* x = t.x(L);
        const float* y[kQuantities];
        for (int q = 0; q < kQuantities; ++q) y[q] = t.y(L, q);
        if (f.wholeRun) {
            for (int i = 0; i + 1 < n; ++i) {
                const int x0 = pixelTrunc(x[i]), x1 = pixelTrunc(x[i + 1]);
                for (int q = 0; q < kQuantities; ++q)
                    if (nav.shown[static_cast<std::size_t>(q)])
                        s.segment(x0, pixelTrunc(y[q][i]), x1, pixelTrunc(y[q][i + 1]), kTraceColour[q]);
            }
            marginFill(s, cw, ch, p);
            textAt(qp, f.startLabel.x, f.startLabel.y, QString::fromStdString(f.startLabel.text));
            textAt(qp, f.endLabel.x, f.endLabel.y, QString::fromStdString(f.endLabel.text));
        } else {
            for (int e = 0; e < f.grid.lines; ++e) {
                const int gx = pixelTrunc(f.grid.lineX[e]);
                s.segment(gx, b, gx, tp, kTimeGrid);
            }
            s.flush();
            const int shift = f.shift;
            for (int i = std::max(0, -shift); i < n - shift - 1 && i < n - 1; ++i) {
                const int x0 = pixelTrunc(x[shift + i]), x1 = pixelTrunc(x[shift + i + 1]);
                if ((x0 < l && x1 < l) || (x0 > r && x1 > r)) continue;   // wholly beside the plot
                for (int q = 0; q < kQuantities; ++q)
                    if (nav.shown[static_cast<std::size_t>(q)])
                        s.segment(x0, pixelTrunc(y[q][i]), x1, pixelTrunc(y[q][i + 1]), kTraceColour[q]);
            }
            marginFill(s, cw, ch, p);
            for (int e = 0; e < f.timeLabels; ++e)
                textAt(qp, f.timeLabel[e].x, f.timeLabel[e].y, QString::fromStdString(f.timeLabel[e].text));
        }
        for (const TextAt& lab : f.yLabels) textAt(qp, lab.x, lab.y, QString::fromStdString(lab.text));
        if (marks == Marks::Shown) drawReadout(qp, p, f.readoutText, f.readoutTime, nav.shown);
    }
    s.flush();

    qp.setFont(fontA_);
    for (int q = 0; q < kQuantities; ++q) {
        if (!nav.shown[static_cast<std::size_t>(q)]) continue;
        const int nx = pixelTrunc(p.left + kLegendX[q]);
        textAt(qp, nx, 40, kNames[q]);
        qp.setPen(QPen(qcolour(kTraceColour[q]), 2));
        qp.drawLine(nx - 20, 60, nx + 40, 60);
        qp.setPen(Qt::black);
    }
}

void LoggerPainter::cursorLine(QImage& img, const PlotRect& p, int x) {
    const Canvas c = canvasOf(img);
    if (x < 0 || x >= c.width) return;
    // Not-xor with the cursor colour: d' = ~(pen ^ d), the same as d ^ ~pen.
    const uint32_t mask = ~kCursorColour & 0x00FFFFFFu;
    const int y0 = std::max(0, pixelTrunc(p.top)), y1 = std::min(c.height, pixelTrunc(p.bottom));
    for (int y = y0; y < y1; ++y)
        if (((y - pixelTrunc(p.top)) & 1) == 0) c.row(y)[x] ^= mask;
}

void LoggerPainter::band(QImage& img, const IRect& r) {
    invertDragFrame(canvasOf(img), r.left, r.top, r.right, r.bottom);
}

void LoggerPainter::readout(QImage& img, const PlotRect& p, const std::array<std::string, kQuantities>& values,
                            const std::string& time, const std::array<bool, kQuantities>& shown) const {
    QPainter qp(&img);
    qp.setBackgroundMode(Qt::OpaqueMode);
    qp.setBackground(qcolour(kBackground));
    qp.setPen(Qt::black);
    drawReadout(qp, p, values, time, shown);
}

void LoggerPainter::drawReadout(QPainter& qp, const PlotRect& p, const std::array<std::string, kQuantities>& values,
                                const std::string& time, const std::array<bool, kQuantities>& shown) const {
    qp.setFont(fontB_);
    const QString t = QString::fromStdString(time);
    for (int q = 0; q < kQuantities; ++q) {
        if (!shown[static_cast<std::size_t>(q)]) continue;
        const int x = pixelTrunc(p.left + kReadoutColumns[q].value);
        qp.fillRect(x, kReadoutY, 50, 20, qcolour(kBackground));
        textAt(qp, x, kReadoutY, QString::fromStdString(values[static_cast<std::size_t>(q)]));
        textAt(qp, pixelTrunc(p.left + kReadoutColumns[q].at), kReadoutY, QStringLiteral("@"));
        textAt(qp, pixelTrunc(p.left + kReadoutColumns[q].time), kReadoutY, t);
    }
}

}  // namespace kv::logger
