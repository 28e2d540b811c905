#include "core/graph/Raster.h"

#include <algorithm>
#include <cstdlib>

namespace kv {

namespace {

constexpr uint32_t kInvert = 0x00FFFFFFu;   // colour bits; alpha stays opaque

inline bool dotOn(long step) { return step % kDotPeriod < kDotOn; }

}  // namespace

void fillRect(const Canvas& c, int x, int y, int w, int h, uint32_t color) {
    const int x0 = std::max(x, 0), x1 = std::min(x + w, c.width);
    const int y0 = std::max(y, 0), y1 = std::min(y + h, c.height);
    if (x0 >= x1 || y0 >= y1) return;
    for (int yy = y0; yy < y1; ++yy) std::fill(c.row(yy) + x0, c.row(yy) + x1, color);
}

void drawSegment(const Canvas& c, int x0, int y0, int x1, int y1, uint32_t color) {
    const long dx = static_cast<long>(x1) - x0, dy = static_cast<long>(y1) - y0;
    if (dx == 0 && dy == 0) return;
    const long w = c.width, h = c.height;

    if (dx == 0) {
        if (x0 < 0 || x0 >= w) return;
        long a = dy > 0 ? y0 : static_cast<long>(y1) + 1;   // covered rows a..b
        long b = dy > 0 ? static_cast<long>(y1) - 1 : y0;
        a = std::max(a, 0L);
        b = std::min(b, h - 1);
        uint32_t* p = c.bits + a * c.stride + x0;
        for (long y = a; y <= b; ++y, p += c.stride) *p = color;
        return;
    }
    if (dy == 0) {
        if (y0 < 0 || y0 >= h) return;
        long a = dx > 0 ? x0 : static_cast<long>(x1) + 1;
        long b = dx > 0 ? static_cast<long>(x1) - 1 : x0;
        a = std::max(a, 0L);
        b = std::min(b, w - 1);
        if (a <= b) std::fill(c.row(y0) + a, c.row(y0) + b + 1, color);
        return;
    }

    const long adx = std::labs(dx), ady = std::labs(dy);
    const int sx = dx > 0 ? 1 : -1, sy = dy > 0 ? 1 : -1;
    // Step t along the major axis covers t = 0 .. major - 1; the minor offset
    // is t * minor / major rounded half up. Clip t on the major axis first so
    // that a line running far outside costs no more than the buffer's size.
    const bool xMajor = adx >= ady;
    const long major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    const long m0 = xMajor ? x0 : y0, n0 = xMajor ? y0 : x0;
    const int ms = xMajor ? sx : sy, ns = xMajor ? sy : sx;
    const long mLimit = xMajor ? w : h, nLimit = xMajor ? h : w;

    long tlo = 0, thi = major - 1;
    if (ms > 0) {
        tlo = std::max(tlo, -m0);
        thi = std::min(thi, mLimit - 1 - m0);
    } else {
        tlo = std::max(tlo, m0 - (mLimit - 1));
        thi = std::min(thi, m0);
    }
    if (tlo > thi) return;

    const long den = 2 * major;
    long off, rem;
    if (tlo == 0) {
        off = 0;
        rem = major;
    } else {
        const long num = 2 * tlo * minor + major;
        off = num / den;
        rem = num % den;
    }
    long m = m0 + ms * tlo, nn = n0 + ns * off;
    const long step = 2 * minor;
    for (long t = tlo; t <= thi; ++t) {
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

void invertDottedVLine(const Canvas& c, int x, int yFrom, int yTo) {
    if (x < 0 || x >= c.width || yFrom == yTo) return;
    const int dir = yTo > yFrom ? 1 : -1;
    for (long y = yFrom, k = 0; y != yTo; y += dir, ++k)
        if (y >= 0 && y < c.height && dotOn(k)) c.row(static_cast<int>(y))[x] ^= kInvert;
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
