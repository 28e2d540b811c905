#pragma once
// The graph control bar above the real-time graph.
#include <QWidget>

class CMainFrame;

class CGraphBarDlg : public QWidget {
    Q_OBJECT
public:
    explicit CGraphBarDlg(CMainFrame* frame);
    // Copies the six texts of the model into their fields.
    void refreshDisplay();

private:
    CMainFrame* frame_;
};
