// kv2047-tool record: a run recorded without a display, through the same link
// and run logic as the desktop program (initialisation command, acknowledgement,
// the run starting at the first accepted frame, one sample per interval after a
// new frame, the watchdog re-opening a silent port), protected by the run
// journal while it records.
// kv2047-tool recover: writes an interrupted run out of its journal.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

#include "CommandLine.h"
#include "Commands.h"
#include "core/Model.h"
#include "session/MeterSerialPort.h"
#include "core/link/LinkEngine.h"
#include "core/record/Capture.h"
#include "core/record/RunJournal.h"
#include "core/record/Shown.h"
#include "core/record/TextExport.h"

namespace {

const char* const kRecordAbout =
    "Records N samples (1 to 10000), one every SECONDS (1 to 3600) after the meter's\n"
    "first frame, and writes FILE.AsmDat and its text table beside it. SIGINT or\n"
    "SIGTERM stops the run and saves what was recorded. --capture appends every\n"
    "serial read and write to FILE as timestamped hex lines.";

const char* const kRecoverAbout =
    "Writes the newest interrupted recording of the run journal folder (or the\n"
    "journal given) as FILE.AsmDat and its text table; the journal is then marked\n"
    "finished.";

bool parseInt(const char* s, int lo, int hi, int& out) {
    const std::string_view v(s);
    int x = 0;
    const auto r = std::from_chars(v.data(), v.data() + v.size(), x);
    if (r.ec != std::errc() || r.ptr != v.data() + v.size() || x < lo || x > hi) return false;
    out = x;
    return true;
}

std::string journalDir() {
    const char* cfg = std::getenv("KV2047_CONFIG_DIR");
    return kv::journalDirFor(cfg ? cfg : "");
}

// ---- signals: SIGINT and SIGTERM reach the event loop through a pipe ----
int gSignalPipe[2] = {-1, -1};
extern "C" void onStopSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &c, 1);
}

std::string shownText(const kv::Model& m, int i, int q) {
    const float v = m.doc->live[q][i];
    const char* unit = q == kv::RH ? "%RH" : (m.run.unitFlag ? "F" : "C");
    if (q == kv::KIR && kv::isNoKirReading(v)) return std::string("----") + unit;
    double s = kv::toShownUnits(v, q, m.run.unitFlag);
    if (q == kv::KIR) s = kv::cutOneDecimal(s);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.1f%s", s, unit);
    return buf;
}

class Recorder {
public:
    Recorder(std::string port, int rate, int count, std::string out)
        : port_(std::move(port)), rate_(rate), count_(count), out_(std::move(out)), journal_(journalDir()),
          tty_(::isatty(2) != 0) {}

    // Opens the capture and the port; 0, or the exit status after a message.
    int start(const char* capturePath) {
        if (capturePath) {
            std::string error;
            if (!capture_.open(capturePath, &error)) {
                std::fprintf(stderr, "kv2047-tool record: cannot write the capture: %s\n", error.c_str());
                return 1;
            }
            comm_.tap = [this](bool incoming, const QByteArray& bytes) {
                // A write to a port that is not open never reached the line.
                if (incoming || comm_.isOpen())
                    capture_.record(incoming, reinterpret_cast<const uint8_t*>(bytes.constData()),
                                    static_cast<std::size_t>(bytes.size()));
            };
        }
        if (const auto left = kv::findUnfinishedJournals(journal_.dir()); !left.empty())
            std::fprintf(stderr,
                         "kv2047-tool record: an interrupted recording is kept in %s; "
                         "`kv2047-tool recover -o FILE.AsmDat` writes it out\n",
                         left.front().path.c_str());

        m_.link.port = 1;
        comm_.setDevice(1, QFile::decodeName(port_.c_str()));
        QObject::connect(&comm_, &MeterSerialPort::commEvent, [this](int code) { onCommEvent(code); });
        comm_.openPort(1);
        if (!comm_.isOpen()) {
            std::fprintf(stderr, "kv2047-tool record: cannot open the port: %s\n",
                         comm_.lastError().toLocal8Bit().constData());
            return 1;
        }
        kv::initLinkAtStartup(m_);
        kv::applyRunSettings(m_, rate_, count_);
        kv::finishRunCommand(m_);

        QObject::connect(&ackTimer_, &QTimer::timeout, [this] { kv::ackTick(m_, comm_); });
        QObject::connect(&watchdogTimer_, &QTimer::timeout, [this] { onWatchdog(); });
        QObject::connect(&sampleTimer_, &QTimer::timeout, [this] { onSampleTick(); });
        ackTimer_.start(1000);
        watchdogTimer_.start(3000);
        sampleTimer_.start(rate_ * 1000);
        std::fprintf(stderr, "record: waiting for the meter on %s\n", port_.c_str());
        return 0;
    }

    // Stops the run and saves what was recorded; quits the event loop with the exit status.
    void finish(const char* why) {
        if (done_) return;
        done_ = true;
        ackTimer_.stop();
        watchdogTimer_.stop();
        sampleTimer_.stop();
        kv::stopRun(m_);
        endProgressLine();
        const int n = m_.run.n;
        if (why) std::fprintf(stderr, "record: %s after %d sample(s)\n", why, n);
        int status = 0;
        if (n == 0) {
            std::fprintf(stderr, "kv2047-tool record: no sample was recorded; nothing written\n");
            journal_.finish();
            status = 1;
        } else {
            std::string error;
            if (kv::writeRunFiles(out_, *m_.doc, m_.run, true, &error)) {
                journal_.finish();
                std::fprintf(stderr, "record: wrote %d sample(s) to %s and %s\n", n, out_.c_str(),
                             kv::textFilePathFor(out_).c_str());
            } else {
                std::fprintf(stderr, "kv2047-tool record: cannot save the run: %s\n", error.c_str());
                if (journal_.isOpen())
                    std::fprintf(stderr,
                                 "kv2047-tool record: the samples are kept in %s; "
                                 "`kv2047-tool recover -o FILE.AsmDat` writes them out\n",
                                 journal_.path().c_str());
                status = 1;
            }
        }
        comm_.closePort();
        QCoreApplication::exit(status);
    }

private:
    void onCommEvent(int code) {
        const QByteArray data = code == kv::kEventReceive ? comm_.input() : QByteArray();
        const auto fx = kv::serialEvent(m_, comm_, code, reinterpret_cast<const uint8_t*>(data.constData()),
                                        static_cast<std::size_t>(data.size()), std::time(nullptr));
        if (fx.runStarted && m_.link.runInProgress) {
            if (!journal_.begin(m_))
                std::fprintf(stderr, "kv2047-tool record: the run journal cannot be written (%s); recording on\n",
                             journal_.error().c_str());
            showProgress();
        }
        // Not from inside the port's own signal: finishing closes it.
        if (fx.runEnded) QTimer::singleShot(0, [this] { finish(nullptr); });
    }

    void onSampleTick() {
        if (!kv::sampleTick(m_)) return;
        if (journal_.isOpen() && !journal_.append(m_) && !journalWarned_) {
            journalWarned_ = true;
            std::fprintf(stderr, "kv2047-tool record: the run journal cannot be written (%s); recording on\n",
                         journal_.error().c_str());
        }
        showProgress();
        // The count is reached with this sample: no need to wait for another frame.
        if (m_.run.n >= count_) finish(nullptr);
    }

    void onWatchdog() {
        const uint8_t inProgress = m_.link.runInProgress, stopped = m_.link.stopped;
        if (kv::watchdogTick(m_, comm_)) {
            // Unattended, a silent meter (a loose cable, a flat battery) pauses the
            // run instead of ending it: the port is re-opened and the run goes on
            // when frames come back.
            m_.link.runInProgress = inProgress;
            m_.link.stopped = stopped;
            endProgressLine();
            const QString err = comm_.lastError();
            std::fprintf(stderr, "record: the meter is silent; re-opening %s%s%s\n", port_.c_str(),
                         err.isEmpty() ? "" : ": ", err.toLocal8Bit().constData());
        }
    }

    void showProgress() {
        const int n = m_.run.n;
        const long elapsed = std::max<long>(0, static_cast<long>(std::time(nullptr) - m_.run.runStartTime));
        char head[96];
        std::snprintf(head, sizeof head, "record: %d/%d samples  %02ld:%02ld:%02ld", n, count_, elapsed / 3600,
                      elapsed / 60 % 60, elapsed % 60);
        std::string line = head;
        if (n > 0) {
            for (int q = 0; q < kv::kQuantities; ++q) {
                line += "  ";
                line += kv::kQuantityNames[q];
                line += ' ';
                line += shownText(m_, n - 1, q);
            }
        }
        if (tty_) {
            std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
            progressOpen_ = true;
        } else {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
        std::fflush(stderr);
    }

    void endProgressLine() {
        if (progressOpen_) std::fputc('\n', stderr);
        progressOpen_ = false;
    }

    std::string port_;
    int rate_, count_;
    std::string out_;
    kv::Model m_;
    MeterSerialPort comm_;
    kv::RunJournal journal_;
    kv::CaptureFile capture_;
    QTimer ackTimer_, watchdogTimer_, sampleTimer_;
    bool tty_;
    bool progressOpen_ = false;
    bool journalWarned_ = false;
    bool done_ = false;
};

}  // namespace

int cmdRecord(const QStringList& args) {
    CommandLine cli("kv2047-tool record", "--port DEVICE --rate SECONDS --count N -o FILE.AsmDat [--capture FILE]",
                    kRecordAbout);
    const QCommandLineOption portOpt = cli.add({"port"}, "The meter's serial device, e.g. /dev/ttyUSB0.", "DEVICE");
    const QCommandLineOption rateOpt = cli.add({"rate"}, "Seconds between samples, 1 to 3600.", "SECONDS");
    const QCommandLineOption countOpt = cli.add({"count"}, "Samples in the run, 1 to 10000.", "N");
    const QCommandLineOption outOpt = cli.add({"o", "output"}, "The data file to write.", "FILE.AsmDat");
    const QCommandLineOption captureOpt =
        cli.add({"capture"}, "Append every serial read and write to FILE.", "FILE");
    if (const int status = cli.parse(args, 0, 0); status >= 0) return status;
    const std::string portArg = cli.value(portOpt), outArg = cli.value(outOpt), captureArg = cli.value(captureOpt);
    for (const auto& [opt, name] : {std::pair{&portOpt, "--port DEVICE"}, {&rateOpt, "--rate SECONDS"},
                                    {&countOpt, "--count N"}, {&outOpt, "-o FILE.AsmDat"}})
        if (!cli.isSet(*opt) || cli.value(*opt).empty()) return cli.refuse(std::string(name) + " is needed");
    if (cli.isSet(captureOpt) && captureArg.empty()) return cli.refuse("--capture needs a file name");
    if (cli.isSet(captureOpt) &&
        (CommandLine::sameFile(captureArg, outArg) || CommandLine::sameFile(captureArg, kv::textFilePathFor(outArg))))
        return cli.refuse("the capture '" + captureArg + "' would be one of the run's files");
    int rate = 0, count = 0;
    if (!parseInt(cli.value(rateOpt).c_str(), 1, 3600, rate)) {
        std::fprintf(stderr, "kv2047-tool record: --rate must be a whole number of seconds from 1 to 3600\n");
        return 2;
    }
    if (!parseInt(cli.value(countOpt).c_str(), 1, 10000, count)) {
        std::fprintf(stderr, "kv2047-tool record: --count must be a whole number from 1 to 10000\n");
        return 2;
    }
    const char* port = portArg.c_str();
    const char* out = outArg.c_str();
    const char* capture = cli.isSet(captureOpt) ? captureArg.c_str() : nullptr;

    if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "kv2047-tool record: %s\n", std::strerror(errno));
        return 1;
    }
    static int qtArgc = 1;
    static char name[] = "kv2047-tool";
    static char* qtArgv[] = {name, nullptr};
    QCoreApplication app(qtArgc, qtArgv);

    Recorder rec(port, rate, count, out);
    QSocketNotifier stopNotifier(gSignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&] {
        char buf[16];
        while (::read(gSignalPipe[0], buf, sizeof buf) > 0) {
        }
        rec.finish("stopped");
    });
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    if (const int status = rec.start(capture)) return status;
    return app.exec();
}

int cmdRecover(const QStringList& args) {
    CommandLine cli("kv2047-tool recover", "-o FILE.AsmDat [--journal FILE.kvj]", kRecoverAbout);
    const QCommandLineOption outOpt = cli.add({"o", "output"}, "The data file to write.", "FILE.AsmDat");
    const QCommandLineOption journalOpt =
        cli.add({"journal"}, "The journal to recover instead of the newest interrupted one.", "FILE.kvj");
    if (const int status = cli.parse(args, 0, 0); status >= 0) return status;
    const std::string outArg = cli.value(outOpt), journalArg = cli.value(journalOpt);
    if (outArg.empty()) return cli.refuse("-o FILE.AsmDat is needed");
    if (cli.isSet(journalOpt) && journalArg.empty()) return cli.refuse("--journal needs a file name");
    if (cli.isSet(journalOpt) &&
        (CommandLine::sameFile(journalArg, outArg) || CommandLine::sameFile(journalArg, kv::textFilePathFor(outArg))))
        return cli.refuse("the output '" + outArg + "' would replace the journal");
    const char* out = outArg.c_str();
    const char* journalPath = cli.isSet(journalOpt) ? journalArg.c_str() : nullptr;

    std::string path;
    if (journalPath) {
        path = journalPath;
    } else {
        const auto found = kv::findUnfinishedJournals(journalDir());
        if (found.empty()) {
            std::fprintf(stderr, "kv2047-tool recover: no interrupted recording in %s\n", journalDir().c_str());
            return 1;
        }
        path = found.front().path;
    }

    // An unfinished journal is taken over, so no other program offers it
    // meanwhile, and marked finished once its run is written out.
    kv::RunJournal holder(journalDir());
    kv::JournalContents j;
    std::string error;
    if (!holder.adopt(path, &j) && !kv::readJournal(path, j, &error)) {
        std::fprintf(stderr, "kv2047-tool recover: %s: %s\n", path.c_str(),
                     error.empty() ? holder.error().c_str() : error.c_str());
        return 1;
    }
    auto m = std::make_unique<kv::Model>();
    kv::restoreJournal(j, *m);
    if (!kv::writeRunFiles(out, *m->doc, m->run, true, &error)) {
        std::fprintf(stderr, "kv2047-tool recover: cannot write the run: %s\n", error.c_str());
        return 1;
    }
    holder.finish();
    std::fprintf(stderr, "recover: wrote %d sample(s) from %s to %s\n", m->run.n, path.c_str(), out);
    return 0;
}
