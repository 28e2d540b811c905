#pragma once
// The main window: menu, toolbar, status bar, the real-time view with its
// panels, and the meter session they all observe.
#include <QMainWindow>
#include <QStringList>
#include <QPointer>
#include <QString>
#include <array>
#include <memory>

class MeterSession;
class LiveGraphView;
class GraphControlBar;
class ReadingsPanel;
class MeterPanel;
class LoggerViewer;
class StatsWindow;
class QAction;
class QLabel;
class QScrollBar;
class StatusPane;

struct AppOptions {
    QString port;        // --port DEVICE: device of the current port number
    QString configDir;   // --config-dir DIR
    QString capture;     // --capture FILE
    bool simulate = false;  // `port` is the simulated meter kv2047-sim started
    QStringList files;      // data files to open in the logger viewer (a double-clicked .AsmDat)
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const AppOptions& opts, QWidget* parent = nullptr);
    ~MainWindow() override;

    MeterSession& session() { return *session_; }
    // Opens data files in the logger viewer, as Download does.
    void openFiles(const QStringList& paths);
    LiveGraphView* view() const { return view_; }
    GraphControlBar* graphBar() const { return graphBar_; }
    ReadingsPanel* readingsPanel() const { return readingsPanel_; }
    MeterPanel* meterPanel() const { return meterPanel_; }
    QScrollBar* scrollBar() const;
    QString configPath() const { return configPath_; }
    QString configDir() const { return configDir_; }
    QString journalDir() const { return journalDir_; }

    // Status bar panes 0..2: pane 0 the port's state, 1 and 2 the read-out.
    // Each shows as much as fits and the whole text in its tool tip.
    void setPaneText(int pane, const QString& text);
    QString paneText(int pane) const;

    // The window's client rectangle: this window below its menu bar, toolbar included.
    QRect clientRect() const;
    // Offset of the client origin in this window's coordinates.
    QPoint clientOrigin() const;

    // Save command: true when written, false when cancelled or failed.
    bool saveRun();

    QAction* action(const char* name) const;

    // Offers to recover a recording interrupted by a crash (asked once at start).
    void offerRecovery();

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // Refreshes the enable and check states of menu items and toolbar buttons;
    // every change of them, whatever its cause, is signalled here.
    void updateCommandStates();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void createPanels();
    // Places the panels from the client rectangle.
    void layoutPanels();
    void placePanel(QWidget* panel, int x, int y, int w, int h);
    void writeConfig();
    void showPortState();
    void onRun();
    void onStop();
    void onOpen();
    void onHelp();
    void onAbout();
    void onComPort(int n);
    void onOtherCom();
    void onFileOpen();
    // Statistics of the run so far, in a small window that follows the run.
    void showStatistics();
    void refreshStatistics();

    // First, so that it goes last: every window below observes it.
    std::unique_ptr<MeterSession> session_;
    LiveGraphView* view_ = nullptr;
    GraphControlBar* graphBar_ = nullptr;
    ReadingsPanel* readingsPanel_ = nullptr;
    MeterPanel* meterPanel_ = nullptr;
    QWidget* scrollBarBar_ = nullptr;
    QPointer<LoggerViewer> logger_;
    QPointer<StatsWindow> stats_;
    std::array<StatusPane*, 3> panes_{};
    QString configDir_, configPath_, journalDir_;
    AppOptions opts_;
    // The run settings dialog's values before the first confirmed Run, as the
    // configuration file held them at start.
    int storedRate_ = 1, storedCount_ = 1000;
    // A run was opened (Ctrl+O) while no logger viewer was open: the next one shows it.
    bool openedUnseen_ = false;
};
