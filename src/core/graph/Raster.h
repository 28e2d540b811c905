#pragma once
// A small rasteriser for the graph's 1-pixel lines on a 32-bit pixel buffer.
// Tens of thousands of segments a few pixels long cost more in a general
// painter's per-call overhead than in their pixels, so the plot draws them
// here. Lines follow the classic rule of the line-to operation: a segment
// covers its start point and stops one pixel short of its end point, so a
// polyline sets each joint once. Everything is clipped to the buffer.
//
// A buffer for a high-density screen has `ratio` device pixels to a logical
// pixel. The functions below take positions in the buffer's own pixels; the
// scaled... ones take logical positions: logical x lies at device pixel
// dev(x), and a 1-pixel line is lineWidth() device pixels thick everywhere,
// so a line or a dot keeps one thickness and length however the ratio
// divides (at 1.5 a scaled-up picture would alternate 1 and 2 pixels). At
// ratio 1 each draws exactly what its plain counterpart draws.
#include <cstdint>

namespace kv {

struct Canvas {
    uint32_t* bits = nullptr;
    int stride = 0;    // pixels per row
    int width = 0, height = 0;   // in device pixels
    double ratio = 1.0;          // device pixels per logical pixel
    uint32_t* row(int y) const { return bits + static_cast<long>(y) * stride; }
    bool scaled() const { return ratio != 1.0; }
    // The device pixel where logical position v begins.
    long dev(long v) const;
    // Device pixels across a 1-pixel line.
    int lineWidth() const;
};

void fillRect(const Canvas& c, int x, int y, int w, int h, uint32_t color);

// One segment from (x0, y0) toward (x1, y1), end point excluded.
void drawSegment(const Canvas& c, int x0, int y0, int x1, int y1, uint32_t color);
// Segments from vertex i - 1 to vertex i for i = 1 .. count - 1, in that order.
void drawPolyline(const Canvas& c, const int* xs, const int* ys, int count, uint32_t color);

// Dotted lines: three pixels on, three off, counted from the start point.
inline constexpr int kDotOn = 3, kDotPeriod = 6;
// Vertical from yFrom toward yTo, horizontal from xFrom toward xTo; end excluded.
void dottedVLine(const Canvas& c, int x, int yFrom, int yTo, uint32_t color);
void dottedHLine(const Canvas& c, int y, int xFrom, int xTo, uint32_t color);
// A 1-pixel frame just inside a rectangle (right and bottom exclusive) that
// inverts every other pixel, like a halftone drag rectangle; drawing it twice
// restores the pixels. An empty rectangle draws nothing.
void invertDragFrame(const Canvas& c, int left, int top, int right, int bottom);

// The same in logical positions at the canvas's ratio.
void scaledFillRect(const Canvas& c, int x, int y, int w, int h, uint32_t color);
void scaledSegment(const Canvas& c, int x0, int y0, int x1, int y1, uint32_t color);
void scaledPolyline(const Canvas& c, const int* xs, const int* ys, int count, uint32_t color);
void scaledDottedVLine(const Canvas& c, int x, int yFrom, int yTo, uint32_t color);
void scaledDottedHLine(const Canvas& c, int y, int xFrom, int xTo, uint32_t color);
// The dotted vertical line inverting the pixels it covers: drawing it twice
// restores them.
void scaledInvertDottedVLine(const Canvas& c, int x, int yFrom, int yTo);
void scaledInvertDragFrame(const Canvas& c, int left, int top, int right, int bottom);
// A vertical line of `on` logical pixels out of every `period`, counted from
// yFrom toward yTo (end excluded), whose pixels are xor-ed with `mask`:
// drawing it twice restores them.
void xorDottedVLine(const Canvas& c, int x, int yFrom, int yTo, uint32_t mask, int on, int period);

// Cuts the segment (x0, y0)-(x1, y1) to the rectangle [left, right] x [top,
// bottom], edges included (Liang-Barsky). False when no part of it lies
// inside. The vector drawing of a plot clips with it: an SVG file gets no clip
// region from the painter, and a trace leaving a zoomed plot must not run
// over the labels.
bool clipSegment(double& x0, double& y0, double& x1, double& y1, double left, double top, double right,
                 double bottom);

}  // namespace kv
