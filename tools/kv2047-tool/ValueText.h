#pragma once
// Values as kv2047-tool prints them: readings as the shortest text that reads
// back as the same 32-bit float, and texts as JSON strings (the core's escaper).
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/record/Json.h"

using kv::appendJsonString;

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
