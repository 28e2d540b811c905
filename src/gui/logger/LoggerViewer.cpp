#include "gui/logger/LoggerViewer.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimerEvent>
#include <QToolBar>
#include <QToolButton>

#include "core/Model.h"
#include "core/logger/SetTable.h"
#include "gui/Placement.h"
#include "gui/report/PrintCommand.h"
#include "gui/dialogs/YScaleDialog.h"
#include "gui/panels/PanelKeyFilter.h"
#include "gui/record/SaveCommand.h"
#include "gui/stats/StatsWindow.h"
#include "session/MeterSession.h"
#include "core/record/RunStats.h"

using namespace kv::logger;

namespace {

constexpr int kDragTimerMs = 10;

struct ToolEntry {
    const char* label;
    const char* tip;    // only Download and Undozoom have one
    const char* keys;   // the keyboard's way to it, shown in the graph's menu
};
constexpr ToolEntry kTools[] = {
    {"Download", "Download", "Ctrl+O"}, {"Print", nullptr, "Ctrl+P"},   {"Undozoom", "ZoomOut", "Ctrl+Z"},
    {"AIR", nullptr, "Ctrl+1"},         {"WB", nullptr, "Ctrl+2"},      {"DP", nullptr, "Ctrl+3"},
    {"K/IR", nullptr, "Ctrl+4"},        {"RH", nullptr, "Ctrl+5"},      {"Combine", nullptr, "Ctrl+6"},
    {"Y Axis", nullptr, "Ctrl+Y"},
};

}  // namespace

LoggerViewer::LoggerViewer(MeterSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      session_(session),
      shown_(std::make_unique<ShownRun>()),
      sets_(std::make_unique<SetTable>()),
      tables_(std::make_unique<CoordTables>()) {
    setWindowTitle(QStringLiteral("Graph"));
    setAccessibleDescription(QStringLiteral("Logger viewer: the stored runs in a list, the shown one as a graph of "
                                            "AIR, WB, DP, K/IR and RH; a box dragged on the graph zooms in"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFixedSize(kWidth, kHeight);
    plot_ = plotRect(kWidth, kHeight);
    build();
    kv::installPanelKeyFilter(this);

    // Centred over the main window on its screen, or on the screen without one.
    if (parent) {
        kv::placeOver(this, parent);
    } else if (screen()) {
        move(screen()->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
    }
    connect(&session_, &MeterSession::runOpened, this, &LoggerViewer::appendOpenedRun);
}

LoggerViewer::~LoggerViewer() = default;

void LoggerViewer::build() {
    toolBar_ = new QToolBar(this);
    toolBar_->setMovable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    toolBar_->setContentsMargins(0, 0, 0, 0);
    toolBar_->setGeometry(0, 0, kWidth, 23);
    const std::function<void()> handlers[] = {
        [this] { download(); },        [this] { print(); },           [this] { undoZoom(); },
        [this] { showQuantity(kv::AIR); }, [this] { showQuantity(kv::WB); }, [this] { showQuantity(kv::DP); },
        [this] { showQuantity(kv::KIR); }, [this] { showQuantity(kv::RH); }, [this] { showQuantity(-1); },
        [this] { chooseYScale(); },
    };
    for (std::size_t i = 0; i < std::size(kTools); ++i) {
        if (i) toolBar_->addSeparator();
        QAction* a = toolBar_->addAction(QString::fromLatin1(kTools[i].label));
        a->setToolTip(kTools[i].tip ? QString::fromLatin1(kTools[i].tip) : QString());
        a->setShortcut(QKeySequence(QString::fromLatin1(kTools[i].keys)));
        a->setShortcutVisibleInContextMenu(true);
        connect(a, &QAction::triggered, this, handlers[i]);
        if (auto* b = qobject_cast<QToolButton*>(toolBar_->widgetForAction(a))) {
            b->setFixedSize(75, 18);
            b->setFocusPolicy(Qt::TabFocus);   // Tab reaches every button, Space presses it
        }
    }

    list_ = new QTableWidget(0, 4, this);
    list_->setGeometry(6, 28, 232, 568);
    list_->setHorizontalHeaderLabels({"Set", "Time", "Sampling Rate", "Nums"});
    const int widths[] = {50, 130, 110, 150};
    for (int c = 0; c < 4; ++c) {
        list_->setColumnWidth(c, widths[c]);
        list_->horizontalHeaderItem(c)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    list_->verticalHeader()->hide();
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    // A double-click or Enter on a row shows its set.
    connect(list_, &QTableWidget::activated, this, [this] { chooseSet(list_->currentRow()); });

    scrollBar_ = new QScrollBar(Qt::Horizontal, this);
    scrollBar_->setGeometry(302, 568, 590, 16);
    scrollBar_->setEnabled(false);
    scrollBar_->setFocusPolicy(Qt::TabFocus);   // the arrow keys move a zoomed graph
    scrollBar_->setToolTip(QStringLiteral("Moves the zoomed graph along the run"));
    connect(scrollBar_, &QScrollBar::actionTriggered, this, &LoggerViewer::onScrollAction);

    // Every command of the window with its keys: the toolbar's, then the
    // graph's own. The right button and the menu key open it on the graph,
    // F10 under the toolbar.
    graphMenu_ = new QMenu(this);
    graphMenu_->addActions(toolBar_->actions());
    graphMenu_->addSeparator();
    exportAction_ = graphMenu_->addAction(QStringLiteral("Export Graph &Image..."));
    exportAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+E")));
    exportAction_->setShortcutVisibleInContextMenu(true);
    exportAction_->setStatusTip(QStringLiteral("Saves the graph as a PNG or SVG image"));
    exportAction_->setEnabled(false);
    connect(exportAction_, &QAction::triggered, this, &LoggerViewer::exportImage);
    addAction(exportAction_);   // the shortcut works without the menu
    statsAction_ = graphMenu_->addAction(QStringLiteral("S&tatistics..."));
    statsAction_->setShortcut(QKeySequence(QStringLiteral("Ctrl+T")));
    statsAction_->setShortcutVisibleInContextMenu(true);
    statsAction_->setStatusTip(QStringLiteral("Statistics of the shown run, or of its visible part while zoomed"));
    statsAction_->setEnabled(false);
    connect(statsAction_, &QAction::triggered, this, &LoggerViewer::showStatistics);
    addAction(statsAction_);
    auto* menuKey = new QAction(this);
    menuKey->setShortcut(QKeySequence(Qt::Key_F10));
    connect(menuKey, &QAction::triggered, this,
            [this] { graphMenu_->popup(mapToGlobal(toolBar_->geometry().bottomLeft() + QPoint(0, 1))); });
    addAction(menuKey);
}

void LoggerViewer::showStatistics() {
    if (!loaded()) return;
    if (!stats_) {
        stats_ = new StatsWindow(this);
        stats_->setAttribute(Qt::WA_DeleteOnClose);
        stats_->setWindowTitle(QStringLiteral("Statistics of the shown run"));
        refreshStatistics();   // sizes the hidden window to its table
        kv::placeBeside(stats_, this);
    } else {
        refreshStatistics();
    }
    stats_->show();
    stats_->raise();
    stats_->activateWindow();
}

void LoggerViewer::refreshStatistics() {
    if (!stats_) return;
    const kv::LoggedRun& run = shown_->run;
    const int n = std::clamp(run.count, 0, kv::kMaxSamples);
    const SampleSpan span = loaded() ? visibleSamples(*tables_, nav_, plot_, n) : SampleSpan{};
    stats_->setStatistics(kv::computeRunStats(kv::loggedSamples(run), span.first, span.last, run.unitFlag),
                          kv::SampleClock{shown_->start, run.interval}, QString::fromStdString(run.unitText));
}

QAction* LoggerViewer::action(const QString& label) const {
    for (QAction* a : toolBar_->actions())
        if (a->text() == label) return a;
    return nullptr;
}

// Painting.

void LoggerViewer::appendOpenedRun() {
    // The run the session read becomes the shown run, with the scale it was saved with.
    const kv::Model& m = session_.model();
    shown_->run = m.doc->logged;
    shown_->start = loggedStart(shown_->run);
    shown_->yGain = m.run.loggerYGain;
    shown_->yOffset = m.run.loggerYOffset;
    if (sets_->append(shown_->run, shown_->start, shown_->yGain, shown_->yOffset)) list_->setRowCount(0);
    const int row = sets_->newest();
    const ListRow texts = sets_->listRow(row);
    list_->insertRow(row);
    const std::string* cells[] = {&texts.set, &texts.time, &texts.rate, &texts.nums};
    for (int c = 0; c < 4; ++c) list_->setItem(row, c, new QTableWidgetItem(QString::fromStdString(*cells[c])));
    requestPaint();
}

void LoggerViewer::render() {
    const bool firstShown = !painted_;
    painted_ = true;
    if (!isDeviceImage(image_, size(), devicePixelRatioF())) image_ = deviceImage(size(), devicePixelRatioF());
    const Frame f = prepareFrame(*tables_, nav_, plot_, shown_->run, shown_->start, shown_->yGain, shown_->yOffset,
                                 loaded());
    if (f.loaded && !f.wholeRun) {
        scrollBar_->setEnabled(true);
        scrollBar_->setRange(0, f.scrollMax);
        if (f.setScrollPos) scrollBar_->setValue(f.scrollPos);
    } else {
        // An empty range: a disabled bar shows no thumb.
        scrollBar_->setRange(0, 0);
        scrollBar_->setEnabled(false);
    }
    painter_.paint(image_, f, *tables_, nav_);
    exportAction_->setEnabled(loaded());
    statsAction_->setEnabled(loaded());
    // Zoom, scroll, Undozoom and another set all come through here.
    refreshStatistics();
    paintPending_ = false;
    if (firstShown) emit shownChanged();
}

bool LoggerViewer::imageStale() const {
    return paintPending_ || !isDeviceImage(image_, size(), devicePixelRatioF());
}

void LoggerViewer::repaintNow() {
    render();
    update();
}

void LoggerViewer::requestPaint() {
    paintPending_ = true;
    update();
}

void LoggerViewer::paintEvent(QPaintEvent* e) {
    if (imageStale()) render();
    QPainter p(this);
    copyToWidget(p, image_, e->region());
}

// Commands.

void LoggerViewer::wholeRunReset() {
    nav_.wholeRunReset();
    scrollBar_->setEnabled(false);
}

void LoggerViewer::download() {
    if (!open_) return;
    wholeRunReset();
    repaintNow();
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), lastPath_, kOpenFilter);
    if (path.isEmpty()) return;
    lastPath_ = path;
    readFile(path);
}

bool LoggerViewer::downloadFile(const QString& path) {
    if (!open_) return false;
    wholeRunReset();
    repaintNow();
    lastPath_ = path;
    return readFile(path);
}

bool LoggerViewer::readFile(const QString& path) {
    // A good read is appended as the newest set by the session's runOpened().
    const kv::ReadResult r = openRunFile(session_, path);
    if (!r.ok()) {
        // A file that cannot be opened at all is passed over quietly.
        if (r.error != kv::ReadError::Io) reportReadError(this, path, r);
        requestPaint();
        return false;
    }
    wholeRunReset();
    repaintNow();
    return true;
}

void LoggerViewer::undoZoom() {
    wholeRunReset();
    repaintNow();
}

void LoggerViewer::showQuantity(int q) {
    if (q < 0) showAll(nav_);
    else showOnly(nav_, q);
    requestPaint();
}

void LoggerViewer::chooseYScale() {
    if (YScaleDialog::edit(this, shown_->yOffset, shown_->yGain)) requestPaint();
}

void LoggerViewer::print() {
    // The shown run with the viewer's own scale and switches; nothing for an empty run.
    printLoggerReport(this, *shown_, nav_.shown.data());
}

void LoggerViewer::chooseSet(int row) {
    if (row < 0 || row > sets_->newest()) return;
    showSet(sets_->at(row), *shown_);
    wholeRunReset();
    requestPaint();
}

QRect LoggerViewer::graphArea() const {
    return QRect(QPoint(list_->geometry().right() + 1, toolBar_->geometry().bottom() + 1),
                 QPoint(width() - 1, scrollBar_->geometry().top() - 1));
}

GraphPicture LoggerViewer::picture() {
    // What the window is about to show, should a paint be pending.
    if (imageStale()) render();
    return GraphPicture{size(), graphArea(), QColor::fromRgb(kBackground), [this](const GraphCanvas& c) {
                            const Frame f = prepareFrame(*tables_, nav_, plot_, shown_->run, shown_->start,
                                                         shown_->yGain, shown_->yOffset, loaded());
                            const auto plot = c.plotSurface(rect());
                            painter_.draw(c.painter(), *plot, size(), f, *tables_, nav_, LoggerPainter::Marks::Left);
                        }};
}

void LoggerViewer::exportImage() {
    if (!loaded()) return;
    exportGraphInteractive(this, picture());
}

void LoggerViewer::onScrollAction(int action) {
    if (action == QAbstractSlider::SliderMove) thumbTrack(nav_, scrollBar_->sliderPosition());
    scrollBar_->setSliderPosition(thumbPosition(nav_));
    repaintNow();
}

// Mouse and the drag watchdog.

void LoggerViewer::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
    const QPoint pos = e->position().toPoint();
    press(nav_, plot_, pos.x(), pos.y());
    dragTimer_.start(kDragTimerMs, this);
}

void LoggerViewer::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (imageStale()) render();
    const MoveResult r =
        kv::logger::move(nav_, plot_, *tables_, shown_->run, shown_->start, loaded(), pos.x(), pos.y());
    if (r.cursor) {
        if (r.eraseOld) LoggerPainter::cursorLine(image_, plot_, r.oldX);
        LoggerPainter::cursorLine(image_, plot_, r.newX);
    }
    if (r.band) {
        LoggerPainter::band(image_, r.oldBand);
        LoggerPainter::band(image_, r.newBand);
    }
    if (r.readout) {
        std::array<std::string, kv::kQuantities> texts;
        for (int q = 0; q < kv::kQuantities; ++q)
            texts[static_cast<std::size_t>(q)] =
                nav_.readout[static_cast<std::size_t>(q)] + (q == kv::RH ? "%RH" : shown_->run.unitText);
        painter_.readout(image_, plot_, texts, nav_.readoutTime, nav_.shown);
    }
    if (r.cursor || r.band || r.readout) update();
}

void LoggerViewer::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(e);
    const QPoint pos = e->position().toPoint();
    const ReleaseResult r =
        release(nav_, plot_, *tables_, std::clamp(shown_->run.count, 0, kv::kMaxSamples), loaded(),
                pos.x(), pos.y());
    // The watchdog only matters while a drag is in progress.
    dragTimer_.stop();
    if (r.removeBand && !image_.isNull()) {
        LoggerPainter::band(image_, r.band);
        update();
    }
    if (r.finished) repaintNow();
}

void LoggerViewer::contextMenuEvent(QContextMenuEvent* e) {
    if (e->reason() == QContextMenuEvent::Keyboard) return graphMenu_->popup(mapToGlobal(graphArea().center()));
    if (!graphArea().contains(e->pos())) return QWidget::contextMenuEvent(e);
    graphMenu_->popup(e->globalPos());
}

void LoggerViewer::timerEvent(QTimerEvent* e) {
    if (e->timerId() != dragTimer_.timerId()) return QWidget::timerEvent(e);
    const QPoint pos = mapFromGlobal(QCursor::pos());
    if (watchDrag(nav_, plot_, pos.x(), pos.y())) {
        repaintNow();
        dragTimer_.stop();
    }
}

// Closing empties the table and lets the main window offer Open again.

void LoggerViewer::closeEvent(QCloseEvent* e) {
    QWidget::closeEvent(e);
    nav_.wholeRunReset();
    sets_->clear();
    list_->setRowCount(0);
    scrollBar_->setEnabled(false);
    exportAction_->setEnabled(false);
    statsAction_->setEnabled(false);
    if (stats_) stats_->close();
    dragTimer_.stop();
    open_ = false;
    painted_ = false;
    e->accept();
    emit shownChanged();
}
