#include <cstdio>
#include <cstring>

#include "CommandLine.h"
#include "Commands.h"
#include "core/record/DataFile.h"
#include "core/record/RunExport.h"
#include "ToolRead.h"

int cmdInfo(const QStringList& args) {
    CommandLine cli("kv2047-tool info", "FILE",
                    "Describes a data file as one JSON object: samples, unit, start, interval, Y scale.");
    cli.addArgument("FILE", "A data file (.AsmDat).", "FILE");
    if (const int status = cli.parse(args, 1, 1); status >= 0) return status;
    const std::string file = cli.argument(0);
    auto rec = kv::makeRunRecord();
    if (const int status = readForTool(file.c_str(), *rec)) return status;
    std::printf("%s\n", kv::infoJson(*rec).c_str());
    return cli.flushOutput();
}
