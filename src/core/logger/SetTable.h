#pragma once
// The logger viewer's table of opened runs: up to 100 sets, the newest one
// appended after each good read, the 101st starting the table again.
#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "core/record/SampleStore.h"

namespace kv::logger {

inline constexpr int kMaxSets = 100;

struct LoggerSet {
    int32_t count = 0;
    std::vector<float> samples;   // count x 5, interleaved like the logged run
    std::time_t start = 0;
    int32_t interval = 0;         // seconds
    uint8_t unitFlag = 0;
    std::string unitText;
    int32_t yGain = 10;
    int32_t yOffset = 0;
};

// The four texts of a set's list row: set number, start, interval, samples.
struct ListRow {
    std::string set, time, rate, nums;
};

class SetTable {
public:
    // Appends a logged run with the scale it is drawn with. Returns true
    // when the table was full and started again at row 0 (the list is cleared).
    bool append(const LoggedRun& run, std::time_t start, int32_t yGain, int32_t yOffset);
    void clear() { newest_ = -1; }
    int newest() const { return newest_; }
    bool empty() const { return newest_ < 0; }
    const LoggerSet& at(int row) const { return sets_.at(static_cast<std::size_t>(row)); }
    ListRow listRow(int row) const;

private:
    std::array<LoggerSet, kMaxSets> sets_;
    int newest_ = -1;
};

// The start time of a logged run, with daylight saving decided by the system.
std::time_t loggedStart(const LoggedRun& run);

// The run the viewer shows: its samples, unit and interval, its start time
// and the Y scale it is drawn with.
struct ShownRun {
    LoggedRun run;
    std::time_t start = 0;
    int32_t yGain = 10;
    int32_t yOffset = 0;
};

// Makes a set the shown run, with its own scale.
void showSet(const LoggerSet& set, ShownRun& shown);

}  // namespace kv::logger
