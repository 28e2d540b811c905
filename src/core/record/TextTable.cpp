#include "core/record/TextTable.h"

#include <algorithm>
#include <cstdio>

#include "core/record/LocalTime.h"
#include "core/record/ShownText.h"

namespace kv {

namespace {

constexpr const char* kRowTime = "%m-%d-%y/%H:%M:%S";

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

}  // namespace

std::time_t sampleTime(const LoggedRun& run, int i) {
    const std::time_t start = run.startInstant
                                  ? *run.startInstant
                                  : resolveLocal({run.year, run.month, run.day, run.hour, run.minute, run.second}).t;
    return start + static_cast<std::time_t>(i) * run.interval;
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

}  // namespace kv
