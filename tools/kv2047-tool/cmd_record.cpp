// kv2047-tool record: a run recorded without a display, through the same link
// and run logic as the desktop program (initialisation command, acknowledgement,
// the run starting at the first accepted frame, one sample per interval after a
// new frame, the watchdog re-opening a silent port), protected by the run
// journal while it records.
// kv2047-tool recover: writes an interrupted run out of its journal.
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "CommandLine.h"
#include "Commands.h"
#include "Messages.h"
#include "StopSignals.h"
#include "core/Model.h"
#include "core/io/AtomicFile.h"
#include "core/record/RunFiles.h"
#include "core/record/RunJournal.h"
#include "core/record/RunRestore.h"
#include "core/record/Shown.h"
#include "core/record/TextTable.h"
#include "session/Folders.h"
#include "session/MeterSession.h"

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

// The desktop program's journal folder (beside $KV2047_CONFIG_DIR, else the user's state folder).
std::string journalDir() { return corePath(resolveFolders().journals); }

// An output that cannot be written, or that is an interrupted recording's
// journal, is refused before anything is recorded: 2 after a message, else 0.
int refuseRunOutput(const std::string& out) {
    std::string error;
    if (!kv::checkRunOutputPath(out, &error)) {
        toolMessage("the run cannot be written there: %s", error.c_str());
        return 2;
    }
    const std::string text = kv::textFilePathFor(out);
    for (const auto& j : kv::findUnfinishedJournals(journalDir())) {
        if (kv::sameFile(j.path, out) || kv::sameFile(j.path, text)) {
            toolMessage("the output would replace the interrupted recording in %s", j.path.c_str());
            return 2;
        }
    }
    return 0;
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

// A front-end on the meter session: it arms one run and reports the
// session's signals on standard error until the run ends.
class Recorder : public QObject {
public:
    Recorder(std::string port, int rate, int count, std::string out)
        : port_(std::move(port)), rate_(rate), count_(count), out_(std::move(out)), tty_(::isatty(2) != 0) {
        // Unattended, a silent meter (a loose cable, a flat battery) pauses the
        // run instead of ending it. The journal protects the samples until the
        // run's files are written.
        session_.setPolicy({.silenceEndsRun = false});
        session_.setJournalDir(resolveFolders().journals);
    }

    // Opens the capture and the port; 0, or the exit status after a message.
    int start(const char* capturePath) {
        if (capturePath) {
            QString error;
            capturePath_ = capturePath;
            if (!session_.startCapture(fromCorePath(capturePath), &error)) {
                toolMessage("cannot write the capture: %s", error.toLocal8Bit().constData());
                return 1;
            }
        }
        if (const auto left = session_.interruptedRuns(); !left.empty())
            toolMessage("an interrupted recording is kept in %s; `kv2047-tool recover -o FILE.AsmDat` writes it out",
                        left.front().path.c_str());

        session_.setDevice(1, fromCorePath(port_));
        session_.start(1);
        if (!session_.isPortOpen()) {
            toolMessage("cannot open the port: %s", session_.portError().toLocal8Bit().constData());
            return 1;
        }
        session_.run(rate_, count_);

        connect(&session_, &MeterSession::runStarted, this, [this] { showProgress(); });
        connect(&session_, &MeterSession::sampleCommitted, this, [this](int n) {
            showProgress();
            // The count is reached with this sample: no need to wait for another frame.
            if (n >= count_) finish(nullptr);
        });
        // Not from inside the port's own signal: finishing closes it.
        connect(&session_, &MeterSession::runEnded, this, [this] { QTimer::singleShot(0, this, [this] { finish(nullptr); }); });
        connect(&session_, &MeterSession::meterSilent, this, [this] {
            endProgressLine();
            const QString err = session_.portError();
            toolMessage("the meter is silent; re-opening %s%s%s", port_.c_str(), err.isEmpty() ? "" : ": ",
                        err.toLocal8Bit().constData());
        });
        connect(&session_, &MeterSession::journalError, this, [this](const QString& why) {
            if (journalWarned_) return;
            journalWarned_ = true;
            endProgressLine();
            toolMessage("the run journal cannot be written (%s); recording on", why.toLocal8Bit().constData());
        });
        connect(&session_, &MeterSession::captureFailed, this, [this] { reportCapture(); });
        toolMessage("waiting for the meter on %s", port_.c_str());
        return 0;
    }

    // Stops the run and saves what was recorded; quits the event loop with the exit status.
    void finish(const char* why) {
        if (done_) return;
        done_ = true;
        session_.stop();
        endProgressLine();
        const kv::Model& m = session_.model();
        const int n = m.run.n;
        if (why) toolMessage("%s after %d sample(s)", why, n);
        int status = 0;
        if (n == 0) {
            toolMessage("no sample was recorded; nothing written");
            session_.finishJournal();
            status = 1;
        } else {
            std::string error;
            if (kv::writeRunFiles(out_, *m.doc, m.run, true, &error)) {
                session_.finishJournal();
                toolMessage("wrote %d sample(s) to %s and %s", n, out_.c_str(), kv::textFilePathFor(out_).c_str());
            } else {
                toolMessage("cannot save the run: %s", error.c_str());
                // The journal stays unfinished: it is what gets the samples back.
                if (session_.journal().isOpen())
                    toolMessage("the samples are kept in %s; `kv2047-tool recover --journal %s -o FILE.AsmDat` writes "
                                "them out",
                                session_.journal().path().c_str(), session_.journal().path().c_str());
                status = 1;
            }
        }
        // The run's files are written either way; a capture cut short is still a failure.
        if (!session_.captureGood()) {
            reportCapture();
            status = 1;
        }
        session_.close();
        QCoreApplication::exit(status);
    }

private:
    void showProgress() {
        const kv::Model& m = session_.model();
        const int n = m.run.n;
        const long elapsed = std::max<long>(0, static_cast<long>(std::time(nullptr) - m.run.runStartTime));
        char head[96];
        std::snprintf(head, sizeof head, "%s: %d/%d samples  %02ld:%02ld:%02ld", messageSource().c_str(), n, count_,
                      elapsed / 3600, elapsed / 60 % 60, elapsed % 60);
        std::string line = head;
        if (n > 0) {
            for (int q = 0; q < kv::kQuantities; ++q) {
                line += "  ";
                line += kv::kQuantityNames[q];
                line += ' ';
                line += shownText(m, n - 1, q);
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

    void reportCapture() {
        if (captureWarned_) return;
        captureWarned_ = true;
        endProgressLine();
        toolMessage("the capture %s could not be completely written; it ends there", capturePath_.c_str());
    }

    void endProgressLine() {
        if (progressOpen_) std::fputc('\n', stderr);
        progressOpen_ = false;
    }

    std::string port_;
    int rate_, count_;
    std::string out_;
    MeterSession session_;
    bool tty_;
    bool progressOpen_ = false;
    bool journalWarned_ = false;
    bool captureWarned_ = false;
    std::string capturePath_;
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
    if (!CommandLine::parseInt(cli.value(rateOpt), 1, 3600, rate)) {
        toolMessage("--rate must be a whole number of seconds from 1 to 3600");
        return 2;
    }
    if (!CommandLine::parseInt(cli.value(countOpt), 1, 10000, count)) {
        toolMessage("--count must be a whole number from 1 to 10000");
        return 2;
    }
    const char* port = portArg.c_str();
    const char* out = outArg.c_str();
    const char* capture = cli.isSet(captureOpt) ? captureArg.c_str() : nullptr;
    if (const int status = refuseRunOutput(out)) return status;

    static int qtArgc = 1;
    static char name[] = "kv2047-tool";
    static char* qtArgv[] = {name, nullptr};
    QCoreApplication app(qtArgc, qtArgv);

    Recorder rec(port, rate, count, out);
    if (!onStopSignals([&] { rec.finish("stopped"); })) {
        toolMessage("%s", std::strerror(errno));
        return 1;
    }

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
            toolMessage("no interrupted recording in %s", journalDir().c_str());
            return 1;
        }
        path = found.front().path;
        // As with --journal: the output must not replace the journal it is written from.
        if (kv::sameFile(path, out) || kv::sameFile(path, kv::textFilePathFor(out)))
            return cli.refuse("the output '" + outArg + "' would replace the journal " + path);
    }

    // An unfinished journal is taken over, so no other program offers it
    // meanwhile, and marked finished once its run is written out.
    kv::RunJournal holder(journalDir());
    kv::JournalContents j;
    std::string error;
    if (!holder.adopt(path, &j) && !kv::readJournal(path, j, &error)) {
        // The reader's own texts name the journal when the file itself failed.
        const std::string why = error.empty() ? holder.error() : error;
        if (why.rfind(path, 0) == 0) toolMessage("%s", why.c_str());
        else toolMessage("%s: %s", path.c_str(), why.c_str());
        return 1;
    }
    auto m = std::make_unique<kv::Model>();
    kv::restoreJournal(j, *m);
    if (!kv::writeRunFiles(out, *m->doc, m->run, true, &error)) {
        toolMessage("cannot write the run: %s", error.c_str());
        return 1;
    }
    holder.finish();
    toolMessage("wrote %d sample(s) from %s to %s", m->run.n, path.c_str(), out);
    return 0;
}
