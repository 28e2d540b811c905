#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "CommandLine.h"
#include "Commands.h"
#include "Messages.h"
#include "ToolRead.h"
#include "core/io/AtomicFile.h"
#include "core/record/DataFile.h"
#include "core/record/TextTable.h"
#include "core/record/RunExport.h"

namespace {

// Through the safe writer: an older OUT stays as it was unless the whole
// output is on the disk.
int writeOut(const std::string& out, const std::string& bytes) {
    std::string error;
    if (kv::replaceFile(out, bytes, &error)) return 0;
    toolMessage("%s", error.c_str());
    return 1;
}

}  // namespace

int cmdExport(const QStringList& args) {
    CommandLine cli("kv2047-tool export", "FILE [--format txt|csv|json] [-o OUT]",
                    "Writes a data file's samples as the text table Save writes beside it (txt),\n"
                    "as CSV, or as JSON, to OUT or standard output.");
    const QCommandLineOption formatOpt = cli.add({"format"}, "txt (default), csv or json.", "FORMAT");
    const QCommandLineOption outOpt = cli.add({"o", "output"}, "Write to OUT instead of standard output.", "OUT");
    cli.addArgument("FILE", "A data file (.AsmDat).", "FILE");
    if (const int status = cli.parse(args, 1, 1); status >= 0) return status;
    const std::string fileArg = cli.argument(0), outArg = cli.value(outOpt);
    const std::string format = cli.isSet(formatOpt) ? cli.value(formatOpt) : "txt";
    if (format != "txt" && format != "csv" && format != "json")
        return cli.refuse("unknown format '" + format + "' (use txt, csv or json)");
    if (cli.isSet(outOpt) && outArg.empty()) return cli.refuse("-o needs a file name");
    if (cli.isSet(outOpt) && CommandLine::sameFile(fileArg, outArg))
        return cli.refuse("the output '" + outArg + "' is the input");
    const char* file = fileArg.c_str();
    const char* out = cli.isSet(outOpt) ? outArg.c_str() : nullptr;

    auto rec = kv::makeRunRecord();
    if (const int status = readForTool(file, *rec)) return status;
    std::string bytes;
    if (format == "txt") bytes = kv::exportText(rec->run);
    else if (format == "csv") bytes = kv::exportCsv(*rec);
    else bytes = kv::exportJson(*rec) + "\n";

    if (out) return writeOut(out, bytes);
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
        toolMessage("cannot write the output: %s", std::strerror(errno));
        return 1;
    }
    return 0;
}
