#include "core/graph/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kv {

namespace {

constexpr uint32_t kInvert = 0x00FFFFFFu;   // colour bits; alpha stays opaque
// Device positions are kept where the line arithmetic cannot overflow (twice
// the logical limit of pixelTrunc).
constexpr long kDeviceLimit = 1L << 29;

inline bool dotOn(long step) { return step % kDotPeriod < kDotOn; }

void fillDevice(const Canvas& c, long x0, long y0, long x1, long y1, uint32_t color) {
    x0 = std::max(x0, 0L);
    y0 = std::max(y0, 0L);
    x1 = std::min(x1, static_cast<long>(c.width));
    y1 = std::min(y1, static_cast<long>(c.height));
    if (x0 >= x1 || y0 >= y1) return;
    for (long yy = y0; yy < y1; ++yy) std::fill(c.row(static_cast<int>(yy)) + x0, c.row(static_cast<int>(yy)) + x1, color);
}

// Dots along a line lineWidth() device pixels thick at logical position `at`
// across it, from `from` toward `to` along it (end excluded): `on` logical
// pixels of every `period` get op(pixel), counted from `from`. The pattern is
// scaled by the line width, so every dot has the same length.
template <class Op>
void dots(const Canvas& c, bool vertical, int at, int from, int to, int on, int period, Op op) {
    const long t = c.lineWidth();
    const long a = c.dev(at), f = c.dev(from), e = c.dev(to);
    const long across = vertical ? c.width : c.height, along = vertical ? c.height : c.width;
    const long lo = std::max(a, 0L), hi = std::min(a + t, across);
    if (lo >= hi || f == e || period <= 0) return;
    const long dir = e > f ? 1 : -1;
    const long steps = dir * (e - f);
    // Only the steps that land inside the buffer are walked.
    const long k0 = std::max(0L, dir > 0 ? -f : f - (along - 1));
    const long k1 = std::min(steps, dir > 0 ? along - f : f + 1);
    const long onD = on * t, periodD = period * t;
    long phase = k0 % periodD;
    for (long k = k0; k < k1; ++k) {
        if (phase < onD) {
            const long p = f + dir * k;
            for (long q = lo; q < hi; ++q) op(vertical ? c.row(static_cast<int>(p))[q] : c.row(static_cast<int>(q))[p]);
        }
        if (++phase == periodD) phase = 0;
    }
}

}  // namespace

long Canvas::dev(long v) const {
    if (ratio == 1.0) return v;
    const double d = std::floor(static_cast<double>(v) * ratio + 0.5);
    return static_cast<long>(std::clamp(d, static_cast<double>(-kDeviceLimit), static_cast<double>(kDeviceLimit)));
}

int Canvas::lineWidth() const { return ratio <= 1.0 ? 1 : std::max(1, static_cast<int>(std::lround(ratio))); }

void fillRect(const Canvas& c, int x, int y, int w, int h, uint32_t color) {
    const int x0 = std::max(x, 0), x1 = std::min(x + w, c.width);
    const int y0 = std::max(y, 0), y1 = std::min(y + h, c.height);
    if (x0 >= x1 || y0 >= y1) return;
    for (int yy = y0; yy < y1; ++yy) std::fill(c.row(yy) + x0, c.row(yy) + x1, color);
}

void drawSegment(const Canvas& c, int x0, int y0, int x1, int y1, uint32_t color) {
    // 64-bit on every platform (long is 32 bits on Windows): a segment from the
    // clamp of pixelTrunc or Canvas::dev makes 2 * tlo * minor far exceed 2^31.
    using I = long long;
    const I dx = static_cast<I>(x1) - x0, dy = static_cast<I>(y1) - y0;
    if (dx == 0 && dy == 0) return;
    const I w = c.width, h = c.height;

    if (dx == 0) {
        if (x0 < 0 || x0 >= w) return;
        I a = dy > 0 ? y0 : static_cast<I>(y1) + 1;   // covered rows a..b
        I b = dy > 0 ? static_cast<I>(y1) - 1 : y0;
        a = std::max<I>(a, 0);
        b = std::min(b, h - 1);
        uint32_t* p = c.bits + a * c.stride + x0;
        for (I y = a; y <= b; ++y, p += c.stride) *p = color;
        return;
    }
    if (dy == 0) {
        if (y0 < 0 || y0 >= h) return;
        I a = dx > 0 ? x0 : static_cast<I>(x1) + 1;
        I b = dx > 0 ? static_cast<I>(x1) - 1 : x0;
        a = std::max<I>(a, 0);
        b = std::min(b, w - 1);
        if (a <= b) std::fill(c.row(y0) + a, c.row(y0) + b + 1, color);
        return;
    }

    const I adx = std::llabs(dx), ady = std::llabs(dy);
    const int sx = dx > 0 ? 1 : -1, sy = dy > 0 ? 1 : -1;
    // Step t along the major axis covers t = 0 .. major - 1; the minor offset
    // is t * minor / major rounded half up. Clip t on the major axis first so
    // that a line running far outside costs no more than the buffer's size.
    const bool xMajor = adx >= ady;
    const I major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    const I m0 = xMajor ? x0 : y0, n0 = xMajor ? y0 : x0;
    const int ms = xMajor ? sx : sy, ns = xMajor ? sy : sx;
    const I mLimit = xMajor ? w : h, nLimit = xMajor ? h : w;

    I tlo = 0, thi = major - 1;
    if (ms > 0) {
        tlo = std::max(tlo, -m0);
        thi = std::min(thi, mLimit - 1 - m0);
    } else {
        tlo = std::max(tlo, m0 - (mLimit - 1));
        thi = std::min(thi, m0);
    }
    if (tlo > thi) return;

    const I den = 2 * major;
    I off, rem;
    if (tlo == 0) {
        off = 0;
        rem = major;
    } else {
        const I num = 2 * tlo * minor + major;
        off = num / den;
        rem = num % den;
    }
    I m = m0 + ms * tlo, nn = n0 + ns * off;
    const I step = 2 * minor;
    for (I t = tlo; t <= thi; ++t) {
        if (nn >= 0 && nn < nLimit) {
            if (xMajor) c.bits[nn * c.stride + m] = color;
            else c.bits[m * c.stride + nn] = color;
        } else if ((ns > 0 && nn >= nLimit) || (ns < 0 && nn < 0)) {
            break;   // left the buffer for good
        }
        m += ms;
        rem += step;
        if (rem >= den) {
            rem -= den;
            nn += ns;
        }
    }
}

void drawPolyline(const Canvas& c, const int* xs, const int* ys, int count, uint32_t color) {
    for (int i = 1; i < count; ++i) drawSegment(c, xs[i - 1], ys[i - 1], xs[i], ys[i], color);
}

void dottedVLine(const Canvas& c, int x, int yFrom, int yTo, uint32_t color) {
    if (x < 0 || x >= c.width || yFrom == yTo) return;
    const int dir = yTo > yFrom ? 1 : -1;
    for (long y = yFrom, k = 0; y != yTo; y += dir, ++k)
        if (y >= 0 && y < c.height && dotOn(k)) c.row(static_cast<int>(y))[x] = color;
}

void dottedHLine(const Canvas& c, int y, int xFrom, int xTo, uint32_t color) {
    if (y < 0 || y >= c.height || xFrom == xTo) return;
    const int dir = xTo > xFrom ? 1 : -1;
    uint32_t* r = c.row(y);
    for (long x = xFrom, k = 0; x != xTo; x += dir, ++k)
        if (x >= 0 && x < c.width && dotOn(k)) r[x] = color;
}

void invertDragFrame(const Canvas& c, int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top) return;
    auto flip = [&](int x, int y) {
        if (x >= 0 && x < c.width && y >= 0 && y < c.height && ((x + y) & 1) == 0)
            c.row(y)[x] ^= kInvert;
    };
    for (int x = left; x < right; ++x) flip(x, top);
    if (bottom - 1 > top)
        for (int x = left; x < right; ++x) flip(x, bottom - 1);
    for (int y = top + 1; y < bottom - 1; ++y) {
        flip(left, y);
        if (right - 1 > left) flip(right - 1, y);
    }
}

// Logical positions at the canvas's ratio.

void scaledFillRect(const Canvas& c, int x, int y, int w, int h, uint32_t color) {
    fillDevice(c, c.dev(x), c.dev(y), c.dev(static_cast<long>(x) + w), c.dev(static_cast<long>(y) + h), color);
}

namespace {

// A line lineWidth() device pixels thick between device points: the 1-pixel
// rule at device resolution, repeated across the line (shifted along its
// minor axis; shifting along the major one would only redraw its pixels).
void thickSegment(const Canvas& c, int t, int ax, int ay, int bx, int by, uint32_t color) {
    const bool xMajor = std::labs(static_cast<long>(bx) - ax) >= std::labs(static_cast<long>(by) - ay);
    for (int k = 0; k < t; ++k) {
        const int ox = xMajor ? 0 : k, oy = xMajor ? k : 0;
        drawSegment(c, ax + ox, ay + oy, bx + ox, by + oy, color);
    }
}

}  // namespace

void scaledSegment(const Canvas& c, int x0, int y0, int x1, int y1, uint32_t color) {
    if (!c.scaled()) return drawSegment(c, x0, y0, x1, y1, color);
    if (x0 == x1 && y0 == y1) return;
    thickSegment(c, c.lineWidth(), static_cast<int>(c.dev(x0)), static_cast<int>(c.dev(y0)), static_cast<int>(c.dev(x1)),
                 static_cast<int>(c.dev(y1)), color);
}

void scaledPolyline(const Canvas& c, const int* xs, const int* ys, int count, uint32_t color) {
    if (!c.scaled()) return drawPolyline(c, xs, ys, count, color);
    const int t = c.lineWidth();
    // Each vertex mapped once; a whole ratio maps by multiplication.
    // In 64 bits: a clamped position times a ratio of 8 or more passes 2^31.
    const long long whole = static_cast<long long>(c.ratio);
    const bool exact = static_cast<double>(whole) == c.ratio && whole > 0;
    const auto dev = [&](int v) {
        return static_cast<int>(exact ? std::clamp<long long>(v * whole, -kDeviceLimit, kDeviceLimit) : c.dev(v));
    };
    if (count < 1) return;
    int px = dev(xs[0]), py = dev(ys[0]);
    for (int i = 1; i < count; ++i) {
        const int x = dev(xs[i]), y = dev(ys[i]);
        if (xs[i] != xs[i - 1] || ys[i] != ys[i - 1]) thickSegment(c, t, px, py, x, y, color);
        px = x;
        py = y;
    }
}

void scaledDottedVLine(const Canvas& c, int x, int yFrom, int yTo, uint32_t color) {
    dots(c, true, x, yFrom, yTo, kDotOn, kDotPeriod, [color](uint32_t& p) { p = color; });
}

void scaledDottedHLine(const Canvas& c, int y, int xFrom, int xTo, uint32_t color) {
    dots(c, false, y, xFrom, xTo, kDotOn, kDotPeriod, [color](uint32_t& p) { p = color; });
}

void scaledInvertDottedVLine(const Canvas& c, int x, int yFrom, int yTo) {
    xorDottedVLine(c, x, yFrom, yTo, kInvert, kDotOn, kDotPeriod);
}

void xorDottedVLine(const Canvas& c, int x, int yFrom, int yTo, uint32_t mask, int on, int period) {
    dots(c, true, x, yFrom, yTo, on, period, [mask](uint32_t& p) { p ^= mask; });
}

void scaledInvertDragFrame(const Canvas& c, int left, int top, int right, int bottom) {
    if (!c.scaled()) return invertDragFrame(c, left, top, right, bottom);
    if (right <= left || bottom <= top) return;
    // A border lineWidth() device pixels wide, its halftone in cells of that
    // size; every pixel of it is flipped once.
    const long t = c.lineWidth();
    const long l = c.dev(left), r = c.dev(right), tp = c.dev(top), b = c.dev(bottom);
    const auto flipRow = [&](long y, long x0, long x1) {
        x0 = std::max(x0, 0L);
        x1 = std::min(x1, static_cast<long>(c.width));
        uint32_t* row = c.row(static_cast<int>(y));
        for (long x = x0; x < x1; ++x)
            if (((x / t + y / t) & 1) == 0) row[x] ^= kInvert;
    };
    for (long y = std::max(tp, 0L); y < std::min(b, static_cast<long>(c.height)); ++y) {
        if (y < tp + t || y >= b - t) {
            flipRow(y, l, r);
        } else {
            flipRow(y, l, std::min(l + t, r));
            flipRow(y, std::max(r - t, l + t), r);
        }
    }
}

bool clipSegment(double& x0, double& y0, double& x1, double& y1, double left, double top, double right,
                 double bottom) {
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - left, right - x0, y0 - top, bottom - y0};
    double t0 = 0.0, t1 = 1.0;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;   // parallel to this edge and outside it
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) {
            if (t > t1) return false;
            t0 = std::max(t0, t);
        } else {
            if (t < t0) return false;
            t1 = std::min(t1, t);
        }
    }
    const double ax = x0, ay = y0;
    x0 = ax + t0 * dx;
    y0 = ay + t0 * dy;
    x1 = ax + t1 * dx;
    y1 = ay + t1 * dy;
    return true;
}

}  // namespace kv
