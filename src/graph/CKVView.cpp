#include "graph/CKVView.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollBar>
#include <QTimerEvent>

#include "app/CMainFrame.h"
#include "link/CMSComm.h"
#include "link/LinkEngine.h"
#include "panels/CAlarmPanelDlg.h"
#include "panels/CGraphBarDlg.h"
#include "panels/CMeterPanelDlg.h"

CKVView::CKVView(CMainFrame* frame) : QWidget(frame), frame_(frame) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Panels are children of the main window, created hidden and placed by the layout.
    meterPanel_ = new CMeterPanelDlg(frame);
    alarmPanel_ = new CAlarmPanelDlg(frame);
    graphBar_ = new CGraphBarDlg(frame);
    scrollBarBar_ = new QWidget(frame);
    auto* lay = new QHBoxLayout(scrollBarBar_);
    lay->setContentsMargins(0, 0, 0, 0);
    scrollBar_ = new QScrollBar(Qt::Horizontal, scrollBarBar_);
    scrollBar_->setEnabled(false);
    lay->addWidget(scrollBar_);
    scrollBarBar_->hide();
}

CKVView::~CKVView() = default;

void CKVView::initialUpdate() {
    update();
    layoutPanels();
    const auto& run = frame_->model().run;
    sampleTimer_.start(run.intervalMs > 0 ? run.intervalMs : 1000, this);
    watchdogTimer_.start(3000, this);
}

void CKVView::layoutPanels() {
    const QRect c = frame_->clientRect();
    const int left = c.left(), top = c.top(), right = c.right() + 1, bottom = c.bottom() + 1;
    frame_->placePanel(graphBar_, left + 228, top + 30, right - left - 230, 95);
    if (bottom - 120 > top + 142) frame_->placePanel(alarmPanel_, left + 228, bottom - 170, right - left - 230, 150);
    frame_->placePanel(meterPanel_, 0, 31, 228, bottom - 50);
    if (bottom - 142 > top + 142) frame_->placePanel(scrollBarBar_, left + 228, bottom - 192, right - left - 230, 25);
}

bool CKVView::inBrowseMode() const { return false; }
void CKVView::undoZoom() {}
void CKVView::print() {}

void CKVView::timerEvent(QTimerEvent* e) {
    auto& m = frame_->model();
    if (e->timerId() == sampleTimer_.timerId()) {
        if (kv::sampleTick(m)) {
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
    }
}

void CKVView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(217, 218, 212));
    auto& m = frame_->model();
    if (m.run.rearmSampleTimer) {
        sampleTimer_.start(m.run.intervalMs > 0 ? m.run.intervalMs : 1000, this);
        m.run.rearmSampleTimer = 0;
    }
    graphBar_->refreshDisplay();
    alarmPanel_->refreshDisplay();
}

void CKVView::resizeEvent(QResizeEvent*) { layoutPanels(); }
