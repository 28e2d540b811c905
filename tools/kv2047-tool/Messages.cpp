#include "Messages.h"

#include <cstdarg>
#include <cstdio>

namespace {

std::string& source() {
    static std::string s = "kv2047-tool";
    return s;
}

}  // namespace

void setMessageCommand(const char* command) { source() = std::string("kv2047-tool ") + command; }

const std::string& messageSource() { return source(); }

void toolMessage(const char* format, ...) {
    // Whatever went to standard output first stays before the message.
    std::fflush(stdout);
    std::fprintf(stderr, "%s: ", source().c_str());
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}
