#include "core/graph/ReportLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/record/LocalTime.h"

namespace kv {

namespace {

// A corrupt file can hold values that map to infinity or NaN; keep every
// vertex where a line drawing still works (1000 inch off the page is enough
// to be off the frame) and send NaN below it.
constexpr double kFarAway = 100000.0;

int pageTrunc(double v) {
    if (!(v == v)) return static_cast<int>(-kFarAway);
    return static_cast<int>(std::clamp(v, -kFarAway, kFarAway));
}

std::string formatTick(float v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f", static_cast<double>(v));
    return buf;
}

constexpr int kTimeLabelX[5] = {-750, -580, -410, -240, -70};
constexpr int kGridX[3] = {-565, -380, -195};

}  // namespace

std::array<float, 11> unzoomedTicks(int32_t gain, int32_t offset) {
    std::array<float, 11> t{};
    for (int i = 0; i < 11; ++i)
        t[i] = static_cast<float>((static_cast<int64_t>(i) + offset) * static_cast<int64_t>(gain));
    return t;
}

ReportData liveReportData(const SampleStore& doc, const RunState& run, std::time_t printedAt) {
    ReportData d;
    d.samples.base = &doc.live[0][0];
    d.samples.count = std::clamp(run.n, 0, kMaxSamples);
    d.samples.sampleStride = 1;
    d.samples.quantityStride = kMaxSamples;
    d.start = run.runStartTime;
    d.intervalMs = run.intervalMs;
    d.unitFlag = run.unitFlag;
    const auto t = unzoomedTicks(run.yGain, run.yOffset);
    std::copy(t.begin(), t.end(), d.ticks);
    for (int q = 0; q < kQuantities; ++q) d.shown[q] = run.traces[q] == 1;
    d.printedAt = printedAt;
    return d;
}

ReportData loggerReportData(const LoggedRun& logged, int32_t gain, int32_t offset,
                            std::time_t start, const bool shown[kQuantities],
                            std::time_t printedAt) {
    ReportData d;
    d.samples.base = logged.samples.data();
    d.samples.count = std::clamp(logged.count, 0, kMaxSamples);
    d.samples.sampleStride = kQuantities;
    d.samples.quantityStride = 1;
    d.start = start;
    d.intervalMs = static_cast<int64_t>(logged.interval) * 1000;
    d.unitFlag = logged.unitFlag;
    const auto t = unzoomedTicks(gain, offset);
    std::copy(t.begin(), t.end(), d.ticks);
    for (int q = 0; q < kQuantities; ++q) d.shown[q] = shown[q];
    d.printedAt = printedAt;
    return d;
}

std::time_t reportLabelTime(const ReportData& data, int j) {
    const int64_t quarter = data.samples.count / 4;
    return data.start + static_cast<std::time_t>(quarter * data.intervalMs * j / 1000);
}

double reportValueY(double v, const float ticks[11]) {
    const double t0 = ticks[0], t10 = ticks[10];
    return 800.0 / (t10 - t0) * (v - t0) + 200.0;
}

ReportLayout layoutReport(const ReportData& data) {
    ReportLayout r;
    r.frame = {PageLine{{kFrameLeft, kFrameBottom}, {kFrameRight, kFrameBottom}},
               PageLine{{kFrameLeft, kFrameBottom}, {kFrameLeft, kFrameTop}},
               PageLine{{kFrameLeft, kFrameTop}, {kFrameRight, kFrameTop}},
               PageLine{{kFrameRight, kFrameBottom}, {kFrameRight, kFrameTop}}};
    const int n = data.samples.count;
    if (n < 1 || data.samples.base == nullptr) return r;
    r.body = true;

    if (n >= 2) {
        for (int q = 0; q < kQuantities; ++q) {
            if (!data.shown[q]) continue;
            auto& pts = r.trace[q];
            pts.resize(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i) {
                double v = data.samples.at(i, q);
                if (data.unitFlag == 1 && q != RH) v = static_cast<float>(v * 1.8 + 32.0);
                const float y = static_cast<float>(reportValueY(v, data.ticks));
                // i * (740 / (n - 1)), taken so that the last sample lands on the frame's right edge.
                const double x = static_cast<double>(i) * 740.0 / (n - 1) + kFrameLeft;
                pts[static_cast<std::size_t>(i)] = {pageTrunc(x), pageTrunc(y)};
            }
        }
    }

    r.title = {{-620, 1120}, kReportTitle, PageFont::Title};
    for (int q = 0; q < kQuantities; ++q)
        if (data.shown[q]) r.names.push_back({{-600 + 100 * q, 1025}, kQuantityNames[q], PageFont::Text});
    for (int i = 0; i < 11; ++i) r.yLabels[i] = {{-800, 210 + 80 * i}, formatTick(data.ticks[i]), PageFont::Text};
    for (int j = 0; j < 5; ++j)
        r.timeLabels[j] = {{kTimeLabelX[j], 195}, formatLocal(reportLabelTime(data, j), "%H:%M:%S"), PageFont::Text};
    for (int k = 0; k < 10; ++k) r.grid[k] = {{-10, 280 + 80 * k}, {-755, 280 + 80 * k}};
    for (int k = 0; k < 3; ++k) r.grid[10 + k] = {{kGridX[k], 200}, {kGridX[k], 1000}};
    r.date = {{-200, 100}, formatLocal(data.printedAt, "%Y-%m-%d  %H:%M"), PageFont::Text};
    return r;
}

PageMapping reportMapping(double areaLeft, double areaTop, double areaWidth, double areaHeight,
                          double dpiX, double dpiY) {
    PageMapping m;
    double s = 1.0;
    if (dpiX > 0 && dpiY > 0 && areaWidth > 0 && areaHeight > 0) {
        const double needW = kReportWidthUnits / 100.0 * dpiX;
        const double needH = kReportHeightUnits / 100.0 * dpiY;
        s = std::min({1.0, areaWidth / needW, areaHeight / needH});
    }
    m.scale = s;
    m.sx = dpiX / 100.0 * s;
    m.sy = dpiY / 100.0 * s;
    m.ox = areaLeft + areaWidth;
    m.oy = areaTop + areaHeight;
    return m;
}

}  // namespace kv
