#pragma once
// The synthetic logged run the benchmarks measure: wandering readings over a
// 5-second interval from 27 July 2007 07:40:35, with short gaps in K/IR.
#include <cmath>

#include "core/record/SampleStore.h"

inline void fillBenchRun(kv::LoggedRun& r, int n) {
    r.count = n;
    r.interval = 5;
    r.year = 2007; r.month = 7; r.day = 27; r.hour = 7; r.minute = 40; r.second = 35;
    r.unitText = "C";
    for (int i = 0; i < n; ++i) {
        const float t = static_cast<float>(i) * 0.01f;
        r.samples[i * 5 + 0] = 22.0f + 5.0f * std::sin(t);
        r.samples[i * 5 + 1] = 15.0f + 3.0f * std::sin(t * 1.3f);
        r.samples[i * 5 + 2] = 10.0f + 2.0f * std::cos(t);
        r.samples[i * 5 + 3] = (i % 97 < 10) ? kv::kNoKir : 30.0f + 8.0f * std::sin(t * 0.7f);
        r.samples[i * 5 + 4] = 55.0f + 10.0f * std::cos(t * 0.5f);
    }
}
