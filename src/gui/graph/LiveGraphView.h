#pragma once
// The real-time graph view: draws the live run of the meter session it
// observes and turns mouse input into zoom, scroll and the cursor read-out.
#include <QBasicTimer>
#include <QFont>
#include <QImage>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <ctime>
#include <memory>

#include "core/graph/GraphState.h"
#include "core/graph/Raster.h"
#include "core/graph/ZoomCursor.h"
#include "gui/graph/GraphImage.h"

class MeterSession;
class PlotSurface;
class QScrollBar;

class LiveGraphView : public QWidget {
    Q_OBJECT
public:
    LiveGraphView(MeterSession& session, QWidget* parent);
    ~LiveGraphView() override;

    // The scroll bar under the graph, placed by the window; live while a
    // zoomed run is browsed.
    void setScrollBar(QScrollBar* bar);
    QScrollBar* scrollBar() const { return scrollBar_; }
    // The window's client rectangle and its origin in the window: the strips
    // around the plot go by them.
    void setClientArea(const QRect& client, const QPoint& origin);

    bool inBrowseMode() const;
    void undoZoom();
    void print();
    // Export Graph Image: asks for a file name and writes picture() to it.
    void exportImage();
    // The part of the view the graph occupies: the plot with its Y labels,
    // legend and time labels.
    QRect graphArea() const;
    // The graph as the view shows it now (zoom, scroll position, trace
    // switches, Y scale), drawn afresh: no cursor line, no rubber band.
    GraphPicture picture();

    // The graph's state: zoom stack, ticks and point tables (the report reads tick[0]).
    kv::GraphState& graph() { return *graph_; }
    const kv::GraphState& graph() const { return *graph_; }
    // Geometry of the view's areas for its current size.
    kv::PlotGeometry plotGeometry() const;

    // The font the graph's texts use.
    static QFont displayFont();

signals:
    // Zoomed in or back out (UndoZoom, a run's first sample): UndoZoom's state.
    void browseModeChanged();
    // The cursor read-out for the status bar (empty texts clear it).
    void readoutChanged(const QString& time, const QString& values);

protected:
    void timerEvent(QTimerEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    // Draws the whole picture into the back buffer from the model.
    void renderGraph();
    // One picture of the graph of frame `f`: the strips, legend and labels
    // with `p` in view coordinates, the plot through `plot`. The screen and an
    // exported image both draw with it.
    void drawGraph(QPainter& p, PlotSurface& plot, const kv::PlotGeometry& geo, const kv::GraphFrame& f);
    // What a paint's computation asks of the view besides its picture: the
    // scroll bar's range and position, a repaint once the axis grew.
    void applyFrame(const kv::GraphFrame& f);
    void drawLabels(QPainter& p, const kv::PlotGeometry& geo, const kv::GraphFrame& f);
    // Xor drawing straight onto the back buffer, shown by the next paint.
    void invertCursorLine(int x);
    void invertBand(const kv::IRect& r);
    void showOverlay(const QRect& r);
    // The view's origin in the main window's client coordinates.
    QPoint frameOffset() const;
    // The main window's client rectangle that the layout and its strips go by.
    QRect frameClient() const;
    // Back to the live axis when a run starts its samples; says so when that ends browse mode.
    void startFreshAxis();
    void onScrollValue(int value);
    void disableScrollBar();
    void setScrollBarQuietly(int min, int max, int value, bool setValue);

    MeterSession& session_;
    QScrollBar* scrollBar_ = nullptr;
    QRect client_;
    QPoint clientOrigin_;
    QBasicTimer dragTimer_;

    std::unique_ptr<kv::GraphState> graph_;
    QImage back_;                   // the whole view, drawn off-screen and copied in one block
    QRegion overlay_;               // parts changed only by xor drawing since the last paint
    std::unique_ptr<int[]> px_, py_;   // one trace's pixel vertices
    QFont font_;
    QString yLabels_[kv::kTicks];
    float yLabelValues_[kv::kTicks];
    QString timeLabels_[kv::kTimeLabels];
    std::time_t timeLabelValues_[kv::kTimeLabels];
    QPoint lastMouse_;
    bool scrollUpdating_ = false;
};
