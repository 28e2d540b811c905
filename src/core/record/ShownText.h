#pragma once
// A stored value as the exports write it: "%.1f" of the shown value.
#include <charconv>
#include <cmath>
#include <string>

#include "core/record/DataFile.h"
#include "core/record/Shown.h"

namespace kv {

// "%.1f" without the C library's locale and format parsing.
inline void appendOneDecimal(std::string& out, double v) {
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
    out.append(buf, r.ptr);
}

// The shown value as a bare number, or empty for a missing K/IR reading and
// for a value that is not a number (JSON and CSV readers know no NaN or inf).
inline std::string shownNumber(const LoggedRun& run, int i, int q) {
    const float v = run.samples[i * kQuantities + q];
    if ((q == KIR && isNoKirReading(v)) || !std::isfinite(v)) return {};
    double s = toShownUnits(v, q, run.unitFlag);
    if (q == KIR) s = cutOneDecimal(s);
    std::string out;
    appendOneDecimal(out, s);
    return out;
}

}  // namespace kv
