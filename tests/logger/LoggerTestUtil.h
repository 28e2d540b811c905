#pragma once
// Runs and plots for the logger tests.
#include <initializer_list>

#include "core/logger/LoggerGeometry.h"
#include "core/record/LocalTime.h"
#include "core/record/SampleStore.h"

namespace kvtest {

// The viewer's plot: client 946 x 598 gives left 306, top 90, right 885, bottom 537.
inline kv::logger::PlotRect viewerPlot() { return kv::logger::plotRect(946, 598); }

// A run of `n` samples, every quantity of sample i at base + i, from 10:00:00.
inline std::unique_ptr<kv::LoggedRun> rampRun(int n, int interval = 60, float base = 20.0f) {
    auto run = std::make_unique<kv::LoggedRun>();
    run->count = n;
    run->interval = interval;
    run->year = 2007; run->month = 7; run->day = 27; run->hour = 10; run->minute = 0; run->second = 0;
    for (int i = 0; i < n; ++i)
        for (int q = 0; q < kv::kQuantities; ++q) run->samples[i * 5 + q] = base + static_cast<float>(i);
    return run;
}

inline std::time_t runStart(const kv::LoggedRun& r) {
    return kv::makeLocal({r.year, r.month, r.day, r.hour, r.minute, r.second});
}

}  // namespace kvtest
