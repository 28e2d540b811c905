#pragma once
// Zoom boxes and the cursor read-out of the real-time graph, as plain
// functions over GraphState. They say what to draw (xor cursor line, rubber
// band) and what changed; the view draws it.
#include <string>

#include "core/graph/GraphState.h"

namespace kv {

// A rectangle in view client pixels; right and bottom are exclusive.
struct IRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
    bool operator==(const IRect&) const = default;
};
// The rectangle spanned by two corners.
IRect spanned(int x1, int y1, int x2, int y2);

// Clamps a point into the plot rectangle (edges included).
void clampToPlot(const PlotGeometry& geo, int& x, int& y);

// Plot x of sample 0 and the spacing of samples at the current level, as the
// paint laid them out. False when there is no spacing to go by.
bool sampleSpacing(const GraphState& g, int n, float& x0, float& dx);

// The sample under view client x: the nearer of its two neighbours, a tie
// keeping the left one. -1 without a sample spacing.
int cursorSampleAt(const GraphState& g, const PlotGeometry& geo, int n, int scrollShift, int x);

// Left button down. Returns false when nothing is to happen (no samples yet).
bool pressAt(GraphState& g, const PlotGeometry& geo, const RunState& run, int x, int y);

struct MoveEffects {
    bool eraseCursor = false;    // invert the line at oldCursorX again
    int oldCursorX = 0;
    int cursorX = 0;             // invert the line here
    bool readout = false;        // the status bar shows sample `sample`
    int sample = -1;
    bool band = false;           // rubber band: invert oldBand, then newBand
    IRect oldBand, newBand;
};
// Mouse move. Returns false when nothing is to happen (no samples yet).
bool moveTo(GraphState& g, const PlotGeometry& geo, const RunState& run, int x, int y, MoveEffects& out);

struct ReleaseEffects {
    bool removeBand = false;     // invert `band` to take the rubber band off
    IRect band;
    bool finished = false;       // a box was drawn: browse mode, repaint now
    bool pushed = false;         // and it became a new zoom level
};
// Left button up. Returns false when nothing is to happen (no samples yet).
// A run of one sample has nothing to zoom into: the band goes, nothing else.
bool releaseAt(GraphState& g, const PlotGeometry& geo, const RunState& run, int x, int y,
               ReleaseEffects& out);

// Back to the live, unzoomed graph.
void undoZoom(GraphState& g);

// The zoom-drag watchdog: a drag whose pointer left the drag zone is
// cancelled. Returns true when it cancelled one (repaint, stop the watchdog).
bool dragZoneCheck(GraphState& g, const PlotGeometry& geo, int x, int y);

// The status bar's read-out of sample c: pane 1 and pane 2.
struct Readout {
    std::string time;
    std::string values;
};
Readout readoutTexts(const RunState& run, const SampleStore& doc, int c);
// One quantity's read-out text.
std::string readoutValue(float v, int q, bool fahrenheit);

// Pane texts while no sample has been committed.
inline constexpr const char* kEmptyTimePane = "time:";
inline constexpr const char* kEmptyValuePane =
    "AIR:         WB:         DP:         K/IR:         RH:";

}  // namespace kv
