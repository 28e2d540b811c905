#pragma once
// The real-time graph view: draws the live graph, hosts and places the panels,
// runs the sample timer, the link watchdog and the zoom-drag watchdog.
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

class MainWindow;
class GraphControlBar;
class ReadingsPanel;
class MeterPanel;
class QScrollBar;

class LiveGraphView : public QWidget {
    Q_OBJECT
public:
    explicit LiveGraphView(MainWindow* frame);
    ~LiveGraphView() override;

    GraphControlBar* graphBar() const { return graphBar_; }
    ReadingsPanel* alarmPanel() const { return alarmPanel_; }
    MeterPanel* meterPanel() const { return meterPanel_; }
    QScrollBar* scrollBar() const { return scrollBar_; }

    // Starts the sample timer and the link watchdog; first layout.
    void initialUpdate();
    // Places the panels from the main window's client rectangle.
    void layoutPanels();
    bool inBrowseMode() const;
    void undoZoom();
    void print();

    // The graph's state: zoom stack, ticks and point tables (the report reads tick[0]).
    kv::GraphState& graph() { return *graph_; }
    const kv::GraphState& graph() const { return *graph_; }
    // Geometry of the view's areas for its current size.
    kv::PlotGeometry plotGeometry() const;
    // Enable states of Run, Stop, UndoZoom, Save, Print and Open.
    kv::CommandStates commandStates() const;

    // The font the graph's texts use.
    static QFont displayFont();

protected:
    void timerEvent(QTimerEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    // Draws the whole picture into the back buffer from the model.
    void renderGraph();
    void drawLabels(QPainter& p, const kv::PlotGeometry& geo, const kv::GraphFrame& f);
    // Xor drawing straight onto the back buffer, shown by the next paint.
    void invertCursorLine(int x);
    void invertBand(const kv::IRect& r);
    void showOverlay(const QRect& r);
    // The view's origin in the main window's client coordinates.
    QPoint frameOffset() const;
    // The main window's client rectangle that the layout and its strips go by.
    QRect frameClient() const;
    void onScrollValue(int value);
    void setScrollBarQuietly(int min, int max, int value, bool setValue);

    MainWindow* frame_;
    GraphControlBar* graphBar_ = nullptr;
    ReadingsPanel* alarmPanel_ = nullptr;
    MeterPanel* meterPanel_ = nullptr;
    QWidget* scrollBarBar_ = nullptr;
    QScrollBar* scrollBar_ = nullptr;
    QBasicTimer sampleTimer_, watchdogTimer_, dragTimer_;

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
