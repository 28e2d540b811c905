#include "core/logger/LoggerNav.h"

#include <algorithm>
#include <cmath>

#include "core/record/LocalTime.h"
#include "core/record/Shown.h"

namespace kv::logger {

IRect spanned(IPoint a, IPoint b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

void Nav::wholeRunReset() {
    wholeRun = true;
    level = 0;
    shift = 0;
    cursorPresent = false;
    boxDrawn = false;
}

IPoint clampToPlot(const PlotRect& p, int x, int y) {
    const double cx = std::clamp(static_cast<double>(x), static_cast<double>(p.left), static_cast<double>(p.right));
    const double cy = std::clamp(static_cast<double>(y), static_cast<double>(p.top), static_cast<double>(p.bottom));
    return {pixelTrunc(cx), pixelTrunc(cy)};
}

void press(Nav& nav, const PlotRect& p, int x, int y) {
    const IPoint pt = clampToPlot(p, x, y);
    nav.anchor = nav.corner = pt;
    nav.boxes[static_cast<std::size_t>(nav.level)].xB = static_cast<float>(pt.x);
    nav.boxes[static_cast<std::size_t>(nav.level)].yB = static_cast<float>(pt.y);
    nav.dragging = true;
    nav.boxDrawn = false;
}

SampleSpan visibleSamples(const CoordTables& t, const Nav& nav, const PlotRect& p, int n) {
    if (n <= 0) return {};
    const Spacing s = nav.wholeRun ? Spacing{} : spacing(t, nav.level, n);
    if (!s.valid) return {0, n - 1};
    // Sample i stands at slot i + shift: x0 + (i + shift) dx.
    const double from = std::ceil((p.left - s.x0) / s.dx - nav.shift);
    const double to = std::floor((p.right - s.x0) / s.dx - nav.shift);
    SampleSpan span;
    span.first = static_cast<int>(std::clamp(from, 0.0, static_cast<double>(n)));
    span.last = static_cast<int>(std::clamp(to, -1.0, static_cast<double>(n - 1)));
    return span;
}

int cursorIndexAt(float x, const Spacing& s, int shift) {
    if (!s.valid) return 0;
    const double pos = (static_cast<double>(x) - s.x0) / s.dx - shift;
    int c = pixelTrunc(pos);
    const auto slotPos = [&](int slot) { return s.x0 + static_cast<float>(slot) * s.dx; };
    const float here = slotPos(c + shift), next = slotPos(c + shift + 1);
    if (std::fabs(x - next) < std::fabs(x - here)) ++c;
    return c;
}

MoveResult move(Nav& nav, const PlotRect& p, const CoordTables& t, const LoggedRun& run, std::time_t start,
                bool loaded, int x, int y) {
    MoveResult r;
    if (!loaded) return r;
    const int n = std::clamp(run.count, 0, kMaxSamples);
    int c = -1;
    if (static_cast<float>(x) >= p.left && static_cast<float>(x) <= p.right + 1) {
        c = cursorIndexAt(static_cast<float>(x), spacing(t, nav.level, n), nav.shift);
        nav.cursorIndex = c;
        r.cursor = true;
        r.eraseOld = nav.cursorPresent;
        r.oldX = nav.cursorX;
        r.newX = x;
        nav.cursorX = x;
        nav.cursorPresent = true;
    }
    if (nav.dragging) {
        const IPoint pt = clampToPlot(p, x, y);
        if (!(pt == nav.anchor)) {
            r.band = true;
            r.oldBand = spanned(nav.anchor, nav.corner);
            r.newBand = spanned(nav.anchor, pt);
            nav.boxDrawn = true;
            nav.corner = pt;
        }
    }
    if (c >= 0 && c < n) {
        for (int q = 0; q < kQuantities; ++q) nav.readout[static_cast<std::size_t>(q)] = readoutValue(run, c, q);
        nav.readoutTime = formatLocal(start + static_cast<std::time_t>(c) * run.interval, "%H:%M:%S");
        r.readout = true;
    }
    return r;
}

bool acceptZoom(CoordTables& t, const PlotRect& p, int n, int level, const ZoomBox& box) {
    if (level >= kMaxLevel) return false;
    ZoomBox b = box;
    normalise(b);
    const float v0 = t.v(level, 0), span = t.v(level, 10) - t.v(level, 0);
    t.v(level + 1, 0) = v0 + (p.bottom - b.yA) * span / p.h;
    t.v(level + 1, 1) = v0 + ((b.yA - b.yB) * 0.1f + p.bottom - b.yA) * span / p.h;
    if (!(t.v(level + 1, 1) - t.v(level + 1, 0) > 0.1f)) return false;
    const Spacing s = spacing(t, level, n);
    if (!s.valid || !(s.dx < p.w)) return false;
    // A box without width would divide by zero when the level is built.
    return b.xA > b.xB && b.yA > b.yB;
}

ReleaseResult release(Nav& nav, const PlotRect& p, CoordTables& t, int n, bool loaded, int x, int y) {
    ReleaseResult r;
    const IPoint pt = clampToPlot(p, x, y);
    ZoomBox& box = nav.boxes[static_cast<std::size_t>(nav.level)];
    box.xA = static_cast<float>(pt.x);
    box.yA = static_cast<float>(pt.y);
    if (nav.dragging) {
        if (nav.boxDrawn) {
            r.removeBand = true;
            r.band = spanned(nav.anchor, nav.corner);
        }
        nav.dragging = false;
    }
    if (nav.boxDrawn && loaded) {
        t.allocate();
        if (acceptZoom(t, p, n, nav.level, box)) {
            ++nav.level;
            r.pushed = true;
        }
        nav.wholeRun = false;
        nav.firstValid = false;
        r.finished = true;
    }
    return r;
}

bool farOutsidePlot(const PlotRect& p, int x, int y) {
    return y >= p.bottom + 40 || y <= p.top - 20 || x >= p.right + 50 || x <= p.left - 50;
}

bool watchDrag(Nav& nav, const PlotRect& p, int x, int y) {
    if (!nav.dragging || !farOutsidePlot(p, x, y)) return false;
    nav.dragging = false;
    nav.boxDrawn = false;
    return true;
}

void thumbTrack(Nav& nav, int p) { nav.shift = nav.firstVisible - p + 1; }
int thumbPosition(const Nav& nav) { return nav.firstVisible - nav.shift + 1; }

void showOnly(Nav& nav, int q) {
    for (int i = 0; i < kQuantities; ++i) nav.shown[static_cast<std::size_t>(i)] = (i == q);
}
void showAll(Nav& nav) { nav.shown.fill(true); }

Frame prepareFrame(CoordTables& t, Nav& nav, const PlotRect& p, const LoggedRun& run, std::time_t start,
                   int32_t gain, int32_t offset, bool loaded) {
    Frame f;
    f.plot = p;
    f.loaded = loaded;
    f.wholeRun = nav.wholeRun;
    if (!loaded) return f;
    const int n = std::clamp(run.count, 0, kMaxSamples);
    f.n = n;
    if (nav.wholeRun) nav.level = 0;
    f.level = nav.level;
    f.shift = nav.shift;
    computeWholeRun(t, p, run, gain, offset);

    if (nav.wholeRun) {
        f.startLabel = {pixelTrunc(p.left), pixelTrunc(p.bottom + 8), formatLocal(start, "%H:%M:%S")};
        f.endLabel = {pixelTrunc(p.right - 55), pixelTrunc(p.bottom + 8),
                      formatLocal(start + static_cast<std::time_t>(n - 1) * run.interval, "%H:%M:%S")};
    } else {
        computeZoomLevels(t, p, n, nav.boxes.data(), nav.level);
        f.scrollMax = n;
        const Spacing s = spacing(t, nav.level, n);
        if (!nav.firstValid) {
            nav.firstVisible = firstVisibleSlot(p, s);
            nav.firstValid = true;
            f.setScrollPos = true;
            f.scrollPos = nav.firstVisible;
        }
        f.grid = timeGrid(t, p, nav.level, n, s, nav.firstVisible, nav.shift, start, run.interval);
        for (int e = 0; e < kGridEntries; ++e) {
            const int slot = f.grid.slot[e];
            if (slot >= n) continue;
            const float x = slotX(t, nav.level, n, s, slot);
            if (x < p.left || x > p.right) continue;
            f.timeLabel[f.timeLabels++] = {pixelTrunc(x), pixelTrunc(p.bottom + 1), formatLocal(f.grid.time[e], "%H:%M:%S")};
        }
    }
    for (int m = 0; m < kLabelLines; ++m) f.yLabels[m] = yLabel(p, m, t.v(nav.level, m));

    for (int q = 0; q < kQuantities; ++q) {
        std::string text = nav.readout[static_cast<std::size_t>(q)];
        if (q == KIR && nav.cursorIndex >= 0 && nav.cursorIndex < n &&
            isNoKirReading(run.samples[static_cast<std::size_t>(nav.cursorIndex) * kQuantities + KIR]))
            text = "------";
        f.readoutText[static_cast<std::size_t>(q)] = text + (q == RH ? std::string("%RH") : run.unitText);
    }
    f.readoutTime = nav.readoutTime;
    return f;
}

}  // namespace kv::logger
