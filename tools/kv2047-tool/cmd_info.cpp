#include <cstdio>
#include <cstring>

#include "Commands.h"
#include "core/record/DataFile.h"
#include "core/record/TextExport.h"
#include "ToolRead.h"

int cmdInfo(int argc, char** argv) {
    if (argc != 1 || argv[0][0] == '-') {
        std::fprintf(stderr, "usage: kv2047-tool info FILE\n");
        return 2;
    }
    auto rec = kv::makeRunRecord();
    if (const int status = readForTool(argv[0], *rec)) return status;
    std::printf("%s\n", kv::infoJson(*rec).c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}
