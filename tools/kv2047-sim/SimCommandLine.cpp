// The simulator's command line (QCommandLineParser) and the captures it replays.
#include <QCommandLineParser>
#include <QStringList>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "SimMeter.h"
#include "core/link/HexLine.h"
#include "core/link/LineReader.h"

namespace kvsim {

namespace {

const char* const kAbout =
    "A simulated KV2047 meter on a pseudo-terminal. Prints the terminal's path on\n"
    "the first line, then sends a 46-byte frame every period until stopped.";

const char* const kKeys =
    "\n"
    "Keys it answers: UNITS switches C/F, HOLD (upper and lower) freezes the\n"
    "display, MAX/MIN cycles MAX, MIN and off (double-click: off), AVG double-click\n"
    "toggles the backlight, IRT takes one infrared reading, POWEROFF silences it.\n"
    "\n"
    "Exit status: 0 stopped or done, 1 I/O error, 2 bad arguments or a refused capture.\n";

// Replay waits at most this long between two lines of one capture session:
// a longer jump is a mistyped time stamp, not a pause to reproduce.
constexpr double kMaxReplayGapSeconds = 3600.0;

struct Flag {
    const char* name;
    const char* help;
    bool SimOptions::*field;
};
const Flag kFlags[] = {
    {"fahrenheit", "The meter shows degrees Fahrenheit.", &SimOptions::fahrenheit},
    {"typek", "The surface probe is the type-K thermocouple.", &SimOptions::typeK},
    {"no-kir", "No K/IR reading (-1000).", &SimOptions::noKir},
    {"over", "K/IR over range (code 100).", &SimOptions::over},
    {"under", "K/IR under range (code 156).", &SimOptions::under},
    {"ir-idle", "Infrared reading idle after the first frame (IRT refreshes it once).", &SimOptions::irIdle},
    {"low-battery", "Battery low.", &SimOptions::lowBattery},
    {"burst", "Three frames in each write.", &SimOptions::burst},
    {"log-time", "Start each log line with the milliseconds since start.", &SimOptions::logTime},
};

struct Number {
    const char* name;
    const char* valueName;
    const char* help;
    long lo, hi;
    void (*set)(SimOptions&, long);
};
const Number kNumbers[] = {
    {"period", "MS", "Time between frames (default 500).", 1, 3600000,
     [](SimOptions& o, long v) { o.periodMs = int(v); }},
    {"silence-after", "N", "Stop sending after N frames and keep running.", 0, 1L << 30,
     [](SimOptions& o, long v) { o.silenceAfter = v; }},
    {"frames", "N", "Exit after N frames.", 1, 1L << 30, [](SimOptions& o, long v) { o.frames = v; }},
    {"corrupt-every", "N", "Every Nth frame is corrupt.", 1, 1L << 30,
     [](SimOptions& o, long v) { o.corruptEvery = v; }},
    {"seed", "N", "Seed of the readings' noise (default 1).", 0, 0xFFFFFFFFL,
     [](SimOptions& o, long v) { o.seed = uint32_t(v); }},
};

struct FileOption {
    const char* name;
    const char* help;
    std::string SimOptions::*field;
};
const FileOption kFiles[] = {
    {"log", "Append every command received as a hex line to FILE.", &SimOptions::logPath},
    {"replay",
     "Send the reads of a capture (kv2047 --capture, or one hex read per line) again instead of frames, at "
     "their captured pace or every --period MS, then exit.",
     &SimOptions::replayPath},
};

void declare(QCommandLineParser& p) {
    p.setApplicationDescription(QString::fromUtf8(kAbout));
    p.addOption({{"h", "help"}, "Show this help and exit."});
    p.addOption({{"v", "version"}, "Show the version and exit."});
    for (const Number& n : kNumbers) p.addOption({n.name, n.help, n.valueName});
    for (const Flag& f : kFlags) p.addOption({f.name, f.help});
    for (const FileOption& f : kFiles) p.addOption({f.name, f.help, "FILE"});
}

bool parseLong(const QString& text, long lo, long hi, long& v) {
    const QByteArray s = text.toLatin1();
    if (s.isEmpty()) return false;
    char* end = nullptr;
    errno = 0;
    const long x = std::strtol(s.constData(), &end, 10);
    if (errno || *end || x < lo || x > hi) return false;
    v = x;
    return true;
}

bool isComment(std::string_view line) {
    const std::size_t i = line.find_first_not_of(" \t\r\v\f");
    return i != std::string_view::npos && line[i] == '#';
}

}  // namespace

std::string usageText() {
    QCommandLineParser p;
    declare(p);
    // Qt's help text starts with its own usage line.
    const QString text = p.helpText();
    return "usage: kv2047-sim [OPTIONS]\n" + text.mid(text.indexOf('\n') + 1).toStdString() + kKeys;
}

bool parseOptions(int argc, char** argv, SimOptions& opt, bool& help, std::string& error) {
    QStringList args;
    for (int i = 0; i < argc; ++i) {
        args << QString::fromLocal8Bit(argv[i]);
        // Qt holds arguments as text: other bytes would come back changed.
        if (args.back().toLocal8Bit() != argv[i]) {
            error = "argument " + std::to_string(i) + " is not valid UTF-8";
            return false;
        }
    }
    QCommandLineParser p;
    declare(p);
    help = false;
    if (!p.parse(args)) {
        error = p.errorText().toStdString();
        return false;
    }
    if (!p.positionalArguments().isEmpty()) {
        error = "unexpected argument '" + p.positionalArguments().first().toStdString() + "'";
        return false;
    }
    help = p.isSet("help");
    opt.version = p.isSet("version");
    for (const QString& name : p.optionNames())
        if (p.values(name).size() > 1) {
            error = "option '--" + name.toStdString() + "' given more than once";
            return false;
        }
    for (const Number& n : kNumbers) {
        long v = 0;
        if (!p.isSet(n.name)) continue;
        if (!parseLong(p.value(n.name), n.lo, n.hi, v)) {
            error = std::string("--") + n.name + " needs a whole number from " + std::to_string(n.lo) + " to " +
                    std::to_string(n.hi);
            return false;
        }
        n.set(opt, v);
    }
    opt.periodGiven = p.isSet("period");
    for (const Flag& f : kFlags)
        if (p.isSet(f.name)) opt.*f.field = true;
    for (const FileOption& f : kFiles) {
        if (!p.isSet(f.name)) continue;
        if (p.value(f.name).isEmpty()) {
            error = std::string("--") + f.name + " needs a file name";
            return false;
        }
        opt.*f.field = p.value(f.name).toLocal8Bit().toStdString();
    }
    if (opt.over && opt.under) {
        error = "--over and --under exclude each other";
        return false;
    }
    return true;
}

int loadReplay(std::istream& in, const std::string& name, Replay& r, std::string& error) {
    kv::LineReader lines(in);
    std::string_view line;
    std::vector<uint8_t> bytes;
    double lastStamp = -1.0;  // the previous time stamp of this capture session
    double lastRead = -1.0;   // the time stamp of its previous read
    auto refuse = [&](const std::string& why) {
        error = name + ":" + std::to_string(lines.lineNumber()) + ": " + why;
        return 2;
    };
    for (kv::LineReader::Status st; (st = lines.next(line)) != kv::LineReader::Status::End;) {
        if (st == kv::LineReader::Status::TooLong)
            return refuse("line longer than " + std::to_string(kv::kMaxLineLength) + " bytes; not a capture");
        const kv::HexLineResult h = kv::parseHexLine(line, bytes);
        if (h.kind == kv::HexLineKind::Malformed) return refuse("not a capture line");
        // Each capture session starts with a '#' line and its own clock.
        if (h.kind == kv::HexLineKind::Skip && isComment(line)) {
            lastStamp = lastRead = -1.0;
            continue;
        }
        if (h.stamp >= 0) {
            char text[96];
            if (!std::isfinite(h.stamp)) return refuse("time stamp out of range");
            if (lastStamp >= 0 && h.stamp < lastStamp) {
                std::snprintf(text, sizeof text, "time stamp %.3f goes back from %.3f", h.stamp, lastStamp);
                return refuse(text);
            }
            if (lastStamp >= 0 && h.stamp - lastStamp > kMaxReplayGapSeconds) {
                std::snprintf(text, sizeof text, "time stamp %.3f jumps more than an hour from %.3f", h.stamp,
                              lastStamp);
                return refuse(text);
            }
            lastStamp = h.stamp;
        }
        if (h.kind != kv::HexLineKind::Bytes || bytes.empty()) continue;
        r.gapMs.push_back(h.stamp >= 0 && lastRead >= 0 ? long((h.stamp - lastRead) * 1000 + 0.5) : -1);
        if (h.stamp >= 0) lastRead = h.stamp;
        r.reads.push_back(bytes);
    }
    if (in.bad()) {
        error = "cannot read '" + name + "'";
        return 1;
    }
    if (r.reads.empty()) {
        error = "'" + name + "' holds no read to replay";
        return 2;
    }
    return 0;
}

}  // namespace kvsim
