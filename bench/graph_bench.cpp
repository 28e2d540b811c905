// Paint cost of the real-time graph: a 1920 x 1080 main window, a run of
// 10000 samples, all five traces. Side by side: QCustomPlot replotting the
// same five traces in a plot of the view's size, and plain QPainter drawing
// the same 50,000 segments batched per trace and one call per segment.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "SessionRun.h"
#include "gui/MainWindow.h"
#include "session/MeterSession.h"
#include "gui/graph/LiveGraphView.h"
#include "core/graph/GraphState.h"
#include "core/graph/Raster.h"
#include "core/graph/ZoomCursor.h"

#ifdef KV_HAVE_QCUSTOMPLOT
#include <qcustomplot.h>
#endif

namespace {

constexpr int kSamples = 10000;
const QColor kColours[kv::kQuantities] = {QColor(255, 0, 0), QColor(255, 255, 0), QColor(0, 255, 255),
                                          QColor(200, 100, 200), QColor(0, 255, 0)};

// Readings that wander like a room's: slow swings plus a little noise; put
// into the session as a recovered run.
void fillRun(MeterSession& session, int n) {
    std::vector<float> series[kv::kQuantities];
    uint32_t seed = 12345;
    auto noise = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>((seed >> 8) % 1000) / 1000.0f - 0.5f;
    };
    for (int i = 0; i < n; ++i) {
        const float t = static_cast<float>(i);
        const float air = 22.0f + 6.0f * std::sin(t / 700.0f) + noise();
        const float rh = 55.0f + 15.0f * std::sin(t / 1100.0f + 1.0f) + 2.0f * noise();
        series[kv::AIR].push_back(air);
        series[kv::WB].push_back(air - 5.0f + 0.5f * noise());
        series[kv::DP].push_back(air - 9.0f + 0.5f * noise());
        series[kv::KIR].push_back(30.0f + 20.0f * std::sin(t / 450.0f) + 3.0f * noise());
        series[kv::RH].push_back(rh);
    }
    QString error;
    if (!kvtest::putRun(session, {.n = n, .start = 1'700'000'000, .countTarget = 10000,
                                  .value = [&](int q, int i) { return series[q][static_cast<std::size_t>(i)]; }},
                        &error))
        std::fprintf(stderr, "kv_graph_bench: no run: %s\n", qPrintable(error));
}

struct Window {
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> frame;
    LiveGraphView* view = nullptr;
    QImage target;

    Window() {
        AppOptions o;
        o.configDir = dir.path();
        o.port = dir.path() + "/no-meter";
        frame = std::make_unique<MainWindow>(o);
        frame->resize(1920, 1080);
        frame->show();
        QApplication::processEvents();
        view = frame->view();
        target = QImage(view->size(), QImage::Format_RGB32);
        fillRun(frame->session(), kSamples);
        // Let the live axis grow to hold the whole run.
        for (int i = 0; i < 5; ++i) paint();
        QApplication::processEvents();
    }
    void paint() { view->render(&target, QPoint(), QRegion(), QWidget::RenderFlags()); }
    kv::PlotGeometry geo() const { return view->plotGeometry(); }
};

// Made on first use, destroyed before the application object.
std::unique_ptr<Window> theWindow;
Window& window() {
    if (!theWindow) theWindow = std::make_unique<Window>();
    return *theWindow;
}

// Pixel vertices of the five live traces, as the view draws them.
struct Vertices {
    kv::PlotGeometry geo;
    std::vector<int> xs[kv::kQuantities], ys[kv::kQuantities];
    int n = 0;
};
const Vertices& vertices() {
    static Vertices v = [] {
        Vertices out;
        Window& w = window();
        out.geo = w.geo();
        auto g = std::make_unique<kv::GraphState>();
        kv::RunState run = w.frame->session().model().run;
        kv::GraphFrame f;
        for (int i = 0; i < 5; ++i) f = kv::computeGraph(*g, out.geo, run, *w.frame->session().model().doc);
        out.n = run.n;
        for (int q = 0; q < kv::kQuantities; ++q) {
            out.xs[q].resize(out.n);
            out.ys[q].resize(out.n);
            kv::tracePixels(*g, f, run, q, out.xs[q].data(), out.ys[q].data());
        }
        return out;
    }();
    return v;
}

void BM_ViewPaintLive(benchmark::State& state) {
    Window& w = window();
    w.view->undoZoom();
    w.paint();
    for (auto _ : state) w.paint();
    state.counters["n"] = w.frame->session().model().run.n;
    state.counters["W"] = w.geo().W;
    state.counters["H"] = w.geo().H;
}
BENCHMARK(BM_ViewPaintLive)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The graph's arithmetic alone in live mode: level-0 points of the five traces.
void BM_CoreLive(benchmark::State& state) {
    Window& w = window();
    auto g = std::make_unique<kv::GraphState>();
    kv::RunState run = w.frame->session().model().run;
    const kv::PlotGeometry geo = w.geo();
    for (int i = 0; i < 5; ++i) kv::computeGraph(*g, geo, run, *w.frame->session().model().doc);
    for (auto _ : state) benchmark::DoNotOptimize(kv::computeGraph(*g, geo, run, *w.frame->session().model().doc));
}
BENCHMARK(BM_CoreLive)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// 99 nested boxes, each a little inside the last.
void zoomTo99(Window& w) {
    kv::GraphState& g = w.view->graph();
    const kv::RunState& run = w.frame->session().model().run;
    const kv::PlotGeometry geo = w.geo();
    w.view->undoZoom();
    while (g.L < 99) {
        kv::pressAt(g, geo, run, geo.plotLeft + 2, geo.plotTop + 1);
        kv::MoveEffects mv;
        kv::moveTo(g, geo, run, geo.plotRight - 1, geo.plotBottom - 1, mv);
        kv::ReleaseEffects up;
        kv::releaseAt(g, geo, run, geo.plotRight - 1, geo.plotBottom - 1, up);
        w.paint();
        if (!up.pushed) break;
    }
}

void BM_ViewPaintBrowse99(benchmark::State& state) {
    Window& w = window();
    zoomTo99(w);
    if (w.view->graph().L != 99) {
        state.SkipWithError("could not zoom to level 99");
        return;
    }
    for (auto _ : state) w.paint();
    state.counters["L"] = w.view->graph().L;
    w.view->undoZoom();
}
BENCHMARK(BM_ViewPaintBrowse99)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The graph's arithmetic alone at level 99: the 99 levels of point tables.
void BM_CoreBrowse99(benchmark::State& state) {
    Window& w = window();
    zoomTo99(w);
    kv::GraphState& g = w.view->graph();
    kv::RunState run = w.frame->session().model().run;
    const kv::PlotGeometry geo = w.geo();
    for (auto _ : state) benchmark::DoNotOptimize(kv::computeGraph(g, geo, run, *w.frame->session().model().doc));
    w.view->undoZoom();
}
BENCHMARK(BM_CoreBrowse99)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The plot's 50,000 segments through our rasteriser alone.
void BM_RasterTraces(benchmark::State& state) {
    const Vertices& v = vertices();
    QImage plot(v.geo.W, v.geo.H, QImage::Format_RGB32);
    const kv::Canvas c{reinterpret_cast<uint32_t*>(plot.bits()), static_cast<int>(plot.bytesPerLine() / 4),
                       plot.width(), plot.height()};
    for (auto _ : state) {
        kv::fillRect(c, 0, 0, c.width, c.height, 0xFF000000u);
        for (int q = 0; q < kv::kQuantities; ++q)
            kv::drawPolyline(c, v.xs[q].data(), v.ys[q].data(), v.n, kColours[q].rgb());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RasterTraces)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// QPainter floor: the same segments, one drawLines call per trace.
void BM_QPainterBatched(benchmark::State& state) {
    const Vertices& v = vertices();
    QImage plot(v.geo.W, v.geo.H, QImage::Format_RGB32);
    std::vector<QLine> lines[kv::kQuantities];
    for (int q = 0; q < kv::kQuantities; ++q)
        for (int i = 1; i < v.n; ++i) lines[q].emplace_back(v.xs[q][i - 1], v.ys[q][i - 1], v.xs[q][i], v.ys[q][i]);
    for (auto _ : state) {
        plot.fill(Qt::black);
        QPainter p(&plot);
        for (int q = 0; q < kv::kQuantities; ++q) {
            QPen pen(kColours[q], 0);
            pen.setCapStyle(Qt::FlatCap);
            p.setPen(pen);
            p.drawLines(lines[q].data(), static_cast<int>(lines[q].size()));
        }
    }
}
BENCHMARK(BM_QPainterBatched)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// QPainter as a direct port would use it: a pen change and a line per segment.
void BM_QPainterPerSegment(benchmark::State& state) {
    const Vertices& v = vertices();
    QImage plot(v.geo.W, v.geo.H, QImage::Format_RGB32);
    QPen pens[kv::kQuantities];
    for (int q = 0; q < kv::kQuantities; ++q) {
        pens[q] = QPen(kColours[q], 0);
        pens[q].setCapStyle(Qt::FlatCap);
    }
    for (auto _ : state) {
        plot.fill(Qt::black);
        QPainter p(&plot);
        for (int i = 1; i < v.n; ++i)
            for (int q = 0; q < kv::kQuantities; ++q) {
                p.setPen(pens[q]);
                p.drawLine(v.xs[q][i - 1], v.ys[q][i - 1], v.xs[q][i], v.ys[q][i]);
            }
    }
}
BENCHMARK(BM_QPainterPerSegment)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

#ifdef KV_HAVE_QCUSTOMPLOT
// QCustomPlot replotting the same five traces into a plot of the view's size.
void BM_QCustomPlot(benchmark::State& state) {
    Window& w = window();
    const kv::Model& m = w.frame->session().model();
    QCustomPlot plot;
    plot.resize(w.view->size());
    plot.setBackground(Qt::black);
    QVector<double> keys(kSamples);
    for (int i = 0; i < kSamples; ++i) keys[i] = i;
    for (int q = 0; q < kv::kQuantities; ++q) {
        QCPGraph* g = plot.addGraph();
        QVector<double> values(kSamples);
        for (int i = 0; i < kSamples; ++i) values[i] = m.doc->live[q][i];
        g->setData(keys, values, true);
        g->setPen(QPen(kColours[q], 0));
        g->setAdaptiveSampling(state.range(0) != 0);
    }
    plot.xAxis->setRange(0, kSamples * 12.0 / 11.0);
    plot.yAxis->setRange(0, 100);
    for (QCPAxis* a : {plot.xAxis, plot.yAxis}) {
        a->grid()->setPen(QPen(QColor(170, 170, 170), 0, Qt::DotLine));
        a->setTickLabelColor(Qt::black);
    }
    plot.show();
    QApplication::processEvents();
    QImage target(plot.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        plot.replot(QCustomPlot::rpQueuedRefresh);
        plot.render(&target, QPoint(), QRegion(), QWidget::RenderFlags());
    }
    state.SetLabel(state.range(0) ? "adaptive sampling" : "no adaptive sampling");
}
BENCHMARK(BM_QCustomPlot)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
#endif

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("KV2047");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theWindow.reset();
    return 0;
}
