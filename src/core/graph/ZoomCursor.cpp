#include "core/graph/ZoomCursor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/link/LinkEngine.h"

namespace kv {

IRect spanned(int x1, int y1, int x2, int y2) {
    return IRect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

void clampToPlot(const PlotGeometry& geo, int& x, int& y) {
    x = std::clamp(x, geo.plotLeft, std::max(geo.plotLeft, geo.plotRight));
    y = std::clamp(y, geo.plotTop, std::max(geo.plotTop, geo.plotBottom));
}

bool sampleSpacing(const GraphState& g, int n, float& x0, float& dx) {
    if (n >= 2 && g.points.allocated()) {
        x0 = g.xRecord(g.L)[0];
        dx = g.xRecord(g.L)[1] - x0;
    } else {
        // Before the tables hold two samples the live axis is all there is.
        x0 = 0.0f;
        dx = g.follow == 1 ? g.liveStep : g.browseStep;
    }
    return dx > 0.0f && std::isfinite(dx) && std::isfinite(x0);
}

int cursorSampleAt(const GraphState& g, const PlotGeometry& geo, int n, int scrollShift, int x) {
    float x0 = 0.0f, dx = 0.0f;
    if (!sampleSpacing(g, n, x0, dx)) return -1;
    const int s = scrollShift;
    int c = pixelTrunc(static_cast<float>(x - geo.plotLeft - x0) / dx - static_cast<float>(s));
    // Samples outside the laid-out run sit where the spacing puts them; the
    // tables hold nothing there.
    auto xAt = [&](int j) {
        if (j >= 0 && j < n && n >= 2 && g.points.allocated()) return g.xRecord(g.L)[j];
        return x0 + dx * static_cast<float>(j);
    };
    const int j = c + s;
    if (x - (xAt(j) + geo.plotLeft) > (xAt(j + 1) + geo.plotLeft) - x) ++c;
    return c;
}

bool pressAt(GraphState& g, const PlotGeometry& geo, const RunState& run, int x, int y) {
    if (run.n < 1) return false;
    clampToPlot(geo, x, y);
    const int L = g.L;
    g.boxLeft[L] = static_cast<float>(x);
    g.boxTop[L] = static_cast<float>(y);
    g.pressX[L] = static_cast<double>(x - geo.plotLeft) / geo.W;
    g.pressY[L] = static_cast<double>(y - geo.plotTop) / geo.H;
    g.anchorX = g.lastX = x;
    g.anchorY = g.lastY = y;
    g.dragging = 1;
    g.noBoxYet = 1;
    return true;
}

bool moveTo(GraphState& g, const PlotGeometry& geo, const RunState& run, int x, int y, MoveEffects& out) {
    if (run.n < 1) return false;
    clampToPlot(geo, x, y);

    const int c = cursorSampleAt(g, geo, run.n, g.scrollShift, x);
    g.cursorSample = c;

    if (g.cursorOff != 1) {
        out.eraseCursor = true;
        out.oldCursorX = g.cursorX;
    }
    out.cursorX = x;
    g.cursorX = x;
    g.cursorOff = 0;

    if (c >= 0 && c < run.n) {
        out.readout = true;
        out.sample = c;
    }

    if (g.dragging) {
        g.dragInProgress = 1;
        out.band = true;
        out.oldBand = spanned(g.anchorX, g.anchorY, g.lastX, g.lastY);
        if (x != g.anchorX || y != g.anchorY) {
            out.newBand = spanned(g.anchorX, g.anchorY, x, y);
            g.noBoxYet = 0;
        } else {
            // Back on the anchor: no band, and none left behind on screen.
            out.newBand = IRect{};
        }
        g.lastX = x;
        g.lastY = y;
    }
    return true;
}

bool releaseAt(GraphState& g, const PlotGeometry& geo, const RunState& run, int x, int y,
               ReleaseEffects& out) {
    if (run.n < 1) return false;
    clampToPlot(geo, x, y);
    const int L = g.L;
    g.boxRight[L] = static_cast<float>(x);
    g.boxBottom[L] = static_cast<float>(y);
    g.releaseX[L] = static_cast<double>(x - geo.plotLeft) / geo.W;
    g.releaseY[L] = static_cast<double>(y - geo.plotTop) / geo.H;

    if (g.dragging) {
        out.removeBand = true;
        out.band = spanned(g.anchorX, g.anchorY, g.lastX, g.lastY);
        g.dragging = 0;
    }
    // No box drawn, or a run of one sample: nothing to zoom into.
    if (g.noBoxYet == 1 || run.n < 2) {
        g.dragInProgress = 0;
        g.noBoxYet = 1;
        return true;
    }

    if (g.boxLeft[L] > g.boxRight[L]) std::swap(g.boxLeft[L], g.boxRight[L]);
    if (g.boxTop[L] > g.boxBottom[L]) std::swap(g.boxTop[L], g.boxBottom[L]);

    float x0 = 0.0f, dx = 0.0f;
    const bool spacing = sampleSpacing(g, run.n, x0, dx);
    const bool narrower = spacing && dx < static_cast<float>(geo.W);
    float t0 = 0.0f, t1 = 0.0f;
    if (narrower && L < kMaxZoomDepth) {
        const float span = g.tick[L][10] - g.tick[L][0];
        t0 = g.tick[L][0] + (geo.plotBottom - g.boxBottom[L]) * span / geo.H;
        t1 = static_cast<float>(
            g.tick[L][0] +
            ((g.boxBottom[L] - g.boxTop[L]) * 0.1 + geo.plotBottom - g.boxBottom[L]) * span / geo.H);
        g.tick[L + 1][0] = t0;
        g.tick[L + 1][1] = t1;
    }
    // A box without width or height would scale the next level by infinity.
    const bool hasArea = g.boxRight[L] != g.boxLeft[L] && g.boxBottom[L] != g.boxTop[L];
    if (L < kMaxZoomDepth && narrower && static_cast<double>(t1 - t0) > 0.1 && hasArea) {
        g.L = static_cast<int8_t>(L + 1);
        out.pushed = true;
    }

    g.follow = 0;
    g.scrollValid = 0;
    g.dragInProgress = 0;
    g.noBoxYet = 1;
    out.finished = true;
    return true;
}

void undoZoom(GraphState& g) {
    g.L = 0;
    g.follow = 1;
    g.browseStep = g.liveStep;
    g.scrollShift = 0;
}

bool dragZoneCheck(GraphState& g, const PlotGeometry& geo, int x, int y) {
    const bool inside = geo.top + 115 < y && y < geo.plotBottom + 20 && geo.left + 244 < x &&
                        x < geo.right - 20;
    if (inside || !g.dragging) return false;
    g.dragging = 0;
    g.dragInProgress = 0;
    g.noBoxYet = 1;
    return true;
}

std::string readoutValue(float v, int q, bool fahrenheit) {
    char buf[64];
    if (q == RH) {
        std::snprintf(buf, sizeof buf, "%.1f %%RH", static_cast<double>(v));
        return buf;
    }
    if (q == KIR && v <= kNoKirThreshold) return "----";
    float shown = fahrenheit ? v * 1.8f + 32.0f : v;
    if (q == KIR) shown = std::trunc(shown * 10.0f) * 0.1f;
    std::snprintf(buf, sizeof buf, fahrenheit ? "%.1f F" : "%.1f C", static_cast<double>(shown));
    return buf;
}

Readout readoutTexts(const RunState& run, const SampleStore& doc, int c) {
    Readout r;
    // 64-bit: a long interval times a late sample overflows 32 bits.
    const std::time_t t =
        run.runStartTime + static_cast<std::time_t>(static_cast<int64_t>(run.intervalMs) * c / 1000);
    r.time = "time:" + formatLocalTime(t, "%H:%M:%S");
    const bool f = run.unitFlag == 1;
    std::string v;
    c = std::clamp(c, 0, kMaxSamples - 1);
    for (int q = 0; q < kQuantities; ++q) {
        if (q > 0) v += "    ";
        v += kQuantityNames[q];
        v += ':';
        v += readoutValue(doc.live[q][c], q, f);
    }
    r.values = std::move(v);
    return r;
}

}  // namespace kv
