// The Graph window: Download into the set table, the list, the paint, mouse
// zoom and cursor, the quantity and scale commands, the graph's menu and its
// image export, closing.
#include <gtest/gtest.h>

#include <array>

#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>

#include "core/Model.h"
#include "gui/MainWindow.h"
#include "gui/logger/LoggerViewer.h"
#include "session/MeterSession.h"
#include "gui/dialogs/YScaleDialog.h"
#include "graph/ExportedImage.h"
#include "record/ModalScript.h"
#include "record/RecordTestUtil.h"

using kvtest::ModalScript;

namespace {

constexpr QRgb kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kYellow = 0xFFFFFF00u;

class LoggerViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        dlg = new LoggerViewer(session);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg));
        good = writeRun("run.AsmDat", 200, 10, 0);
    }
    void TearDown() override { delete dlg.data(); }

    // A run of n samples with values well inside a 0..100 scale.
    QString writeRun(const char* name, int n, int32_t gain, int32_t offset) {
        auto rec = kvtest::makeRamp(n, 5);
        for (int i = 0; i < n; ++i)
            for (int q = 0; q < 5; ++q) rec->run.samples[i * 5 + q] = 20.0f + q * 10 + (i % 10);
        rec->yGain = gain;
        rec->yOffset = offset;
        kvtest::writeBytes(dir.file(name), kv::encodeDataFile(*rec));
        return QString::fromStdString(dir.file(name));
    }
    // Pixels of one colour strictly inside the plot.
    int pixelsInPlot(QRgb colour) {
        const QImage& img = dlg->image();
        int count = 0;
        for (int y = 91; y < 537; ++y)
            for (int x = 307; x < 885; ++x) count += img.pixel(x, y) == colour;
        return count;
    }
    QString cell(int row, int col) { return dlg->list()->item(row, col)->text(); }
    // The graph exported to `name` in the scratch folder; its bytes.
    QByteArray exported(const char* name) {
        const QString path = QString::fromStdString(dir.file(name));
        QString error;
        EXPECT_TRUE(exportGraphTo(path, dlg->picture(), &error)) << error.toStdString();
        return kvtest::fileBytes(path);
    }

    MeterSession session;
    kvtest::ScratchDir dir;
    QPointer<LoggerViewer> dlg;
    QString good;
};

}  // namespace

TEST_F(LoggerViewerTest, WindowListToolbarAndScrollBar) {
    EXPECT_EQ(dlg->windowTitle(), "Graph");
    EXPECT_EQ(dlg->size(), QSize(946, 598));
    EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize());
    EXPECT_TRUE(dlg->testAttribute(Qt::WA_DeleteOnClose));
    QStringList labels, tips;
    for (QAction* a : dlg->toolBar()->actions())
        if (!a->isSeparator()) {
            labels << a->text();
            if (!a->toolTip().isEmpty() && a->toolTip() != a->text().remove('&')) tips << a->toolTip();
        }
    EXPECT_EQ(labels, QStringList({"Download", "Print", "Undozoom", "AIR", "WB", "DP", "K/IR", "RH", "Combine",
                                   "Y Axis"}));
    EXPECT_EQ(dlg->action("Undozoom")->toolTip(), "ZoomOut");
    EXPECT_EQ(dlg->action("Download")->toolTip(), "Download");
    EXPECT_EQ(tips, QStringList({"ZoomOut"}));
    QTableWidget* list = dlg->list();
    const char* headers[] = {"Set", "Time", "Sampling Rate", "Nums"};
    const int widths[] = {50, 130, 110, 150};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(list->horizontalHeaderItem(c)->text(), headers[c]);
        EXPECT_EQ(list->columnWidth(c), widths[c]);
    }
    EXPECT_EQ(list->geometry(), QRect(6, 28, 232, 568));
    EXPECT_FALSE(dlg->scrollBar()->isEnabled());
    EXPECT_TRUE(dlg->hasBeenShown());   // set by the first paint
}

TEST_F(LoggerViewerTest, SameFileTwiceGivesTwoSetsDifferingInNumber) {
    ASSERT_TRUE(dlg->downloadFile(good));
    ASSERT_TRUE(dlg->downloadFile(good));
    ASSERT_EQ(dlg->list()->rowCount(), 2);
    EXPECT_EQ(cell(0, 0), "1");
    EXPECT_EQ(cell(1, 0), "2");
    for (int c = 1; c < 4; ++c) EXPECT_EQ(cell(0, c), cell(1, c));
    EXPECT_EQ(cell(0, 1), "27/07/07 07:40:35");
    EXPECT_EQ(cell(0, 2), "5sec");
    EXPECT_EQ(cell(0, 3), "200");
    EXPECT_EQ(dlg->sets().at(0).samples, dlg->sets().at(1).samples);
}

TEST_F(LoggerViewerTest, TheHundredAndFirstDownloadStartsTheListAgain) {
    const QString small = writeRun("small.AsmDat", 3, 10, 0);
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(dlg->downloadFile(small));
    EXPECT_EQ(dlg->list()->rowCount(), 100);
    EXPECT_EQ(cell(99, 0), "100");
    ASSERT_TRUE(dlg->downloadFile(good));
    ASSERT_EQ(dlg->list()->rowCount(), 1);
    EXPECT_EQ(cell(0, 0), "1");
    EXPECT_EQ(cell(0, 3), "200");
    EXPECT_EQ(dlg->sets().newest(), 0);
}

TEST_F(LoggerViewerTest, RefusedFilesLeaveTheTableAlone) {
    ASSERT_TRUE(dlg->downloadFile(good));
    const std::string bytes = kvtest::readBytes(good.toStdString());
    kvtest::writeBytes(dir.file("short.AsmDat"), bytes.substr(0, bytes.size() / 2));
    kvtest::writeBytes(dir.file("other.CH4"), "\x06kv2047" + bytes.substr(7));
    struct Case { const char* file; const char* says; };
    for (const Case& c : {Case{"short.AsmDat", "incomplete"}, Case{"other.CH4", "Invalid Format!"}}) {
        SCOPED_TRACE(c.file);
        ModalScript script({kvtest::press(QMessageBox::Ok)});
        EXPECT_FALSE(dlg->downloadFile(QString::fromStdString(dir.file(c.file))));
        ASSERT_EQ(script.seen().size(), 1u);
        EXPECT_TRUE(script.seen()[0].text.contains(c.says)) << script.seen()[0].text.toStdString();
        EXPECT_EQ(script.seen()[0].title, "KV2047");
        QTest::qWait(20);
        EXPECT_EQ(dlg->list()->rowCount(), 1);
        EXPECT_EQ(dlg->sets().newest(), 0);
    }
    // A file that cannot be opened is passed over without a message.
    ModalScript none({});
    EXPECT_FALSE(dlg->downloadFile(QString::fromStdString(dir.file("absent.AsmDat"))));
    QTest::qWait(20);
    EXPECT_TRUE(none.seen().empty());
    EXPECT_EQ(dlg->list()->rowCount(), 1);
}

TEST_F(LoggerViewerTest, DownloadDialogCancelOrChoose) {
    {
        ModalScript script({kvtest::cancel()});
        dlg->download();
        EXPECT_TRUE(script.done());
        EXPECT_EQ(dlg->list()->rowCount(), 0);
    }
    {
        QString filter;
        ModalScript script({[&](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            ASSERT_NE(d, nullptr);
            filter = d->nameFilters().join(";;");
            kvtest::selectPath(d, good);
            static_cast<QDialog*>(d)->accept();
        }});
        dlg->download();
        EXPECT_EQ(filter, "DataLogger Files (*.AsmDat);;*.CH4 (*.CH4)");
        EXPECT_EQ(dlg->list()->rowCount(), 1);
    }
}

TEST_F(LoggerViewerTest, EmptyRunIsListedAndHasNoTrace) {
    ASSERT_TRUE(dlg->downloadFile(writeRun("empty.AsmDat", 0, 10, 0)));
    EXPECT_EQ(cell(0, 3), "0");
    for (QRgb c : {kRed, kGreen}) EXPECT_EQ(pixelsInPlot(c), 0);
}

TEST_F(LoggerViewerTest, TracesOfTheShownQuantitiesOnly) {
    EXPECT_EQ(pixelsInPlot(kRed), 0);
    ASSERT_TRUE(dlg->downloadFile(good));
    EXPECT_GT(pixelsInPlot(kRed), 100);
    EXPECT_GT(pixelsInPlot(kGreen), 100);
    dlg->showQuantity(kv::RH);
    dlg->repaintNow();
    EXPECT_EQ(pixelsInPlot(kRed), 0);
    EXPECT_GT(pixelsInPlot(kGreen), 100);
    dlg->showQuantity(-1);
    dlg->repaintNow();
    EXPECT_GT(pixelsInPlot(kRed), 100);
}

TEST_F(LoggerViewerTest, DragZoomsAndUndozoomReturns) {
    ASSERT_TRUE(dlg->downloadFile(good));
    // The statistics window follows what the graph shows.
    dlg->statisticsAction()->trigger();
    auto* stats = dlg->findChild<QTableWidget*>("statistics");
    ASSERT_NE(stats, nullptr);
    const auto validAir = [&] { return stats->item(kv::AIR, 0)->text().toInt(); };
    EXPECT_EQ(validAir(), 200);
    QTest::mousePress(dlg, Qt::LeftButton, {}, QPoint(600, 400));
    QTest::mouseMove(dlg, QPoint(500, 300));
    QTest::mouseMove(dlg, QPoint(400, 150));
    QTest::mouseRelease(dlg, Qt::LeftButton, {}, QPoint(400, 150));
    EXPECT_EQ(dlg->nav().level, 1);
    EXPECT_FALSE(dlg->nav().wholeRun);
    EXPECT_TRUE(dlg->scrollBar()->isEnabled());
    EXPECT_EQ(dlg->scrollBar()->maximum(), 200);
    EXPECT_EQ(dlg->scrollBar()->value(), dlg->nav().firstVisible);
    // Zoomed to x 400..600 of the plot's 307..885: about a third of the run.
    EXPECT_GT(validAir(), 40);
    EXPECT_LT(validAir(), 100);
    const int zoomed = validAir();
    auto* caption = dlg->findChild<QLabel*>("caption");
    ASSERT_NE(caption, nullptr);
    const QString before = caption->text();
    dlg->scrollBar()->setSliderPosition(dlg->scrollBar()->sliderPosition() + 20);
    EXPECT_NEAR(validAir(), zoomed, 2);
    EXPECT_NE(caption->text(), before) << "the span moves with the scroll bar";
    dlg->action("Undozoom")->trigger();
    EXPECT_EQ(validAir(), 200);
    EXPECT_EQ(dlg->nav().level, 0);
    EXPECT_TRUE(dlg->nav().wholeRun);
    EXPECT_FALSE(dlg->scrollBar()->isEnabled());
}

TEST_F(LoggerViewerTest, CursorLineDrawnTwiceIsGone) {
    ASSERT_TRUE(dlg->downloadFile(good));
    const QImage before = dlg->image().copy();
    QTest::mouseMove(dlg, QPoint(500, 300));
    const QImage with = dlg->image().copy();
    QTest::mouseMove(dlg, QPoint(650, 300));
    const QImage after = dlg->image().copy();
    int changed = 0, restored = 0;
    for (int y = 90; y < 537; ++y) {
        changed += with.pixel(500, y) != before.pixel(500, y);
        restored += after.pixel(500, y) == before.pixel(500, y);
    }
    EXPECT_GT(changed, 100);
    EXPECT_EQ(restored, 537 - 90);
    EXPECT_TRUE(dlg->nav().cursorPresent);
    EXPECT_EQ(dlg->nav().cursorX, 650);
    EXPECT_FALSE(dlg->nav().readout[kv::AIR].empty());
}

TEST_F(LoggerViewerTest, DoubleClickRestoresTheSetsOwnScale) {
    ASSERT_TRUE(dlg->downloadFile(writeRun("a.AsmDat", 50, 20, -2)));
    ASSERT_TRUE(dlg->downloadFile(writeRun("b.AsmDat", 80, 5, 2)));
    EXPECT_EQ(dlg->shown().yGain, 5);
    ModalScript script({[](QWidget* w) {
        auto* d = qobject_cast<YScaleDialog*>(w);
        ASSERT_NE(d, nullptr);
        d->gainList()->setCurrentIndex(8);     // 500
        d->offsetList()->setCurrentIndex(4);   // -5
        d->accept();
    }});
    dlg->action("Y Axis")->trigger();
    EXPECT_EQ(dlg->shown().yGain, 500);
    EXPECT_EQ(dlg->shown().yOffset, -5);
    EXPECT_EQ(session.model().run.loggerYGain, 5) << "the viewer's scale is its own";

    QTableWidget* list = dlg->list();
    const QRect r0 = list->visualItemRect(list->item(0, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r0.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r0.center());
    EXPECT_EQ(dlg->shown().yGain, 20);
    EXPECT_EQ(dlg->shown().yOffset, -2);
    EXPECT_EQ(dlg->shown().run.count, 50);
    EXPECT_EQ(dlg->shownStart(), dlg->sets().at(0).start);

    dlg->chooseSet(1);
    EXPECT_EQ(dlg->shown().yGain, 5);
    EXPECT_EQ(dlg->shown().run.count, 80);
    dlg->chooseSet(2);   // no such set
    EXPECT_EQ(dlg->shown().run.count, 80);
}

TEST_F(LoggerViewerTest, ARunOpenedElsewhereJoinsTheListAtOnce) {
    kvtest::writeBytes(dir.file("seven.AsmDat"), kv::encodeDataFile(*kvtest::makeRamp(7, 3)));
    ASSERT_TRUE(session.openRun(QString::fromStdString(dir.file("seven.AsmDat"))).ok());
    // Nobody asks the viewer to paint: the session's signal appends the set.
    ASSERT_EQ(dlg->list()->rowCount(), 1);
    EXPECT_EQ(cell(0, 3), "7");
    EXPECT_EQ(dlg->shown().run.count, 7);
    // A refused file signals nothing.
    kvtest::writeBytes(dir.file("half.AsmDat"), kvtest::readBytes(good.toStdString()).substr(0, 100));
    EXPECT_FALSE(session.openRun(QString::fromStdString(dir.file("half.AsmDat"))).ok());
    EXPECT_EQ(dlg->list()->rowCount(), 1);
}

TEST_F(LoggerViewerTest, ClosingEmptiesTheTableAndEndsDownload) {
    ASSERT_TRUE(dlg->downloadFile(good));
    dlg->close();
    EXPECT_FALSE(dlg->hasBeenShown());
    EXPECT_EQ(dlg->list()->rowCount(), 0);
    EXPECT_FALSE(dlg->downloadFile(good));   // closed: Download does nothing
    EXPECT_EQ(dlg->list()->rowCount(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dlg.isNull());
}

// Open (Ctrl+O) with no viewer: the next viewer the main window opens shows
// that run, once.
TEST(LoggerViewerInMainWindow, ARunOpenedBeforeTheViewerIsItsFirstSet) {
    kvtest::ScratchDir dir;
    kvtest::writeBytes(dir.file("run.AsmDat"), kv::encodeDataFile(*kvtest::makeRamp(7, 3)));
    AppOptions o;
    o.configDir = QString::fromStdString(dir.file("config"));
    o.port = QString::fromStdString(dir.file("no-such-device"));
    MainWindow w(o);
    ASSERT_TRUE(w.session().openRun(QString::fromStdString(dir.file("run.AsmDat"))).ok());
    for (int rows : {1, 0}) {
        w.action("open")->trigger();
        auto* viewer = w.findChild<LoggerViewer*>();
        ASSERT_NE(viewer, nullptr);
        EXPECT_EQ(viewer->list()->rowCount(), rows);
        viewer->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

class LoggerExport : public LoggerViewerTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(LoggerExport, FormatSizeAndTraceColours) {
    ASSERT_TRUE(dlg->downloadFile(good));
    const QByteArray bytes = exported(GetParam());
    const QRect area = dlg->graphArea();
    EXPECT_EQ(area, QRect(238, 23, 708, 545));   // right of the list, above the scroll bar
    if (QString(GetParam()).endsWith("png")) {
        ASSERT_TRUE(kvtest::isPng(bytes));
        EXPECT_EQ(QImage::fromData(bytes).size(), area.size());
    } else {
        ASSERT_TRUE(kvtest::isSvg(bytes));
        EXPECT_EQ(QSvgRenderer(bytes).viewBox(), area);
    }
    // WB and RH (AIR's red is also the axes').
    for (QRgb c : {kYellow, kGreen}) EXPECT_TRUE(kvtest::drawsIn(bytes, c));
    dlg->showQuantity(kv::RH);
    const QByteArray rh = exported(GetParam());
    EXPECT_TRUE(kvtest::lacks(rh, kYellow));
    EXPECT_TRUE(kvtest::drawsIn(rh, kGreen));
}

INSTANTIATE_TEST_SUITE_P(Formats, LoggerExport, ::testing::Values("graph.png", "graph.svg"),
                         [](const auto& info) { return QString(info.param).replace('.', '_').toStdString(); });

TEST_F(LoggerViewerTest, ExportHasTheZoomButNoCursorBandOrReadOut) {
    ASSERT_TRUE(dlg->downloadFile(good));
    const QByteArray whole = exported("whole.png");
    QTest::mouseMove(dlg, QPoint(500, 300));   // the cursor line and the read-out row
    QTest::mousePress(dlg, Qt::LeftButton, {}, QPoint(600, 400));
    QTest::mouseMove(dlg, QPoint(400, 150));   // and a rubber band
    ASSERT_TRUE(dlg->nav().cursorPresent);
    EXPECT_TRUE(QImage::fromData(exported("marks.png")) == QImage::fromData(whole));
    QTest::mouseRelease(dlg, Qt::LeftButton, {}, QPoint(400, 150));
    ASSERT_EQ(dlg->nav().level, 1);
    const QImage zoomed = QImage::fromData(exported("zoomed.png"));
    EXPECT_FALSE(zoomed == QImage::fromData(whole));
    // The read-out row (client y 70) is bare background, as over the whole row.
    const QRect row = QRect(306, 70, 580, 16).translated(-dlg->graphArea().topLeft());
    EXPECT_EQ(kvtest::pixelsOf(zoomed.copy(row), 0xFFD9DAD4u), row.width() * row.height());
}

TEST_F(LoggerViewerTest, GraphMenuOffersTheExportWithItsShortcut) {
    QAction* exportAction = nullptr;
    for (QAction* a : dlg->graphMenu()->actions())
        if (a->text().contains("Export")) exportAction = a;
    ASSERT_NE(exportAction, nullptr);
    EXPECT_EQ(exportAction->text().remove('&'), "Export Graph Image...");
    EXPECT_EQ(exportAction->shortcut(), QKeySequence("Ctrl+E"));
    EXPECT_FALSE(exportAction->isEnabled());   // no run to show yet
    ASSERT_TRUE(dlg->downloadFile(good));
    EXPECT_TRUE(exportAction->isEnabled());
    // The right button opens it on the graph, not on the list.
    for (const QPoint at : {QPoint(100, 300), QPoint(600, 300)}) {
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, dlg->mapToGlobal(at));
        QApplication::sendEvent(dlg, &e);
        EXPECT_EQ(dlg->graphMenu()->isVisible(), at.x() > 238) << at.x();
        dlg->graphMenu()->hide();
    }
    ModalScript script({kvtest::cancel()});
    QTest::keyClick(dlg, Qt::Key_E, Qt::ControlModifier);
    ASSERT_EQ(script.seen().size(), 1u);
    EXPECT_EQ(script.seen()[0].title, "Export Graph Image");
}

// Every command without the mouse: the keys each toolbar command shows in the
// graph's menu, Enter on a row of the list, Tab to the buttons. (Ctrl+O and
// Ctrl+P: MainWindowWithSim.KeyboardAloneRecordsSavesOpensAndPrints.)
TEST_F(LoggerViewerTest, EveryCommandHasItsKeys) {
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg));
    ASSERT_TRUE(dlg->downloadFile(good));
    ASSERT_TRUE(dlg->downloadFile(writeRun("other.AsmDat", 50, 10, 0)));
    const std::array<bool, 5> all{true, true, true, true, true}, dpOnly{false, false, true, false, false};
    const struct {
        QKeySequence keys;
        std::array<bool, 5> shown;
    } switches[] = {{QKeySequence("Ctrl+3"), dpOnly}, {QKeySequence("Ctrl+6"), all}};
    for (const auto& row : switches) {
        QTest::keySequence(dlg, row.keys);
        dlg->repaintNow();
        EXPECT_EQ(dlg->nav().shown, row.shown) << row.keys.toString().toStdString();
    }
    // Each toolbar command is in the graph's menu with the keys that work it.
    for (QAction* a : dlg->toolBar()->actions()) {
        if (a->isSeparator()) continue;
        EXPECT_FALSE(a->shortcut().isEmpty()) << a->text().toStdString();
        EXPECT_TRUE(dlg->graphMenu()->actions().contains(a)) << a->text().toStdString();
        EXPECT_EQ(dlg->toolBar()->widgetForAction(a)->focusPolicy(), Qt::TabFocus);
    }
    // Enter on the first row shows that set.
    dlg->list()->setFocus();
    dlg->list()->setCurrentCell(0, 0);
    QTest::keyClick(dlg->list(), Qt::Key_Return);
    EXPECT_EQ(dlg->shown().run.count, 200);
}
