#pragma once
// The real-time graph view: draws the live graph, hosts and places the panels,
// runs the sample timer, the link watchdog and the zoom-drag watchdog.
#include <QBasicTimer>
#include <QWidget>

class CMainFrame;
class CGraphBarDlg;
class CAlarmPanelDlg;
class CMeterPanelDlg;
class QScrollBar;

class CKVView : public QWidget {
    Q_OBJECT
public:
    explicit CKVView(CMainFrame* frame);
    ~CKVView() override;

    CGraphBarDlg* graphBar() const { return graphBar_; }
    CAlarmPanelDlg* alarmPanel() const { return alarmPanel_; }
    CMeterPanelDlg* meterPanel() const { return meterPanel_; }

    // Starts the sample timer and the link watchdog; first layout.
    void initialUpdate();
    // Places the panels from the main window's client rectangle.
    void layoutPanels();
    bool inBrowseMode() const;
    void undoZoom();
    void print();

protected:
    void timerEvent(QTimerEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    CMainFrame* frame_;
    CGraphBarDlg* graphBar_ = nullptr;
    CAlarmPanelDlg* alarmPanel_ = nullptr;
    CMeterPanelDlg* meterPanel_ = nullptr;
    QWidget* scrollBarBar_ = nullptr;
    QScrollBar* scrollBar_ = nullptr;
    QBasicTimer sampleTimer_, watchdogTimer_, dragTimer_;
};
