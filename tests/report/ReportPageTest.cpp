// The report page drawn into an image: probes of the pixels its geometry
// fixes (1 page unit = 1 pixel at 100 dpi), and the page printed to PDF.
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "core/graph/ReportLayout.h"
#include "gui/report/ReportPage.h"

namespace {

constexpr std::time_t kEight = 1710489600;   // 2024-03-15 08:00:00 UTC
constexpr bool kAll[kv::kQuantities] = {true, true, true, true, true};
const QRgb kPen[kv::kQuantities] = {qRgb(55, 0, 0), qRgb(55, 55, 0), qRgb(0, 55, 55), qRgb(50, 25, 50),
                                    qRgb(0, 55, 0)};

struct LoggedPage {
    std::unique_ptr<kv::LoggedRun> r = std::make_unique<kv::LoggedRun>();
    // n samples; quantity q reads f(i, q).
    LoggedPage(int n, const std::function<float(int, int)>& f) {
        r->count = n;
        r->interval = 10;
        for (int i = 0; i < n; ++i)
            for (int q = 0; q < kv::kQuantities; ++q) r->samples[i * kv::kQuantities + q] = f(i, q);
    }
    kv::ReportData data(const bool shown[kv::kQuantities] = kAll) const {
        return kv::loggerReportData(*r, 10, 0, kEight, shown, kEight);
    }
};

struct Page {
    QImage img;
    QRectF area;
    kv::PageMapping m;
    // Device pixel of a page point.
    QPoint dev(double x, double y) const {
        return QPoint(static_cast<int>(m.ox + m.sx * x), static_cast<int>(m.oy - m.sy * y));
    }
    // Device rectangle of a page rectangle given by two corners.
    QRect devRect(double x1, double y1, double x2, double y2) const {
        return QRect(dev(x1, y1), dev(x2, y2)).normalized().intersected(img.rect());
    }
};

Page render(const kv::ReportData& d, QSize size = {850, 1200}, QRectF area = {0, 0, 850, 1200},
            double dpi = 100) {
    Page pg;
    pg.img = QImage(size, QImage::Format_RGB32);
    pg.img.fill(Qt::white);
    pg.area = area;
    pg.m = kv::reportMapping(area.x(), area.y(), area.width(), area.height(), dpi, dpi);
    QPainter p(&pg.img);
    drawReport(p, area, dpi, dpi, d);
    return pg;
}

int count(const QImage& img, const QRect& r, const std::function<bool(QRgb)>& pred) {
    int c = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.rect().contains(x, y) && pred(img.pixel(x, y))) ++c;
    return c;
}
int countColour(const QImage& img, const QRect& r, QRgb c) {
    return count(img, r, [c](QRgb p) { return (p & 0xFFFFFF) == (c & 0xFFFFFF); });
}
bool isDark(QRgb p) { return qRed(p) < 100 && qGreen(p) < 100 && qBlue(p) < 100; }
bool isInk(QRgb p) { return (p & 0xFFFFFF) != 0xFFFFFF; }
QRect around(const QPoint& p, int r = 2) { return QRect(p.x() - r, p.y() - r, 2 * r + 1, 2 * r + 1); }

}  // namespace

TEST(ReportPage, FrameTitleAndLabelsOfOneSampleWithoutTrace) {
    const Page pg = render(LoggedPage(1, [](int, int) { return 50.0f; }).data());
    for (auto [x, y] : {std::pair{-750, 200}, {-10, 200}, {-750, 1000}, {-10, 1000}})
        EXPECT_GT(count(pg.img, around(pg.dev(x, y)), [](QRgb p) { return qGray(p) == 0; }), 0)
            << "frame corner " << x << "," << y;
    // The frame's sides, half way up and across.
    EXPECT_GT(count(pg.img, around(pg.dev(-750, 600)), [](QRgb p) { return qGray(p) == 0; }), 0);
    EXPECT_GT(count(pg.img, around(pg.dev(-380, 1000)), [](QRgb p) { return qGray(p) == 0; }), 0);
    // No segment for a single sample.
    for (int q = 0; q < kv::kQuantities; ++q) EXPECT_EQ(countColour(pg.img, pg.img.rect(), kPen[q]), 0) << q;
    // Title, the Y labels' column, the time labels' row and the date carry ink.
    EXPECT_GT(count(pg.img, pg.devRect(-620, 1120, -400, 1080), isDark), 50);
    EXPECT_GT(count(pg.img, pg.devRect(-800, 210, -760, 195), isDark), 10);     // "0.0"
    EXPECT_GT(count(pg.img, pg.devRect(-800, 1010, -752, 995), isDark), 10);    // "100.0"
    EXPECT_GT(count(pg.img, pg.devRect(-750, 195, -690, 180), isDark), 10);     // first time
    EXPECT_GT(count(pg.img, pg.devRect(-200, 100, -60, 85), isDark), 10);      // date
    // Grid: dotted grey inside the frame.
    EXPECT_GT(countColour(pg.img, pg.devRect(-740, 362, -20, 358), qRgb(127, 127, 127)), 50);
}

TEST(ReportPage, TraceIsDrawnInsideTheFrameAndPaintedOverBeyondIt) {
    // AIR climbs from 50 to 150 and falls to -40: it leaves the frame at both ends.
    auto ramp = [](int i, int q) {
        if (q != kv::AIR) return 50.0f;
        return i <= 10 ? 50.0f + 10.0f * i : 150.0f - 19.0f * (i - 10);
    };
    const bool airOnly[kv::kQuantities] = {true, false, false, false, false};
    const Page pg = render(LoggedPage(21, ramp).data(airOnly));
    const QRgb air = kPen[kv::AIR];
    EXPECT_GT(countColour(pg.img, pg.devRect(-749, 999, -11, 201), air), 100);
    EXPECT_EQ(countColour(pg.img, pg.devRect(-850, 1200, 0, 1001), air), 0) << "above the frame";
    EXPECT_EQ(countColour(pg.img, pg.devRect(-850, 199, 0, 0), air), 0) << "below the frame";

    // A reading of 50 lies half way up: page y 600.
    const Page mid = render(LoggedPage(3, [](int, int) { return 50.0f; }).data(airOnly));
    EXPECT_GT(countColour(mid.img, around(mid.dev(-380, 600), 1), air), 0);
    EXPECT_EQ(countColour(mid.img, around(mid.dev(-380, 620), 1), air), 0);
}

// Which traces and names appear, and at what height, for the unit flag.
struct ShownRow {
    const char* name;
    bool shown[kv::kQuantities];
    uint8_t unitFlag;
    float value[kv::kQuantities];
    int pageY[kv::kQuantities];   // expected height of each shown trace
};
class ReportPageShown : public ::testing::TestWithParam<ShownRow> {};

TEST_P(ReportPageShown, TracesAndNames) {
    const ShownRow& row = GetParam();
    LoggedPage run(5, [&row](int, int q) { return row.value[q]; });
    run.r->unitFlag = row.unitFlag;
    const Page pg = render(run.data(row.shown));
    for (int q = 0; q < kv::kQuantities; ++q) {
        SCOPED_TRACE(kv::kQuantityNames[q]);
        const int traced = countColour(pg.img, pg.img.rect(), kPen[q]);
        const int named = count(pg.img, pg.devRect(-600 + 100 * q, 1025, -560 + 100 * q, 1010), isDark);
        if (!row.shown[q]) {
            EXPECT_EQ(traced, 0);
            EXPECT_EQ(named, 0);
            continue;
        }
        EXPECT_GT(traced, 100);
        EXPECT_GT(named, 5);
        EXPECT_GT(countColour(pg.img, around(pg.dev(-500, row.pageY[q]), 1), kPen[q]), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReportPageShown,
    ::testing::Values(
        ShownRow{"OnlyRh", {false, false, false, false, true}, 0, {10, 30, 50, 70, 90}, {0, 0, 0, 0, 920}},
        ShownRow{"All", {true, true, true, true, true}, 0, {10, 30, 50, 70, 90}, {280, 440, 600, 760, 920}},
        // 0 C prints at 32 on the label scale; RH 50 stays at 50.
        ShownRow{"Fahrenheit", {true, false, false, true, true}, 1, {0, 0, 0, 20, 50}, {456, 0, 0, 744, 600}},
        ShownRow{"Celsius", {true, false, false, true, true}, 0, {5, 0, 0, 20, 50}, {240, 0, 0, 360, 600}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReportPage, ShrinksIntoASmallAreaWithoutCuttingAnything) {
    // Letter at 72 dpi is 8.5 x 11 inch: too short for the 11.2 inch page.
    // The area sits inside a larger image, so anything cut would show outside.
    const QRectF area(40, 30, 612, 792);
    LoggedPage run(50, [](int i, int q) { return q == kv::KIR && i % 7 == 0 ? kv::kNoKir : 20.0f + q * 15 + i; });
    const Page pg = render(run.data(), QSize(700, 860), area, 72);
    EXPECT_NEAR(pg.m.scale, 11.0 / 11.2, 1e-9);
    const QRect inside = area.toAlignedRect();
    int outside = 0;
    for (int y = 0; y < pg.img.height(); ++y)
        for (int x = 0; x < pg.img.width(); ++x)
            if (!inside.contains(x, y) && isInk(pg.img.pixel(x, y))) ++outside;
    EXPECT_EQ(outside, 0) << "ink outside the printable area";
    // The frame's corners at their shrunk places, the Y labels and the title inside the area.
    for (auto [x, y] : {std::pair{-750, 200}, {-10, 1000}})
        EXPECT_GT(count(pg.img, around(pg.dev(x, y)), isDark), 0) << x << "," << y;
    EXPECT_GT(count(pg.img, pg.devRect(-800, 1010, -752, 995), isDark), 5);     // "100.0"
    EXPECT_GT(count(pg.img, pg.devRect(-620, 1120, -400, 1080), isDark), 20);
}

TEST(ReportPage, LargerAreaGetsThePageAtItsSizeAndPainterStateIsKept) {
    const QRectF area(0, 0, 1100, 1500);
    QImage img(1100, 1500, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    const QPen pen(Qt::blue, 3);
    p.setPen(pen);
    p.translate(5, 7);
    const QTransform before = p.worldTransform();
    LoggedPage run(4, [](int, int) { return 50.0f; });
    drawReport(p, area.translated(-5, -7), 100, 100, run.data());
    EXPECT_EQ(p.worldTransform(), before);
    EXPECT_EQ(p.pen(), pen);
    EXPECT_FALSE(p.hasClipping());
    p.end();
    // Origin at the area's bottom-right corner (1100, 1500), 1 unit = 1 pixel.
    EXPECT_EQ(img.pixel(1100 - 750, 1500 - 201), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(1100 - 11, 1500 - 999), qRgb(0, 0, 0));
    EXPECT_GT(countColour(img, QRect(1100 - 700, 1500 - 601, 600, 3), kPen[kv::RH]), 100);
}

namespace {

// Today's page drawn as it was before its traces became chunked polylines:
// every segment on its own, all quantities in turn at each sample. The oracle
// of the comparison below, kept here only.
QImage segmentBySegmentPage(const kv::ReportData& d, const QRectF& area, double dpi) {
    QImage img(area.size().toSize(), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    const kv::ReportLayout lay = kv::layoutReport(d);
    const kv::PageMapping m = kv::reportMapping(0, 0, area.width(), area.height(), dpi, dpi);
    const QTransform up(m.sx, 0, 0, -m.sy, m.ox, m.oy), down(m.sx, 0, 0, m.sy, m.ox, m.oy);
    auto pen = [](QColor c, double w, Qt::PenStyle s = Qt::SolidLine, Qt::PenCapStyle cap = Qt::RoundCap) {
        return QPen(c, w, s, cap, Qt::RoundJoin);
    };
    auto line = [&p](const kv::PageLine& l) { p.drawLine(l.a.x, l.a.y, l.b.x, l.b.y); };
    auto text = [&p](const kv::PageText& t) {
        p.setFont(reportFont(t.font));
        p.drawText(QRectF(t.at.x, -t.at.y, 100000.0, 1000.0),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine,
                   QString::fromStdString(t.text));
    };
    p.setClipRect(area);
    p.setWorldTransform(up);
    p.setPen(pen(Qt::black, 2));
    for (const auto& l : lay.frame) line(l);
    for (std::size_t i = 0; i + 1 < lay.trace[0].size(); ++i)
        for (int q = 0; q < kv::kQuantities; ++q) {
            p.setPen(pen(QColor(kPen[q]), 2));
            line({lay.trace[q][i], lay.trace[q][i + 1]});
        }
    const double w = area.width() / m.sx, h = area.height() / m.sy;
    p.fillRect(QRectF(QPointF(-w - 10, kv::kFrameTop), QPointF(10, h + 10)), Qt::white);
    p.fillRect(QRectF(QPointF(-w - 10, -10), QPointF(10, kv::kFrameBottom)), Qt::white);
    p.setWorldTransform(down);
    p.setPen(Qt::black);
    text(lay.title);
    for (const auto& group : {lay.names, std::vector(lay.yLabels.begin(), lay.yLabels.end()),
                              std::vector(lay.timeLabels.begin(), lay.timeLabels.end())})
        for (const auto& t : group) text(t);
    p.setWorldTransform(up);
    p.setPen(pen(QColor(127, 127, 127), 1, Qt::DotLine, Qt::FlatCap));
    for (const auto& l : lay.grid) line(l);
    p.setWorldTransform(down);
    p.setPen(Qt::black);
    text(lay.date);
    return img;
}

}  // namespace

TEST(ReportPage, ChunkedTracesLookLikeSegmentBySegmentOnes) {
    // A 10000-sample run whose five slow waves cross each other, read to a
    // tenth as the meter gives them, with a flicker of a few tenths.
    LoggedPage run(10000, [](int i, int q) {
        const float mid[] = {22, 17, 13, 30, 55}, amp[] = {6, 5, 4, 20, 15}, period[] = {700, 650, 800, 450, 1100};
        const float wave = mid[q] + amp[q] * std::sin(static_cast<float>(i) / period[q] + static_cast<float>(q));
        const float flicker = 0.3f * std::sin(static_cast<float>(i) * 12.9898f + static_cast<float>(q) * 78.233f);
        return std::round(10.0f * (wave + flicker)) / 10.0f;
    });
    const double dpi = 300;
    const QRectF area(0, 0, 8.0 * dpi, 11.2 * dpi);
    const QImage oracle = segmentBySegmentPage(run.data(), area, dpi);
    const Page page = render(run.data(), area.size().toSize(), area, dpi);
    long ink = 0, differ = 0;
    for (int y = 0; y < oracle.height(); ++y)
        for (int x = 0; x < oracle.width(); ++x) {
            const QRgb a = oracle.pixel(x, y), b = page.img.pixel(x, y);
            if (isInk(a) || isInk(b)) ++ink;
            if (a != b) ++differ;
        }
    EXPECT_GT(countColour(oracle, oracle.rect(), kPen[kv::AIR]), 20000) << "the oracle drew no traces";
    EXPECT_LE(differ, ink / 100) << differ << " of " << ink << " inked pixels differ";
}

