#include "gui/report/ReportPage.h"

#include <QPainter>
#include <QPen>
#include <QTransform>
#include <algorithm>

#include "gui/Fonts.h"

namespace {

// Trace pens are darker than the screen's colours: they print on white paper.
const QColor kTracePen[kv::kQuantities] = {
    QColor(55, 0, 0),     // AIR
    QColor(55, 55, 0),    // WB
    QColor(0, 55, 55),    // DP
    QColor(50, 25, 50),   // K/IR
    QColor(0, 55, 0),     // RH
};

QPen solidPen(const QColor& c, double widthUnits) {
    QPen pen(c, widthUnits, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    pen.setCosmetic(false);
    return pen;
}

// Segments per polyline of a trace: short enough that crossing traces cover
// each other in quantity order almost everywhere, long enough that a printer
// or a PDF gets a few hundred paths, not one per segment.
constexpr std::size_t kTraceChunkSegments = 32;

QPoint toQ(const kv::PagePoint& pt) { return QPoint(pt.x, pt.y); }

void drawPageLine(QPainter& p, const kv::PageLine& l) { p.drawLine(toQ(l.a), toQ(l.b)); }

// Text is drawn in a y-down copy of the page mapping, so glyphs stand upright;
// a page point (x, y) is (x, -y) there.
void drawPageText(QPainter& p, const kv::PageText& t) {
    p.setFont(reportFont(t.font));
    p.drawText(QRectF(t.at.x, -t.at.y, 100000.0, 1000.0),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine,
               QString::fromStdString(t.text));
}

}  // namespace

QFont reportFont(kv::PageFont which) {
    QFont f = kv::faceFont(QStringLiteral("Arial"));
    f.setWeight(QFont::Thin);
    f.setPixelSize(which == kv::PageFont::Title ? 40 : 15);
    // Metrics must scale with the page, not snap to the pixels of the unit grid.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

void drawReport(QPainter& p, const QRectF& area, double dpiX, double dpiY, const kv::ReportData& data) {
    if (area.isEmpty() || dpiX <= 0 || dpiY <= 0) return;
    const kv::ReportLayout lay = kv::layoutReport(data);
    const kv::PageMapping m = kv::reportMapping(area.x(), area.y(), area.width(), area.height(), dpiX, dpiY);

    p.save();
    // Nothing may land in the paper's margins, whatever a corrupt run maps to.
    p.setClipRect(area, Qt::IntersectClip);
    const QTransform base = p.worldTransform();
    const QTransform pageUp(m.sx, 0, 0, -m.sy, m.ox, m.oy);
    const QTransform pageDown(m.sx, 0, 0, m.sy, m.ox, m.oy);
    p.setWorldTransform(pageUp * base);
    p.setBrush(Qt::NoBrush);

    p.setPen(solidPen(Qt::black, 2.0));
    for (const auto& l : lay.frame) drawPageLine(p, l);

    if (!lay.body) {
        p.restore();
        return;
    }

    // Traces as short polylines, chunk k of every quantity (in quantity
    // order) before chunk k + 1, so that where traces cross a later quantity
    // still covers an earlier one, as drawing them sample by sample would. A
    // PDF takes a path per call, and a pen change and a path per segment made
    // the page several times slower than this; a single trace is one polyline.
    QPolygon polys[kv::kQuantities];
    int shownCount = 0;
    std::size_t n = 0;
    for (int q = 0; q < kv::kQuantities; ++q) {
        const auto& pts = lay.trace[q];
        if (pts.empty()) continue;
        ++shownCount;
        n = pts.size();
        polys[q].reserve(static_cast<int>(n));
        for (const kv::PagePoint& v : pts) polys[q].append(QPoint(v.x, v.y));
    }
    QPen pens[kv::kQuantities];
    for (int q = 0; q < kv::kQuantities; ++q) pens[q] = solidPen(kTracePen[q], 2.0);
    const std::size_t chunk = shownCount == 1 ? n : kTraceChunkSegments;
    for (std::size_t i = 0; i + 1 < n; i += chunk)
        for (int q = 0; q < kv::kQuantities; ++q) {
            if (polys[q].isEmpty()) continue;
            p.setPen(pens[q]);
            p.drawPolyline(polys[q].constData() + i, static_cast<int>(std::min(chunk + 1, n - i)));
        }

    // What went beyond the frame's top or bottom is painted over, across the
    // whole printable area; a little past its edges, so that no stroke
    // crossing an edge leaves a sliver (the clip keeps the paint inside).
    const double areaW = area.width() / m.sx, areaH = area.height() / m.sy, past = 10.0;
    p.fillRect(QRectF(QPointF(-areaW - past, kv::kFrameTop),
                      QPointF(past, std::max(areaH, double(kv::kFrameTop)) + past)),
               Qt::white);
    p.fillRect(QRectF(QPointF(-areaW - past, -past), QPointF(past, kv::kFrameBottom)), Qt::white);

    p.setWorldTransform(pageDown * base);
    p.setPen(Qt::black);
    p.setBackgroundMode(Qt::TransparentMode);
    drawPageText(p, lay.title);
    for (const auto& t : lay.names) drawPageText(p, t);
    for (const auto& t : lay.yLabels) drawPageText(p, t);
    for (const auto& t : lay.timeLabels) drawPageText(p, t);

    p.setWorldTransform(pageUp * base);
    QPen grid(QColor(127, 127, 127), 1.0, Qt::DotLine, Qt::FlatCap);
    grid.setCosmetic(false);
    p.setPen(grid);
    for (const auto& l : lay.grid) drawPageLine(p, l);

    p.setWorldTransform(pageDown * base);
    p.setPen(Qt::black);
    drawPageText(p, lay.date);
    p.restore();
}
