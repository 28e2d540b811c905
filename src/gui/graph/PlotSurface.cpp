#include "gui/graph/PlotSurface.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRegion>
#include <algorithm>
#include <type_traits>

QImage deviceImage(const QSize& size, qreal ratio) {
    const kv::Canvas scale{nullptr, 0, 0, 0, ratio};
    QImage img(static_cast<int>(scale.dev(size.width())), static_cast<int>(scale.dev(size.height())),
               QImage::Format_RGB32);
    img.setDevicePixelRatio(ratio);
    return img;
}

bool isDeviceImage(const QImage& img, const QSize& size, qreal ratio) {
    const kv::Canvas scale{nullptr, 0, 0, 0, ratio};
    return !img.isNull() && img.devicePixelRatio() == ratio &&
           img.size() == QSize(static_cast<int>(scale.dev(size.width())), static_cast<int>(scale.dev(size.height())));
}

QRect deviceRect(const QRect& r, qreal ratio) {
    const kv::Canvas scale{nullptr, 0, 0, 0, ratio};
    return QRect(QPoint(static_cast<int>(scale.dev(r.left())), static_cast<int>(scale.dev(r.top()))),
                 QPoint(static_cast<int>(scale.dev(r.left() + r.width())) - 1,
                        static_cast<int>(scale.dev(r.top() + r.height())) - 1));
}

namespace {

// The picture's device pixels for `r` as they lie on the target: the same
// count on both sides, so the painter copies them without scaling.
template <class Picture>
void copyDevice(QPainter& p, const QRect& r, const Picture& pic, QPoint origin) {
    const qreal ratio = pic.devicePixelRatio();
    const kv::Canvas scale{nullptr, 0, 0, 0, ratio};
    const QRect target = deviceRect(r, ratio);
    const QRect src =
        target.translated(-static_cast<int>(scale.dev(origin.x())), -static_cast<int>(scale.dev(origin.y())));
    if constexpr (std::is_same_v<Picture, QImage>)
        p.drawImage(QPointF(target.topLeft()) / ratio, pic, QRectF(src));
    else
        p.drawPixmap(QPointF(target.topLeft()) / ratio, pic, QRectF(src));
}

}  // namespace

void copyDevicePixels(QPainter& p, const QRect& r, const QImage& img, QPoint origin) { copyDevice(p, r, img, origin); }

void copyDevicePixels(QPainter& p, const QRect& r, const QPixmap& pic, QPoint origin) { copyDevice(p, r, pic, origin); }

void copyToWidget(QPainter& p, const QImage& img, const QRegion& region) {
    for (const QRect& r : region) {
        // A rectangular clip lets the painter copy the pixels as a block.
        p.setClipRect(r);
        copyDevicePixels(p, r, img);
    }
}

kv::Canvas canvasOf(QImage& img) {
    return kv::Canvas{reinterpret_cast<uint32_t*>(img.bits()), static_cast<int>(img.bytesPerLine() / 4), img.width(),
                      img.height(), img.devicePixelRatio()};
}

// Raster: the core's rasteriser on the rectangle's part of the image.

kv::Canvas canvasOf(QImage& img, const QRect& rect) {
    if (rect.isEmpty()) return {};   // nothing to draw on
    const kv::Canvas whole = canvasOf(img);
    const QRect dev = QRect(QPoint(static_cast<int>(whole.dev(rect.left())), static_cast<int>(whole.dev(rect.top()))),
                            QPoint(static_cast<int>(whole.dev(rect.left() + rect.width())) - 1,
                                   static_cast<int>(whole.dev(rect.top() + rect.height())) - 1)) &
                      img.rect();
    Q_ASSERT(whole.scaled() || dev.size() == rect.size());
    if (dev.isEmpty()) return {};
    return kv::Canvas{whole.row(dev.top()) + dev.left(), whole.stride, dev.width(), dev.height(), whole.ratio};
}

namespace {

template <bool Dense>
class Lines final : public PlotSurface {
public:
    explicit Lines(const kv::Canvas& c) : c_(c) {}

    void fill(int x, int y, int w, int h, uint32_t colour) override {
        if constexpr (Dense) kv::scaledFillRect(c_, x, y, w, h, colour);
        else kv::fillRect(c_, x, y, w, h, colour);
    }
    void segment(int x0, int y0, int x1, int y1, uint32_t colour) override {
        if constexpr (Dense) kv::scaledSegment(c_, x0, y0, x1, y1, colour);
        else kv::drawSegment(c_, x0, y0, x1, y1, colour);
    }
    void polyline(const int* xs, const int* ys, int count, uint32_t colour) override {
        if constexpr (Dense) kv::scaledPolyline(c_, xs, ys, count, colour);
        else kv::drawPolyline(c_, xs, ys, count, colour);
    }
    void dottedVLine(int x, int yFrom, int yTo, uint32_t colour) override {
        if constexpr (Dense) kv::scaledDottedVLine(c_, x, yFrom, yTo, colour);
        else kv::dottedVLine(c_, x, yFrom, yTo, colour);
    }
    void dottedHLine(int y, int xFrom, int xTo, uint32_t colour) override {
        if constexpr (Dense) kv::scaledDottedHLine(c_, y, xFrom, xTo, colour);
        else kv::dottedHLine(c_, y, xFrom, xTo, colour);
    }

private:
    kv::Canvas c_;
};

}  // namespace

std::unique_ptr<PlotSurface> rasterSurface(QImage& img, const QRect& rect) {
    const kv::Canvas c = canvasOf(img, rect);
    if (c.scaled()) return std::make_unique<Lines<true>>(c);
    return std::make_unique<Lines<false>>(c);
}

// Vector: pixel (x, y) is the square from (x, y) to (x + 1, y + 1), so a
// 1-pixel line runs through x + 0.5, y + 0.5.

namespace {

QPen linePen(uint32_t colour, Qt::PenCapStyle cap) {
    return QPen(QColor::fromRgb(colour), 1.0, Qt::SolidLine, cap, Qt::RoundJoin);
}

}  // namespace

VectorSurface::VectorSurface(QPainter& p, const QRect& rect) : p_(p), rect_(rect) {}

VectorSurface::~VectorSurface() { flush(); }

void VectorSurface::fill(int x, int y, int w, int h, uint32_t colour) {
    flush();
    const QRect r = QRect(rect_.left() + x, rect_.top() + y, w, h).intersected(rect_);
    if (!r.isEmpty()) p_.fillRect(r, QColor::fromRgb(colour));
}

void VectorSurface::segment(int x0, int y0, int x1, int y1, uint32_t colour) {
    if (x0 == x1 && y0 == y1) return;   // the rasteriser sets nothing either
    double ax = x0, ay = y0, bx = x1, by = y1;
    if (!kv::clipSegment(ax, ay, bx, by, 0.0, 0.0, rect_.width() - 1.0, rect_.height() - 1.0)) return;
    const QPointF off = QPointF(rect_.topLeft()) + QPointF(0.5, 0.5);
    const QPointF a = off + QPointF(ax, ay), b = off + QPointF(bx, by);
    const auto open = std::find_if(open_.begin(), open_.end(), [&](const Line& l) { return l.colour == colour; });
    if (open == open_.end()) {
        open_.push_back(Line{colour, QPolygonF{a, b}});
    } else if (open->points.constLast() == a) {
        if (b != a) open->points.append(b);
    } else {
        // The line broke off (a trace left the plot or skipped a part, or the
        // next grid line began): what was drawn so far is finished, in the
        // order it was drawn in.
        flush();
        open_.push_back(Line{colour, QPolygonF{a, b}});
    }
}

void VectorSurface::polyline(const int* xs, const int* ys, int count, uint32_t colour) {
    for (int i = 1; i < count; ++i) segment(xs[i - 1], ys[i - 1], xs[i], ys[i], colour);
    flush();
}

void VectorSurface::dottedVLine(int x, int yFrom, int yTo, uint32_t colour) { dashes(true, x, yFrom, yTo, colour); }

void VectorSurface::dottedHLine(int y, int xFrom, int xTo, uint32_t colour) { dashes(false, y, xFrom, xTo, colour); }

void VectorSurface::flush() {
    for (const Line& l : open_) draw(l);
    open_.clear();
}

void VectorSurface::draw(const Line& line) {
    if (line.points.size() < 2) return;
    p_.save();
    p_.setPen(linePen(line.colour, Qt::RoundCap));
    p_.setBrush(Qt::NoBrush);
    p_.drawPolyline(line.points);
    p_.restore();
}

// The rasteriser's dots as one path of short strokes, each covering exactly
// the pixels of one dash.
void VectorSurface::dashes(bool vertical, int at, int from, int to, uint32_t colour) {
    flush();
    const int across = vertical ? rect_.width() : rect_.height();
    const int along = vertical ? rect_.height() : rect_.width();
    if (at < 0 || at >= across || from == to) return;
    const long dir = to > from ? 1 : -1;
    const long length = dir * (static_cast<long>(to) - from);
    QPainterPath path;
    for (long k = 0; k < length; k += kv::kDotPeriod) {
        const long first = from + dir * k;
        const long last = from + dir * (std::min(k + kv::kDotOn, length) - 1);
        const long lo = std::max(std::min(first, last), 0L);
        const long hi = std::min(std::max(first, last), static_cast<long>(along) - 1);
        if (lo > hi) continue;
        const double c = at + 0.5;
        if (vertical) {
            path.moveTo(rect_.left() + c, rect_.top() + lo);
            path.lineTo(rect_.left() + c, rect_.top() + hi + 1);
        } else {
            path.moveTo(rect_.left() + lo, rect_.top() + c);
            path.lineTo(rect_.left() + hi + 1, rect_.top() + c);
        }
    }
    if (path.isEmpty()) return;
    p_.save();
    p_.setPen(linePen(colour, Qt::FlatCap));
    p_.setBrush(Qt::NoBrush);
    p_.drawPath(path);
    p_.restore();
}
