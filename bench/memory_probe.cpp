// Peak resident memory of the program's windows at their limits, for
// scripts/bench to run under /usr/bin/time -v. It builds the main window as
// the program does (1920 x 1080) and prints VmHWM/VmRSS after each step:
//
//   kv_memory_probe idle   the main window shown and painted, nothing recorded
//   kv_memory_probe full   then a full 10000-sample run in the real-time view
//                          zoomed to level 99, and the logger viewer holding
//                          100 full 10010-sample runs (read from a data file)
//                          with the shown one zoomed to level 99
//
// The zooms are dragged with mouse events, as the user would.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "SessionRun.h"
#include "gui/MainWindow.h"
#include "session/MeterSession.h"
#include "gui/graph/LiveGraphView.h"
#include "core/graph/GraphState.h"
#include "gui/logger/LoggerViewer.h"
#include "core/record/DataFile.h"

namespace {

// "VmHWM" or "VmRSS" of this process in kB.
long statusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t len = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, len, key) == 0 && line.size() > len && line[len] == ':')
            return std::atol(line.c_str() + len + 1);
    return -1;
}

void report(const char* step) {
    std::printf("%-48s VmHWM %7.1f MB   VmRSS %7.1f MB\n", step, statusKb("VmHWM") / 1024.0,
                statusKb("VmRSS") / 1024.0);
    std::fflush(stdout);
}

// Lets timers and paints run for `ms` milliseconds.
void settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

void mouse(QWidget* w, QEvent::Type type, QPoint at) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// One zoom box dragged from `a` to `b`, then the repaint it asks for.
void dragBox(QWidget* w, QPoint a, QPoint b) {
    mouse(w, QEvent::MouseButtonPress, a);
    mouse(w, QEvent::MouseMove, (a + b) / 2);
    mouse(w, QEvent::MouseMove, b);
    mouse(w, QEvent::MouseButtonRelease, b);
    w->repaint();
}

void fillLive(MeterSession& session, int n) {
    const auto value = [](int q, int i) {
        const float t = static_cast<float>(i);
        switch (q) {
            case kv::AIR: return 22.0f + 6.0f * std::sin(t / 700.0f);
            case kv::WB: return 17.0f + 5.0f * std::sin(t / 650.0f);
            case kv::DP: return 13.0f + 4.0f * std::sin(t / 800.0f);
            case kv::KIR: return 30.0f + 20.0f * std::sin(t / 450.0f);
            default: return 55.0f + 15.0f * std::sin(t / 1100.0f + 1.0f);
        }
    };
    QString error;
    if (!kvtest::putRun(session, {.n = n, .start = 1'700'000'000, .countTarget = 10000, .value = value}, &error))
        std::fprintf(stderr, "kv_memory_probe: no run: %s\n", qPrintable(error));
}

// A data file of a full run (10010 samples), with a Y scale fine enough for
// 99 levels of boxes (the file carries the logger's scale).
bool writeFullRun(const QString& path) {
    auto rec = kv::makeRunRecord();
    rec->yGain = 500;
    rec->yOffset = -5;
    kv::LoggedRun& r = rec->run;
    r.count = kv::kMaxSamples;
    r.interval = 5;
    r.year = 2007; r.month = 7; r.day = 27; r.hour = 7; r.minute = 40; r.second = 35;
    for (int i = 0; i < r.count; ++i) {
        const float t = static_cast<float>(i) * 0.01f;
        r.samples[i * 5 + 0] = 22.0f + 5.0f * std::sin(t);
        r.samples[i * 5 + 1] = 15.0f + 3.0f * std::sin(t * 1.3f);
        r.samples[i * 5 + 2] = 10.0f + 2.0f * std::cos(t);
        r.samples[i * 5 + 3] = 30.0f + 8.0f * std::sin(t * 0.7f);
        r.samples[i * 5 + 4] = 55.0f + 10.0f * std::cos(t * 0.5f);
    }
    const std::string bytes = kv::encodeDataFile(*rec);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) &&
           f.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
}

int fullLimits(MainWindow& frame, const QString& scratch) {
    // Real-time view: a full run, then 99 nested boxes.
    LiveGraphView* view = frame.view();
    fillLive(frame.session(), 10000);
    for (int i = 0; i < 5; ++i) view->repaint();
    report("real-time view, 10000 samples, live");
    const kv::PlotGeometry geo = view->plotGeometry();
    for (int k = 0; k < 99 && view->graph().L < 99; ++k) {
        const int before = view->graph().L;
        dragBox(view, {geo.plotLeft + 2, geo.plotTop + 1}, {geo.plotRight - 1, geo.plotBottom - 1});
        if (view->graph().L == before) break;
    }
    std::printf("  real-time zoom level reached: %d\n", view->graph().L);
    report("real-time view, zoom level 99");

    // Logger viewer: 100 full runs read from a data file, the last one zoomed to 99.
    const QString file = scratch + "/full.AsmDat";
    if (!writeFullRun(file)) {
        std::fprintf(stderr, "kv_memory_probe: cannot write %s\n", qPrintable(file));
        return 1;
    }
    auto* logger = new LoggerViewer(frame.session(), &frame);
    logger->resize(LoggerViewer::kWidth, LoggerViewer::kHeight);
    logger->show();
    settle(50);
    int read = 0;
    for (int i = 0; i < 100; ++i) read += logger->downloadFile(file) ? 1 : 0;
    logger->repaint();
    std::printf("  logger runs read: %d\n", read);
    report("logger viewer, 100 runs of 10010 samples");
    const kv::logger::PlotRect p = logger->plot();
    for (int k = 0; k < 99 && logger->nav().level < 99; ++k) {
        const int before = logger->nav().level;
        dragBox(logger, {static_cast<int>(p.left) + 14, static_cast<int>(p.top) + 10},
                {static_cast<int>(p.left + p.w) - 25, static_cast<int>(p.top + p.h) - 17});
        if (logger->nav().level == before) break;
    }
    std::printf("  logger zoom level reached: %d\n", logger->nav().level);
    report("logger viewer, zoom level 99");
    settle(300);
    report("both at level 99, after 300 ms of timers");
    return view->graph().L == 99 && logger->nav().level == 99 && read == 100 ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "idle";
    if (mode != "idle" && mode != "full") {
        std::fprintf(stderr, "usage: kv_memory_probe [idle|full]\n");
        return 64;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("KV2047");
    report("application object");

    QTemporaryDir dir;
    AppOptions o;
    o.configDir = dir.path();
    o.port = dir.path() + "/no-meter";
    int rc = 0;
    {
        MainWindow frame(o);
        frame.setGeometry(0, 0, 1920, 1080);
        frame.show();
        settle(300);
        report("main window shown, idle");
        if (mode == "full") rc = fullLimits(frame, dir.path());
        // Leave without the closing question: nothing of this is to be saved.
        std::fflush(stdout);
        dir.remove();
        std::_Exit(rc);
    }
}
