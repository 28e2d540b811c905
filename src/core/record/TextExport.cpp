#include "core/record/TextExport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/record/LocalTime.h"
#include "core/record/Shown.h"

namespace kv {

namespace {

constexpr const char* kRowTime = "%m-%d-%y/%H:%M:%S";

// "%.1f" without the C library's locale and format parsing.
void appendOneDecimal(std::string& out, double v) {
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
    out.append(buf, r.ptr);
}

// The shown text of one value as the text table writes it, unit included.
void appendValueText(std::string& out, const LoggedRun& run, int i, int q) {
    const float v = run.samples[i * kQuantities + q];
    if (q == KIR && isNoKirReading(v)) {
        out += "----";
        out += run.unitText;
        return;
    }
    double s = toShownUnits(v, q, run.unitFlag);
    if (q == KIR) s = cutOneDecimal(s);
    appendOneDecimal(out, s);
    out += (q == RH) ? std::string("%RH") : run.unitText;
}

void appendJsonString(std::string& out, const std::string& s) {
    out += '"';
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            // Bytes of the file are 8-bit characters; keep the output plain ASCII.
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

void appendInfoFields(std::string& out, const RunRecord& rec) {
    const LoggedRun& r = rec.run;
    out += "{\"samples\":" + std::to_string(r.count);
    out += ",\"unit_flag\":" + std::to_string(r.unitFlag);
    out += ",\"unit\":";
    appendJsonString(out, r.unitText);
    // The start as the rows have it: normalised once, with its UTC offset.
    out += ",\"start\":\"" + isoLocal(sampleTime(r, 0)) + "\"";
    out += ",\"interval\":" + std::to_string(r.interval);
    out += ",\"gain\":" + std::to_string(rec.yGain);
    out += ",\"offset\":" + std::to_string(rec.yOffset);
}

// The shown value as a bare number, or empty for a missing K/IR reading and
// for a value that is not a number (JSON and CSV readers know no NaN or inf).
std::string shownNumber(const LoggedRun& run, int i, int q) {
    const float v = run.samples[i * kQuantities + q];
    if ((q == KIR && isNoKirReading(v)) || !std::isfinite(v)) return {};
    double s = toShownUnits(v, q, run.unitFlag);
    if (q == KIR) s = cutOneDecimal(s);
    std::string out;
    appendOneDecimal(out, s);
    return out;
}

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

std::time_t sampleTime(const LoggedRun& run, int i) {
    const LocalFields f{run.year, run.month, run.day, run.hour, run.minute, run.second};
    return makeLocal(f) + static_cast<std::time_t>(i) * run.interval;
}

void exportText(const LoggedRun& run, std::string& out) {
    out += kTextHeader;
    out += "\r\n";
    const int n = std::clamp(run.count, 0, kMaxSamples);
    const std::time_t start = sampleTime(run, 0);
    std::string f[kQuantities];
    char row[1024];
    for (int i = 0; i < n; ++i) {
        for (int q = 0; q < kQuantities; ++q) {
            f[q].clear();
            appendValueText(f[q], run, i, q);
        }
        const std::string num = std::to_string(i + 1);
        const std::string t = formatLocal(start + static_cast<std::time_t>(i) * run.interval, kRowTime);
        const int len = std::snprintf(row, sizeof row, kTextRowPattern, num.c_str(), f[0].c_str(), f[1].c_str(),
                                      f[2].c_str(), f[3].c_str(), f[4].c_str(), t.c_str());
        if (len >= 0 && static_cast<std::size_t>(len) < sizeof row) {
            out.append(row, static_cast<std::size_t>(len));
        } else {
            // Only a very long unit text gets here; build the row at its full length.
            std::string big(static_cast<std::size_t>(len) + 1, '\0');
            std::snprintf(big.data(), big.size(), kTextRowPattern, num.c_str(), f[0].c_str(), f[1].c_str(),
                          f[2].c_str(), f[3].c_str(), f[4].c_str(), t.c_str());
            big.pop_back();
            out += big;
        }
        out += "\r\n";
    }
}

std::string exportText(const LoggedRun& run) {
    std::string out;
    out.reserve(120 + static_cast<std::size_t>(std::max(run.count, 0)) * 150);
    exportText(run, out);
    return out;
}

std::string textFilePathFor(const std::string& dataPath) {
    const std::size_t slash = dataPath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : dataPath.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? dataPath : dataPath.substr(slash + 1);
    static const std::string kExt = ".AsmDat";
    if (name.size() >= kExt.size() && name.compare(name.size() - kExt.size(), kExt.size(), kExt) == 0)
        name.resize(name.size() - kExt.size());
    return folder + name + ".txt";
}

std::string infoJson(const RunRecord& rec) {
    std::string out;
    appendInfoFields(out, rec);
    out += "}";
    return out;
}

std::string exportJson(const RunRecord& rec) {
    const LoggedRun& r = rec.run;
    std::string out;
    appendInfoFields(out, rec);
    out += ",\"data\":[";
    const std::time_t start = sampleTime(r, 0);
    for (int i = 0; i < r.count; ++i) {
        out += i ? ",{" : "{";
        out += "\"no\":" + std::to_string(i + 1);
        out += ",\"time\":\"" + isoLocal(start + static_cast<std::time_t>(i) * r.interval) + "\"";
        for (int q = 0; q < kQuantities; ++q) {
            out += ",\"";
            out += kQuantityNames[q];
            out += "\":";
            const std::string v = shownNumber(r, i, q);
            out += v.empty() ? "null" : v;
        }
        out += "}";
    }
    out += "]}";
    return out;
}

std::string exportCsv(const RunRecord& rec) {
    const LoggedRun& r = rec.run;
    std::string unit;
    for (char c : r.unitText)
        if (c != '"') unit += c;
    std::string out = "no,time";
    for (int q = 0; q < kQuantities; ++q) {
        out += ",\"";
        out += kQuantityNames[q];
        out += " (" + (q == RH ? std::string("%RH") : unit) + ")\"";
    }
    out += "\n";
    const std::time_t start = sampleTime(r, 0);
    for (int i = 0; i < r.count; ++i) {
        out += std::to_string(i + 1);
        out += ',';
        out += isoLocal(start + static_cast<std::time_t>(i) * r.interval);
        for (int q = 0; q < kQuantities; ++q) {
            out += ',';
            out += shownNumber(r, i, q);
        }
        out += '\n';
    }
    return out;
}

}  // namespace kv

namespace kv {

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
