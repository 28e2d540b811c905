#pragma once
// The one-page "Test Report" of a run, laid out in page units: 1 unit = 0.01
// inch, y growing upward, origin at the bottom-right corner of the printable
// area, so x is negative and y positive. The real-time view and the logger
// viewer print the same page from different stores; ReportData hides where the
// samples come from. The painter only draws what layoutReport returns.
#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "core/record/RunState.h"
#include "core/record/SampleStore.h"

namespace kv {

// The page needs 8.0 x 11.2 inch: Y labels start 8 inch left of the right
// edge and the title's top is 11.2 inch above the bottom edge.
constexpr double kReportWidthUnits = 800.0;
constexpr double kReportHeightUnits = 1120.0;

// Frame of the graph, in page units.
constexpr int kFrameLeft = -750, kFrameRight = -10, kFrameBottom = 200, kFrameTop = 1000;

inline constexpr const char* kReportTitle = " Test Report ";
inline constexpr const char* kReportDocName = "client   print";

// Samples of one run, wherever they are stored: value of quantity q at sample
// i is base[i * sampleStride + q * quantityStride].
struct ReportSamples {
    const float* base = nullptr;
    int count = 0;
    int sampleStride = 1;
    int quantityStride = kMaxSamples;
    float at(int i, int q) const { return base[i * sampleStride + q * quantityStride]; }
};

struct ReportData {
    ReportSamples samples;
    std::time_t start = 0;          // time of sample 0
    int64_t intervalMs = 0;         // between samples
    uint8_t unitFlag = 0;           // 1 = temperatures shown in Fahrenheit
    float ticks[11] = {};           // value of horizontal grid line 0 (bottom) to 10 (top)
    bool shown[kQuantities] = {true, true, true, true, true};
    std::time_t printedAt = 0;      // the date printed at the bottom
};

// The real-time run: the live series (five separate arrays), n samples, the
// unzoomed scale whatever the zoom of the screen.
ReportData liveReportData(const SampleStore& doc, const RunState& run, std::time_t printedAt);
// A logged run: interleaved samples, interval in seconds, its own scale.
ReportData loggerReportData(const LoggedRun& logged, int32_t gain, int32_t offset,
                            std::time_t start, const bool shown[kQuantities],
                            std::time_t printedAt);

// Values of the 11 horizontal grid lines: (i + offset) * gain.
std::array<float, 11> unzoomedTicks(int32_t gain, int32_t offset);

struct PagePoint {
    int x = 0, y = 0;
    bool operator==(const PagePoint&) const = default;
};
struct PageLine {
    PagePoint a, b;
};
enum class PageFont { Title, Text };
struct PageText {
    PagePoint at;        // top-left corner of the text
    std::string text;
    PageFont font = PageFont::Text;
};

struct ReportLayout {
    std::array<PageLine, 4> frame{};            // bottom, left, top, right
    // One vertex per sample for each shown quantity (empty otherwise and when
    // the run has fewer than two samples). The segments are drawn a short run
    // of samples at a time, all quantities in order, so later ones cover
    // earlier ones where they cross.
    std::vector<PagePoint> trace[kQuantities];
    bool body = false;                          // n >= 1: texts and grid are drawn
    PageText title;
    std::vector<PageText> names;                // of the shown quantities
    std::array<PageText, 11> yLabels{};
    std::array<PageText, 5> timeLabels{};
    std::array<PageLine, 13> grid{};            // 10 horizontal, 3 vertical
    PageText date;
};

ReportLayout layoutReport(const ReportData& data);

// Time label j (0..4): start + ((n div 4) * interval * j) div 1000 seconds.
std::time_t reportLabelTime(const ReportData& data, int j);
// Page height of a value on the report's scale (not rounded, not clamped).
double reportValueY(double v, const float ticks[11]);

// Where the page goes on the device: device x = ox + sx * x, device y = oy - sy * y.
struct PageMapping {
    double sx = 1, sy = 1, ox = 0, oy = 0;
    double scale = 1;          // 1, or less when the page was shrunk to fit
};
// Maps page units into a printable area given in device pixels. An area
// smaller than the page needs is filled by the page shrunk evenly, anchored
// at its bottom-right corner, so that nothing is cut.
PageMapping reportMapping(double areaLeft, double areaTop, double areaWidth, double areaHeight,
                          double dpiX, double dpiY);

}  // namespace kv
