#include <cstdio>

#include "Commands.h"

int cmdDecode(int, char**) {
    std::fprintf(stderr, "kv2047-tool decode: not available yet\n");
    return 2;
}
