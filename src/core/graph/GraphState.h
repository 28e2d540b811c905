#pragma once
// The real-time graph's state and arithmetic: plot geometry, the live axis and
// its growth, point tables, the zoom stack, browse position, grid, ticks and
// label positions. Everything here is plain data and pure computation; the view
// only draws what these functions return.
#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "core/graph/Pixel.h"
#include "core/record/RunState.h"
#include "core/record/SampleStore.h"

namespace kv {

constexpr int kZoomLevels = 100;     // level 0 (unzoomed) plus up to 99 boxes
constexpr int kMaxZoomDepth = 99;
constexpr int kTicks = 11;           // horizontal grid lines 0 (bottom) to 10 (top)
constexpr int kTimeLabels = 10;
constexpr int kInitialCapacity = 100;

// Areas of the view, in view client pixels, for a client rectangle whose
// left and top are 0.
struct PlotGeometry {
    int left = 0, top = 0, right = 0, bottom = 0;                 // client rectangle
    int plotLeft = 0, plotTop = 0, plotRight = 0, plotBottom = 0; // plot
    int W = 0, H = 0;                                             // plot width and height
    // Y-label column bitmap and where it is copied.
    int colX = 0, colY = 0, colW = 0, colH = 0;
    // Right margin strip: edges, and its bitmap's size.
    int stripLeft = 0, stripRight = 0, stripY = 0, stripW = 0, stripH = 0;
    bool hasPlot() const { return W > 0 && H > 0; }
};
PlotGeometry plotGeometry(int clientWidth, int clientHeight);

// Point tables: fixed size, allocated on first use and never freed. The x
// position of a sample does not depend on its quantity, so one x table per
// level serves all five traces. A paint fills level 0 and the level in force;
// the levels between are passed through on the way and not kept.
struct PointTables {
    std::unique_ptr<float[]> xLive;     // kMaxSamples
    std::unique_ptr<float[]> yLive;     // kQuantities x kMaxSamples
    std::unique_ptr<float[]> xRecord;   // kZoomLevels x kMaxSamples
    std::unique_ptr<float[]> yRecord;   // kQuantities x kZoomLevels x kMaxSamples
    bool allocated() const { return xLive != nullptr; }
    void allocate();
};

struct GraphState {
    int follow = 1;          // 1 = live mode, 0 = browse mode
    int scrollValid = 1;     // 0 = next browse paint recomputes fv
    int cursorOff = 1;       // 0 while the read-out cursor line is on screen
    uint8_t fresh = 0;       // a sample was committed since the last paint
    int32_t scrollShift = 0; // s: samples the browsed run is moved by the scroll bar
    int32_t firstVisible = 0;   // fv
    int N = kInitialCapacity;
    float liveStep = 0.0f;
    float browseStep = 0.0f;
    int browseCapacity = kInitialCapacity;
    int8_t L = 0;            // zoom boxes in force

    // Per level: the box drawn at that level as fractions of W and H ...
    double pressX[kZoomLevels] = {}, pressY[kZoomLevels] = {};
    double releaseX[kZoomLevels] = {}, releaseY[kZoomLevels] = {};
    // ... and in view client pixels, normalised (left <= right, top <= bottom).
    float boxLeft[kZoomLevels] = {}, boxRight[kZoomLevels] = {};
    float boxTop[kZoomLevels] = {}, boxBottom[kZoomLevels] = {};

    float tick[kZoomLevels][kTicks] = {};

    PointTables points;

    int labelSample[kTimeLabels] = {};
    std::time_t labelTime[kTimeLabels] = {};

    int cursorX = 0;

    // Zoom drag, between button down and button up; a box is being drawn
    // once the pointer moved (a committed sample then waits for the release).
    uint8_t dragging = 0;
    uint8_t dragInProgress = 0;
    uint8_t noBoxYet = 1;
    int anchorX = 0, anchorY = 0;
    int lastX = 0, lastY = 0;
    int cursorSample = 0;

    float* xLive() { return points.xLive.get(); }
    float* yLive(int q) { return points.yLive.get() + q * kMaxSamples; }
    float* xRecord(int level) { return points.xRecord.get() + level * kMaxSamples; }
    float* yRecord(int q, int level) {
        return points.yRecord.get() + (q * kZoomLevels + level) * kMaxSamples;
    }
    const float* xRecord(int level) const { return points.xRecord.get() + level * kMaxSamples; }
    const float* yRecord(int q, int level) const {
        return points.yRecord.get() + (q * kZoomLevels + level) * kMaxSamples;
    }
    const float* xLive() const { return points.xLive.get(); }
    const float* yLive(int q) const { return points.yLive.get() + q * kMaxSamples; }
};

// A reading as the graph shows it: converted to Fahrenheit when asked (never RH).
float displayValue(float v, int q, bool fahrenheit);
// One decimal: K/IR is cut toward zero, the others rounded half away from zero.
float oneDecimal(float v, int q);

// The plot-local y of a value on the level-0 scale.
float valueToY(float r, float tick0, float tick10, int H);

// What a paint draws, besides the point tables held in GraphState.
struct GraphFrame {
    bool plot = false;           // the plot has an area to draw into
    bool statusTexts = false;    // n = 0: the status bar gets its empty read-out
    bool cursorLine = false;     // draw the white cursor line at cursorLineX (plot-local)
    int cursorLineX = 0;

    int vLineCount = 0;
    int vLines[kTimeLabels + 4] = {};   // plot-local x of vertical grid lines
    int hLineCount = 0;
    int hLines[10] = {};                // plot-local y of horizontal grid lines
    int hLineLength = 0;

    bool live = true;            // follow flag at drawing time
    bool traces = false;         // segments to draw (n > 1)
    float x0 = 0.0f, dx = 0.0f;  // browse mode: plot x of sample 0 and sample spacing

    bool scrollRange = false;    // browse mode: the scroll bar gets range 0..n
    bool scrollPosition = false; // browse mode after a zoom: its position becomes fv
    bool repaint = false;        // the live axis grew: repaint the whole view

    int timeLabelCount = 0;      // labels 0..count-1 are candidates
    int timeLabelX[kTimeLabels] = {};
    bool timeLabelShown[kTimeLabels] = {};
    int timeLabelY = 0;          // in the main window's client coordinates, like the x

    int yTickY[kTicks] = {};     // in the Y-label column's own coordinates
    int yTextX[kTicks] = {};
    int yTextY[kTicks] = {};
};

// Who the picture is for: the view on screen, or a picture of the same graph
// drawn elsewhere (an exported image), which leaves out the read-out cursor
// line and leaves its state as the screen has it.
enum class GraphPass { Screen, Export };

// One paint's computation: geometry in, state and tables updated, what to
// draw out.
GraphFrame computeGraph(GraphState& g, const PlotGeometry& geo, const RunState& run,
                        const SampleStore& doc, GraphPass pass = GraphPass::Screen);

// The first sample of a run starts a fresh, unzoomed axis. Returns true when
// that ended browse mode (UndoZoom's state changed).
bool startFreshAxis(GraphState& g);

// Fills the truncated pixel positions (plot-local) of samples 0..n-1 of
// quantity q as the paint draws them. Returns how many vertices were written.
int tracePixels(const GraphState& g, const GraphFrame& f, const RunState& run, int q, int* xs,
                int* ys);

// Indent count of a Y label (characters of 7.5 pixels) for its value.
int labelIndent(float v);
// "%.2f"
std::string yLabelText(float v);

}  // namespace kv
