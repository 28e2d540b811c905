#pragma once
// Statistics of a run, or of a span of it: per quantity the valid samples, the
// extremes with the first sample at which each occurred, the mean and the
// sample standard deviation. Values are taken as stored and converted to the
// run's shown units (temperatures in °F while the unit flag is 1, RH never);
// nothing is rounded for display first.
#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>

#include "core/record/SampleStore.h"

namespace kv {

// The samples of a run wherever they are stored, read in place: the logged
// run's interleaved samples and the live store's per-quantity arrays both fit.
struct SampleView {
    const float* base = nullptr;
    int count = 0;                       // samples in the run
    std::ptrdiff_t sampleStride = 0;     // floats from sample i to sample i + 1
    std::ptrdiff_t quantityStride = 0;   // floats from quantity q to quantity q + 1
    float at(int i, int q) const { return base[i * sampleStride + q * quantityStride]; }
};
SampleView loggedSamples(const LoggedRun& run);
// The live series' first `count` samples (the committed ones: n).
SampleView liveSamples(const SampleStore& store, int count);

struct Extreme {
    double value = 0;
    int index = 0;   // 0-based sample number within the run
};

struct QuantityStats {
    int valid = 0;
    int missing = 0;                 // no K/IR reading, or not a finite number
    std::optional<Extreme> min, max; // none without a valid sample
    std::optional<double> mean;      // none without a valid sample
    std::optional<double> sd;        // n - 1 in the denominator; none below two samples
};

struct RunStats {
    int samples = 0;            // the whole run
    int first = 0, last = -1;   // the span, 0-based and inclusive; empty when last < first
    std::array<QuantityStats, kQuantities> q{};
};

// Statistics of samples first..last (0-based, inclusive) in the units the run
// shows. The span is limited to the run; a run of 0 samples gives an empty span.
RunStats computeRunStats(const SampleView& samples, int first, int last, uint8_t unitFlag);

// When sample i of a run was taken: the start plus i intervals.
struct SampleClock {
    std::time_t start = 0;
    int64_t interval = 0;   // seconds
    std::time_t at(int i) const { return start + static_cast<std::time_t>(i) * interval; }
};

}  // namespace kv
