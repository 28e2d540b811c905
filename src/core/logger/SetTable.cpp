#include "core/logger/SetTable.h"

#include <algorithm>

#include "core/record/LocalTime.h"
#include "core/record/TextTable.h"

namespace kv::logger {

bool SetTable::append(const LoggedRun& run, std::time_t start, int32_t yGain, int32_t yOffset) {
    bool restarted = false;
    if (newest_ < kMaxSets - 1) {
        ++newest_;
    } else {
        newest_ = 0;
        restarted = true;
    }
    LoggerSet& s = sets_[static_cast<std::size_t>(newest_)];
    s.count = std::clamp(run.count, 0, kMaxSamples);
    s.samples.assign(run.samples.begin(), run.samples.begin() + static_cast<std::ptrdiff_t>(s.count) * kQuantities);
    s.start = start;
    s.interval = run.interval;
    s.unitFlag = run.unitFlag;
    s.unitText = run.unitText;
    s.yGain = yGain;
    s.yOffset = yOffset;
    return restarted;
}

ListRow SetTable::listRow(int row) const {
    const LoggerSet& s = at(row);
    return {std::to_string(row + 1), formatLocal(s.start, "%d/%m/%y %H:%M:%S"), std::to_string(s.interval) + "sec",
            std::to_string(s.count)};
}

std::time_t loggedStart(const LoggedRun& run) { return sampleTime(run, 0); }

void showSet(const LoggerSet& set, ShownRun& shown) {
    LoggedRun& r = shown.run;
    r.count = set.count;
    std::copy(set.samples.begin(), set.samples.end(), r.samples.begin());
    r.unitFlag = set.unitFlag;
    r.interval = set.interval;
    r.unitText = set.unitText;
    shown.start = set.start;
    shown.yGain = set.yGain;
    shown.yOffset = set.yOffset;
}

}  // namespace kv::logger
