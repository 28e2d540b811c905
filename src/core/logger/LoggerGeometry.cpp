#include "core/logger/LoggerGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "core/record/Shown.h"

namespace kv::logger {

namespace {

// Where the processor has them, the table loops also run on wide vectors,
// with the rounding instruction for the integer part.
#if defined(__x86_64__) && defined(__ELF__) && (defined(__GNUC__) || defined(__clang__))
#define KV_LOGGER_WIDE __attribute__((target_clones("avx2", "default")))
#else
#define KV_LOGGER_WIDE
#endif

// integerPart() without a branch: the same value, -0.3 giving +0.0.
inline double wholePart(double v) { return std::trunc(v) + 0.0; }

}  // namespace

PlotRect plotRect(int clientWidth, int clientHeight) {
    PlotRect p;
    p.left = 0 + 306.0f;
    p.top = 0 + 90.0f;
    p.right = static_cast<float>(clientWidth) - 61.0f;
    p.bottom = static_cast<float>(clientHeight) - 61.0f;
    p.w = p.right - p.left;
    p.h = p.bottom - p.top;
    return p;
}

void normalise(ZoomBox& b) {
    if (b.xA < b.xB) std::swap(b.xA, b.xB);
    if (b.yA < b.yB) std::swap(b.yA, b.yB);
}

double traceValue(float stored, int q, uint8_t unitFlag) {
    const double v = toShownUnits(stored, q, unitFlag);
    if (q == KIR) return cutOneDecimal(v);
    return v >= 0 ? integerPart((v + 0.05) * 10.0) * 0.1 : integerPart((v - 0.05) * 10.0) * 0.1;
}

void CoordTables::allocate() {
    if (allocated()) return;
    x_ = std::make_unique<float[]>(static_cast<std::size_t>(kLevels) * kMaxSamples);
    y_ = std::make_unique<float[]>(static_cast<std::size_t>(kLevels) * kQuantities * kMaxSamples);
}

KV_LOGGER_WIDE void computeWholeRun(CoordTables& t, const PlotRect& p, const LoggedRun& run, int32_t gain, int32_t offset) {
    t.allocate();
    const int n = std::clamp(run.count, 0, kMaxSamples);
    for (int m = 0; m < kLabelLines; ++m)
        t.v(0, m) = static_cast<float>((static_cast<int64_t>(m) + offset) * static_cast<int64_t>(gain));
    const float xstep = n > 1 ? p.w / static_cast<float>(n - 1) : 0.0f;
    float* x = t.x(0);
    for (int i = 0; i < n; ++i) x[i] = p.left + static_cast<float>(i) * xstep;
    const double v0 = t.v(0, 0), span = static_cast<double>(t.v(0, 10)) - t.v(0, 0);
    const double bottom = p.bottom, scale = p.h / span;
    for (int q = 0; q < kQuantities; ++q) {
        // The same value as traceValue(), with the choices made once per quantity.
        const bool convert = q != RH && run.unitFlag == 1, cut = q == KIR;
        const float* s = run.samples.data() + q;
        float* y = t.y(0, q);
        for (int i = 0; i < n; ++i) {
            double v = s[static_cast<std::size_t>(i) * kQuantities];
            if (convert) v = v * 1.8 + 32.0;
            const double r = cut      ? wholePart(v * 10.0) * 0.1
                             : v >= 0 ? wholePart((v + 0.05) * 10.0) * 0.1
                                      : wholePart((v - 0.05) * 10.0) * 0.1;
            y[i] = static_cast<float>(bottom - (r - v0) * scale);
        }
    }
}

KV_LOGGER_WIDE void computeZoomLevels(CoordTables& t, const PlotRect& p, int n, ZoomBox* boxes, int level) {
    t.allocate();
    n = std::clamp(n, 0, kMaxSamples);
    level = std::clamp(level, 0, kMaxLevel);
    const float left = p.left, top = p.top, w = p.w, h = p.h, bottom = p.bottom;
    for (int j = 0; j < level; ++j) {
        ZoomBox& b = boxes[j];
        normalise(b);
        const float bh = b.yA - b.yB;
        const float v0 = t.v(j, 0), span = t.v(j, 10) - t.v(j, 0);
        for (int m = 0; m < kLabelLines; ++m)
            t.v(j + 1, m) = v0 + (static_cast<float>(m) * bh / 10.0f + (bottom - b.yA)) * span / h;
    }
    // Level by level within blocks of samples, so that each level is built
    // from the previous one while it is still in the cache.
    constexpr int kBlock = 512;
    for (int i0 = 0; i0 < n; i0 += kBlock) {
        const int count = std::min(kBlock, n - i0);
        for (int j = 0; j < level; ++j) {
            const ZoomBox& b = boxes[j];
            // The box's scale once per level: a multiplication per sample, not a division.
            const float xB = b.xB, xScale = w / (b.xA - b.xB), yB = b.yB, yScale = h / (b.yA - b.yB);
            const float* xs = t.x(j) + i0;
            float* xd = t.x(j + 1) + i0;
            for (int i = 0; i < count; ++i) xd[i] = left + (xs[i] - xB) * xScale;
            for (int q = 0; q < kQuantities; ++q) {
                const float* ys = t.y(j, q) + i0;
                float* yd = t.y(j + 1, q) + i0;
                for (int i = 0; i < count; ++i) yd[i] = top + (ys[i] - yB) * yScale;
            }
        }
    }
}

Spacing spacing(const CoordTables& t, int level, int n) {
    if (n < 2 || !t.allocated()) return {};
    const float* x = t.x(level);
    return {x[0], x[1] - x[0], x[1] - x[0] > 0};
}

float slotX(const CoordTables& t, int level, int n, const Spacing& s, int slot) {
    if (slot >= 0 && slot < n && t.allocated()) return t.x(level)[slot];
    return s.x0 + static_cast<float>(slot) * s.dx;
}

int firstVisibleSlot(const PlotRect& p, const Spacing& s) {
    if (!s.valid) return 0;
    return pixelTrunc((p.left - s.x0) / s.dx);
}

int labelIndent(float v) {
    if (v >= 0) return v < 10 ? 4 : v < 100 ? 3 : v < 1000 ? 2 : 1;
    return v > -10 ? 3 : v > -100 ? 2 : v > -1000 ? 1 : 0;
}

TextAt yLabel(const PlotRect& p, int m, float v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(v));
    return {pixelTrunc(p.left - 70 + labelIndent(v) * 7.5), pixelTrunc(p.bottom - m * p.h * 0.1 - 5), buf};
}

TimeGrid timeGrid(const CoordTables& t, const PlotRect& p, int level, int n, const Spacing& s, int first,
                  int shift, std::time_t start, int32_t interval) {
    TimeGrid g;
    const std::time_t t0 = start + static_cast<std::time_t>(first - shift) * interval;
    const int S = s.valid ? pixelTrunc(p.w / s.dx) : 0;
    if (S <= 1) {
        for (int e = 0; e < kGridEntries; ++e) {
            const int slot = first + e;
            if (slot < n) g.lineX[g.lines++] = slotX(t, level, n, s, slot);
            g.slot[e] = slot;
            g.time[e] = t0 + static_cast<std::time_t>(e) * interval;
        }
        return g;
    }
    const float part = S >= 4 ? 0.25f : S == 3 ? 0.33333334f : 0.5f;
    const int step = pixelTrunc(p.w * part / s.dx);
    const float xFirst = slotX(t, level, n, s, first);
    for (int e = 0; e < kGridEntries; ++e) {
        g.lineX[g.lines++] = xFirst + static_cast<float>(step * e) * s.dx;
        g.slot[e] = first + step * e;
        g.time[e] = t0 + static_cast<std::time_t>(step) * e * interval;
    }
    return g;
}

std::string readoutValue(const LoggedRun& run, int c, int q) {
    const float stored = run.samples[static_cast<std::size_t>(c) * kQuantities + q];
    if (q == KIR && isNoKirReading(stored)) return "------";
    double v = toShownUnits(stored, q, run.unitFlag);
    if (q == KIR) v = cutOneDecimal(v);
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

}  // namespace kv::logger
