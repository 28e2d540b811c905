#include <cstdio>

#include "Commands.h"

int cmdInfo(int, char**) {
    std::fprintf(stderr, "kv2047-tool info: not available yet\n");
    return 2;
}
