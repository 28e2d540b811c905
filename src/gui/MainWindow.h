#pragma once
// The main window: menu, toolbar, status bar, the serial control, the link
// flags, and the view with its panels.
#include <QBasicTimer>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>
#include <memory>

#include "core/Model.h"

class LiveGraphView;
class MeterSerialPort;
class LoggerViewer;
class QAction;
class QLabel;
namespace kv {
class RunJournal;
class CaptureFile;
}

struct AppOptions {
    QString port;        // --port DEVICE: device of the current port number
    QString configDir;   // --config-dir DIR
    QString capture;     // --capture FILE
    bool simulate = false;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const AppOptions& opts, QWidget* parent = nullptr);
    ~MainWindow() override;

    kv::Model& model() { return model_; }
    MeterSerialPort& comm() { return *comm_; }
    LiveGraphView* view() const { return view_; }
    QString configPath() const { return configPath_; }
    QString configDir() const { return configDir_; }

    // Status bar panes 0..2.
    void setPaneText(int pane, const QString& text);
    QString paneText(int pane) const;

    // The frame's client rectangle: this window below its menu bar, toolbar included.
    QRect clientRect() const;
    // Places a panel at frame-client coordinates, raises and shows it.
    void placePanel(QWidget* panel, int x, int y, int w, int h);
    // Offset of the frame's client origin in this window's coordinates.
    QPoint clientOrigin() const;

    // Save command: true when written, false when cancelled or failed.
    bool saveRun();
    // Refreshes the enable and check states of menu items and toolbar buttons.
    void updateCommandStates();
    // After every accepted frame and on the watchdog: what the panels show.
    void refreshPanels();

    QAction* action(const char* name) const;

    // The view's sample timer committed a sample: the run journal gets it.
    void onSampleCommitted();
    // Offers to recover a recording interrupted by a crash (asked once at start).
    void offerRecovery();
    QString journalDir() const { return journalDir_; }
    kv::RunJournal& journal() { return *journal_; }

protected:
    void closeEvent(QCloseEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void writeConfig();
    void onCommEvent(int code);
    void onRun();
    void onStop();
    void onOpen();
    void onHelp();
    void onAbout();
    void onComPort(int n);
    void onOtherCom();
    void onFileOpen();

    kv::Model model_;
    MeterSerialPort* comm_ = nullptr;
    LiveGraphView* view_ = nullptr;
    QPointer<LoggerViewer> logger_;
    std::array<QLabel*, 3> panes_{};
    QBasicTimer ackTimer_;
    QString configDir_, configPath_;
    AppOptions opts_;
    // Crash-safe recording and the serial capture.
    void followJournal();
    void reportJournalError();
    std::unique_ptr<kv::RunJournal> journal_;
    std::unique_ptr<kv::CaptureFile> capture_;
    QString journalDir_;
};
