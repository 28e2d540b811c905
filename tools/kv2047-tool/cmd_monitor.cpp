// kv2047-tool monitor: the meter's readings as a live stream for other tools,
// one line per accepted frame on standard output, through the same link as the
// desktop program (initialisation command, acknowledgement once a second, the
// watchdog re-opening a silent port). No run is recorded.

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "CommandLine.h"
#include "Commands.h"
#include "Messages.h"
#include "StopSignals.h"
#include "ValueText.h"
#include "core/record/LocalTime.h"
#include "core/record/Shown.h"
#include "session/Folders.h"
#include "session/MeterSession.h"

namespace {

const char* const kMonitorAbout =
    "Prints one line per frame accepted from the meter on standard output, as soon\n"
    "as it arrives: a JSON object with the keys time (local, with its offset from\n"
    "UTC), air, wb, dp, kir, rh (null when K/IR has no reading) in the unit the\n"
    "meter shows (converted to F as the text table does, RH never), unit and\n"
    "battery, or with --format csv a header line and then one CSV row per frame.\n"
    "A silent meter is reported on standard error and waited for. Stops after\n"
    "--count frames, on SIGINT or SIGTERM, or when standard output is closed\n"
    "(status 0).";

enum class Format { JsonLines, Csv };

// One accepted frame as a line of the chosen format. The values are in the
// unit the line names: the temperatures of a meter showing °F converted as the
// text table converts them (RH never), as the shortest text of that float.
std::string frameLine(const kv::DecodedFrame& f, std::time_t when, Format format) {
    std::string s;
    const std::string time = kv::isoLocal(when);
    float shown[5];
    for (int q = 0; q < 5; ++q) shown[q] = static_cast<float>(kv::toShownUnits(f.q[q], q, f.unitFlag));
    if (format == Format::Csv) {
        s = time;
        for (int q = 0; q < 5; ++q) {
            s += ',';
            // An empty field where there is no number.
            if (!(q == kv::KIR && kv::isNoKirReading(f.q[q]))) appendShortest(s, shown[q]);
        }
        s += ',';
        s += f.unitText;
        s += ',';
        s += f.battery;
    } else {
        s = "{\"time\":\"" + time + '"';
        for (int q = 0; q < 5; ++q) {
            s += ",\"";
            s += kQuantityKeys[q];
            s += "\":";
            if (q == kv::KIR && kv::isNoKirReading(f.q[q])) s += "null";
            else appendJsonFloat(s, shown[q]);
        }
        s += ",\"unit\":";
        appendJsonString(s, f.unitText);
        s += ",\"battery\":";
        appendJsonString(s, f.battery);
        s += '}';
    }
    s += '\n';
    return s;
}

// A front-end on the meter session: it prints every accepted frame and reports
// the link's silence and return on standard error until it is stopped.
class Monitor : public QObject {
public:
    // `count`: frames to print before stopping, 0 for no end.
    Monitor(std::string port, Format format, int count) : port_(std::move(port)), format_(format), count_(count) {
        // Never written: no run is started, so the session opens no journal.
        session_.setJournalDir(resolveFolders().journals);
    }

    // Opens the port; -1 when the stream goes on, else the exit status.
    int start() {
        session_.setDevice(1, fromCorePath(port_));
        session_.start(1);
        if (!session_.isPortOpen()) {
            toolMessage("cannot open the port: %s", session_.portError().toLocal8Bit().constData());
            session_.close();
            return 1;
        }
        if (format_ == Format::Csv && !write("time,air,wb,dp,kir,rh,unit,battery\n")) {
            session_.close();
            return status_;
        }
        connect(&session_, &MeterSession::frameAccepted, this, [this](const kv::DecodedFrame& f) {
            if (done_ || !write(frameLine(f, std::time(nullptr), format_))) return;
            if (count_ > 0 && ++printed_ >= count_) stop(0);
        });
        connect(&session_, &MeterSession::meterSilent, this, [this] {
            const QString err = session_.portError();
            toolMessage("the meter is silent; re-opening %s%s%s", port_.c_str(), err.isEmpty() ? "" : ": ",
                        err.toLocal8Bit().constData());
        });
        connect(&session_, &MeterSession::offlineChanged, this, [](bool offline) {
            if (!offline) toolMessage("the meter is back");
        });
        toolMessage("waiting for the meter on %s", port_.c_str());
        return -1;
    }

    // Ends the event loop with `status`; the port is closed after it.
    void stop(int status) {
        if (done_) return;
        done_ = true;
        status_ = status;
        QCoreApplication::exit(status);
    }

    void close() { session_.close(); }

private:
    // Writes and flushes one line. A reader that went away (a closed pipe) ends
    // the stream quietly with status 0; any other failure is reported, status 1.
    bool write(const std::string& line) {
        if (std::fwrite(line.data(), 1, line.size(), stdout) == line.size() && std::fflush(stdout) == 0 &&
            !std::ferror(stdout))
            return true;
        const int e = errno;
        if (e != EPIPE)
            toolMessage("cannot write the output: %s", std::strerror(e));
        stop(e == EPIPE ? 0 : 1);
        return false;
    }

    std::string port_;
    Format format_;
    int count_;
    int printed_ = 0;
    int status_ = 0;
    bool done_ = false;
    MeterSession session_;
};

}  // namespace

int cmdMonitor(const QStringList& args) {
    CommandLine cli("kv2047-tool monitor", "--port DEVICE [--format jsonl|csv] [--count N]", kMonitorAbout);
    const QCommandLineOption portOpt = cli.add({"port"}, "The meter's serial device, e.g. /dev/ttyUSB0.", "DEVICE");
    const QCommandLineOption formatOpt =
        cli.add({"format"}, "jsonl (one JSON object per line, the default) or csv.", "FORMAT");
    const QCommandLineOption countOpt = cli.add({"count"}, "Stop after N frames, 1 to 1000000.", "N");
    if (const int status = cli.parse(args, 0, 0); status >= 0) return status;
    const std::string port = cli.value(portOpt), formatArg = cli.value(formatOpt);
    if (port.empty()) return cli.refuse("--port DEVICE is needed");
    Format format = Format::JsonLines;
    if (formatArg == "csv") format = Format::Csv;
    else if (cli.isSet(formatOpt) && formatArg != "jsonl")
        return cli.refuse("--format must be jsonl or csv, not '" + formatArg + "'");
    int count = 0;
    if (cli.isSet(countOpt) && !CommandLine::parseInt(cli.value(countOpt), 1, 1000000, count))
        return cli.refuse("--count must be a whole number from 1 to 1000000");

    // A reader that goes away is seen as a failed write (EPIPE) and ends the
    // stream as the write says, not as a signal.
    ignoreBrokenPipe();
    static int qtArgc = 1;
    static char name[] = "kv2047-tool";
    static char* qtArgv[] = {name, nullptr};
    QCoreApplication app(qtArgc, qtArgv);

    Monitor monitor(port, format, count);
    if (!onStopSignals([&] { monitor.stop(0); })) {
        toolMessage("%s", std::strerror(errno));
        return 1;
    }
    if (const int status = monitor.start(); status >= 0) return status;
    const int status = app.exec();
    monitor.close();
    return status;
}
