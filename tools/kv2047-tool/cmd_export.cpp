#include <cstdio>

#include "Commands.h"

int cmdExport(int, char**) {
    std::fprintf(stderr, "kv2047-tool export: not available yet\n");
    return 2;
}
