#include "core/record/RunExport.h"

#include "core/record/Json.h"
#include "core/record/LocalTime.h"
#include "core/record/ShownText.h"
#include "core/record/TextTable.h"

namespace kv {

namespace {

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

}  // namespace

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
