#include "core/record/StatsText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/record/Json.h"
#include "core/record/LocalTime.h"

namespace kv {

namespace {

// The shortest text that reads back as the same float. The statistics are of
// float readings, so further digits would only show rounding; a value beyond
// the float range (a huge reading in °F) keeps the shortest double text.
std::string statNumber(double x) {
    if (!std::isfinite(x)) return "null";
    char buf[64];
    const auto r = std::fabs(x) <= std::numeric_limits<float>::max()
                       ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(x))
                       : std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, r.ptr);
}

constexpr const char* kStatsKeys[kQuantities] = {"air", "wb", "dp", "kir", "rh"};

}  // namespace

std::string statsJson(const RunStats& st, const SampleClock& clock, const std::string& unitText) {
    std::string out = "{\"samples\": " + std::to_string(st.samples) + ", \"unit\": ";
    appendJsonString(out, unitText);
    out += ", \"from\": " + std::to_string(st.first + 1) + ", \"to\": " + std::to_string(st.last + 1);
    auto extreme = [&](const char* key, const std::optional<Extreme>& e) {
        out += ", \"";
        out += key;
        out += "\": " + (e ? statNumber(e->value) : "null");
        out += ", \"";
        out += key;
        out += "_time\": " + (e ? "\"" + isoLocal(clock.at(e->index)) + "\"" : "null");
    };
    for (int q = 0; q < kQuantities; ++q) {
        const QuantityStats& s = st.q[q];
        out += ", \"";
        out += kStatsKeys[q];
        out += "\": {\"valid\": " + std::to_string(s.valid);
        extreme("min", s.min);
        extreme("max", s.max);
        out += ", \"mean\": " + (s.mean ? statNumber(*s.mean) : "null");
        out += ", \"sd\": " + (s.sd ? statNumber(*s.sd) : "null");
        out += "}";
    }
    out += "}";
    return out;
}

std::string statsText(const RunStats& st, const SampleClock& clock, const std::string& unitText) {
    std::string out;
    if (st.last < st.first)
        out = "No samples (the run has " + std::to_string(st.samples) + ")\n";
    else
        out = "Samples " + std::to_string(st.first + 1) + "-" + std::to_string(st.last + 1) + " of " +
              std::to_string(st.samples) + "; temperatures in " + unitText + ", RH in %RH\n";
    constexpr const char* kRow = "%-6s%7s%9s%14s  %-25s%14s  %-25s%14s%14s\n";
    auto line = [&](const std::string (&f)[9]) {
        const int len = std::snprintf(nullptr, 0, kRow, f[0].c_str(), f[1].c_str(), f[2].c_str(), f[3].c_str(),
                                      f[4].c_str(), f[5].c_str(), f[6].c_str(), f[7].c_str(), f[8].c_str());
        std::string row(static_cast<std::size_t>(len) + 1, '\0');
        std::snprintf(row.data(), row.size(), kRow, f[0].c_str(), f[1].c_str(), f[2].c_str(), f[3].c_str(),
                      f[4].c_str(), f[5].c_str(), f[6].c_str(), f[7].c_str(), f[8].c_str());
        row.pop_back();
        out += row;
    };
    line({"", "valid", "missing", "min", "min at", "max", "max at", "mean", "sd"});
    auto num = [](const std::optional<double>& v) { return v ? statNumber(*v) : std::string("-"); };
    auto value = [](const std::optional<Extreme>& e) { return e ? statNumber(e->value) : std::string("-"); };
    auto time = [&](const std::optional<Extreme>& e) { return e ? isoLocal(clock.at(e->index)) : std::string("-"); };
    for (int q = 0; q < kQuantities; ++q) {
        const QuantityStats& s = st.q[q];
        line({kQuantityNames[q], std::to_string(s.valid), std::to_string(s.missing), value(s.min), time(s.min),
              value(s.max), time(s.max), num(s.mean), num(s.sd)});
    }
    return out;
}

}  // namespace kv
