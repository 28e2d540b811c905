#include "gui/graph/LiveGraphView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimerEvent>
#include <cmath>
#include <limits>

#include "gui/MainWindow.h"
#include "gui/report/PrintCommand.h"
#include "session/MeterSerialPort.h"
#include "core/link/LinkEngine.h"
#include "gui/panels/ReadingsPanel.h"
#include "gui/panels/GraphControlBar.h"
#include "gui/panels/MeterPanel.h"

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

kv::Canvas canvasOf(QImage& img) {
    return kv::Canvas{reinterpret_cast<uint32_t*>(img.bits()),
                      static_cast<int>(img.bytesPerLine() / 4), img.width(), img.height()};
}

}  // namespace

LiveGraphView::LiveGraphView(MainWindow* frame)
    : QWidget(frame), frame_(frame), graph_(std::make_unique<kv::GraphState>()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    font_ = displayFont();
    for (float& v : yLabelValues_) v = std::numeric_limits<float>::quiet_NaN();
    for (std::time_t& t : timeLabelValues_) t = std::numeric_limits<std::time_t>::min();

    // Panels are children of the main window, created hidden and placed by the layout.
    meterPanel_ = new MeterPanel(frame);
    alarmPanel_ = new ReadingsPanel(frame);
    graphBar_ = new GraphControlBar(frame);
    scrollBarBar_ = new QWidget(frame);
    auto* lay = new QHBoxLayout(scrollBarBar_);
    lay->setContentsMargins(0, 0, 0, 0);
    scrollBar_ = new QScrollBar(Qt::Horizontal, scrollBarBar_);
    scrollBar_->setEnabled(false);
    scrollBar_->setToolTip(tr("Scrolls a zoomed graph along the run"));
    lay->addWidget(scrollBar_);
    scrollBarBar_->hide();
    connect(scrollBar_, &QScrollBar::valueChanged, this, &LiveGraphView::onScrollValue);
}

LiveGraphView::~LiveGraphView() = default;

QFont LiveGraphView::displayFont() {
    QFont f(QStringLiteral("SimSun"));
    f.setPixelSize(13);
    return f;
}

kv::PlotGeometry LiveGraphView::plotGeometry() const { return kv::plotGeometry(width(), height()); }

kv::CommandStates LiveGraphView::commandStates() const {
    return kv::commandStates(frame_->model().run, *graph_);
}

void LiveGraphView::initialUpdate() {
    update();
    layoutPanels();
    const auto& run = frame_->model().run;
    sampleTimer_.start(run.intervalMs > 0 ? run.intervalMs : 1000, this);
    watchdogTimer_.start(3000, this);
}

QRect LiveGraphView::frameClient() const {
    // The main window below its menu bar, status bar included: the panels'
    // places leave room for the status bar at the bottom themselves (the
    // readings panel ends 20 pixels above the bottom).
    return frame_->clientRect();
}

void LiveGraphView::layoutPanels() {
    const QRect c = frameClient();
    const int left = c.left(), top = c.top(), right = c.right() + 1, bottom = c.bottom() + 1;
    frame_->placePanel(graphBar_, left + 228, top + 30, right - left - 230, 95);
    if (bottom - 120 > top + 142) frame_->placePanel(alarmPanel_, left + 228, bottom - 170, right - left - 230, 150);
    frame_->placePanel(meterPanel_, 0, 31, 228, bottom - 50);
    if (bottom - 142 > top + 142) frame_->placePanel(scrollBarBar_, left + 228, bottom - 192, right - left - 230, 25);
}

bool LiveGraphView::inBrowseMode() const { return graph_->follow == 0; }

void LiveGraphView::undoZoom() {
    kv::undoZoom(*graph_, frame_->model().run);
    scrollBar_->setEnabled(false);
    repaint();
    frame_->updateCommandStates();
}

void LiveGraphView::print() {
    // The whole run on the unzoomed scale, whatever the screen shows.
    printLiveReport(this, frame_->model());
}

QPoint LiveGraphView::frameOffset() const {
    return mapTo(frame_, QPoint(0, 0)) - frame_->clientOrigin();
}

void LiveGraphView::timerEvent(QTimerEvent* e) {
    auto& m = frame_->model();
    if (e->timerId() == sampleTimer_.timerId()) {
        if (kv::sampleTick(m)) {
            frame_->onSampleCommitted();   // into the run journal before anything else
            if (!m.run.dragInProgress) update();
            graphBar_->refreshDisplay();
            meterPanel_->repaintDisplay();
            frame_->updateCommandStates();
        }
    } else if (e->timerId() == watchdogTimer_.timerId()) {
        if (kv::watchdogTick(m, frame_->comm())) {
            meterPanel_->update();
            alarmPanel_->repaintIndicators();
            frame_->updateCommandStates();
        }
        watchdogTimer_.start(3000, this);
    } else if (e->timerId() == dragTimer_.timerId()) {
        // Only a cancel stops this timer; after a normal release it idles.
        if (kv::dragZoneCheck(*graph_, plotGeometry(), m.run, lastMouse_.x(), lastMouse_.y())) {
            repaint();
            dragTimer_.stop();
        }
    }
}

void LiveGraphView::paintEvent(QPaintEvent* e) {
    // Three kinds of paint: the xor overlays just drawn into the back buffer;
    // a repaint asked for by invalidating the view, which always takes in the
    // whole plot; and parts uncovered by the panels above the view, which
    // the back buffer still holds as they are.
    bool render = back_.size() != size();
    if (!render && !(!overlay_.isEmpty() && (e->region() - overlay_).isEmpty())) {
        const kv::PlotGeometry geo = plotGeometry();
        const QRect plot(geo.plotLeft, geo.plotTop, geo.W, geo.H);
        render = !geo.hasPlot() || (QRegion(plot) - e->region()).isEmpty();
    }
    overlay_ = QRegion();
    if (render) renderGraph();
    QPainter p(this);
    p.drawImage(e->rect(), back_, e->rect());
}

void LiveGraphView::renderGraph() {
    auto& m = frame_->model();
    auto& run = m.run;
    if (back_.size() != size()) {
        back_ = QImage(size(), QImage::Format_RGB32);
        back_.fill(kMargin);
    }
    if (back_.isNull()) return;
    if (!px_) {
        px_ = std::make_unique<int[]>(kv::kMaxSamples);
        py_ = std::make_unique<int[]>(kv::kMaxSamples);
    }

    const kv::PlotGeometry geo = plotGeometry();
    const kv::GraphFrame f = kv::computeGraph(*graph_, geo, run, *m.doc);

    if (f.statusTexts) {
        frame_->setPaneText(1, QString::fromLatin1(kv::kEmptyTimePane));
        frame_->setPaneText(2, QString::fromLatin1(kv::kEmptyValuePane));
    }

    QPainter p(&back_);
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
        p.setBackground(palette().color(QPalette::Button));
        for (int j = 0; j < f.timeLabelCount; ++j)
            if (f.timeLabelShown[j])
                p.drawText(QPoint(f.timeLabelX[j], f.timeLabelY + fm.ascent()), timeLabels_[j]);
    }
    p.resetTransform();

    // The plot, drawn straight into its part of the back buffer.
    if (f.plot) {
        kv::Canvas view = canvasOf(back_);
        kv::Canvas plot{view.row(geo.plotTop) + geo.plotLeft, view.stride, geo.W, geo.H};
        kv::fillRect(plot, 0, 0, geo.W, geo.H, kBlack);
        if (f.cursorLine) kv::dottedVLine(plot, f.cursorLineX, 0, geo.H, kWhite);
        for (int i = 0; i < f.vLineCount; ++i) kv::dottedVLine(plot, f.vLines[i], geo.H, 0, kGrid);
        for (int i = 0; i < f.hLineCount; ++i) kv::dottedHLine(plot, f.hLines[i], 0, f.hLineLength, kGrid);
        for (int q = 0; q < kv::kQuantities; ++q) {
            if (run.traces[q] != 1) continue;
            const int count = kv::tracePixels(*graph_, f, run, q, px_.get(), py_.get());
            kv::drawPolyline(plot, px_.get(), py_.get(), count, kTraceColours[q]);
        }
    }

    drawLabels(p, geo, f);
    if (geo.stripW > 0 && geo.stripH > 0)
        p.fillRect(QRect(geo.stripLeft, geo.stripY, geo.stripW, geo.stripH), kMargin);
    p.end();

    // A rubber band still being dragged stays on screen across repaints.
    if (graph_->dragging && run.dragInProgress && !graph_->noBoxYet)
        invertBand(kv::spanned(graph_->anchorX, graph_->anchorY, graph_->lastX, graph_->lastY));

    // Scroll bar under the graph: live while browsing a zoomed run.
    if (f.scrollRange) {
        setScrollBarQuietly(0, run.n, run.firstVisible, f.scrollPosition);
        scrollBar_->setEnabled(true);
        if (f.dx > 0.0f) scrollBar_->setPageStep(std::max(1, kv::pixelTrunc(geo.W / f.dx)));
    } else if (scrollBar_->isEnabled()) {
        scrollBar_->setEnabled(false);
    }

    if (f.repaint) QMetaObject::invokeMethod(this, [this] { update(); }, Qt::QueuedConnection);

    if (run.rearmSampleTimer) {
        sampleTimer_.start(run.intervalMs > 0 ? run.intervalMs : 1000, this);
        run.rearmSampleTimer = 0;
    }
    graphBar_->refreshDisplay();
    alarmPanel_->refreshDisplay();
}

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

void LiveGraphView::setScrollBarQuietly(int min, int max, int value, bool setValue) {
    scrollUpdating_ = true;
    scrollBar_->setRange(min, max);
    if (setValue) scrollBar_->setValue(value);
    scrollUpdating_ = false;
}

void LiveGraphView::onScrollValue(int value) {
    if (scrollUpdating_ || graph_->follow == 1) return;
    // The thumb at `value` puts sample value - 1 at the plot's left edge.
    auto& run = frame_->model().run;
    run.scrollShift = run.firstVisible - value + 1;
    update();
}

void LiveGraphView::invertCursorLine(int x) {
    const kv::PlotGeometry geo = plotGeometry();
    kv::invertDottedVLine(canvasOf(back_), x, geo.plotTop, geo.plotBottom);
    showOverlay(QRect(x, geo.plotTop, 1, geo.plotBottom - geo.plotTop));
}

void LiveGraphView::invertBand(const kv::IRect& r) {
    if (r.empty()) return;
    kv::invertDragFrame(canvasOf(back_), r.left, r.top, r.right, r.bottom);
    showOverlay(QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)));
}

void LiveGraphView::showOverlay(const QRect& r) {
    overlay_ += r;
    update(r);
}

void LiveGraphView::mousePressEvent(QMouseEvent* e) {
    QWidget::mousePressEvent(e);
    lastMouse_ = e->position().toPoint();
    if (e->button() != Qt::LeftButton || back_.size() != size()) return;
    const QPoint pt = e->position().toPoint();
    if (kv::pressAt(*graph_, plotGeometry(), frame_->model().run, pt.x(), pt.y()))
        dragTimer_.start(10, this);
}

void LiveGraphView::mouseMoveEvent(QMouseEvent* e) {
    QWidget::mouseMoveEvent(e);
    lastMouse_ = e->position().toPoint();
    if (back_.size() != size()) return;
    auto& m = frame_->model();
    kv::MoveEffects fx;
    if (!kv::moveTo(*graph_, plotGeometry(), m.run, lastMouse_.x(), lastMouse_.y(), fx)) return;
    if (fx.eraseCursor) invertCursorLine(fx.oldCursorX);
    invertCursorLine(fx.cursorX);
    if (fx.readout) {
        const kv::Readout r = kv::readoutTexts(m.run, *m.doc, fx.sample);
        frame_->setPaneText(1, QString::fromStdString(r.time));
        frame_->setPaneText(2, QString::fromStdString(r.values));
    }
    if (fx.band) {
        invertBand(fx.oldBand);
        invertBand(fx.newBand);
    }
}

void LiveGraphView::mouseReleaseEvent(QMouseEvent* e) {
    QWidget::mouseReleaseEvent(e);
    lastMouse_ = e->position().toPoint();
    if (e->button() != Qt::LeftButton || back_.size() != size()) return;
    kv::ReleaseEffects fx;
    if (!kv::releaseAt(*graph_, plotGeometry(), frame_->model().run, lastMouse_.x(), lastMouse_.y(), fx))
        return;
    if (fx.removeBand) invertBand(fx.band);
    if (fx.finished) {
        update();
        repaint();
        frame_->updateCommandStates();
    }
}

void LiveGraphView::resizeEvent(QResizeEvent*) { layoutPanels(); }
