#pragma once
// JSON strings as every program writes them: quotes and backslashes escaped,
// control characters and bytes of 0x7F and above as \u00XX, so the output is
// plain ASCII whatever 8-bit text a file or the meter holds.
#include <cstdio>
#include <string>

namespace kv {

inline void appendJsonString(std::string& out, const std::string& s) {
    out += '"';
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

}  // namespace kv
