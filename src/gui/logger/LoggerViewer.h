#pragma once
// The logger viewer window "Graph": opens stored runs into its set table,
// lists them, and shows one of them as a graph with zoom, scroll, cursor
// read-out, quantity switches and its own Y scale.
#include <QBasicTimer>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <ctime>
#include <memory>

#include "core/logger/LoggerNav.h"
#include "gui/graph/GraphImage.h"
#include "gui/logger/LoggerPainter.h"
#include "core/logger/SetTable.h"

class QAction;
class StatsWindow;
class MeterSession;
class QMenu;
class QScrollBar;
class QTableWidget;
class QToolBar;

class LoggerViewer : public QWidget {
    Q_OBJECT
public:
    // Client size: 473 x 299 dialog units.
    static constexpr int kWidth = 946;
    static constexpr int kHeight = 598;

    // Every run the session opens (this viewer's Download, the main window's
    // Open) joins the list as the newest set and becomes the shown run. The
    // viewer is owned by `parent` when given.
    explicit LoggerViewer(MeterSession& session, QWidget* parent = nullptr);
    ~LoggerViewer() override;

    // Download: the open dialog, then downloadFile() with its answer.
    void download();
    // Has the session read a data file as Download does after its dialog. True
    // when a run was read (it becomes the newest set); false when refused (the
    // reason is shown, except for a file that cannot be opened) or when the
    // viewer has been closed.
    bool downloadFile(const QString& path);
    // Appends the run the session opened last as the newest set, as each
    // runOpened() does; for a run opened before this viewer existed.
    void appendOpenedRun();
    // Undozoom: back to the whole run.
    void undoZoom();
    // AIR, WB, DP, K/IR, RH: that quantity alone; -1: Combine, all five.
    void showQuantity(int q);
    // Y Axis: the Y scale dialog for the viewer's own gain and offset.
    void chooseYScale();
    // Print: the test report of the shown run.
    void print();
    // Makes set `row` the shown run, as a double-click on its list row does.
    void chooseSet(int row);
    // Export Graph Image (the graph's context menu, Ctrl+E): asks for a file
    // name and writes picture() to it.
    void exportImage();
    // The statistics of the shown set, or of its visible span while zoomed,
    // in a small window that follows zoom, scroll and Undozoom.
    void showStatistics();
    QAction* statisticsAction() const { return statsAction_; }
    // The part of the window the graph occupies: right of the list, between
    // the toolbar and the scroll bar.
    QRect graphArea() const;
    // The shown run's graph as the window shows it now (zoom, scroll
    // position, switches, scale), drawn afresh: no cursor line, rubber band
    // or read-out row.
    GraphPicture picture();
    // The menu the right button opens on the graph.
    QMenu* graphMenu() const { return graphMenu_; }

    // What the paint and the printer read.
    const kv::logger::SetTable& sets() const { return *sets_; }
    // The shown run with its start time and the Y scale it is drawn with.
    const kv::logger::ShownRun& shown() const { return *shown_; }
    const kv::logger::Nav& nav() const { return nav_; }
    const kv::logger::CoordTables& tables() const { return *tables_; }
    kv::logger::PlotRect plot() const { return plot_; }
    std::time_t shownStart() const { return shown_->start; }
    // Painted since it was opened: the main window's Open is off meanwhile.
    bool hasBeenShown() const { return painted_; }
    QTableWidget* list() const { return list_; }
    QScrollBar* scrollBar() const { return scrollBar_; }
    QToolBar* toolBar() const { return toolBar_; }
    QAction* action(const QString& label) const;
    // The last image painted (what the window shows).
    const QImage& image() const { return image_; }
    // Paints at once, as "invalidate and repaint" does.
    void repaintNow();

signals:
    // The viewer was painted for the first time or closed (Open's state).
    void shownChanged();

protected:
    void paintEvent(QPaintEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    void build();
    void render();
    // Whether image_ must be rendered before it is shown or drawn on: a paint
    // is pending, or the window's size or pixel density has changed.
    bool imageStale() const;
    void requestPaint();
    void wholeRunReset();
    bool readFile(const QString& path);
    void onScrollAction(int action);
    bool loaded() const { return !sets_->empty(); }

    MeterSession& session_;
    std::unique_ptr<kv::logger::ShownRun> shown_;
    std::unique_ptr<kv::logger::SetTable> sets_;
    std::unique_ptr<kv::logger::CoordTables> tables_;
    kv::logger::Nav nav_;
    kv::logger::PlotRect plot_;
    kv::logger::LoggerPainter painter_;
    QString lastPath_;
    QImage image_;
    bool paintPending_ = true;   // the next paint event draws the graph anew
    bool open_ = true;           // until closed: Download reads only while open
    bool painted_ = false;
    QBasicTimer dragTimer_;
    QToolBar* toolBar_ = nullptr;
    QTableWidget* list_ = nullptr;
    QScrollBar* scrollBar_ = nullptr;
    QMenu* graphMenu_ = nullptr;
    QAction* exportAction_ = nullptr;
    QAction* statsAction_ = nullptr;
    QPointer<StatsWindow> stats_;
    void refreshStatistics();
};
