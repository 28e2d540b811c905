#pragma once
// Values as kv2047-tool prints them: readings as the shortest text that reads
// back as the same 32-bit float, and texts as JSON strings.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

// The five quantities' keys, in the frame's order (AIR, WB, DP, K/IR, RH).
inline constexpr const char* kQuantityKeys[5] = {"air", "wb", "dp", "kir", "rh"};

// Appends the shortest text that reads back as `v`; nothing for NaN or
// infinity, which a damaged frame may carry: returns false then.
inline bool appendShortest(std::string& s, float v) {
    if (!std::isfinite(v)) return false;
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    s.append(buf, r.ptr);
    return true;
}

// JSON has no NaN or infinity: they are null.
inline void appendJsonFloat(std::string& s, float v) {
    if (!appendShortest(s, v)) s += "null";
}

inline void appendJsonString(std::string& s, const std::string& v) {
    s += '"';
    for (unsigned char c : v) {
        if (c == '"' || c == '\\') {
            s += '\\';
            s += char(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            s += buf;
        } else {
            s += char(c);
        }
    }
    s += '"';
}
