#pragma once
// The virtual meter panel: the meter's front with its display and keys.
#include <QWidget>

class CMainFrame;

class CMeterPanelDlg : public QWidget {
    Q_OBJECT
public:
    explicit CMeterPanelDlg(CMainFrame* frame);
    // Repaints the display window (after every accepted frame).
    void repaintDisplay();

private:
    CMainFrame* frame_;
};
