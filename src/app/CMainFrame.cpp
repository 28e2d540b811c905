#include "app/CMainFrame.h"

#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

#include "graph/CKVView.h"
#include "link/CMSComm.h"

CMainFrame::CMainFrame(const AppOptions& opts, QWidget* parent) : QMainWindow(parent), opts_(opts) {
    setWindowTitle("KV2047");
    comm_ = new CMSComm(this);
    for (auto& p : panes_) { p = new QLabel(this); statusBar()->addWidget(p); }
    view_ = new CKVView(this);
    setCentralWidget(view_);
}
CMainFrame::~CMainFrame() = default;
void CMainFrame::setPaneText(int pane, const QString& text) { panes_.at(pane)->setText(text); }
QString CMainFrame::paneText(int pane) const { return panes_.at(pane)->text(); }
QPoint CMainFrame::clientOrigin() const { return QPoint(0, menuBar()->isVisible() ? menuBar()->height() : 0); }
QRect CMainFrame::clientRect() const { return QRect(0, 0, width(), height() - clientOrigin().y()); }
void CMainFrame::placePanel(QWidget* panel, int x, int y, int w, int h) {
    panel->setGeometry(QRect(QPoint(x, y) + clientOrigin(), QSize(w, h)));
    panel->raise();
    panel->show();
}
bool CMainFrame::saveRun() { return true; }
void CMainFrame::updateCommandStates() {}
void CMainFrame::refreshPanels() {}
QAction* CMainFrame::action(const char*) const { return nullptr; }
void CMainFrame::closeEvent(QCloseEvent* e) { QMainWindow::closeEvent(e); }
void CMainFrame::timerEvent(QTimerEvent* e) { QMainWindow::timerEvent(e); }
void CMainFrame::paintEvent(QPaintEvent* e) { QMainWindow::paintEvent(e); }
