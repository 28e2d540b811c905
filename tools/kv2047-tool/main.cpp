#include <cstdio>
#include <cstring>

#include "Commands.h"

namespace {
struct Entry { const char* name; int (*fn)(int, char**); const char* help; };
const Entry kCommands[] = {
    {"decode", cmdDecode, "decode [FILE]            decode hex serial reads, one JSON object per read"},
    {"info", cmdInfo, "info FILE                describe a data file as JSON"},
    {"export", cmdExport, "export FILE [--format txt|csv|json] [-o OUT]"},
    {"report", cmdReport, "report FILE -o OUT.pdf [--show AIR,WB,DP,K/IR,RH]"},
    {"record", cmdRecord, "record --port DEVICE --rate SECONDS --count N -o FILE.AsmDat [--capture FILE]"},
    {"recover", cmdRecover, "recover -o FILE.AsmDat [--journal FILE.kvj]"},
};

void usage(std::FILE* out) {
    std::fprintf(out, "usage: kv2047-tool COMMAND [ARGS]\n\ncommands:\n");
    for (const auto& e : kCommands) std::fprintf(out, "  %s\n", e.help);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) { usage(stderr); return 2; }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) { usage(stdout); return 0; }
    for (const auto& e : kCommands)
        if (!std::strcmp(argv[1], e.name)) return e.fn(argc - 2, argv + 2);
    std::fprintf(stderr, "kv2047-tool: unknown command '%s'\n", argv[1]);
    usage(stderr);
    return 2;
}
