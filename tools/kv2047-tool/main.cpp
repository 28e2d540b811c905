#include <QtGlobal>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "CommandLine.h"
#include "Commands.h"
#include "Messages.h"
#include "StopSignals.h"
#include "core/io/AtomicFile.h"

namespace {

// One row per command; its options are its own file's business.
struct Command {
    const char* name;
    int (*run)(const QStringList& args);
    const char* help;
};
const Command kCommands[] = {
    {"decode", cmdDecode, "decode hex serial reads (a capture), one JSON object per read"},
    {"info", cmdInfo, "describe a data file as JSON"},
    {"export", cmdExport, "a data file as its text table, CSV or JSON"},
    {"stats", cmdStats, "statistics of a data file's run or of a span of it"},
    {"report", cmdReport, "a data file's test report as a PDF"},
    {"record", cmdRecord, "record a run from the meter without a display"},
    {"recover", cmdRecover, "write out a recording that was interrupted"},
    {"monitor", cmdMonitor, "the meter's readings as one line per frame, for other tools"},
};

std::string commandTable() {
    std::string s = "\nCommands:\n";
    for (const auto& c : kCommands) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-9s %s\n", c.name, c.help);
        s += line;
    }
    return s + "\n`kv2047-tool COMMAND --help` describes a command and its options.\n"
               "Exit status: 0 success, 1 I/O error, 2 bad arguments or refused input.\n";
}

// Qt's own notes about its surroundings ("XDG_RUNTIME_DIR not set", a font
// substituted) are not the tool's to print: they would land in the output of
// scripts and cron jobs. Every command checks what it needs and says in its
// own words what failed; only Qt's reports of real failures still pass.
void qtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) toolMessage("%s", qPrintable(text));
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(qtMessages);
    // A file-size limit is a write that fails and is reported, never a kill.
    kv::ignoreFileSizeSignal();
    prepareStandardStreams();
    // The command is the first argument; from here on every message names it.
    if (argc > 1)
        for (const auto& c : kCommands)
            if (std::strcmp(argv[1], c.name) == 0) setMessageCommand(c.name);
    QStringList args;
    if (const int bad = readArguments(argc, argv, &args); bad >= 0) {
        toolMessage("argument %d is not valid UTF-8; rename the file", bad);
        return 2;
    }

    const std::string table = commandTable();
    CommandLine cli("kv2047-tool", "COMMAND [ARGS]",
                    "The headless companion of the KV2047 meter: decodes captures, describes,\n"
                    "exports and reports data files, records runs and streams live readings.\n"
                    "Needs no display.",
                    table.c_str());
    const QCommandLineOption version = cli.add({"v", "version"}, "Show the version and exit.");
    cli.addArgument("command", "What to do (see the commands below).", "COMMAND [ARGS]");
    // Everything after the command's name is the command's to read.
    cli.parser().setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (const int status = cli.parse(args, 0, 1 << 30); status >= 0) return status;
    if (cli.isSet(version)) {
        std::printf("kv2047-tool %s\n", KV2047_VERSION);
        return cli.flushOutput();
    }
    if (cli.arguments() == 0) return cli.refuse("no command given");

    const QStringList rest = cli.parser().positionalArguments();
    for (const auto& c : kCommands)
        if (rest.front() == QLatin1String(c.name)) return c.run(rest);
    return cli.refuse("unknown command '" + cli.argument(0) + "'");
}
