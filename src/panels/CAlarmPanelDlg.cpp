#include "panels/CAlarmPanelDlg.h"

#include "app/CMainFrame.h"

CAlarmPanelDlg::CAlarmPanelDlg(CMainFrame* frame) : QWidget(frame), frame_(frame) { hide(); }
void CAlarmPanelDlg::loadLimits(const QString&) {}
void CAlarmPanelDlg::refreshDisplay() {}
void CAlarmPanelDlg::repaintIndicators() { update(); }
