#pragma once
// The logger viewer's graph as numbers: the plot rectangle, the coordinate
// tables of every sample at every zoom level, the Y labels, the time grid and
// the texts of one paint. The window only draws what these return.
#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "core/graph/Pixel.h"
#include "core/record/SampleStore.h"

namespace kv::logger {

inline constexpr int kLevels = 100;       // level 0 (whole run) and up to 99 zooms
inline constexpr int kMaxLevel = kLevels - 1;
inline constexpr int kLabelLines = 11;    // horizontal grid lines, 0 = bottom
inline constexpr int kGridEntries = 10;   // time grid lines of the zoomed view

// Plot rectangle in client pixels, from a client area whose origin is 0, 0.
struct PlotRect {
    float left = 0, top = 0, right = 0, bottom = 0, w = 0, h = 0;
};
PlotRect plotRect(int clientWidth, int clientHeight);

// A zoom box: B where the button went down, A where it came up.
struct ZoomBox {
    float xA = 0, yA = 0, xB = 0, yB = 0;
};
// A gets the larger and B the smaller coordinate on each axis.
void normalise(ZoomBox& b);

// The value at which a stored sample is drawn on the label scale: converted
// while the unit flag is 1 (never RH), K/IR cut to one decimal, the others
// rounded to one decimal half away from zero.
double traceValue(float stored, int q, uint8_t unitFlag);

// X, Y and V tables, allocated once on first use and kept.
class CoordTables {
public:
    void allocate();
    bool allocated() const { return x_ != nullptr; }
    float* x(int level) { return x_.get() + static_cast<std::size_t>(level) * kMaxSamples; }
    const float* x(int level) const { return x_.get() + static_cast<std::size_t>(level) * kMaxSamples; }
    float* y(int level, int q) {
        return y_.get() + (static_cast<std::size_t>(level) * kQuantities + q) * kMaxSamples;
    }
    const float* y(int level, int q) const {
        return y_.get() + (static_cast<std::size_t>(level) * kQuantities + q) * kMaxSamples;
    }
    float& v(int level, int m) { return v_[static_cast<std::size_t>(level) * kLabelLines + m]; }
    float v(int level, int m) const { return v_[static_cast<std::size_t>(level) * kLabelLines + m]; }

private:
    std::unique_ptr<float[]> x_, y_;
    std::array<float, kLevels * kLabelLines> v_{};
};

// Level 0, the whole run: every sample across the plot, the labels from the
// logger's gain (value per division) and offset (divisions).
void computeWholeRun(CoordTables& t, const PlotRect& p, const LoggedRun& run, int32_t gain, int32_t offset);
// Levels 1..level from level 0 through zoom boxes 0..level-1, each normalised first.
void computeZoomLevels(CoordTables& t, const PlotRect& p, int n, ZoomBox* boxes, int level);

// Where the slots lie at a level: x of slot 0 and the width of one interval.
struct Spacing {
    float x0 = 0, dx = 0;
    bool valid = false;   // false below two samples: there is no interval
};
Spacing spacing(const CoordTables& t, int level, int n);
// X of a slot, also of one outside the run (on the same straight line).
float slotX(const CoordTables& t, int level, int n, const Spacing& s, int slot);

// The first slot at the plot's left edge in the zoomed view.
int firstVisibleSlot(const PlotRect& p, const Spacing& s);

// Y labels: "%.2f" of the value, indented by the width of missing digits.
int labelIndent(float v);
struct TextAt {
    int x = 0, y = 0;
    std::string text;
};
TextAt yLabel(const PlotRect& p, int m, float v);

// The zoomed view's time grid: vertical lines and the times under them.
struct TimeGrid {
    int lines = 0;
    float lineX[kGridEntries] = {};
    int slot[kGridEntries] = {};
    std::time_t time[kGridEntries] = {};
};
TimeGrid timeGrid(const CoordTables& t, const PlotRect& p, int level, int n, const Spacing& s, int first,
                  int shift, std::time_t start, int32_t interval);

// Cursor read-out: x offsets from the plot's left edge of each quantity's
// value text, "@" and time text.
struct ReadoutColumns {
    int value, at, time;
};
inline constexpr ReadoutColumns kReadoutColumns[kQuantities] = {
    {0, 50, 62}, {120, 170, 182}, {240, 290, 302}, {360, 410, 422}, {480, 542, 554}};
inline constexpr int kReadoutY = 70;
// The read-out value text of a sample, without its unit ("------" for no K/IR).
std::string readoutValue(const LoggedRun& run, int c, int q);
// Legend: name at (left + kLegendX[q], 40), a line from -20 to +40 of it at y 60.
inline constexpr int kLegendX[kQuantities] = {40, 160, 280, 400, 520};

}  // namespace kv::logger
