#include "panels/CMeterPanelDlg.h"

#include "app/CMainFrame.h"

CMeterPanelDlg::CMeterPanelDlg(CMainFrame* frame) : QWidget(frame), frame_(frame) { hide(); }
void CMeterPanelDlg::repaintDisplay() { update(); }
