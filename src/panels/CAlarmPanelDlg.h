#pragma once
// The readings and alarm panel below the real-time graph.
#include <QWidget>

class CMainFrame;

class CAlarmPanelDlg : public QWidget {
    Q_OBJECT
public:
    explicit CAlarmPanelDlg(CMainFrame* frame);
    // Loads the ten limit texts from the configuration file.
    void loadLimits(const QString& configPath);
    // Copies the twenty texts of the model into their fields.
    void refreshDisplay();
    // Repaints the alarm indicators (after an alarm flag changed).
    void repaintIndicators();

private:
    CMainFrame* frame_;
};
