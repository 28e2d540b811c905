// Paint cost of the logger viewer for a 10010-sample run at the viewer's
// size: the whole run, and zoom level 99 (all 99 levels rebuilt each paint).
// Side by side: QCustomPlot replotting the same five traces into a plot of
// the same size.
#include <benchmark/benchmark.h>

#include "BenchRun.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QImage>
#include <cmath>

#include "core/Model.h"
#include "core/record/DataFile.h"
#include "session/MeterSession.h"
#include "gui/logger/LoggerViewer.h"
#include "core/logger/LoggerNav.h"
#include "gui/logger/LoggerPainter.h"
#include "core/record/LocalTime.h"

#ifdef KV_HAVE_QCUSTOMPLOT
#include <qcustomplot.h>
#endif

using namespace kv::logger;

namespace {

constexpr int kWidth = LoggerViewer::kWidth, kHeight = LoggerViewer::kHeight;

void fillRun(kv::LoggedRun& r, int n) {
    fillBenchRun(r, n);
}

struct Scene {
    std::unique_ptr<kv::LoggedRun> run = std::make_unique<kv::LoggedRun>();
    CoordTables tables;
    Nav nav;
    PlotRect plot = plotRect(kWidth, kHeight);
    LoggerPainter painter;
    QImage image{kWidth, kHeight, QImage::Format_RGB32};
    std::time_t start = 0;
    int32_t gain = 10, offset = 0;

    Scene() {
        fillRun(*run, kv::kMaxSamples);
        start = kv::makeLocal({2007, 7, 27, 7, 40, 35});
    }
    void paint() {
        const Frame f = prepareFrame(tables, nav, plot, *run, start, gain, offset, true);
        painter.paint(image, f, tables, nav);
    }
    // 99 boxes, each a little inside the plot, accepted one after the other.
    void zoomTo99() {
        gain = 500;
        offset = -5;
        paint();
        for (int k = 0; k < kMaxLevel; ++k) {
            press(nav, plot, 320, 100);
            move(nav, plot, tables, *run, start, true, 860, 520);
            release(nav, plot, tables, run->count, true, 860, 520);
            paint();
        }
    }
};

void BM_LoggerPaintWholeRun(benchmark::State& state) {
    Scene s;
    for (auto _ : state) s.paint();
    state.SetLabel("10010 samples, 5 traces");
}
BENCHMARK(BM_LoggerPaintWholeRun)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_LoggerPaintZoomLevel99(benchmark::State& state) {
    Scene s;
    s.zoomTo99();
    if (s.nav.level != kMaxLevel) state.SkipWithError("did not reach zoom level 99");
    for (auto _ : state) s.paint();
    std::string label = "level ";
    label += std::to_string(s.nav.level);
    state.SetLabel(label);
}
BENCHMARK(BM_LoggerPaintZoomLevel99)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The window itself: a full paint into its back buffer, then the copy to the window.
void BM_LoggerWindowRepaint(benchmark::State& state) {
    QTemporaryDir dir;
    const QString file = dir.filePath("full.AsmDat");
    {
        auto rec = kv::makeRunRecord();
        fillRun(rec->run, kv::kMaxSamples);
        const std::string bytes = kv::encodeDataFile(*rec);
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes.data(), static_cast<qint64>(bytes.size())) < 0) {
            state.SkipWithError("cannot write the data file");
            return;
        }
    }
    MeterSession session;
    LoggerViewer dlg(session);
    dlg.show();
    QApplication::processEvents();
    if (!dlg.downloadFile(file)) {
        state.SkipWithError("the data file was not read");
        return;
    }
    for (auto _ : state) {
        dlg.repaintNow();
        dlg.repaint();
    }
}
BENCHMARK(BM_LoggerWindowRepaint)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

#ifdef KV_HAVE_QCUSTOMPLOT
// QCustomPlot replotting the same five traces into a plot of the same size.
void BM_QCustomPlotSameTraces(benchmark::State& state) {
    Scene s;
    const int n = s.run->count;
    QCustomPlot plot;
    plot.resize(static_cast<int>(s.plot.w), static_cast<int>(s.plot.h));
    plot.setBackground(Qt::black);
    QVector<double> keys(n);
    for (int i = 0; i < n; ++i) keys[i] = i;
    for (int q = 0; q < kv::kQuantities; ++q) {
        QCPGraph* g = plot.addGraph();
        QVector<double> values(n);
        for (int i = 0; i < n; ++i) values[i] = s.run->samples[i * 5 + q];
        g->setData(keys, values, true);
        g->setPen(QPen(QColor::fromRgb(kTraceColour[q]), 0));
        g->setAdaptiveSampling(state.range(0) != 0);
    }
    plot.xAxis->setRange(0, n - 1);
    plot.yAxis->setRange(0, 100);
    plot.show();
    QApplication::processEvents();
    QImage target(plot.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        plot.replot(QCustomPlot::rpQueuedRefresh);
        plot.render(&target, QPoint(), QRegion(), QWidget::RenderFlags());
    }
    state.SetLabel(state.range(0) ? "adaptive sampling" : "no adaptive sampling");
}
BENCHMARK(BM_QCustomPlotSameTraces)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
#endif

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
