#pragma once
// What the user does inside the logger viewer: zoom boxes dragged with the
// mouse, the cursor line and its read-out, the scroll bar, the quantity
// switches. Handlers change state and say what to draw straight onto the
// window; the paint draws everything else from the state.
#include <array>
#include <cstdint>
#include <ctime>
#include <string>

#include "core/logger/LoggerGeometry.h"

namespace kv::logger {

struct IPoint {
    int x = 0, y = 0;
    bool operator==(const IPoint&) const = default;
};
// A rectangle with exclusive right and bottom edges.
struct IRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
    bool operator==(const IRect&) const = default;
};
IRect spanned(IPoint a, IPoint b);

struct Nav {
    bool wholeRun = true;
    int level = 0;                              // zoom boxes in force
    std::array<ZoomBox, kLevels> boxes{};
    bool dragging = false;
    bool boxDrawn = false;                      // a rubber band is on screen
    IPoint anchor, corner;
    int shift = 0;                              // slots the trace is moved right
    int firstVisible = 0;
    bool firstValid = false;
    bool cursorPresent = false;
    int cursorX = 0;
    int cursorIndex = 0;
    std::array<std::string, kQuantities> readout;   // last values under the cursor
    std::string readoutTime;
    std::array<bool, kQuantities> shown{true, true, true, true, true};

    // Back to the whole run: level 0, no shift, no cursor line, no band.
    void wholeRunReset();
};

// The samples on show, 0-based and inclusive: the whole run, or while zoomed
// those whose slot lies between the plot's edges (after the scroll shift).
// Empty (last < first) when none is.
struct SampleSpan {
    int first = 0, last = -1;
};
SampleSpan visibleSamples(const CoordTables& t, const Nav& nav, const PlotRect& p, int n);

// Limits a point to the plot, edges included, truncated to whole pixels.
IPoint clampToPlot(const PlotRect& p, int x, int y);

// Left button down (with or without a run loaded).
void press(Nav& nav, const PlotRect& p, int x, int y);

struct MoveResult {
    bool cursor = false;       // invert the cursor line at oldX (if eraseOld), then at newX
    bool eraseOld = false;
    int oldX = 0, newX = 0;
    bool band = false;         // invert oldBand, then newBand
    IRect oldBand, newBand;
    bool readout = false;      // draw the read-out texts of nav
};
// Mouse move. Does nothing without a loaded run.
MoveResult move(Nav& nav, const PlotRect& p, const CoordTables& t, const LoggedRun& run, std::time_t start,
                bool loaded, int x, int y);

struct ReleaseResult {
    bool removeBand = false;   // invert `band` to take the rubber band off
    IRect band;
    bool finished = false;     // zoomed view now: repaint at once
    bool pushed = false;       // the box became a new level
};
// Left button up. V of the new level's two lowest lines is filled in `t`.
ReleaseResult release(Nav& nav, const PlotRect& p, CoordTables& t, int n, bool loaded, int x, int y);

// Whether box `level` may become level + 1: below level 99, one division of
// the new level spanning more than 0.1, one interval narrower than the plot,
// and a box with width and height.
bool acceptZoom(CoordTables& t, const PlotRect& p, int n, int level, const ZoomBox& box);

// The drag watchdog: a pointer well outside the plot cancels the drag.
bool farOutsidePlot(const PlotRect& p, int x, int y);
// Returns true when it cancelled a drag (repaint at once, stop the watchdog).
bool watchDrag(Nav& nav, const PlotRect& p, int x, int y);

// The sample under the cursor at client x, the nearer slot winning (ties stay left).
int cursorIndexAt(float x, const Spacing& s, int shift);

// Scroll bar: the thumb dragged to p moves the trace so that sample p - 1 is
// at the left edge; every scroll message then sets the thumb from the state.
void thumbTrack(Nav& nav, int p);
int thumbPosition(const Nav& nav);

// AIR..RH each show their own quantity alone; Combine shows all five.
void showOnly(Nav& nav, int q);
void showAll(Nav& nav);

// What one paint draws besides the fixed parts and the traces.
struct Frame {
    PlotRect plot;
    bool loaded = false;
    bool wholeRun = true;
    int level = 0;
    int n = 0;
    int shift = 0;
    TextAt startLabel, endLabel;                 // whole-run view
    int scrollMax = 0;                           // zoomed view: range 0..n
    bool setScrollPos = false;
    int scrollPos = 0;
    TimeGrid grid;                               // zoomed view
    int timeLabels = 0;
    TextAt timeLabel[kGridEntries];
    TextAt yLabels[kLabelLines];
    std::array<std::string, kQuantities> readoutText;   // with unit, "%RH" for RH
    std::string readoutTime;
};
// One paint's computation: tables for levels 0..L, the first visible slot,
// the time grid, labels and read-out texts.
Frame prepareFrame(CoordTables& t, Nav& nav, const PlotRect& p, const LoggedRun& run, std::time_t start,
                   int32_t gain, int32_t offset, bool loaded);

}  // namespace kv::logger
