#include "panels/CGraphBarDlg.h"

#include "app/CMainFrame.h"

CGraphBarDlg::CGraphBarDlg(CMainFrame* frame) : QWidget(frame), frame_(frame) { hide(); }
void CGraphBarDlg::refreshDisplay() {}
