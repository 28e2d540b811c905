// At two device pixels to a logical one (QT_SCALE_FACTOR=2) the program's own
// pictures are as sharp as the widgets Qt draws: read back from the X server,
// the meter picture and a key are their vectors drawn at two pixels a point,
// and the graphs' texts have edges inside the 2 x 2 blocks that a picture
// painted at one pixel and scaled up would fill with one colour.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "core/panels/MeterFace.h"
#include "core/panels/MeterKeys.h"
#include "e2e/SimProcess.h"
#include "gui/MainWindow.h"
#include "gui/graph/LiveGraphView.h"
#include "gui/logger/LoggerViewer.h"
#include "gui/panels/MeterKeyButton.h"
#include "gui/panels/MeterPanel.h"
#include "session/MeterSession.h"

namespace {

using kvtest::SimProcess;

constexpr int kScale = 2;

// The screen in device pixels.
QImage screen() {
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

// The device pixels of a widget's logical rectangle.
QRect onScreen(const QWidget* w, const QRect& r) {
    return QRect(w->mapToGlobal(r.topLeft()) * kScale, r.size() * kScale);
}

// Aligned 2 x 2 blocks of `r` whose four pixels are not all alike.
int splitBlocks(const QImage& img, const QRect& r) {
    int n = 0;
    for (int y = r.top() & ~1; y + 1 <= r.bottom(); y += 2)
        for (int x = r.left() & ~1; x + 1 <= r.right(); x += 2) {
            const QRgb a = img.pixel(x, y);
            n += img.pixel(x + 1, y) != a || img.pixel(x, y + 1) != a || img.pixel(x + 1, y + 1) != a;
        }
    return n;
}

// The share of the pixels of `r` on the screen that differ visibly from
// `expected`. A picture drawn at one pixel a point and scaled up differs
// along every edge (about 2 % of the meter's head).
double unlike(const QImage& img, const QRect& r, const QImage& expected) {
    int n = 0;
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x) {
            const QRgb a = img.pixel(r.left() + x, r.top() + y), b = expected.pixel(x, y);
            n += std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))}) >
                 24;
        }
    return static_cast<double>(n) / (r.width() * r.height());
}

// An SVG of our artwork drawn at two pixels a point over `background`.
QImage artwork(const QString& file, QSize size, const QColor& background) {
    QImage img(size * kScale, QImage::Format_RGB32);
    img.fill(background);
    QPainter p(&img);
    QSvgRenderer(file).render(&p, QRectF(QPointF(0, 0), QSizeF(img.size())));
    return img;
}

TEST(Scale2, GraphTextsMeterPictureAndKeysAreSharp) {
    if (SimProcess::program().isEmpty()) GTEST_SKIP() << "KV2047_SIM is not set";
    ASSERT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), kScale);
    QTemporaryDir dir;
    SimProcess sim({"--period", "200"});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    AppOptions o;
    o.configDir = dir.path();
    o.port = sim.ptyPath();
    auto w = std::make_unique<MainWindow>(o);
    w->setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->session().model().meter.upper.size() > 0; }, 20000));
    QTest::qWait(500);   // the frames' repaints reach the server
    const QImage s = screen();

    // The meter's head (its display window and keys lie lower) and the UNITS key.
    const QWidget* face = w->meterPanel()->client();
    const QColor panel(kv::kPanelBackground.r, kv::kPanelBackground.g, kv::kPanelBackground.b);
    const QImage meter = artwork(":/artwork/meter.svg", QSize(kv::kMeterPictureW, kv::kMeterPictureH), panel);
    const QRect head(0, 0, kv::kMeterPictureW, 180);
    EXPECT_LT(unlike(s, onScreen(face, head), meter.copy(QRect(QPoint(0, 0), head.size() * kScale))), 0.002)
        << "the meter picture is not its vectors at two pixels a point";
    const MeterKeyButton* units = w->meterPanel()->key(7);
    ASSERT_STREQ(units->key().name, "UNITS");
    const QImage key = artwork(QStringLiteral(":/artwork/keys/%1").arg(units->key().image),
                               QSize(units->key().imageWidth, units->key().imageHeight), Qt::transparent);
    const QRect keyArea(QPoint(0, 0), units->size());
    EXPECT_LT(unlike(s, onScreen(units, keyArea), key.copy(QRect(QPoint(0, 0), units->size() * kScale))), 0.002)
        << "the key image is not its vectors at two pixels a point";

    // Texts: the real-time graph's Y labels, the logger viewer's legend.
    const kv::PlotGeometry g = w->view()->plotGeometry();
    const QRect labels = onScreen(w->view(), QRect(g.colX, g.colY, g.colW, g.colH));
    EXPECT_GT(splitBlocks(s, labels), 100) << "the Y labels are scaled up from one pixel a point";
    // Qt's own toolbar, for scale: its icons are drawn at two pixels a point.
    const QRect toolbar = onScreen(w.get(), w->findChild<QWidget*>("toolbar")->geometry());
    EXPECT_GT(splitBlocks(s, toolbar), 100);

    w->action("open")->trigger();
    auto* viewer = w->findChild<LoggerViewer*>();
    ASSERT_NE(viewer, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));
    QTest::qWait(300);
    const QRect legend = onScreen(viewer, QRect(260, 30, 620, 40));
    EXPECT_GT(splitBlocks(screen(), legend), 100) << "the logger's legend is scaled up from one pixel a point";
}

}  // namespace
