// kv2047: the desktop program.
#include <signal.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <clocale>

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

}  // namespace

int main(int argc, char** argv) {
    // A file-size limit makes a save, the journal or a capture fail and say so; it never kills the program.
    ::signal(SIGXFSZ, SIG_IGN);
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

    // --help and --version need no display, which a QApplication does: a core
    // application answers them. Anything else, Qt's own options too, waits for it.
    {
        QStringList args;
        for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
        if (cli.parse(args) && (cli.isSet(help) || cli.isSet(version))) {
            QCoreApplication core(argc, argv);  // the help's usage line names argv[0]
            // What showHelp() and showVersion() print, with a failed write reported.
            const QByteArray text = (cli.isSet(help) ? cli.helpText()
                                                     : QCoreApplication::applicationName() + ' ' +
                                                           QCoreApplication::applicationVersion() + '\n')
                                        .toLocal8Bit();
            if (std::fwrite(text.constData(), 1, text.size(), stdout) == std::size_t(text.size()) &&
                std::fflush(stdout) == 0)
                return 0;
            std::fprintf(stderr, "kv2047: cannot write the output: %s\n", std::strerror(errno));
            return 1;
        }
    }

    QApplication app(argc, argv);
    // Qt adopts the user's locale; numbers in files, tables and on the meter are always "23.5".
    std::setlocale(LC_NUMERIC, "C");
    // Bad arguments exit 2, as in kv2047-tool and kv2047-sim (process() would exit 1).
    if (!cli.parse(QCoreApplication::arguments()) || !cli.positionalArguments().isEmpty()) {
        const QString why = cli.positionalArguments().isEmpty()
                                ? cli.errorText()
                                : "Unexpected argument '" + cli.positionalArguments().first() + "'.";
        std::fprintf(stderr, "kv2047: %s\nTry 'kv2047 --help' for more information.\n", qPrintable(why));
        return 2;
    }
    cli.process(app);  // --help-all, which lists Qt's own options too

    AppOptions opts;
    opts.port = cli.value(port);
    opts.configDir = cli.value(configDir);
    opts.capture = cli.value(capture);
    opts.simulate = cli.isSet(simulate);

    QProcess sim;
    if (opts.simulate && opts.port.isEmpty()) {
        QString error;
        opts.port = startSimulator(sim, &error);
        if (opts.port.isEmpty()) QMessageBox::warning(nullptr, QGuiApplication::applicationDisplayName(), error);
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
        rc = app.exec();
    }
    if (sim.state() != QProcess::NotRunning) {
        sim.terminate();
        if (!sim.waitForFinished(2000)) sim.kill();
    }
    return rc;
}
