#include "gui/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QStatusBar>
#include <QTimer>
#include <QTimerEvent>
#include <QToolBar>
#include <cstdio>
#include <ctime>

#include "gui/AboutDialog.h"
#include "gui/HelpWindow.h"
#include "gui/RecoveryPrompt.h"
#include "core/config/ProfileFile.h"
#include "core/config/Settings.h"
#include "gui/graph/LiveGraphView.h"
#include "gui/dialogs/ComPortDialog.h"
#include "session/MeterSerialPort.h"
#include "gui/dialogs/RunSetupDialog.h"
#include "gui/logger/LoggerViewer.h"
#include "gui/panels/ReadingsPanel.h"
#include "gui/panels/GraphControlBar.h"
#include "gui/panels/MeterPanel.h"
#include "core/record/Capture.h"
#include "core/record/RunJournal.h"
#include "gui/record/SaveCommand.h"

namespace {

const char* const kComNames[4] = {"com1", "com2", "com3", "com4"};

QAction* makeAction(QObject* parent, const char* name, const QString& text, const QString& tip = {}) {
    auto* a = new QAction(text, parent);
    a->setObjectName(name);
    if (!tip.isEmpty()) {
        a->setToolTip(tip);
        a->setStatusTip(tip);
    }
    return a;
}

}  // namespace

MainWindow::MainWindow(const AppOptions& opts, QWidget* parent) : QMainWindow(parent), opts_(opts) {
    setWindowTitle("KV2047");
    setWindowIcon(QIcon(":/artwork/kv2047.svg"));
    configDir_ = QString::fromStdString(kv::resolveConfigDir(opts.configDir.toStdString()));
    configPath_ = QString::fromStdString(kv::configFilePath(configDir_.toStdString()));

    // Port number and device mapping; --port names the device of the current port.
    const kv::ProfileFile ini(configPath_.toStdString());
    model_.link.port = kv::readPortNumber(ini);
    model_.run.yGain = kv::readYGain(ini);
    model_.run.yOffset = kv::readYOffset(ini);

    createMenus();
    createToolBar();
    setFont(QFont("SimSun", 10));

    comm_ = new MeterSerialPort(this);
    for (int n = 1; n <= 16; ++n) comm_->setDevice(n, QString::fromStdString(kv::readDeviceFor(ini, n)));
    // DTR and RTS per port: "COMn DTR" / "COMn RTS" in [COMDevices], on unless 0.
    for (int n = 1; n <= 16; ++n) {
        const std::string com = "COM" + std::to_string(n);
        comm_->setLineStates(n, ini.readInt("COMDevices", com + " DTR", 1) != 0,
                             ini.readInt("COMDevices", com + " RTS", 1) != 0);
    }
    // The run journal lives beside a configuration folder that was asked for,
    // else in the user's state folder.
    const bool configGiven = !opts.configDir.isEmpty() || !qEnvironmentVariableIsEmpty("KV2047_CONFIG_DIR");
    journalDir_ = journalFolder(configGiven ? configDir_ : QString());
    journal_ = std::make_unique<kv::RunJournal>(QFile::encodeName(journalDir_).toStdString());
    capture_ = std::make_unique<kv::CaptureFile>();
    if (!opts.capture.isEmpty()) {
        std::string error;
        if (capture_->open(QFile::encodeName(opts.capture).toStdString(), &error)) {
            comm_->tap = [this](bool incoming, const QByteArray& bytes) {
                // A write to a port that is not open never reached the line.
                if (incoming || comm_->isOpen())
                    capture_->record(incoming, reinterpret_cast<const uint8_t*>(bytes.constData()),
                                     static_cast<std::size_t>(bytes.size()));
            };
        } else {
            std::fprintf(stderr, "kv2047: cannot write the capture: %s\n", error.c_str());
        }
    }
    if (!opts.port.isEmpty()) comm_->setDevice(model_.link.port, opts.port);
    connect(comm_, &MeterSerialPort::commEvent, this, &MainWindow::onCommEvent);
    connect(comm_, &MeterSerialPort::portStateChanged, this, [this] {
        const QString err = comm_->lastError();
        setPaneText(0, err.isEmpty() ? QString() : QStringLiteral("COM%1 not open: %2").arg(model_.link.port).arg(err));
    });
    createStatusBar();

    view_ = new LiveGraphView(this);
    setCentralWidget(view_);
    view_->alarmPanel()->loadLimits(configPath_);

    comm_->openPort(model_.link.port);
    kv::initLinkAtStartup(model_);
    ackTimer_.start(1000, this);

    // Menu and toolbar states follow the flags, as the framework's idle update would.
    auto* ui = new QTimer(this);
    connect(ui, &QTimer::timeout, this, &MainWindow::updateCommandStates);
    connect(ui, &QTimer::timeout, this, &MainWindow::followJournal);
    ui->start(100);
    updateCommandStates();
    view_->initialUpdate();
    // Asked once the window is up, so the question has the program behind it.
    QTimer::singleShot(0, this, &MainWindow::offerRecovery);
}

MainWindow::~MainWindow() {
    // The serial control closes its port when it is deleted with the other
    // children, after this window's own part is gone: it must not call back.
    if (comm_) comm_->disconnect(this);
}

void MainWindow::createMenus() {
    QMenu* file = menuBar()->addMenu("&File(f)");
    QAction* save = makeAction(this, "save", "&Save", "Save");
    connect(save, &QAction::triggered, this, [this] { saveRun(); });
    QAction* open = makeAction(this, "open", "&Open", "Open");
    connect(open, &QAction::triggered, this, &MainWindow::onOpen);
    QAction* print = makeAction(this, "print", "&Print", "Print");
    print->setShortcut(QKeySequence("Ctrl+P"));
    connect(print, &QAction::triggered, this, [this] { view_->print(); });
    QAction* exit = makeAction(this, "exit", "&Exit");
    connect(exit, &QAction::triggered, this, &QWidget::close);
    file->addActions({save, open, print, exit});

    QMenu* rt = menuBar()->addMenu("&RealTime(R)");
    QAction* run = makeAction(this, "run", "&Run", "Start");
    connect(run, &QAction::triggered, this, &MainWindow::onRun);
    QAction* stop = makeAction(this, "stop", "&Stop", "Stop");
    connect(stop, &QAction::triggered, this, &MainWindow::onStop);
    QAction* undo = makeAction(this, "undozoom", "&UndoZoom", "UndoZoom");
    connect(undo, &QAction::triggered, this, [this] { view_->undoZoom(); });
    rt->addAction(run);
    rt->addSeparator();
    rt->addAction(stop);
    rt->addAction(undo);

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
    QAction* contents = makeAction(this, "help", "&Contents", "Help");
    contents->setShortcut(QKeySequence::HelpContents);
    connect(contents, &QAction::triggered, this, &MainWindow::onHelp);
    help->addAction(about);
    help->addSeparator();
    help->addAction(contents);

    // The framework's accelerators: New does nothing visible, Open and Save go
    // through the document's serialisation.
    QAction* fwNew = makeAction(this, "fwnew", "New");
    fwNew->setShortcut(QKeySequence("Ctrl+N"));
    QAction* fwOpen = makeAction(this, "fwopen", "Open file");
    fwOpen->setShortcut(QKeySequence("Ctrl+O"));
    connect(fwOpen, &QAction::triggered, this, &MainWindow::onFileOpen);
    QAction* fwSave = makeAction(this, "fwsave", "Save file");
    fwSave->setShortcut(QKeySequence("Ctrl+S"));
    connect(fwSave, &QAction::triggered, this, [this] {
        if (saveDataFileInteractive(this, model_) && !model_.link.runInProgress) journal_->finish();
    });
    addActions({fwNew, fwOpen, fwSave});
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
        panes_[i] = new QLabel(this);
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
    if (pane >= 0 && pane < 3 && panes_[pane] && panes_[pane]->text() != text) panes_[pane]->setText(text);
}

QString MainWindow::paneText(int pane) const { return (pane >= 0 && pane < 3) ? panes_[pane]->text() : QString(); }

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

void MainWindow::updateCommandStates() {
    const auto& r = model_.run;
    const auto& l = model_.link;
    action("save")->setEnabled(r.n != 0);
    action("print")->setEnabled(r.n != 0);
    action("open")->setEnabled(r.loggerShown == 0);
    action("run")->setEnabled(r.runEnable);
    action("stop")->setEnabled(r.stopEnable);
    action("undozoom")->setEnabled(view_ && view_->inBrowseMode());
    for (int i = 0; i < 4; ++i) {
        QAction* a = action(kComNames[i]);
        a->setEnabled(l.comEnable[i]);
        a->setChecked(l.comCheck[i]);
    }
    action("othercom")->setEnabled(l.otherComEnable);
}

void MainWindow::refreshPanels() {
    view_->alarmPanel()->refreshDisplay();
    view_->graphBar()->refreshDisplay();
    view_->meterPanel()->repaintDisplay();
}

void MainWindow::onCommEvent(int code) {
    const QByteArray data = code == kv::kEventReceive ? comm_->input() : QByteArray();
    const auto fx = kv::serialEvent(model_, *comm_, code, reinterpret_cast<const uint8_t*>(data.constData()),
                                    static_cast<std::size_t>(data.size()), std::time(nullptr));
    if (fx.runStarted) view_->update();
    if (fx.runStarted && model_.link.runInProgress && !journal_->begin(model_)) reportJournalError();
    followJournal();
    if (fx.accepted) {
        if (fx.alarmsChanged) view_->alarmPanel()->repaintIndicators();
        refreshPanels();
    }
    if (fx.accepted || fx.runEnded) updateCommandStates();
}

void MainWindow::timerEvent(QTimerEvent* e) {
    if (e->timerId() == ackTimer_.timerId()) kv::ackTick(model_, *comm_);
    else QMainWindow::timerEvent(e);
}

void MainWindow::paintEvent(QPaintEvent* e) { QMainWindow::paintEvent(e); }

void MainWindow::onRun() {
    const kv::ProfileFile ini(configPath_.toStdString());
    int rate = kv::readSampleRate(ini);
    int count = kv::readSampleCount(ini);
    if (model_.run.intervalMs >= 1000) rate = model_.run.intervalMs / 1000;
    if (model_.run.countTarget >= 1000 && model_.run.countTarget <= 10000) count = model_.run.countTarget;

    if (model_.link.hasRunData) {
        const auto answer = QMessageBox::question(this, "KV2047",
                                                  "Do you want to save the existing graph data before continuing?",
                                                  QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes) saveRun();
    }
    RunSetupDialog dlg(rate, count, this);
    if (dlg.exec() == QDialog::Accepted) {
        kv::applyRunSettings(model_, kv::clampRate(dlg.rate()), kv::clampCount(dlg.count()));
        view_->update();
    }
    kv::finishRunCommand(model_);
    view_->update();  // the paint re-arms the sample timer
    updateCommandStates();
}

void MainWindow::onStop() {
    kv::stopRun(model_);
    followJournal();
    updateCommandStates();
}

void MainWindow::onOpen() {
    if (logger_) {
        logger_->raise();
        logger_->activateWindow();
        return;
    }
    logger_ = new LoggerViewer(this);
    model_.run.loggerOpen = 1;
    logger_->show();
}

void MainWindow::onFileOpen() { openDataFileInteractive(this, model_); }

void MainWindow::onHelp() { HelpWindow::showManual(this); }

void MainWindow::onAbout() {
    AboutDialog box(this);
    box.exec();
}

void MainWindow::onComPort(int n) {
    kv::changePort(model_, *comm_, n);
    for (int i = 0; i < 4; ++i) model_.link.comCheck[i] = (i + 1 == n) ? 1 : 0;
    view_->update();
    updateCommandStates();
}

void MainWindow::onOtherCom() {
    ComPortDialog dlg(model_.link.port, this);
    if (dlg.exec() != QDialog::Accepted) return;
    const auto chosen = dlg.chosenPort();
    if (!chosen || *chosen < 5 || *chosen > 16) return;
    kv::changePort(model_, *comm_, *chosen);
    for (auto& c : model_.link.comCheck) c = 0;
    view_->update();
    updateCommandStates();
}

bool MainWindow::saveRun() {
    if (!saveRunInteractive(this, model_)) return false;
    // A run still recording keeps its journal: the samples after this save need it.
    if (!model_.link.runInProgress) journal_->finish();
    return true;
}

void MainWindow::onSampleCommitted() {
    if (journal_->isOpen() && !journal_->adopted() && !journal_->append(model_)) reportJournalError();
}

void MainWindow::followJournal() { journal_->follow(model_); }

void MainWindow::reportJournalError() {
    statusBar()->showMessage(
        QStringLiteral("The run journal could not be written: %1").arg(QString::fromStdString(journal_->error())),
        10000);
}

void MainWindow::offerRecovery() {
    if (!::offerRecovery(this, model_, *journal_)) return;
    view_->update();
    refreshPanels();
    updateCommandStates();
}

void MainWindow::writeConfig() {
    QDir().mkpath(configDir_);
    kv::ProfileFile ini(configPath_.toStdString());
    kv::writeSettingsOnClose(ini, model_);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    // Settings first, so they survive a declined save.
    writeConfig();
    if (model_.run.n > 1) {
        const auto answer = QMessageBox::question(this, "KV2047", "Do you want to save the data before closing?",
                                                  QMessageBox::Yes | QMessageBox::No);
        // A save that was cancelled or failed keeps the window open: nothing is lost.
        if (answer == QMessageBox::Yes && !saveRun()) {
            e->ignore();
            return;
        }
    }
    // Saved, or the user chose not to: nothing is left to recover.
    journal_->finish();
    comm_->closePort();
    e->accept();
}

