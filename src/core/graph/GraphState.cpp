#include "core/graph/GraphState.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kv {

PlotGeometry plotGeometry(int clientWidth, int clientHeight) {
    PlotGeometry g;
    g.left = 0;
    g.top = 0;
    g.right = clientWidth;
    g.bottom = clientHeight;
    g.plotLeft = g.left + 294;
    g.plotTop = g.top + 118;
    g.plotRight = g.right - 50;
    g.plotBottom = g.bottom - 200;
    g.W = g.plotRight - g.plotLeft;
    g.H = g.plotBottom - g.plotTop;
    g.colX = 226;
    g.colY = g.top + 94;
    g.colW = g.left + 68;
    g.colH = g.plotBottom + 30 - (g.top + 94);
    g.stripLeft = g.right - 50;
    g.stripRight = g.right + 10;
    if (g.right - 50 < 224) g.stripLeft = g.stripRight = 224;
    g.stripY = g.top + 94;
    g.stripW = g.stripRight - g.stripLeft;
    g.stripH = g.plotBottom - (g.top + 94);
    return g;
}

void PointTables::allocate() {
    if (allocated()) return;
    // Left uninitialised on purpose: pages are only touched when a run fills
    // them, so an idle program does not carry the zoom tables in memory.
    xLive.reset(new float[kMaxSamples]);
    yLive.reset(new float[static_cast<size_t>(kQuantities) * kMaxSamples]);
    xRecord.reset(new float[static_cast<size_t>(kZoomLevels) * kMaxSamples]);
    yRecord.reset(new float[static_cast<size_t>(kQuantities) * kZoomLevels * kMaxSamples]);
}

float displayValue(float v, int q, bool fahrenheit) {
    if (fahrenheit && q != RH) return v * 1.8f + 32.0f;
    return v;
}

float oneDecimal(float v, int q) {
    // std::trunc keeps out-of-range and NaN readings away from integer overflow.
    if (q == KIR) return static_cast<float>(std::trunc(static_cast<double>(v) * 10.0)) * 0.1f;
    if (v >= 0) return static_cast<float>(std::trunc((static_cast<double>(v) + 0.05) * 10.0)) * 0.1f;
    return static_cast<float>(std::trunc((static_cast<double>(v) - 0.05) * 10.0)) * 0.1f;
}

float valueToY(float r, float tick0, float tick10, int H) {
    const float h = static_cast<float>(H);
    return h - (r - tick0) * h / (tick10 - tick0);
}

int labelIndent(float v) {
    int p = 0;   // the last rule that holds wins
    if (v >= 0 && v < 10) p = 4;
    if (v >= 10 && v < 100) p = 3;
    if (v >= 100 && v < 1000) p = 2;
    if (v >= 1000) p = 1;
    if (v > -10 && v < 0) p = 3;
    if (v > -100 && v <= -10) p = 2;
    if (v >= -1000 && v <= -100) p = 1;
    if (v <= -1000) p = 0;
    return p;
}

std::string yLabelText(float v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(v));
    return buf;
}

namespace {

// Level-0 points of samples 0..n-1 and the live axis, which may grow while
// the samples are laid out (the part of the run already laid out keeps its
// old spacing until the repaint this asks for).
bool layOutLevelZero(GraphState& g, const PlotGeometry& geo, const RunState& run,
                     const SampleStore& doc, int n) {
    g.points.allocate();
    const float t0 = g.tick[0][0], t10 = g.tick[0][10];
    const bool fahrenheit = run.unitFlag == 1;
    for (int q = 0; q < kQuantities; ++q) {
        const float* __restrict src = doc.live[q];
        float* __restrict yl = g.yLive(q);
        float* __restrict yr = g.yRecord(q, 0);
        for (int i = 0; i < n; ++i) {
            const float y = valueToY(oneDecimal(displayValue(src[i], q, fahrenheit), q), t0, t10, geo.H);
            yl[i] = y;
            yr[i] = y;
        }
    }
    float* xl = g.xLive();
    float* xr = g.xRecord(0);
    xl[0] = 0.0f;
    xr[0] = 0.0f;
    const float Wf = static_cast<float>(geo.W);
    bool grew = false;
    for (int i = 1; i < n; ++i) {
        xl[i] = static_cast<float>(i) * g.liveStep;
        if (g.follow == 1) {
            g.browseStep = g.liveStep;
            g.browseCapacity = g.N;
        } else {
            g.browseStep = Wf / static_cast<float>(g.browseCapacity - 1);
        }
        xr[i] = static_cast<float>(i) * g.browseStep;
        if (n >= g.N + 1) {
            // The axis is full: make room for about a twelfth more samples.
            g.liveStep = static_cast<float>((Wf - Wf * (1.0 / 12.0)) / g.N);
            g.N = pixelTrunc(Wf / g.liveStep + 1.0f);
            grew = true;
        }
    }
    return grew;
}

// One zoom level's mapping of plot-local positions: (v - shift) * scale / span.
struct LevelMap {
    float shiftX, spanX, shiftY, spanY;
};

// Applies levels 0..count-1 to a block of positions, in order. Each element
// goes through exactly the operations it would level by level, so the result
// is the same as building every level's table in turn.
#if defined(__x86_64__) && defined(__ELF__) && (defined(__GNUC__) || defined(__clang__))
#define KV_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define KV_WIDE_VECTORS
#endif

KV_WIDE_VECTORS
void mapThroughLevels(float* __restrict v, int len, const LevelMap* maps, int count, bool xAxis, float scale) {
    for (int k = 0; k < count; ++k) {
        const float shift = xAxis ? maps[k].shiftX : maps[k].shiftY;
        const float span = xAxis ? maps[k].spanX : maps[k].spanY;
        for (int j = 0; j < len; ++j) v[j] = (v[j] - shift) * scale / span;
    }
}

// Rebuilds zoom levels 1..L from the stored box fractions: the boxes and
// ticks of every level, and the points of level L (what the paint, the
// cursor and a further box read). Returns false when a box has no width or
// height to scale by.
bool rebuildLevels(GraphState& g, const PlotGeometry& geo, int n, const uint8_t* traces) {
    const int W = geo.W, H = geo.H;
    bool ok = true;
    LevelMap maps[kZoomLevels];
    for (int k = 0; k < g.L; ++k) {
        const float x1 = static_cast<float>(geo.plotLeft + W * g.pressX[k]);
        const float x2 = static_cast<float>(geo.plotLeft + W * g.releaseX[k]);
        const float y1 = static_cast<float>(geo.plotTop + H * g.pressY[k]);
        const float y2 = static_cast<float>(geo.plotTop + H * g.releaseY[k]);
        g.boxLeft[k] = std::min(x1, x2);
        g.boxRight[k] = std::max(x1, x2);
        g.boxTop[k] = std::min(y1, y2);
        g.boxBottom[k] = std::max(y1, y2);
        const float bl = g.boxLeft[k], br = g.boxRight[k], bt = g.boxTop[k], bb = g.boxBottom[k];

        const float span = g.tick[k][10] - g.tick[k][0];
        for (int i = 0; i < kTicks; ++i)
            g.tick[k + 1][i] = static_cast<float>(
                g.tick[k][0] + (geo.plotBottom - bb + i * 0.1 * (bb - bt)) * span / H);

        if (br == bl || bb == bt) ok = false;
        maps[k] = LevelMap{bl - static_cast<float>(geo.plotLeft), br - bl,
                           bt - static_cast<float>(geo.plotTop), bb - bt};
    }
    if (!ok || n < 1 || g.L == 0 || !g.points.allocated()) return ok;

    // Block by block through all levels, so the work stays in the cache.
    constexpr int kBlock = 512;
    float buf[kBlock];
    const float wx = static_cast<float>(W), hy = static_cast<float>(H);
    for (int j0 = 0; j0 < n; j0 += kBlock) {
        const int len = std::min(kBlock, n - j0);
        std::copy_n(g.xRecord(0) + j0, len, buf);
        mapThroughLevels(buf, len, maps, g.L, true, wx);
        std::copy_n(buf, len, g.xRecord(g.L) + j0);
        for (int q = 0; q < kQuantities; ++q) {
            // A trace switched off is neither drawn nor read back.
            if (traces[q] != 1) continue;
            std::copy_n(g.yRecord(q, 0) + j0, len, buf);
            mapThroughLevels(buf, len, maps, g.L, false, hy);
            std::copy_n(buf, len, g.yRecord(q, g.L) + j0);
        }
    }
    return ok;
}

}  // namespace

bool startFreshAxis(GraphState& g) {
    const bool wasBrowsing = g.follow == 0;
    g.N = kInitialCapacity;
    g.browseStep = g.liveStep;
    g.L = 0;
    g.follow = 1;
    g.scrollShift = 0;
    return wasBrowsing;
}

GraphFrame computeGraph(GraphState& g, const PlotGeometry& geo, const RunState& run,
                        const SampleStore& doc, GraphPass pass) {
    GraphFrame f;
    const int n = std::clamp(run.n, 0, kMaxSamples);
    const int W = geo.W, H = geo.H;
    const std::time_t secs = run.intervalMs / 1000;
    f.plot = geo.hasPlot();

    f.statusTexts = n == 0;

    // The read-out cursor line survives a sample commit's repaint.
    if (pass == GraphPass::Export) {
        // Neither drawn nor forgotten: the screen still shows it.
    } else if (g.fresh == 1 && g.cursorOff == 0) {
        f.cursorLine = true;
        f.cursorLineX = g.cursorX - geo.plotLeft;
        g.fresh = 0;
    } else if (g.fresh != 1) {
        g.cursorOff = 1;
    }

    for (int i = 0; i < kTicks; ++i) g.tick[0][i] = static_cast<float>((i + run.yOffset) * run.yGain);

    int k = 0;   // samples per vertical division in live mode
    if (f.plot) {
        g.liveStep = static_cast<float>(W) / static_cast<float>(g.N - 1);

        if (n == 0) {
            f.vLineCount = 13;
            for (int i = 0; i < 13; ++i)
                f.vLines[i] = pixelTrunc(i * static_cast<double>(geo.plotRight - geo.plotLeft) * (1.0 / 12));
        } else if (g.follow == 1) {
            k = pixelTrunc(static_cast<float>(W / 12) / g.liveStep);
            f.vLineCount = 14;
            for (int i = 0; i < 14; ++i) f.vLines[i] = pixelTrunc(static_cast<float>(i * k) * g.liveStep);
        }

        f.hLineCount = 10;
        for (int i = 1; i <= 10; ++i) f.hLines[i - 1] = pixelTrunc(i * H * 0.1);
        f.hLineLength = W;

        if (n > 1) {
            f.repaint = layOutLevelZero(g, geo, run, doc, n);
            f.traces = true;
        }

        if (g.follow == 1) {
            g.labelTime[0] = run.runStartTime;
            for (int j = 1; j <= 4; ++j)
                g.labelTime[j] = run.runStartTime + static_cast<std::time_t>(k) * secs * 3 * j;
        }
    }

    f.live = g.follow == 1;
    if (!f.live) {
        f.scrollRange = true;
        const bool levelsOk = rebuildLevels(g, geo, n, run.traces);
        bool spacing = false;
        if (f.plot && n > 1 && levelsOk) {
            f.x0 = g.xRecord(g.L)[0];
            f.dx = g.xRecord(g.L)[1] - f.x0;
            spacing = f.dx > 0.0f && std::isfinite(f.dx) && std::isfinite(f.x0);
        }
        f.traces = f.traces && spacing;
        if (spacing) {
            const int s = g.scrollShift;
            if (g.scrollValid == 0) {
                g.firstVisible =
                    pixelTrunc(static_cast<float>(s) - (static_cast<float>(s) * f.dx + f.x0) / f.dx);
                f.scrollPosition = true;
                g.scrollValid = 1;
            }
            const int fv = g.firstVisible;
            g.labelTime[0] = run.runStartTime + static_cast<std::time_t>(fv - s) * secs;

            const int r = pixelTrunc(static_cast<float>(W) / f.dx);
            int m = 1;
            if (r >= 2) {
                const int gap = r >= 4 ? W / 4 : (r == 3 ? W / 3 : W / 2);
                m = pixelTrunc(static_cast<float>(gap) / f.dx);
            }
            f.vLineCount = kTimeLabels;
            for (int j = 0; j < kTimeLabels; ++j) {
                g.labelSample[j] = fv + j * m;
                f.vLines[j] = pixelTrunc(f.dx * static_cast<float>(j * m + fv) + f.x0);
                if (j > 0) g.labelTime[j] = g.labelTime[0] + static_cast<std::time_t>(j) * m * secs;
            }
        }

        if (f.plot && n >= 1 && spacing) {
            f.timeLabelCount = kTimeLabels;
            for (int j = 0; j < kTimeLabels; ++j) {
                const float x = f.dx * static_cast<float>(g.labelSample[j]) +
                                static_cast<float>(geo.plotLeft) + f.x0;
                f.timeLabelX[j] = pixelTrunc(x);
                f.timeLabelShown[j] = geo.plotLeft <= x && x <= geo.plotRight;
            }
        }
    } else if (f.plot && n >= 1) {
        f.timeLabelCount = 5;
        f.timeLabelX[0] = geo.plotLeft + 2;
        f.timeLabelShown[0] = true;
        for (int j = 1; j <= 4; ++j) {
            f.timeLabelX[j] =
                pixelTrunc(static_cast<float>(k) * g.liveStep * static_cast<float>(3 * j) + geo.plotLeft);
            f.timeLabelShown[j] = true;
        }
    }
    f.timeLabelY = geo.plotBottom + 40;

    const int D = geo.plotBottom - (geo.top + 94);
    const int L = g.L;
    for (int i = 0; i < kTicks; ++i) {
        f.yTickY[i] = D - 1 - (i * (H - 1)) / 10;
        f.yTextX[i] = pixelTrunc(labelIndent(g.tick[L][i]) * 7.5 + 2);
        f.yTextY[i] = D - (i * (H - 2)) / 10 - 8;
    }
    return f;
}

int tracePixels(const GraphState& g, const GraphFrame& f, const RunState& run, int q, int* xs,
                int* ys) {
    if (!f.traces) return 0;
    const int n = std::clamp(run.n, 0, kMaxSamples);
    if (f.live) {
        const float* xl = g.xLive();
        const float* yl = g.yLive(q);
        for (int i = 0; i < n; ++i) {
            xs[i] = pixelTrunc(xl[i]);
            ys[i] = pixelTrunc(yl[i]);
        }
    } else {
        const float* yr = g.yRecord(q, g.L);
        const int s = g.scrollShift;
        for (int i = 0; i < n; ++i) {
            xs[i] = pixelTrunc(f.x0 + f.dx * static_cast<float>(i + s));
            ys[i] = pixelTrunc(yr[i]);
        }
    }
    return n;
}

}  // namespace kv
