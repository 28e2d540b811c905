// Heap allocations per paint and per frame. Every global operator new and
// every malloc/calloc/realloc of the process (Qt's containers allocate with
// malloc) is counted; a paint of n = 10000 samples must allocate no more than
// a paint of n = 100 does, or the paint allocates per sample.
//
// The program first prints a check table, then the usual benchmark output
// (counter "allocs" per iteration), and exits 1 when a paint allocates per
// sample.
#include <benchmark/benchmark.h>

#include "BenchRun.h"

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "SessionRun.h"
#include "gui/MainWindow.h"
#include "session/MeterSession.h"
#include "gui/graph/LiveGraphView.h"
#include "core/graph/GraphState.h"
#include "core/graph/ZoomCursor.h"
#include "core/link/FrameBuilder.h"
#include "core/link/LinkEngine.h"
#include "core/logger/LoggerNav.h"
#include "gui/logger/LoggerPainter.h"
#include "core/record/LocalTime.h"

// ---- counting allocator ---------------------------------------------------

namespace {
std::atomic<long> gAllocs{0};
inline void counted() { gAllocs.fetch_add(1, std::memory_order_relaxed); }
}  // namespace

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t n) {
    counted();
    return __libc_malloc(n);
}
void* calloc(std::size_t a, std::size_t b) {
    counted();
    return __libc_calloc(a, b);
}
void* realloc(void* p, std::size_t n) {
    counted();
    return __libc_realloc(p, n);
}
void free(void* p) { __libc_free(p); }
void* aligned_alloc(std::size_t align, std::size_t n) {
    counted();
    return __libc_memalign(align, n);
}
int posix_memalign(void** out, std::size_t align, std::size_t n) {
    counted();
    void* p = __libc_memalign(align, n);
    if (!p) return ENOMEM;
    *out = p;
    return 0;
}
}

namespace {
void* newBlock(std::size_t n) {
    counted();
    if (void* p = __libc_malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* newAligned(std::size_t n, std::align_val_t a) {
    counted();
    if (void* p = __libc_memalign(static_cast<std::size_t>(a), n ? n : 1)) return p;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t n) { return newBlock(n); }
void* operator new[](std::size_t n) { return newBlock(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    counted();
    return __libc_malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    counted();
    return __libc_malloc(n ? n : 1);
}
void* operator new(std::size_t n, std::align_val_t a) { return newAligned(n, a); }
void* operator new[](std::size_t n, std::align_val_t a) { return newAligned(n, a); }
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, std::size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, std::size_t) noexcept { __libc_free(p); }
void operator delete(void* p, std::align_val_t) noexcept { __libc_free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { __libc_free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { __libc_free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { __libc_free(p); }

// ---- scenes ---------------------------------------------------------------

namespace {

// Allocations made while `f` runs.
template <class F>
long allocsDuring(F&& f) {
    const long before = gAllocs.load(std::memory_order_relaxed);
    f();
    return gAllocs.load(std::memory_order_relaxed) - before;
}

float wander(uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>((seed >> 8) % 1000) / 1000.0f - 0.5f;
}

// The main window at 1920 x 1080 with n samples of the live series.
struct RealtimeScene {
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> frame;
    LiveGraphView* view = nullptr;
    QImage target;

    RealtimeScene() {
        AppOptions o;
        o.configDir = dir.path();
        o.port = dir.path() + "/no-meter";
        frame = std::make_unique<MainWindow>(o);
        frame->resize(1920, 1080);
        frame->show();
        QApplication::processEvents();
        view = frame->view();
        target = QImage(view->size(), QImage::Format_RGB32);
    }
    void setRun(int n) {
        view->undoZoom();
        std::vector<float> air, kir;
        uint32_t seed = 12345;
        for (int i = 0; i < n; ++i) {
            const float t = static_cast<float>(i);
            air.push_back(22.0f + 6.0f * std::sin(t / 700.0f) + wander(seed));
            kir.push_back(30.0f + 20.0f * std::sin(t / 450.0f) + 3.0f * wander(seed));
        }
        const auto value = [&](int q, int i) {
            const float t = static_cast<float>(i);
            const float a = air[static_cast<std::size_t>(i)];
            switch (q) {
                case kv::AIR: return a;
                case kv::WB: return a - 5.0f;
                case kv::DP: return a - 9.0f;
                case kv::KIR: return kir[static_cast<std::size_t>(i)];
                default: return 55.0f + 15.0f * std::sin(t / 1100.0f + 1.0f);
            }
        };
        QString error;
        if (!kvtest::putRun(frame->session(), {.n = n, .start = 1'700'000'000, .countTarget = 10000, .value = value},
                            &error))
            std::fprintf(stderr, "kv_alloc_bench: no run: %s\n", qPrintable(error));
        // The live axis grows to hold the run over a few paints.
        for (int i = 0; i < 5; ++i) paint();
    }
    void paint() { view->render(&target, QPoint(), QRegion(), QWidget::RenderFlags()); }
    // Nested boxes, each a little inside the last; returns the level reached.
    int zoomTo(int level) {
        kv::GraphState& g = view->graph();
        const kv::RunState& run = frame->session().model().run;
        const kv::PlotGeometry geo = view->plotGeometry();
        view->undoZoom();
        while (g.L < level) {
            kv::pressAt(g, geo, run, geo.plotLeft + 2, geo.plotTop + 1);
            kv::MoveEffects mv;
            kv::moveTo(g, geo, run, geo.plotRight - 1, geo.plotBottom - 1, mv);
            kv::ReleaseEffects up;
            kv::releaseAt(g, geo, run, geo.plotRight - 1, geo.plotBottom - 1, up);
            paint();
            if (!up.pushed) break;
        }
        paint();
        return g.L;
    }
};

RealtimeScene* theScene = nullptr;   // lives until exit, as the main window does
RealtimeScene& realtime() {
    if (!theScene) theScene = new RealtimeScene;
    return *theScene;
}

// The logger viewer's graph at its window size with a run of n samples.
struct LoggerScene {
    std::unique_ptr<kv::LoggedRun> run = std::make_unique<kv::LoggedRun>();
    std::unique_ptr<kv::logger::CoordTables> tables = std::make_unique<kv::logger::CoordTables>();
    kv::logger::Nav nav;
    kv::logger::PlotRect plot = kv::logger::plotRect(946, 598);
    kv::logger::LoggerPainter painter;
    QImage image{946, 598, QImage::Format_RGB32};
    std::time_t start = kv::makeLocal({2007, 7, 27, 7, 40, 35});
    int32_t gain = 10, offset = 0;

    explicit LoggerScene(int n) {
        kv::LoggedRun& r = *run;
        fillBenchRun(r, n);
        paint();
        paint();
    }
    void paint() {
        const kv::logger::Frame f = kv::logger::prepareFrame(*tables, nav, plot, *run, start, gain, offset, true);
        painter.paint(image, f, *tables, nav);
    }
    int zoomTo(int level) {
        gain = 500;
        offset = -5;
        paint();
        while (nav.level < level) {
            kv::logger::press(nav, plot, 320, 100);
            kv::logger::move(nav, plot, *tables, *run, start, true, 860, 520);
            const kv::logger::ReleaseResult up = kv::logger::release(nav, plot, *tables, run->count, true, 860, 520);
            paint();
            if (!up.pushed) break;
        }
        paint();
        return nav.level;
    }
};

class NullPort : public kv::PortIO {
public:
    bool isOpen() const override { return true; }
    void openPort(int) override {}
    void closePort() override {}
    void write(const uint8_t*, std::size_t) override {}
    void discardInput() override {}
};

// ---- what is measured -----------------------------------------------------

constexpr int kZoomLevel = 10;   // reachable with 100 samples as with 10000

// Allocations of one steady paint (after the paints that fill caches).
long realtimeLive(int n) {
    RealtimeScene& s = realtime();
    s.setRun(n);
    return allocsDuring([&] { s.paint(); });
}
long realtimeBrowse(int n, int level, int* reached = nullptr) {
    RealtimeScene& s = realtime();
    s.setRun(n);
    const int got = s.zoomTo(level);
    if (reached) *reached = got;
    s.paint();
    const long a = allocsDuring([&] { s.paint(); });
    s.view->undoZoom();
    return a;
}
long loggerWhole(int n) {
    LoggerScene s(n);
    return allocsDuring([&] { s.paint(); });
}
long loggerZoomed(int n, int level, int* reached = nullptr) {
    LoggerScene s(n);
    const int got = s.zoomTo(level);
    if (reached) *reached = got;
    return allocsDuring([&] { s.paint(); });
}
// Allocations per accepted frame over `frames` frames of a run.
double frameEvents(int frames) {
    auto m = std::make_unique<kv::Model>();
    NullPort port;
    kv::applyRunSettings(*m, 1, 10000);
    std::vector<kv::FrameBytes> fs;
    for (int i = 0; i < 64; ++i) {
        kv::FrameFields f;
        f.air = 20.0f + 0.1f * i;
        f.wb = f.air - 5;
        f.dp = f.air - 9;
        f.kir = 30.0f + 0.3f * i;
        f.rh = 50.0f + 0.2f * i;
        f.display1 = f.air;
        f.display2 = f.rh;
        f.display3 = f.kir;
        f.flagsB = (i % 16 >= 12) ? kv::flagB::kIrIdle : 0;
        fs.push_back(kv::buildFrame(f));
    }
    kv::serialEvent(*m, port, kv::kEventReceive, fs[0].data(), fs[0].size(), 1'700'000'000);
    const long a = allocsDuring([&] {
        for (int i = 0; i < frames; ++i) {
            const kv::FrameBytes& f = fs[static_cast<std::size_t>(i) & 63];
            kv::serialEvent(*m, port, kv::kEventReceive, f.data(), f.size(), 1'700'000'000);
            m->run.n = i % 10000;
        }
    });
    return static_cast<double>(a) / frames;
}

// ---- benchmarks: paint time with the allocation count beside it ------------

void BM_AllocRealtimeLive(benchmark::State& state) {
    RealtimeScene& s = realtime();
    s.setRun(static_cast<int>(state.range(0)));
    long allocs = 0;
    for (auto _ : state) allocs += allocsDuring([&] { s.paint(); });
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(allocs), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_AllocRealtimeLive)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_AllocLoggerWhole(benchmark::State& state) {
    LoggerScene s(static_cast<int>(state.range(0)));
    long allocs = 0;
    for (auto _ : state) allocs += allocsDuring([&] { s.paint(); });
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(allocs), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_AllocLoggerWhole)->Arg(100)->Arg(10010)->Unit(benchmark::kMillisecond);

// ---- the check -------------------------------------------------------------

struct Row {
    std::string what;
    long small, large;
};

// A paint allocates per sample when the big run costs more than a handful of
// allocations above the small one (9900 more samples, five traces).
constexpr long kSlack = 8;

int check() {
    std::vector<Row> rows;
    rows.push_back({"real-time view, live", realtimeLive(100), realtimeLive(10000)});
    int reachedSmall = 0, reachedLarge = 0;
    const long rs = realtimeBrowse(100, kZoomLevel, &reachedSmall);
    const long rl = realtimeBrowse(10000, kZoomLevel, &reachedLarge);
    rows.push_back({"real-time view, zoom level " + std::to_string(reachedSmall) + "/" + std::to_string(reachedLarge),
                    rs, rl});
    rows.push_back({"logger graph, whole run", loggerWhole(100), loggerWhole(10000)});
    const long ls = loggerZoomed(100, kZoomLevel, &reachedSmall);
    const long ll = loggerZoomed(10000, kZoomLevel, &reachedLarge);
    rows.push_back({"logger graph, zoom level " + std::to_string(reachedSmall) + "/" + std::to_string(reachedLarge),
                    ls, ll});

    int failures = 0;
    std::printf("\nAllocation check (allocations per paint, after warm-up paints)\n");
    std::printf("%-36s %10s %10s  %s\n", "paint", "n=100", "n=10000", "verdict");
    for (const Row& r : rows) {
        const bool ok = r.large <= r.small + kSlack;
        failures += ok ? 0 : 1;
        std::printf("%-36s %10ld %10ld  %s\n", r.what.c_str(), r.small, r.large,
                    ok ? "ok: nothing per sample" : "FAIL: allocates per sample");
    }
    const double perFrame = frameEvents(10000);
    std::printf("%-36s %21.2f  %s\n", "accepted frame (serial event)", perFrame,
                perFrame == 0.0 ? "ok: nothing per frame" : "note: allocates per frame");
    std::printf("allocation check: %s\n", failures ? "FAILED" : "passed");
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("KV2047");
    benchmark::Initialize(&argc, argv);
    const int rc = check();
    std::fflush(stdout);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::fflush(stdout);
    // The main window stays up to the end, as in the program; skip its teardown
    // but not the removal of its configuration folder.
    if (theScene) theScene->dir.remove();
    std::_Exit(rc);
}
