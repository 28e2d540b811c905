#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "Commands.h"
#include "ToolRead.h"
#include "core/record/DataFile.h"
#include "core/record/TextExport.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: kv2047-tool export FILE [--format txt|csv|json] [-o OUT]\n");
    return 2;
}

// Writes the whole output beside OUT first and renames it over OUT, so a
// failed write leaves an older OUT as it was.
int writeOut(const std::string& out, const std::string& bytes) {
    const std::string tmp = out + ".part";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "kv2047-tool: %s: %s\n", tmp.c_str(), std::strerror(errno));
        return 1;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fflush(f) == 0) && ok;
    ok = (fsync(fileno(f)) == 0) && ok;
    const int err = errno;
    ok = (std::fclose(f) == 0) && ok;
    if (ok && std::rename(tmp.c_str(), out.c_str()) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "kv2047-tool: %s: %s\n", out.c_str(), std::strerror(err ? err : errno));
        std::remove(tmp.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int cmdExport(int argc, char** argv) {
    const char* file = nullptr;
    std::string format = "txt";
    const char* out = nullptr;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--format" && i + 1 < argc) {
            format = argv[++i];
        } else if (a.rfind("--format=", 0) == 0) {
            format = a.substr(9);
        } else if (a == "-o" && i + 1 < argc) {
            out = argv[++i];
        } else if (!a.empty() && a[0] != '-' && !file) {
            file = argv[i];
        } else {
            return usage();
        }
    }
    if (!file || (format != "txt" && format != "csv" && format != "json")) return usage();

    auto rec = kv::makeRunRecord();
    if (const int status = readForTool(file, *rec)) return status;
    std::string bytes;
    if (format == "txt") bytes = kv::exportText(rec->run);
    else if (format == "csv") bytes = kv::exportCsv(*rec);
    else bytes = kv::exportJson(*rec) + "\n";

    if (out) return writeOut(out, bytes);
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "kv2047-tool: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}
