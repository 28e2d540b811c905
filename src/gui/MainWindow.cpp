#include "gui/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <cstdio>
#include <ctime>
#include <utility>

#include "core/config/ProfileFile.h"
#include "core/config/Settings.h"
#include "core/link/CommandStates.h"
#include "core/link/LinkEngine.h"
#include "core/record/DataFile.h"
#include "core/record/RunStats.h"
#include "gui/AboutDialog.h"
#include "gui/HelpWindow.h"
#include "gui/Placement.h"
#include "gui/RecoveryPrompt.h"
#include "gui/dialogs/ComPortDialog.h"
#include "gui/dialogs/RunSetupDialog.h"
#include "gui/graph/LiveGraphView.h"
#include "gui/logger/LoggerViewer.h"
#include "gui/panels/GraphControlBar.h"
#include "gui/panels/MeterPanel.h"
#include "gui/panels/ReadingsPanel.h"
#include "gui/record/SaveCommand.h"
#include "gui/stats/StatsWindow.h"
#include "session/Folders.h"
#include "session/MeterSession.h"

namespace {

const char* const kComNames[4] = {"com1", "com2", "com3", "com4"};

// A command with its tool tip (shown where Qt shows it, beside the pointer;
// the status bar's first pane keeps the port's state) and its shortcut.
QAction* makeAction(QObject* parent, const char* name, const QString& text, const QString& tip = {},
                    const QKeySequence& keys = {}) {
    auto* a = new QAction(text, parent);
    a->setObjectName(name);
    if (!tip.isEmpty()) a->setToolTip(tip);
    a->setShortcut(keys);
    return a;
}

}  // namespace

// A pane of the status bar: a text too long for it ends in "…", and the whole
// text is its tool tip.
class StatusPane : public QLabel {
public:
    explicit StatusPane(QWidget* parent) : QLabel(parent) {}
    void setFullText(const QString& text) {
        if (text == full_) return;
        full_ = text;
        setToolTip(text);
        elide();
    }
    const QString& fullText() const { return full_; }

protected:
    void resizeEvent(QResizeEvent* e) override {
        QLabel::resizeEvent(e);
        elide();
    }

private:
    void elide() {
        // The width QLabel gives a left-aligned text: inside the margins, less
        // its indent (half an "x" when it has a frame and no indent of its own).
        const int indent = this->indent() >= 0 ? this->indent()
                           : frameWidth() > 0  ? fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 - margin()
                                               : 0;
        const int room = contentsRect().width() - 2 * margin() - std::max(indent, 0);
        const QString shown = fontMetrics().elidedText(full_, Qt::ElideRight, std::max(room, 0));
        if (shown != text()) setText(shown);
    }
    QString full_;
};

MainWindow::MainWindow(const AppOptions& opts, QWidget* parent)
    : QMainWindow(parent), session_(std::make_unique<MeterSession>()), opts_(opts) {
    setWindowTitle(QGuiApplication::applicationDisplayName());
    setWindowIcon(QIcon(":/artwork/kv2047.svg"));
    const Folders folders = resolveFolders(opts.configDir);
    configDir_ = folders.config;
    configPath_ = fromCorePath(kv::configFilePath(corePath(configDir_)));

    // The configuration is read once, here; closing writes it back.
    const kv::ProfileFile ini(corePath(configPath_));
    const int port = kv::readPortNumber(ini);
    session_->setYScale(kv::readYOffset(ini), kv::readYGain(ini));
    for (int q = 0; q < kv::kQuantities; ++q)
        for (bool high : {true, false})
            session_->loadLimit(q, high, QString::fromStdString(kv::readLimitText(ini, q, high)));
    storedRate_ = kv::readSampleRate(ini);
    storedCount_ = kv::readSampleCount(ini);
    for (int n = 1; n <= 16; ++n) {
        session_->setDevice(n, QString::fromStdString(kv::readDeviceFor(ini, n)));
        // DTR and RTS per port: "COMn DTR" / "COMn RTS" in [COMDevices], on unless 0.
        const std::string com = "COM" + std::to_string(n);
        session_->setLineStates(n, ini.readInt("COMDevices", com + " DTR", 1) != 0,
                                ini.readInt("COMDevices", com + " RTS", 1) != 0);
    }
    if (!opts.port.isEmpty()) session_->setDevice(port, opts.port);
    // The run journal lives beside a configuration folder that was asked for,
    // else in the user's state folder.
    journalDir_ = folders.journals;
    session_->setJournalDir(journalDir_);
    if (!opts.capture.isEmpty()) {
        QString error;
        if (!session_->startCapture(opts.capture, &error))
            std::fprintf(stderr, "kv2047: cannot write the capture: %s\n", error.toLocal8Bit().constData());
    }

    createMenus();
    createToolBar();
    createStatusBar();
    createPanels();
    menuBar()->installEventFilter(this);

    connect(session_.get(), &MeterSession::portStateChanged, this, &MainWindow::showPortState);
    connect(session_.get(), &MeterSession::commandStatesChanged, this, &MainWindow::updateCommandStates);
    connect(session_.get(), &MeterSession::journalError, this, [this](const QString& why) {
        statusBar()->showMessage(QStringLiteral("The run journal could not be written: %1").arg(why), 10000);
    });
    // A stored start in the hour repeated when the clocks went back is read as
    // the earlier one; say which.
    connect(session_.get(), &MeterSession::runOpened, this, [this] {
        const std::string note = kv::startNote(session_->model().doc->logged);
        if (!note.empty()) statusBar()->showMessage(QString::fromStdString(note), 30000);
    });
    connect(session_.get(), &MeterSession::captureFailed, this, [this] {
        statusBar()->showMessage(
            QStringLiteral("The capture %1 could not be completely written; it ends here.").arg(opts_.capture), 30000);
    });
    connect(view_, &LiveGraphView::browseModeChanged, this, &MainWindow::updateCommandStates);
    // A run Open read while no viewer is open waits for the next viewer.
    connect(session_.get(), &MeterSession::runOpened, this, [this] { openedUnseen_ = !logger_; });
    connect(view_, &LiveGraphView::readoutChanged, this, [this](const QString& time, const QString& values) {
        setPaneText(1, time);
        setPaneText(2, values);
    });

    session_->start(port);
    updateCommandStates();
    // Asked once the window is up, so the question has the program behind it.
    QTimer::singleShot(0, this, &MainWindow::offerRecovery);
}

MainWindow::~MainWindow() = default;

void MainWindow::createPanels() {
    view_ = new LiveGraphView(*session_, this);
    setCentralWidget(view_);
    // The panels are children of this window, placed over the view.
    meterPanel_ = new MeterPanel(*session_, this);
    readingsPanel_ = new ReadingsPanel(*session_, this);
    graphBar_ = new GraphControlBar(*session_, this);
    scrollBarBar_ = new QWidget(this);
    auto* lay = new QHBoxLayout(scrollBarBar_);
    lay->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QScrollBar(Qt::Horizontal, scrollBarBar_);
    lay->addWidget(bar);
    scrollBarBar_->hide();
    view_->setScrollBar(bar);
}

QScrollBar* MainWindow::scrollBar() const { return view_->scrollBar(); }

void MainWindow::createMenus() {
    // The usual keys, shown in the menus. Ctrl+S and Ctrl+O are Save and Open
    // themselves: Save writes the data file with its text table, and Open
    // file..., the document's own Open, stays in the menu.
    QMenu* file = menuBar()->addMenu("&File(f)");
    QAction* save = makeAction(this, "save", "&Save", "Save", QKeySequence::Save);
    connect(save, &QAction::triggered, this, [this] { saveRun(); });
    QAction* open = makeAction(this, "open", "&Open", "Open", QKeySequence::Open);
    connect(open, &QAction::triggered, this, &MainWindow::onOpen);
    QAction* fwOpen = makeAction(this, "fwopen", "Open &File...", "Reads a stored run for the logger viewer");
    connect(fwOpen, &QAction::triggered, this, &MainWindow::onFileOpen);
    QAction* print = makeAction(this, "print", "&Print", "Print", QKeySequence::Print);
    connect(print, &QAction::triggered, this, [this] { view_->print(); });
    QAction* exportImage =
        makeAction(this, "exportimage", "Export Graph &Image...", "Export Graph Image", QKeySequence("Ctrl+E"));
    connect(exportImage, &QAction::triggered, this, [this] { view_->exportImage(); });
    QAction* exit = makeAction(this, "exit", "&Exit", {}, QKeySequence::Quit);
    connect(exit, &QAction::triggered, this, &QWidget::close);
    file->addActions({save, open, fwOpen, print});
    file->addSeparator();
    file->addAction(exportImage);
    file->addSeparator();
    file->addAction(exit);

    QMenu* rt = menuBar()->addMenu("&RealTime(R)");
    QAction* run = makeAction(this, "run", "&Run", "Start", QKeySequence(Qt::Key_F5));
    connect(run, &QAction::triggered, this, &MainWindow::onRun);
    QAction* stop = makeAction(this, "stop", "&Stop", "Stop", QKeySequence(Qt::SHIFT | Qt::Key_F5));
    connect(stop, &QAction::triggered, this, &MainWindow::onStop);
    QAction* undo = makeAction(this, "undozoom", "&UndoZoom", "UndoZoom", QKeySequence("Ctrl+Z"));
    connect(undo, &QAction::triggered, this, [this] { view_->undoZoom(); });
    rt->addAction(run);
    rt->addSeparator();
    rt->addAction(stop);
    rt->addAction(undo);
    // Beyond the meter's own commands: statistics of the run so far.
    rt->addSeparator();
    QAction* stats =
        makeAction(this, "statistics", "S&tatistics...", "Statistics of the run so far", QKeySequence("Ctrl+T"));
    connect(stats, &QAction::triggered, this, &MainWindow::showStatistics);
    rt->addAction(stats);

    QMenu* com = menuBar()->addMenu("&COM Port");
    for (int i = 0; i < 4; ++i) {
        QAction* a = makeAction(this, kComNames[i], QStringLiteral("&COM%1").arg(i + 1));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, i] { onComPort(i + 1); });
        com->addAction(a);
    }
    com->addSeparator();
    QAction* other = makeAction(this, "othercom", "&Other COM", "Other comports");
    connect(other, &QAction::triggered, this, &MainWindow::onOtherCom);
    com->addAction(other);

    QMenu* help = menuBar()->addMenu("&Help(H)");
    QAction* about = makeAction(this, "about", "&About KV2047...");
    connect(about, &QAction::triggered, this, &MainWindow::onAbout);
    QAction* contents = makeAction(this, "help", "&Contents", "Help", QKeySequence::HelpContents);
    connect(contents, &QAction::triggered, this, &MainWindow::onHelp);
    help->addAction(about);
    help->addSeparator();
    help->addAction(contents);

    // The document's New, which does nothing visible; and F10, which takes
    // the keyboard to the menu bar.
    QAction* fwNew = makeAction(this, "fwnew", "New", {}, QKeySequence::New);
    QAction* toMenus = makeAction(this, "menubar", "Menu bar", {}, QKeySequence(Qt::Key_F10));
    connect(toMenus, &QAction::triggered, this, [this] { menuBar()->setActiveAction(menuBar()->actions().value(0)); });
    addActions({fwNew, toMenus});
}

void MainWindow::createToolBar() {
    QToolBar* tb = addToolBar("Standard");
    tb->setObjectName("toolbar");
    tb->setIconSize(QSize(27, 20));
    tb->setFixedHeight(30);
    tb->setMovable(true);
    tb->setFloatable(false);
    const char* const buttons[] = {"save", "open", "run", "stop", "print", "undozoom", "help"};
    for (std::size_t i = 0; i < std::size(buttons); ++i) {
        QAction* a = action(buttons[i]);
        a->setIcon(QIcon(QStringLiteral(":/artwork/toolbar/%1.svg").arg(buttons[i])));
        if (i) tb->addSeparator();
        tb->addAction(a);
    }
}

void MainWindow::createStatusBar() {
    QStatusBar* sb = statusBar();
    const int widths[3] = {150, 150, 500};
    for (int i = 0; i < 3; ++i) {
        panes_[i] = new StatusPane(this);
        panes_[i]->setMinimumWidth(widths[i]);
        if (i) panes_[i]->setFixedWidth(widths[i]);
        panes_[i]->setFrameShape(QFrame::Panel);
        panes_[i]->setFrameShadow(QFrame::Sunken);
    }
    sb->addWidget(panes_[0], 1);
    sb->addPermanentWidget(panes_[1]);
    sb->addPermanentWidget(panes_[2]);
    auto* scrl = new QLabel("SCRL", this);
    scrl->setEnabled(false);  // scroll lock is never on here
    scrl->setFrameShape(QFrame::Panel);
    scrl->setFrameShadow(QFrame::Sunken);
    sb->addPermanentWidget(scrl);
}

QAction* MainWindow::action(const char* name) const { return findChild<QAction*>(name); }

void MainWindow::setPaneText(int pane, const QString& text) {
    if (pane >= 0 && pane < 3 && panes_[pane]) panes_[pane]->setFullText(text);
}

QString MainWindow::paneText(int pane) const { return (pane >= 0 && pane < 3) ? panes_[pane]->fullText() : QString(); }

QPoint MainWindow::clientOrigin() const { return QPoint(0, menuBar()->isVisible() ? menuBar()->height() : 0); }

QRect MainWindow::clientRect() const {
    // Below the menu bar; the toolbar and the status bar lie inside it, as control bars do.
    return QRect(0, 0, width(), height() - clientOrigin().y());
}

void MainWindow::placePanel(QWidget* panel, int x, int y, int w, int h) {
    panel->setGeometry(QRect(QPoint(x, y) + clientOrigin(), QSize(std::max(w, 0), std::max(h, 0))));
    panel->raise();
    panel->show();
}

void MainWindow::layoutPanels() {
    // The main window below its menu bar, status bar included: the panels'
    // places leave room for the status bar at the bottom themselves (the
    // readings panel ends 20 pixels above the bottom).
    const QRect c = clientRect();
    const int left = c.left(), top = c.top(), right = c.right() + 1, bottom = c.bottom() + 1;
    placePanel(graphBar_, left + 228, top + 30, right - left - 230, 95);
    if (bottom - 120 > top + 142) placePanel(readingsPanel_, left + 228, bottom - 170, right - left - 230, 150);
    placePanel(meterPanel_, 0, 31, 228, bottom - 50);
    if (bottom - 142 > top + 142) placePanel(scrollBarBar_, left + 228, bottom - 192, right - left - 230, 25);
    view_->setClientArea(clientRect(), clientOrigin());
}

void MainWindow::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    layoutPanels();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
    // The client area starts below the menu bar, whose height is known only
    // once it is laid out.
    if (watched == menuBar() && (e->type() == QEvent::Resize || e->type() == QEvent::Show || e->type() == QEvent::Hide))
        layoutPanels();
    return QMainWindow::eventFilter(watched, e);
}

void MainWindow::updateCommandStates() {
    const kv::CommandStates c =
        kv::commandStates(session_->model(), view_ && view_->inBrowseMode(), logger_ && logger_->hasBeenShown());
    action("save")->setEnabled(c.save);
    action("print")->setEnabled(c.print);
    action("exportimage")->setEnabled(c.exportImage);
    action("open")->setEnabled(c.open);
    action("run")->setEnabled(c.run);
    action("stop")->setEnabled(c.stop);
    action("undozoom")->setEnabled(c.undoZoom);
    for (int i = 0; i < 4; ++i) {
        QAction* a = action(kComNames[i]);
        a->setEnabled(c.com[i]);
        a->setChecked(c.comChecked[i]);
    }
    action("othercom")->setEnabled(c.otherCom);
}

void MainWindow::showPortState() {
    const int port = session_->model().link.port;
    const QString err = session_->portError();
    if (!err.isEmpty()) setPaneText(0, QStringLiteral("COM%1 not open: %2").arg(port).arg(err));
    // Said while the current port is the simulator's, so nobody takes its readings for a meter's.
    else if (opts_.simulate && session_->deviceFor(port) == opts_.port && session_->isPortOpen())
        setPaneText(0, "Simulated meter on " + opts_.port);
    else setPaneText(0, QString());
}

void MainWindow::onRun() {
    const kv::Model& m = session_->model();
    int rate = storedRate_;
    int count = storedCount_;
    if (m.run.intervalMs >= 1000) rate = m.run.intervalMs / 1000;
    if (m.run.countTarget >= 1000 && m.run.countTarget <= 10000) count = m.run.countTarget;

    if (m.link.hasRunData) {
        const auto answer = QMessageBox::question(this, QGuiApplication::applicationDisplayName(),
                                                  "Do you want to save the existing graph data before continuing?",
                                                  QMessageBox::Yes | QMessageBox::No);
        // A save that was cancelled or failed ends the command: the new run
        // would overwrite the samples and replace their journal.
        if (answer == QMessageBox::Yes && !saveRun()) {
            session_->runSetupCancelled();
            return;
        }
    }
    RunSetupDialog dlg(rate, count, this);
    if (dlg.exec() == QDialog::Accepted)
        session_->run(kv::clampRate(dlg.rate()), kv::clampCount(dlg.count()));
    else
        session_->runSetupCancelled();
}

void MainWindow::onStop() { session_->stop(); }

void MainWindow::onOpen() {
    if (logger_) {
        logger_->raise();
        logger_->activateWindow();
        return;
    }
    logger_ = new LoggerViewer(*session_, this);
    connect(logger_, &LoggerViewer::shownChanged, this, &MainWindow::updateCommandStates);
    if (std::exchange(openedUnseen_, false)) logger_->appendOpenedRun();
    logger_->show();
    // The keyboard goes with it: Download (Ctrl+O) is the next thing to do there.
    logger_->activateWindow();
}

void MainWindow::openFiles(const QStringList& paths) {
    if (paths.isEmpty()) return;
    onOpen();
    for (const QString& p : paths) {
        // The viewer passes over a file it cannot open; one named on the command line is reported.
        if (!QFileInfo(p).isFile())
            QMessageBox::warning(this, QCoreApplication::applicationName(),
                                 QStringLiteral("The file cannot be opened: %1").arg(QDir::toNativeSeparators(p)));
        else
            logger_->downloadFile(p);
    }
}

void MainWindow::showStatistics() {
    if (!stats_) {
        stats_ = new StatsWindow(this);
        stats_->setAttribute(Qt::WA_DeleteOnClose);
        stats_->setWindowTitle("Statistics of the run");
        // The window follows the run while it is open.
        const auto refresh = [this] { refreshStatistics(); };
        connect(session_.get(), &MeterSession::sampleCommitted, stats_, refresh);
        connect(session_.get(), &MeterSession::runStarted, stats_, refresh);
        connect(session_.get(), &MeterSession::runRestored, stats_, refresh);
        // Filled while hidden, the window takes the table's size; then it goes
        // beside this window, or over the graph's right end while it fills the screen.
        refreshStatistics();
        kv::placeBeside(stats_, this);
    } else {
        refreshStatistics();
    }
    stats_->show();
    stats_->raise();
    stats_->activateWindow();
}

void MainWindow::refreshStatistics() {
    if (!stats_) return;
    const kv::Model& m = session_->model();
    const int n = m.run.n;
    const kv::RunStats s = kv::computeRunStats(kv::liveSamples(*m.doc, n), 0, n - 1, m.run.unitFlag);
    stats_->setStatistics(s, kv::SampleClock{m.run.runStartTime, m.run.intervalMs / 1000},
                          QString::fromStdString(m.run.unitText));
}

void MainWindow::onFileOpen() { openDataFileInteractive(this, *session_); }

void MainWindow::onHelp() { HelpWindow::showManual(this); }

void MainWindow::onAbout() {
    AboutDialog box(this);
    box.exec();
}

void MainWindow::onComPort(int n) { session_->choosePort(n); }

void MainWindow::onOtherCom() {
    ComPortDialog dlg(session_->model().link.port, this);
    if (dlg.exec() != QDialog::Accepted) return;
    const auto chosen = dlg.chosenPort();
    if (!chosen || *chosen < 5 || *chosen > 16) return;
    session_->choosePort(*chosen);
}

bool MainWindow::saveRun() {
    if (!saveRunInteractive(this, session_->model())) return false;
    session_->runSaved();
    return true;
}

void MainWindow::offerRecovery() { ::offerRecovery(this, *session_); }

void MainWindow::writeConfig() {
    QDir().mkpath(configDir_);
    kv::ProfileFile ini(corePath(configPath_));
    kv::writeSettingsOnClose(ini, session_->model());
}

void MainWindow::closeEvent(QCloseEvent* e) {
    // Settings first, so they survive a declined save.
    writeConfig();
    if (session_->model().run.n > 1) {
        const auto answer = QMessageBox::question(this, QGuiApplication::applicationDisplayName(),
                                                  "Do you want to save the data before closing?",
                                                  QMessageBox::Yes | QMessageBox::No);
        // A save that was cancelled or failed keeps the window open: nothing is lost.
        if (answer == QMessageBox::Yes && !saveRun()) {
            e->ignore();
            return;
        }
    }
    // Saved, or the user chose not to: nothing is left to recover.
    session_->finishJournal();
    session_->close();
    e->accept();
}
