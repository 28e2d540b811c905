// The real-time view on screen: pixels where the geometry puts them, the
// legend, the status bar read-out, zoom by mouse and UndoZoom; the graph
// exported as an image.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "SessionRun.h"
#include "faults/Frozen.h"
#include "graph/ExportedImage.h"
#include "gui/MainWindow.h"
#include "session/MeterSession.h"
#include "gui/graph/LiveGraphView.h"
#include "gui/graph/PlotSurface.h"
#include "record/ModalScript.h"

namespace {

const QRgb kColour[kv::kQuantities] = {qRgb(255, 0, 0), qRgb(255, 255, 0), qRgb(0, 255, 255),
                                       qRgb(200, 100, 200), qRgb(0, 255, 0)};
const float kLevel[kv::kQuantities] = {20.0f, 40.0f, 60.0f, 80.0f, 90.0f};

class View : public ::testing::Test {
protected:
    void SetUp() override {
        AppOptions o;
        o.configDir = dir.path();
        o.port = dir.path() + "/no-such-device";
        frame = std::make_unique<MainWindow>(o);
        frame->resize(1280, 900);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        view = frame->view();
        QApplication::processEvents();
    }
    void TearDown() override { frame.reset(); }

    // n samples from 00:00:00, one a second, each quantity flat at its own
    // level unless `value` says otherwise.
    void run(int n, std::function<float(int q, int i)> value = [](int q, int) { return kLevel[q]; }) {
        ASSERT_TRUE(kvtest::putRun(frame->session(), {.n = n, .value = std::move(value)}));
    }
    // The view as the next paint draws it.
    QImage picture() {
        view->repaint();
        return screenImage();
    }
    // What is on screen now, without painting anew.
    QImage screenImage() {
        QApplication::processEvents();
        const QPoint at = view->mapTo(frame.get(), QPoint(0, 0));
        return frame->screen()->grabWindow(frame->winId(), at.x(), at.y(), view->width(), view->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
    QPoint plotPoint(int x, int y) const {
        const kv::PlotGeometry g = view->plotGeometry();
        return QPoint(g.plotLeft + x, g.plotTop + y);
    }
    int yOf(float v) const {
        return static_cast<int>(kv::valueToY(v, 0, 100, view->plotGeometry().H));
    }
    int countColour(const QImage& img, QRgb c) const {
        const kv::PlotGeometry g = view->plotGeometry();
        int n = 0;
        for (int y = g.plotTop; y < g.plotBottom; ++y)
            for (int x = g.plotLeft; x < g.plotRight; ++x) n += (img.pixel(x, y) & 0xFFFFFF) == (c & 0xFFFFFF);
        return n;
    }
    // The graph exported to a PNG file in the scratch folder.
    QImage exported(const QString& name) {
        QString error;
        EXPECT_TRUE(exportGraphTo(dir.filePath(name), view->picture(), &error)) << error.toStdString();
        return QImage(dir.filePath(name)).convertToFormat(QImage::Format_RGB32);
    }
    void drag(QPoint a, QPoint b) {
        QTest::mousePress(view, Qt::LeftButton, {}, a);
        QTest::mouseMove(view, (a + b) / 2);
        QTest::mouseMove(view, b);
        QTest::mouseRelease(view, Qt::LeftButton, {}, b);
    }

    QTemporaryDir dir;
    std::unique_ptr<MainWindow> frame;
    LiveGraphView* view = nullptr;
};

TEST_F(View, EmptyGraphShowsGridAndStatusTexts) {
    const QImage img = picture();
    const kv::PlotGeometry g = view->plotGeometry();
    EXPECT_EQ(img.pixel(g.plotLeft + 5, g.plotTop + 5) & 0xFFFFFF, 0u);   // black plot
    EXPECT_GT(countColour(img, qRgb(170, 170, 170)), 1000);               // dotted grid
    // Left of the plot, between two Y labels: the label column.
    EXPECT_EQ(img.pixel(g.plotLeft - 3, g.plotTop + 30) & 0xFFFFFF, qRgb(217, 218, 212) & 0xFFFFFF);
    EXPECT_EQ(frame->paneText(1), "time:");
    EXPECT_EQ(frame->paneText(2), "AIR:         WB:         DP:         K/IR:         RH:");
}

TEST_F(View, TracesInTheirColoursWhereTheGeometryPutsThem) {
    run(60);
    const QImage img = picture();
    if (qEnvironmentVariableIsSet("KV_GRAPH_SHOT")) img.save(qEnvironmentVariable("KV_GRAPH_SHOT"));
    const float step = view->graph().liveStep;
    for (int q = 0; q < kv::kQuantities; ++q) {
        const QPoint p = plotPoint(static_cast<int>(30 * step), yOf(kLevel[q]));
        EXPECT_EQ(img.pixel(p) & 0xFFFFFF, kColour[q] & 0xFFFFFF) << kv::kQuantityNames[q];
        // Nothing of the trace a few pixels off its level.
        EXPECT_NE(img.pixel(p + QPoint(0, 4)) & 0xFFFFFF, kColour[q] & 0xFFFFFF);
    }
    // The trace stops at the last sample.
    const QPoint beyond = plotPoint(static_cast<int>(59 * step) + 3, yOf(kLevel[0]));
    EXPECT_NE(img.pixel(beyond) & 0xFFFFFF, kColour[0] & 0xFFFFFF);
}

// Time labels lie on the system's button colour: under a dark palette they
// take its light text colour, not black.
TEST_F(View, TimeLabelsReadableUnderADarkPalette) {
    QPalette dark = view->palette();
    dark.setColor(QPalette::Button, QColor(53, 53, 53));
    dark.setColor(QPalette::ButtonText, Qt::white);
    view->setPalette(dark);
    run(5);
    const QImage img = picture();
    // The first label's box of button colour below the plot, and what is light in it.
    const kv::PlotGeometry g = view->plotGeometry();
    QRect box;
    for (int y = g.plotBottom; y < g.plotBottom + 40; ++y)
        for (int x = g.plotLeft; x < g.plotLeft + 70; ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) == 0x353535) box |= QRect(x, y, 1, 1);
    ASSERT_GT(box.width() * box.height(), 50) << "no label on the button colour";
    int light = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) light += qGray(img.pixel(x, y)) > 200;
    EXPECT_GT(light, 20) << "the label is not drawn in the palette's button text colour";
}

TEST_F(View, SwitchedOffTraceLeavesNeitherTraceNorLegend) {
    run(60);
    const QImage on = picture();
    // Legend line of WB, two pixels high just above the plot.
    const QPoint legend = QPoint(344 + 100 + 25, 145) - (view->mapTo(frame.get(), QPoint(0, 0)) -
                                                         frame->clientOrigin());
    EXPECT_EQ(on.pixel(legend) & 0xFFFFFF, kColour[1] & 0xFFFFFF);
    EXPECT_GT(countColour(on, kColour[1]), 500);
    frame->session().setTraces({1, 0, 1, 1, 1});
    const QImage off = picture();
    EXPECT_EQ(countColour(off, kColour[1]), 0);
    EXPECT_EQ(off.pixel(legend) & 0xFFFFFF, qRgb(217, 218, 212) & 0xFFFFFF);
    // Its name is gone too: the legend strip of WB holds only the margin colour.
    int dark = 0;
    for (int y = legend.y() - 18; y < legend.y() - 2; ++y)
        for (int x = legend.x() - 10; x < legend.x() + 30; ++x) dark += qGray(off.pixel(x, y)) < 100;
    EXPECT_EQ(dark, 0);
    EXPECT_GT(countColour(off, kColour[0]), 500);
}

TEST_F(View, DragPushesALevelAndEntersBrowseMode) {
    run(200);
    picture();
    // Nothing wakes the view once the drag is over.
    int timerEvents = 0;
    struct Counter : QObject {
        int* n;
        explicit Counter(int* c) : n(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            *n += e->type() == QEvent::Timer;
            return false;
        }
    } counter(&timerEvents);
    drag(plotPoint(100, 200), plotPoint(400, 450));
    view->installEventFilter(&counter);
    QTest::qWait(150);
    view->removeEventFilter(&counter);
    EXPECT_EQ(timerEvents, 0);
    EXPECT_EQ(view->graph().L, 1);
    EXPECT_TRUE(view->inBrowseMode());
    EXPECT_TRUE(view->scrollBar()->isEnabled());
    EXPECT_EQ(view->scrollBar()->maximum(), 200);
    EXPECT_TRUE(frame->action("undozoom")->isEnabled());
    EXPECT_EQ(view->graph().dragInProgress, 0);
    // Zoomed in four times or so: the flat AIR trace moved down the plot.
    const QImage img = picture();
    const kv::GraphState& g = view->graph();
    const int y = static_cast<int>(g.yRecord(kv::AIR, 1)[25]);
    EXPECT_NE(y, yOf(kLevel[0]));
    const int x = static_cast<int>(g.xRecord(1)[25]);
    EXPECT_EQ(img.pixel(plotPoint(x, y)) & 0xFFFFFF, kColour[0] & 0xFFFFFF);
}

TEST_F(View, ClickWithoutMovingChangesNothing) {
    run(200);
    picture();
    QTest::mouseClick(view, Qt::LeftButton, {}, plotPoint(300, 300));
    EXPECT_EQ(view->graph().L, 0);
    EXPECT_FALSE(view->inBrowseMode());
}

TEST_F(View, UndoZoomReturnsToLiveMode) {
    run(200);
    picture();
    drag(plotPoint(100, 100), plotPoint(400, 400));
    ASSERT_TRUE(view->inBrowseMode());
    frame->action("undozoom")->trigger();
    EXPECT_FALSE(view->inBrowseMode());
    EXPECT_EQ(view->graph().L, 0);
    EXPECT_FALSE(view->scrollBar()->isEnabled());
    // A disabled bar shows no thumb: nothing to scroll.
    EXPECT_EQ(view->scrollBar()->minimum(), view->scrollBar()->maximum());
    EXPECT_FALSE(frame->action("undozoom")->isEnabled());
}

TEST_F(View, ScrollBarMovesAZoomedRun) {
    run(200);
    picture();
    drag(plotPoint(0, 0), plotPoint(view->plotGeometry().W / 4, view->plotGeometry().H));
    picture();
    const int fv = view->graph().firstVisible;
    EXPECT_EQ(view->scrollBar()->value(), fv);
    view->scrollBar()->setValue(fv + 50);
    EXPECT_EQ(view->graph().scrollShift, -49);
}

TEST_F(View, CursorReadOutAndXorLine) {
    run(60, [](int q, int i) { return q == kv::AIR && i == 30 ? 23.5f : kLevel[q]; });
    const QImage before = picture();
    const float step = view->graph().liveStep;
    const QPoint at = plotPoint(static_cast<int>(30 * step), 50);
    QTest::mouseMove(view, at);
    EXPECT_EQ(frame->paneText(1), "time:00:00:30");
    EXPECT_TRUE(frame->paneText(2).startsWith("AIR:23.5 C    WB:40.0 C")) << frame->paneText(2).toStdString();
    const QImage with = screenImage();
    EXPECT_NE(with.pixel(at.x(), at.y()), before.pixel(at.x(), at.y()));
    // Moving on removes the line from its old place.
    QTest::mouseMove(view, at + QPoint(40, 0));
    const QImage moved = screenImage();
    for (int y = at.y() - 20; y < at.y() + 20; ++y)
        EXPECT_EQ(moved.pixel(at.x(), y), before.pixel(at.x(), y)) << y;
    // The repaint a committed sample asks for keeps the line; a plain repaint drops it.
    const auto lineAt = [&](int x) {
        const QImage img = screenImage();
        int changed = 0;
        for (int y = at.y() - 20; y < at.y() + 20; ++y) changed += img.pixel(x, y) != before.pixel(x, y);
        return changed;
    };
    emit frame->session().sampleCommitted(60);
    EXPECT_GT(lineAt(at.x() + 40), 5);
    view->update();
    EXPECT_EQ(lineAt(at.x() + 40), 0);
    // A run ended (Stop, a silent meter) before that repaint drops it too.
    QTest::mouseMove(view, at);
    emit frame->session().sampleCommitted(60);
    emit frame->session().runEnded();
    EXPECT_EQ(lineAt(at.x()), 0);
}

TEST_F(View, PanelRepaintAboveTheViewLeavesNoCursorBehind) {
    run(60);
    const QImage before = picture();
    const QPoint at = plotPoint(200, 50);
    QTest::mouseMove(view, at);
    // A panel over the view repaints itself: the view beneath is painted in part.
    view->repaint(QRect(0, 0, 200, 60));
    QTest::mouseMove(view, at + QPoint(40, 0));
    const QImage moved = screenImage();
    for (int y = at.y() - 20; y < at.y() + 20; ++y)
        EXPECT_EQ(moved.pixel(at.x(), y), before.pixel(at.x(), y)) << y;
}

// Export Graph Image.

class ViewExport : public View, public ::testing::WithParamInterface<const char*> {};

TEST_P(ViewExport, FormatSizeAndTraceColours) {
    run(60);
    picture();
    const QString path = dir.filePath(GetParam());
    QString error;
    ASSERT_TRUE(exportGraphTo(path, view->picture(), &error)) << error.toStdString();
    const QByteArray bytes = kvtest::fileBytes(path);
    const QRect area = view->graphArea();
    if (path.endsWith("png", Qt::CaseInsensitive)) {
        ASSERT_TRUE(kvtest::isPng(bytes));
        EXPECT_EQ(QImage::fromData(bytes).size(), area.size());
    } else {
        ASSERT_TRUE(kvtest::isSvg(bytes));
        EXPECT_EQ(QSvgRenderer(bytes).viewBox(), area);
    }
    // The graph on screen: the Y labels' column to the view's right edge.
    EXPECT_EQ(area.left(), view->plotGeometry().colX);
    EXPECT_EQ(area.right(), view->width() - 1);
    for (int q = 0; q < kv::kQuantities; ++q) EXPECT_TRUE(kvtest::drawsIn(bytes, kColour[q])) << q;
    frame->session().setTraces({1, 0, 1, 1, 1});
    ASSERT_TRUE(exportGraphTo(path, view->picture(), &error));
    EXPECT_TRUE(kvtest::lacks(kvtest::fileBytes(path), kColour[kv::WB]));
    EXPECT_TRUE(kvtest::drawsIn(kvtest::fileBytes(path), kColour[kv::AIR]));
}

INSTANTIATE_TEST_SUITE_P(Formats, ViewExport, ::testing::Values("graph.png", "graph.svg", "GRAPH.SVG"),
                         [](const auto& info) { return QString(info.param).replace('.', '_').toStdString(); });

TEST_F(View, ExportHasTheZoomButNeitherCursorNorBand) {
    run(200);
    const QImage before = picture();
    const QImage whole = exported("whole.png");
    const QPoint at = plotPoint(300, 50);
    QTest::mouseMove(view, at);
    ASSERT_NE(screenImage().pixel(at), before.pixel(at));   // the cursor line is on screen
    EXPECT_TRUE(exported("cursor.png") == whole);
    // The screen's xor line is left as it was: moving on removes it.
    QTest::mouseMove(view, at + QPoint(40, 0));
    EXPECT_EQ(screenImage().pixel(at), before.pixel(at));
    const QPoint a = plotPoint(100, 100), b = plotPoint(400, 400);
    QTest::mousePress(view, Qt::LeftButton, {}, a);
    QTest::mouseMove(view, b);
    EXPECT_TRUE(exported("band.png") == whole);
    QTest::mouseRelease(view, Qt::LeftButton, {}, b);
    const QImage zoomed = exported("zoomed.png");
    EXPECT_FALSE(zoomed == whole);
    // The zoomed plot pixel for pixel as the screen shows it.
    const kv::PlotGeometry g = view->plotGeometry();
    const QRect plot(g.plotLeft, g.plotTop, g.W, g.H);
    EXPECT_TRUE(zoomed.copy(plot.translated(-view->graphArea().topLeft())) == picture().copy(plot));
}

// The vector lines of an SVG cover the very pixels the screen's rasteriser
// sets, and nothing outside the surface.
TEST(PlotSurfaces, VectorLinesCoverTheRastersPixels) {
    struct Row { const char* name; std::function<void(PlotSurface&)> draw; };
    const Row rows[] = {
        {"Fill", [](PlotSurface& s) { s.fill(-3, 4, 10, 30, 0xFF00FF00u); }},
        {"DottedUp", [](PlotSurface& s) { s.dottedVLine(7, 20, 0, 0xFFAAAAAAu); }},
        {"DottedAcross", [](PlotSurface& s) { s.dottedHLine(3, -2, 25, 0xFFAAAAAAu); }},
        {"SegmentsLeaving", [](PlotSurface& s) {
             s.segment(2, 5, 60, 5, 0xFFFF0000u);
             s.segment(9, 40, 9, -40, 0xFFFFFF00u);
         }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const QRect rect(5, 6, 20, 16);
        QImage raster(40, 40, QImage::Format_RGB32), vector(40, 40, QImage::Format_RGB32);
        raster.fill(Qt::black);
        vector.fill(Qt::black);
        {
            RasterSurface s(raster, rect);
            r.draw(*s);
        }
        {
            QPainter p(&vector);
            VectorSurface s(p, rect);
            r.draw(s);
        }
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) ASSERT_EQ(vector.pixel(x, y), raster.pixel(x, y)) << x << "," << y;
    }
}

// A widget repainted in strips one logical pixel wide gets every device pixel
// of its picture, each from its own place, however the ratio divides.
class DeviceCopy : public ::testing::TestWithParam<std::pair<const char*, qreal>> {};

TEST_P(DeviceCopy, ThinStripsCoverEveryDevicePixel) {
    const qreal ratio = GetParam().second;
    const QSize size(52, 40);
    QImage back = deviceImage(size, ratio);
    for (int y = 0; y < back.height(); ++y)
        for (int x = 0; x < back.width(); ++x) back.setPixel(x, y, qRgb(x, y, 200));
    for (const bool across : {false, true}) {
        SCOPED_TRACE(across ? "rows" : "columns");
        QImage widget = deviceImage(size, ratio);
        widget.fill(Qt::black);
        {
            QPainter p(&widget);
            for (int i = 0; i < (across ? size.height() : size.width()); ++i)
                copyToWidget(p, back, across ? QRegion(0, i, size.width(), 1) : QRegion(i, 0, 1, size.height()));
        }
        int wrong = 0;
        for (int y = 0; y < back.height(); ++y)
            for (int x = 0; x < back.width(); ++x) wrong += widget.pixel(x, y) != back.pixel(x, y);
        EXPECT_EQ(wrong, 0) << "of " << back.width() * back.height();
    }
}

INSTANTIATE_TEST_SUITE_P(Ratios, DeviceCopy,
                         ::testing::Values(std::pair{"One", 1.0}, std::pair{"OneAndAQuarter", 1.25},
                                           std::pair{"OneAndAHalf", 1.5}, std::pair{"OneAndThreeQuarters", 1.75},
                                           std::pair{"Two", 2.0}),
                         [](const auto& info) { return std::string(info.param.first); });

// What the writer does against each fault of the disk, DiskFaultTest tries;
// here, the export's own refusal and a read-only folder.
TEST_F(View, ExportFailureLeavesNothingBehind) {
    run(60);
    picture();
    for (const char* file : {"graph.jpg", "graph.png"}) {
        SCOPED_TRACE(file);
        QTemporaryDir out;
        const QString path = out.filePath(file);
        ASSERT_TRUE(kvtest::writeFile(path, "older"));
        auto frozen = QString(file).endsWith(".png") ? std::make_unique<Frozen>(out.path().toStdString()) : nullptr;
        if (frozen && !frozen->ok()) continue;   // no read-only folder to be had here
        QString error;
        EXPECT_FALSE(exportGraphTo(path, view->picture(), &error));
        EXPECT_TRUE(error.contains(path) && error.contains(frozen ? "\n" : "must end in .png")) << error.toStdString();
        frozen.reset();
        EXPECT_EQ(QDir(out.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{file});
        EXPECT_EQ(kvtest::fileBytes(path), "older");
    }
}

// The File menu's command: the dialog's two filters, a name without an
// extension getting the chosen filter's, any other extension refused.
TEST_F(View, ExportCommandAsksForTheFile) {
    EXPECT_FALSE(frame->action("exportimage")->isEnabled());
    run(60);
    picture();
    ASSERT_TRUE(frame->action("exportimage")->isEnabled());
    struct Row { int filter; const char* typed; const char* written; const char* says; };
    for (const Row& r : {Row{0, "plain", "plain.png", nullptr}, Row{1, "plain", "plain.svg", nullptr},
                         Row{1, "shot.PNG", "shot.PNG", nullptr}, Row{0, "shot.gif", nullptr, "must end in .png"}}) {
        SCOPED_TRACE(r.typed);
        QTemporaryDir out;
        QStringList filters;
        kvtest::ModalScript script({[&](QWidget* w) {
                                        auto* d = qobject_cast<QFileDialog*>(w);
                                        ASSERT_NE(d, nullptr);
                                        filters = d->nameFilters();
                                        auto* combo = d->findChild<QComboBox*>("fileTypeCombo");
                                        ASSERT_NE(combo, nullptr);
                                        if (r.filter == 1) QTest::keyClick(combo, Qt::Key_Down);   // as a user picks it
                                        kvtest::selectPath(d, out.filePath(r.typed));
                                        static_cast<QDialog*>(d)->accept();
                                    },
                                    kvtest::press(QMessageBox::Ok)});
        frame->action("exportimage")->trigger();
        EXPECT_EQ(filters, QStringList({"PNG image (*.png)", "SVG image (*.svg)"}));
        const QStringList files = QDir(out.path()).entryList(QDir::Files);
        if (r.written) {
            ASSERT_EQ(files, QStringList{r.written});
            const QByteArray bytes = kvtest::fileBytes(out.filePath(r.written));
            EXPECT_TRUE(QString(r.written).endsWith("svg") ? kvtest::isSvg(bytes) : kvtest::isPng(bytes));
        } else {
            EXPECT_TRUE(files.isEmpty());
            ASSERT_EQ(script.seen().size(), 2u);
            EXPECT_TRUE(script.seen()[1].text.contains(r.says)) << script.seen()[1].text.toStdString();
        }
    }
}

}  // namespace
