#include "gui/graph/LiveGraphView.h"

#include <QApplication>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimerEvent>
#include <cmath>
#include <limits>

#include "core/link/LinkEngine.h"
#include "gui/Fonts.h"
#include "gui/graph/GraphImage.h"
#include "gui/graph/PlotSurface.h"
#include "gui/report/PrintCommand.h"
#include "session/MeterSession.h"

namespace {

const QColor kMargin(217, 218, 212);
constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kGrid = 0xFFAAAAAAu;
constexpr uint32_t kTraceColours[kv::kQuantities] = {
    0xFFFF0000u,   // AIR
    0xFFFFFF00u,   // WB
    0xFF00FFFFu,   // DP
    0xFFC864C8u,   // K/IR
    0xFF00FF00u,   // RH
};

}  // namespace

LiveGraphView::LiveGraphView(MeterSession& session, QWidget* parent)
    : QWidget(parent), session_(session), graph_(std::make_unique<kv::GraphState>()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setAccessibleName(QStringLiteral("Real-time graph"));
    setAccessibleDescription(QStringLiteral("AIR, WB, DP, K/IR and RH of the run so far; the readings under the "
                                            "mouse go to the status bar, a box dragged zooms in, UndoZoom returns"));
    font_ = displayFont();
    for (float& v : yLabelValues_) v = std::numeric_limits<float>::quiet_NaN();
    for (std::time_t& t : timeLabelValues_) t = std::numeric_limits<std::time_t>::min();

    const auto redraw = [this] { redrawGraph(); };
    connect(&session_, &MeterSession::sampleCommitted, this, [this](int n) {
        // The first sample of a run starts a fresh, unzoomed axis.
        if (n == 1) startFreshAxis();
        // The cursor line survives the repaint this sample asks for.
        graph_->fresh = 1;
        // A zoom box being dragged is not disturbed; the release redraws.
        if (!graph_->dragInProgress) redrawGraph();
    });
    // Stop and a silent meter end a run: the next repaint forgets the cursor line.
    const auto notFresh = [this] { graph_->fresh = 0; };
    connect(&session_, &MeterSession::runEnded, this, notFresh);
    connect(&session_, &MeterSession::meterSilent, this, notFresh);
    connect(&session_, &MeterSession::runStarted, this, redraw);
    connect(&session_, &MeterSession::runArmed, this, redraw);
    connect(&session_, &MeterSession::runRestored, this, [this] {
        graph_->fresh = 0;
        startFreshAxis();
        redrawGraph();
    });
    connect(&session_, &MeterSession::portChosen, this, redraw);
    connect(&session_, &MeterSession::displaySettingsChanged, this, redraw);
}

LiveGraphView::~LiveGraphView() = default;

void LiveGraphView::setScrollBar(QScrollBar* bar) {
    scrollBar_ = bar;
    scrollBar_->setEnabled(false);
    scrollBar_->setRange(0, 0);
    scrollBar_->setToolTip(tr("Scrolls a zoomed graph along the run"));
    connect(scrollBar_, &QScrollBar::valueChanged, this, &LiveGraphView::onScrollValue);
}

void LiveGraphView::setClientArea(const QRect& client, const QPoint& origin) {
    if (client_ == client && clientOrigin_ == origin) return;
    client_ = client;
    clientOrigin_ = origin;
    redrawGraph();
}

QRegion LiveGraphView::shownRegion() const {
    // The panels lie over the view: what they cover is never seen, and a
    // repaint that took it in would repaint every panel with the graph.
    QRegion shown(rect());
    if (const QWidget* parent = parentWidget()) {
        const QObjectList& siblings = parent->children();
        for (qsizetype i = siblings.indexOf(const_cast<LiveGraphView*>(this)) + 1; i < siblings.size(); ++i) {
            const QWidget* w = qobject_cast<const QWidget*>(siblings.at(i));
            if (w && !w->isWindow() && w->isVisible()) shown -= w->geometry().translated(-pos());
        }
    }
    return shown;
}

void LiveGraphView::redrawGraph() { update(shownRegion()); }

QFont LiveGraphView::displayFont() {
    // The main window's 10-point SimSun.
    return kv::faceFont(QStringLiteral("SimSun"), 13);
}

kv::PlotGeometry LiveGraphView::plotGeometry() const { return kv::plotGeometry(width(), height()); }

QRect LiveGraphView::frameClient() const { return client_.isValid() ? client_ : QRect(QPoint(0, 0), size()); }

bool LiveGraphView::inBrowseMode() const { return graph_->follow == 0; }

void LiveGraphView::undoZoom() {
    kv::undoZoom(*graph_);
    disableScrollBar();
    repaint(shownRegion());
    emit browseModeChanged();
}

void LiveGraphView::startFreshAxis() {
    if (!kv::startFreshAxis(*graph_)) return;
    disableScrollBar();
    emit browseModeChanged();
}

void LiveGraphView::print() {
    // The whole run on the unzoomed scale, whatever the screen shows.
    printLiveReport(this, session_.model());
}

QPoint LiveGraphView::frameOffset() const { return mapTo(window(), QPoint(0, 0)) - clientOrigin_; }

void LiveGraphView::timerEvent(QTimerEvent* e) {
    if (e->timerId() == dragTimer_.timerId()) {
        if (kv::dragZoneCheck(*graph_, plotGeometry(), lastMouse_.x(), lastMouse_.y())) {
            repaint(shownRegion());
            dragTimer_.stop();
        }
    } else {
        QWidget::timerEvent(e);
    }
}

void LiveGraphView::paintEvent(QPaintEvent* e) {
    // Three kinds of paint: the xor overlays just drawn into the back buffer;
    // a repaint asked for by invalidating the view, which always takes in the
    // whole plot as far as no panel covers it; and parts uncovered by the
    // panels above the view, which the back buffer still holds as they are.
    bool render = !bufferFits();
    if (!render && !(!overlay_.isEmpty() && (e->region() - overlay_).isEmpty())) {
        const kv::PlotGeometry geo = plotGeometry();
        const QRect plot(geo.plotLeft, geo.plotTop, geo.W, geo.H);
        render = !geo.hasPlot() || ((QRegion(plot) & shownRegion()) - e->region()).isEmpty();
    }
    overlay_ = QRegion();
    if (render) renderGraph();
    QPainter p(this);
    copyToWidget(p, back_, e->region());
}

bool LiveGraphView::bufferFits() const { return isDeviceImage(back_, size(), devicePixelRatioF()); }

void LiveGraphView::renderGraph() {
    const kv::Model& m = session_.model();
    if (!bufferFits()) {
        back_ = deviceImage(size(), devicePixelRatioF());
        back_.fill(kMargin);
    }
    if (back_.isNull()) return;

    const kv::PlotGeometry geo = plotGeometry();
    const kv::GraphFrame f = kv::computeGraph(*graph_, geo, m.run, *m.doc);

    if (f.statusTexts) emit readoutChanged(QString::fromLatin1(kv::kEmptyTimePane), QString::fromLatin1(kv::kEmptyValuePane));

    {
        QPainter p(&back_);
        // The plot goes straight into its part of the back buffer.
        RasterSurface plot(back_, f.plot ? QRect(geo.plotLeft, geo.plotTop, geo.W, geo.H) : QRect());
        drawGraph(p, *plot, geo, f);
    }

    // A rubber band still being dragged stays on screen across repaints.
    if (graph_->dragging && graph_->dragInProgress && !graph_->noBoxYet)
        invertBand(kv::spanned(graph_->anchorX, graph_->anchorY, graph_->lastX, graph_->lastY));

    applyFrame(f);
}

void LiveGraphView::applyFrame(const kv::GraphFrame& f) {
    const auto& run = session_.model().run;
    // Scroll bar under the graph: live while browsing a zoomed run.
    if (scrollBar_) {
        if (f.scrollRange) {
            setScrollBarQuietly(0, run.n, graph_->firstVisible, f.scrollPosition);
            scrollBar_->setEnabled(true);
            if (f.dx > 0.0f) scrollBar_->setPageStep(std::max(1, kv::pixelTrunc(plotGeometry().W / f.dx)));
        } else if (scrollBar_->isEnabled()) {
            disableScrollBar();
        }
    }

    if (f.repaint) QMetaObject::invokeMethod(this, [this] { redrawGraph(); }, Qt::QueuedConnection);
}

void LiveGraphView::drawGraph(QPainter& p, PlotSurface& plot, const kv::PlotGeometry& geo, const kv::GraphFrame& f) {
    const auto& run = session_.model().run;
    const QPoint off = frameOffset();
    const QRect fc = frameClient();
    const int fRight = fc.width(), fBottom = fc.height();
    // The main window's own strips lie under the view here; the view paints them.
    p.translate(-off);
    p.fillRect(QRect(fRight - 52, 125, 63, fBottom - 340), kMargin);
    p.fillRect(QRect(290, 125, fRight - 300, 25), kMargin);

    // Legend above the plot.
    p.setFont(font_);
    p.setPen(Qt::black);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(Qt::white);
    const QFontMetrics fm(font_);
    p.fillRect(QRect(290, 125, fRight - 280, 23), kMargin);
    for (int q = 0; q < kv::kQuantities; ++q) {
        if (run.traces[q] != 1) continue;
        p.drawText(QPoint(geo.left + 359 + 100 * q, geo.top + 128 + fm.ascent()),
                   QString::fromLatin1(kv::kQuantityNames[q]));
        p.fillRect(QRect(geo.left + 344 + 100 * q, geo.top + 145, 50, 2),
                   QColor::fromRgb(kTraceColours[q]));
    }

    // Time labels below the plot.
    for (int j = 0; j < kv::kTimeLabels; ++j) {
        if (graph_->labelTime[j] != timeLabelValues_[j]) {
            timeLabelValues_[j] = graph_->labelTime[j];
            timeLabels_[j] = QString::fromStdString(kv::formatLocalTime(graph_->labelTime[j], "%H:%M:%S"));
        }
    }
    if (geo.plotTop < geo.plotBottom)
        p.fillRect(QRect(geo.plotLeft, geo.plotBottom + 31, geo.W + 108, 29), kMargin);
    if (run.n >= 1) {
        // On the system's button colour, in the text colour that goes with it.
        p.setBackground(palette().color(QPalette::Button));
        p.setPen(palette().color(QPalette::ButtonText));
        for (int j = 0; j < f.timeLabelCount; ++j)
            if (f.timeLabelShown[j])
                p.drawText(QPoint(f.timeLabelX[j], f.timeLabelY + fm.ascent()), timeLabels_[j]);
    }
    p.resetTransform();

    // The plot: black, the grid, the traces.
    if (f.plot) {
        plot.fill(0, 0, geo.W, geo.H, kBlack);
        if (f.cursorLine) plot.dottedVLine(f.cursorLineX, 0, geo.H, kWhite);
        for (int i = 0; i < f.vLineCount; ++i) plot.dottedVLine(f.vLines[i], geo.H, 0, kGrid);
        for (int i = 0; i < f.hLineCount; ++i) plot.dottedHLine(f.hLines[i], 0, f.hLineLength, kGrid);
        if (!px_) {
            px_ = std::make_unique<int[]>(kv::kMaxSamples);
            py_ = std::make_unique<int[]>(kv::kMaxSamples);
        }
        for (int q = 0; q < kv::kQuantities; ++q) {
            if (run.traces[q] != 1) continue;
            const int count = kv::tracePixels(*graph_, f, run, q, px_.get(), py_.get());
            plot.polyline(px_.get(), py_.get(), count, kTraceColours[q]);
        }
    }

    drawLabels(p, geo, f);
    if (geo.stripW > 0 && geo.stripH > 0)
        p.fillRect(QRect(geo.stripLeft, geo.stripY, geo.stripW, geo.stripH), kMargin);
}

QRect LiveGraphView::graphArea() const {
    const kv::PlotGeometry geo = plotGeometry();
    if (!geo.hasPlot()) return {};
    const QPoint off = frameOffset();
    const QRect fc = frameClient();
    // Everything drawGraph() paints: the strips of the window's client area,
    // the label column, the plot and the margin to its right.
    QRect area = QRect(290, 125, fc.width() - 280, 25).translated(-off);
    area |= QRect(geo.plotLeft, geo.plotBottom + 31, geo.W + 108, 29).translated(-off);
    area |= QRect(geo.colX, geo.colY, geo.colW, geo.colH);
    area |= QRect(geo.plotLeft, geo.plotTop, geo.W, geo.H);
    area |= QRect(geo.stripLeft, geo.stripY, geo.stripW, geo.stripH);
    return area & rect();
}

GraphPicture LiveGraphView::picture() {
    return GraphPicture{size(), graphArea(), kMargin, [this](const GraphCanvas& c) {
                            const kv::Model& m = session_.model();
                            const kv::PlotGeometry geo = plotGeometry();
                            kv::GraphFrame f = kv::computeGraph(*graph_, geo, m.run, *m.doc, kv::GraphPass::Export);
                            // A sample committed since the last paint may have
                            // grown the axis: lay the run out on the new one,
                            // and let the screen follow.
                            const bool grew = f.repaint;
                            if (grew) f = kv::computeGraph(*graph_, geo, m.run, *m.doc, kv::GraphPass::Export);
                            applyFrame(f);
                            if (grew) redrawGraph();
                            const auto plot = c.plotSurface(QRect(geo.plotLeft, geo.plotTop, geo.W, geo.H));
                            drawGraph(c.painter(), *plot, geo, f);
                        }};
}

void LiveGraphView::exportImage() { exportGraphInteractive(window(), picture()); }

void LiveGraphView::drawLabels(QPainter& p, const kv::PlotGeometry& geo, const kv::GraphFrame& f) {
    const QRect col(geo.colX, geo.colY, geo.colW, geo.colH);
    if (col.isEmpty()) return;
    p.fillRect(col, kMargin);
    p.save();
    p.setClipRect(col);
    p.translate(col.topLeft());
    p.setPen(Qt::black);
    p.setFont(font_);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(Qt::white);
    const QFontMetrics fm(font_);
    const float* ticks = graph_->tick[graph_->L];
    for (int i = 0; i < kv::kTicks; ++i) {
        if (!(ticks[i] == yLabelValues_[i])) {
            yLabelValues_[i] = ticks[i];
            yLabels_[i] = QString::fromStdString(kv::yLabelText(ticks[i]));
        }
        p.fillRect(QRect(geo.left + 63, f.yTickY[i], 5, 1), Qt::black);
        p.drawText(QPoint(f.yTextX[i], f.yTextY[i] + fm.ascent()), yLabels_[i]);
    }
    p.restore();
}

void LiveGraphView::disableScrollBar() {
    if (!scrollBar_) return;
    // An empty range: a disabled bar shows no thumb.
    setScrollBarQuietly(0, 0, 0, true);
    scrollBar_->setEnabled(false);
}

void LiveGraphView::setScrollBarQuietly(int min, int max, int value, bool setValue) {
    scrollUpdating_ = true;
    scrollBar_->setRange(min, max);
    if (setValue) scrollBar_->setValue(value);
    scrollUpdating_ = false;
}

void LiveGraphView::onScrollValue(int value) {
    if (scrollUpdating_ || graph_->follow == 1) return;
    // The thumb at `value` puts sample value - 1 at the plot's left edge.
    graph_->scrollShift = graph_->firstVisible - value + 1;
    redrawGraph();
}

void LiveGraphView::invertCursorLine(int x) {
    const kv::PlotGeometry geo = plotGeometry();
    const kv::Canvas c = canvasOf(back_);
    kv::scaledInvertDottedVLine(c, x, geo.plotTop, geo.plotBottom);
    // The line is lineWidth() device pixels wide, which can reach into the
    // next logical column (at 1.5: two pixels from the middle of one).
    int w = 1;
    while (c.dev(static_cast<long>(x) + w) < c.dev(x) + c.lineWidth()) ++w;
    showOverlay(QRect(x, geo.plotTop, w, geo.plotBottom - geo.plotTop));
}

void LiveGraphView::invertBand(const kv::IRect& r) {
    if (r.empty()) return;
    kv::scaledInvertDragFrame(canvasOf(back_), r.left, r.top, r.right, r.bottom);
    showOverlay(QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)));
}

void LiveGraphView::showOverlay(const QRect& r) {
    overlay_ += r;
    update(r);
}

void LiveGraphView::mousePressEvent(QMouseEvent* e) {
    QWidget::mousePressEvent(e);
    lastMouse_ = e->position().toPoint();
    if (e->button() != Qt::LeftButton || !bufferFits()) return;
    const QPoint pt = e->position().toPoint();
    if (kv::pressAt(*graph_, plotGeometry(), session_.model().run, pt.x(), pt.y()))
        dragTimer_.start(10, this);
}

void LiveGraphView::mouseMoveEvent(QMouseEvent* e) {
    QWidget::mouseMoveEvent(e);
    lastMouse_ = e->position().toPoint();
    if (!bufferFits()) return;
    const kv::Model& m = session_.model();
    kv::MoveEffects fx;
    if (!kv::moveTo(*graph_, plotGeometry(), session_.model().run, lastMouse_.x(), lastMouse_.y(), fx)) return;
    if (fx.eraseCursor) invertCursorLine(fx.oldCursorX);
    invertCursorLine(fx.cursorX);
    if (fx.readout) {
        const kv::Readout r = kv::readoutTexts(m.run, *m.doc, fx.sample);
        emit readoutChanged(QString::fromStdString(r.time), QString::fromStdString(r.values));
    }
    if (fx.band) {
        invertBand(fx.oldBand);
        invertBand(fx.newBand);
    }
}

void LiveGraphView::mouseReleaseEvent(QMouseEvent* e) {
    QWidget::mouseReleaseEvent(e);
    lastMouse_ = e->position().toPoint();
    if (e->button() != Qt::LeftButton || !bufferFits()) return;
    // The drag is over: nothing is left for the drag timer to watch.
    dragTimer_.stop();
    kv::ReleaseEffects fx;
    if (!kv::releaseAt(*graph_, plotGeometry(), session_.model().run, lastMouse_.x(), lastMouse_.y(), fx))
        return;
    if (fx.removeBand) invertBand(fx.band);
    if (fx.finished) {
        repaint(shownRegion());
        emit browseModeChanged();
    }
}
