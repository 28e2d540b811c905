// The desktop program's main window as kv2047 builds it, for scripts/bench to
// count its wake-ups from outside the process (the context switches of all
// its threads in /proc). It stays until it is killed.
//
//   kv_wakeup_probe idle PORT   PORT is a device that does not exist: no meter,
//                               the port re-opened every three seconds
//   kv_wakeup_probe run PORT    the meter on PORT; a run at 1 s (10000
//                               samples) starts with its first frame
//
// "ready" on standard output says the window is shown and, for run, that the
// run has committed its second sample.
#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <clocale>
#include <cstdio>
#include <cstring>

#include "gui/MainWindow.h"
#include "session/MeterSession.h"

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "idle") != 0 && std::strcmp(argv[1], "run") != 0)) {
        std::fprintf(stderr, "usage: kv_wakeup_probe idle|run PORT\n");
        return 2;
    }
    const bool run = std::strcmp(argv[1], "run") == 0;
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("KV2047");
    QTemporaryDir config;
    AppOptions opts;
    opts.configDir = config.path();
    opts.port = QString::fromLocal8Bit(argv[2]);
    MainWindow w(opts);
    if (QScreen* screen = QGuiApplication::primaryScreen()) w.setGeometry(screen->availableGeometry());
    w.showMaximized();
    const auto ready = [] {
        std::printf("ready\n");
        std::fflush(stdout);
    };
    if (run) {
        QObject::connect(&w.session(), &MeterSession::sampleCommitted, &w, [&](int n) {
            if (n == 2) ready();
        });
        w.session().run(1, 10000);
    } else {
        QMetaObject::invokeMethod(&w, ready, Qt::QueuedConnection);
    }
    return app.exec();
}
