#pragma once
// Where a graph draws its plot (background, grid, traces): the same calls go
// either straight into a 32-bit pixel buffer through the core's rasteriser
// (the screen and a PNG export, pixel for pixel) or through a QPainter as
// vector lines (an SVG export). Coordinates are whole pixels relative to the
// surface's rectangle, and everything is clipped to it.
#include <QImage>
#include <QPolygonF>
#include <QRect>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/graph/Raster.h"

class QPainter;
class QPixmap;
class QRegion;

// An off-screen picture of a widget of logical size `size` on a screen of
// `ratio` device pixels per logical pixel: sized in device pixels (as the
// rasteriser rounds them), painted in logical ones, so it is as sharp as the
// widgets Qt draws itself.
QImage deviceImage(const QSize& size, qreal ratio);
// Whether `img` is deviceImage(size, ratio) in size and ratio.
bool isDeviceImage(const QImage& img, const QSize& size, qreal ratio);
// The device pixels of logical rectangle `r` at `ratio`: its edges where the
// rasteriser puts them (kv::Canvas::dev).
QRect deviceRect(const QRect& r, qreal ratio);
// Copies logical rectangle `r` of a picture whose top-left corner lies at
// logical `origin` onto the painter's device of the picture's ratio, device
// pixel for device pixel: source and target both take deviceRect's edges, so
// copies of neighbouring rectangles meet without a gap or a scaled seam.
void copyDevicePixels(QPainter& p, const QRect& r, const QImage& img, QPoint origin = {});
void copyDevicePixels(QPainter& p, const QRect& r, const QPixmap& pic, QPoint origin = {});
// Copies the parts of `img`, a widget's deviceImage, that lie in `region`
// onto the widget through `p`, one rectangle at a time.
void copyToWidget(QPainter& p, const QImage& img, const QRegion& region);

// The pixels of a 32-bit image as the rasteriser addresses them, at the
// image's device pixel ratio; and those of `rect` (logical) in it.
kv::Canvas canvasOf(QImage& img);
kv::Canvas canvasOf(QImage& img, const QRect& rect);

class PlotSurface {
public:
    virtual ~PlotSurface() = default;
    virtual void fill(int x, int y, int w, int h, uint32_t colour) = 0;
    // The rasteriser's lines: a segment covers its start and stops one pixel
    // short of its end; dotted lines go three on, three off from the start.
    virtual void segment(int x0, int y0, int x1, int y1, uint32_t colour) = 0;
    virtual void polyline(const int* xs, const int* ys, int count, uint32_t colour) = 0;
    virtual void dottedVLine(int x, int yFrom, int yTo, uint32_t colour) = 0;
    virtual void dottedHLine(int y, int xFrom, int xTo, uint32_t colour) = 0;
    // The end of a run of segments: a vector surface draws the lines it has
    // joined so far.
    virtual void flush() {}
};

// The screen's surface: the pixels of `rect` (in the image's logical pixels)
// in `img` (which must hold it) through the core's rasteriser. At one device
// pixel a logical one its lines are the rasteriser's as they are; on a denser
// image they are one device thickness wide (kv::scaled...). The choice is
// made once, here, so a plot's tens of thousands of segments pay nothing for
// it.
std::unique_ptr<PlotSurface> rasterSurface(QImage& img, const QRect& rect);

// rasterSurface() for a plot drawn in one scope.
class RasterSurface {
public:
    RasterSurface(QImage& img, const QRect& rect) : s_(rasterSurface(img, rect)) {}
    PlotSurface& operator*() { return *s_; }

private:
    std::unique_ptr<PlotSurface> s_;
};

// The vector surface: lines through the centres of the pixels the rasteriser
// would set, in the painter's coordinates offset by `rect`'s corner. Segments
// that continue one another in one colour become one polyline.
class VectorSurface final : public PlotSurface {
public:
    VectorSurface(QPainter& p, const QRect& rect);
    ~VectorSurface() override;
    void fill(int x, int y, int w, int h, uint32_t colour) override;
    void segment(int x0, int y0, int x1, int y1, uint32_t colour) override;
    void polyline(const int* xs, const int* ys, int count, uint32_t colour) override;
    void dottedVLine(int x, int yFrom, int yTo, uint32_t colour) override;
    void dottedHLine(int y, int xFrom, int xTo, uint32_t colour) override;
    void flush() override;

private:
    struct Line {
        uint32_t colour;
        QPolygonF points;
    };
    void draw(const Line& line);
    void dashes(bool vertical, int at, int from, int to, uint32_t colour);

    QPainter& p_;
    QRect rect_;
    std::vector<Line> open_;   // one per colour, in the order they began
};
