// kv2047: the desktop program.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <clocale>
#include <tuple>
#include <utility>

#include "core/io/AtomicFile.h"
#include "gui/Fonts.h"
#include "gui/MainWindow.h"

namespace {

// The simulated meter lives beside the program (installed) or in the build tree.
QString findSimulator() {
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& p : {dir + "/kv2047-sim", dir + "/tools/kv2047-sim/kv2047-sim"})
        if (QFileInfo(p).isExecutable()) return p;
    return QStandardPaths::findExecutable("kv2047-sim");
}

// Starts the simulated meter and returns its pseudo-terminal, or an empty string.
QString startSimulator(QProcess& sim, QString* error) {
    const QString exe = findSimulator();
    if (exe.isEmpty()) {
        *error = "The simulated meter (kv2047-sim) was not found beside the program.";
        return {};
    }
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(exe, {});
    if (!sim.waitForStarted(5000)) {
        *error = "The simulated meter could not be started: " + sim.errorString();
        return {};
    }
    while (!sim.canReadLine()) {
        if (!sim.waitForReadyRead(5000)) {
            *error = "The simulated meter did not report its device.";
            return {};
        }
    }
    return QString::fromLocal8Bit(sim.readLine()).trimmed();
}

// KV2047_STARTUP_PROBE=MS, for start-up measurements (scripts/bench): once
// the main window has been painted for the first time, prints the wall-clock
// time to standard error and quits MS milliseconds later (0 when not a number).
class StartupProbe : public QObject {
public:
    explicit StartupProbe(int lingerMs) : lingerMs_(lingerMs) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // Runs after the whole window's paint is done.
            QTimer::singleShot(0, this, [this] {
                timespec ts{};
                clock_gettime(CLOCK_REALTIME, &ts);
                std::fprintf(stderr, "kv2047: first paint at %lld.%09ld\n", static_cast<long long>(ts.tv_sec),
                             ts.tv_nsec);
                QTimer::singleShot(lingerMs_, qApp, &QCoreApplication::quit);
            });
        }
        return false;
    }

private:
    int lingerMs_;
    bool seen_ = false;
};

// One line and status 2 for a bad argument, as kv2047-tool and kv2047-sim say it.
int refuseArguments(const QString& why) {
    std::fprintf(stderr,
                 "kv2047: %s\nusage: kv2047 [--port DEVICE] [--simulate] [--config-dir DIR] [--capture FILE] [FILE...]\n"
                 "Try 'kv2047 --help' for more information.\n",
                 qPrintable(why));
    return 2;
}

// Why no display can be opened, or nothing. Where the desktop is X11 or
// Wayland (Linux, the BSDs) the platform plugin finds its display through the
// environment, and Qt ends the program with abort() when there is none;
// elsewhere there is always a display. The platform is the -platform argument,
// else QT_QPA_PLATFORM, else Qt's default.
QString missingDisplay(int argc, char** argv) {
    const QString kernel = QSysInfo::kernelType();
    if (kernel == "winnt" || kernel == "darwin") return {};
    QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i)
        if (!std::strcmp(argv[i], "-platform") || !std::strcmp(argv[i], "--platform")) platform = argv[i + 1];
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (platform.isEmpty() && !x11 && !wayland) return "neither DISPLAY nor WAYLAND_DISPLAY is set";
    if (platform.startsWith("xcb") && !x11) return "DISPLAY is not set";
    return {};
}

// A display that is named but cannot be reached (an X server gone away) is
// found only while the application is made: Qt's fatal message then becomes
// one line and status 1. Qt's notes on the way are held back, the platform
// plugin's giving the reason; once the display is open they are passed on as
// they came, and without one they are dropped with it.
QtMessageHandler gQtHandler = nullptr;
QList<std::tuple<QtMsgType, QByteArray, QString>> gHeldNotes;

void whileOpeningDisplay(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        QString why = text.section('\n', 0, 0);
        for (const auto& [t, category, note] : std::as_const(gHeldNotes))
            if (category.startsWith("qt.qpa")) {
                why = note;
                break;
            }
        std::fprintf(stderr, "kv2047: no display: %s\n", qPrintable(why.trimmed()));
        std::fflush(stderr);
        std::_Exit(1);
    }
    gHeldNotes.append({type, context.category ? QByteArray(context.category) : QByteArray(), text});
}

void displayOpened(bool passNotesOn) {
    qInstallMessageHandler(gQtHandler);
    if (passNotesOn)
        for (const auto& [type, category, text] : std::as_const(gHeldNotes)) {
            const QMessageLogContext context(nullptr, 0, nullptr, category.isEmpty() ? "default" : category.constData());
            gQtHandler(type, context, text);
        }
    gHeldNotes.clear();
}

}  // namespace

int main(int argc, char** argv) {
    // A file-size limit makes a save, the journal or a capture fail and say so; it never kills the program.
    kv::ignoreFileSizeSignal();
    QApplication::setApplicationName("KV2047");
    QApplication::setApplicationVersion(KV2047_VERSION);

    QCommandLineParser cli;
    cli.setApplicationDescription("Desktop companion of the KV2047 environmental meter.");
    const QCommandLineOption help = cli.addHelpOption();
    const QCommandLineOption version = cli.addVersionOption();
    QCommandLineOption port("port", "Serial device of the current port (overrides the configured one).", "DEVICE");
    QCommandLineOption configDir("config-dir", "Folder of KV2047config.ini.", "DIR");
    QCommandLineOption simulate("simulate", "Start the simulated meter and use it as the current port.");
    QCommandLineOption capture("capture", "Append every serial read and write to FILE as hex lines.", "FILE");
    cli.addOptions({port, configDir, simulate, capture});
    cli.addPositionalArgument("files", "Data files (.AsmDat) to open in the logger viewer.", "[FILE...]");

    // What showHelp() and showVersion() print, with a failed write reported.
    const auto answer = [&] {
        const QByteArray text =
            (cli.isSet(help) ? cli.helpText() : "kv2047 " + QCoreApplication::applicationVersion() + '\n').toLocal8Bit();
        if (std::fwrite(text.constData(), 1, text.size(), stdout) == std::size_t(text.size()) &&
            std::fflush(stdout) == 0)
            return 0;
        std::fprintf(stderr, "kv2047: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    };
    // --help and --version need no display, which a QApplication does: a core
    // application answers them. Anything else, Qt's own options too, waits for it.
    {
        QStringList args;
        for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
        if (cli.parse(args) && (cli.isSet(help) || cli.isSet(version))) {
            QCoreApplication core(argc, argv);  // the help's usage line names argv[0]
            return answer();
        }
    }

    // Without a display the arguments are still read, by an application on
    // the offscreen platform (it takes Qt's own options out of them), so that a
    // bad one is told as such; then the missing display is.
    const QString noDisplay = missingDisplay(argc, argv);
    if (!noDisplay.isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    gQtHandler = qInstallMessageHandler(whileOpeningDisplay);
    QApplication app(argc, argv);
    displayOpened(noDisplay.isEmpty());
    // Qt adopts the user's locale; numbers in files, tables and on the meter are always "23.5".
    std::setlocale(LC_NUMERIC, "C");
    // Bad arguments exit 2, as in kv2047-tool and kv2047-sim (process() would exit 1).
    if (!cli.parse(QCoreApplication::arguments()))
        return refuseArguments(cli.errorText());
    if (cli.isSet(help) || cli.isSet(version)) return answer();  // after Qt's own options
    cli.process(app);  // --help-all, which lists Qt's own options too
    if (!noDisplay.isEmpty()) {
        std::fprintf(stderr, "kv2047: no display: %s (start it in a graphical session; kv2047-tool needs none)\n",
                     qPrintable(noDisplay));
        return 1;
    }
    kv::settleSystemFont();

    AppOptions opts;
    opts.port = cli.value(port);
    opts.configDir = cli.value(configDir);
    opts.capture = cli.value(capture);
    opts.files = cli.positionalArguments();

    QProcess sim;
    if (cli.isSet(simulate) && opts.port.isEmpty()) {
        QString error;
        opts.port = startSimulator(sim, &error);
        // Only a simulator that runs makes the current port a simulated meter.
        opts.simulate = !opts.port.isEmpty();
        if (!opts.simulate) QMessageBox::warning(nullptr, QGuiApplication::applicationDisplayName(), error);
    }

    std::unique_ptr<StartupProbe> probe;
    if (qEnvironmentVariableIsSet("KV2047_STARTUP_PROBE"))
        probe = std::make_unique<StartupProbe>(qEnvironmentVariableIntValue("KV2047_STARTUP_PROBE"));
    int rc;
    {
        MainWindow w(opts);
        if (probe) w.installEventFilter(probe.get());
        // Without a window manager "maximised" means nothing: fill the screen ourselves.
        if (QScreen* screen = QGuiApplication::primaryScreen()) w.setGeometry(screen->availableGeometry());
        w.showMaximized();
        w.openFiles(opts.files);
        rc = app.exec();
    }
    if (sim.state() != QProcess::NotRunning) {
        sim.terminate();
        if (!sim.waitForFinished(2000)) sim.kill();
    }
    return rc;
}
