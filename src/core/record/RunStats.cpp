#include "core/record/RunStats.h"

#include <algorithm>
#include <cmath>

#include "core/record/Shown.h"

namespace kv {

SampleView loggedSamples(const LoggedRun& run) {
    return {run.samples.data(), std::clamp(run.count, 0, kMaxSamples), kQuantities, 1};
}

SampleView liveSamples(const SampleStore& store, int count) {
    return {&store.live[0][0], std::clamp(count, 0, kMaxSamples), 1, kMaxSamples};
}

namespace {

// A stored value the text table shows as a number, and that is a number.
bool counted(float v, int q) { return std::isfinite(v) && !(q == KIR && isNoKirReading(v)); }

// Two passes over values already in memory: the mean first, then the squared
// deviations from it, corrected by the rounding left in the mean (the
// corrected two-pass method). It is as accurate as Welford's one-pass update
// and needs no division per sample. The sums cannot overflow: a float,
// converted to °F and squared, times 10010 stays far below the double range.
QuantityStats quantityStats(const SampleView& s, int q, int first, int last, uint8_t unitFlag) {
    QuantityStats r;
    double sum = 0;
    Extreme lo, hi;
    for (int i = first; i <= last; ++i) {
        const float v = s.at(i, q);
        if (!counted(v, q)) {
            ++r.missing;
            continue;
        }
        const double x = toShownUnits(v, q, unitFlag);
        if (r.valid == 0) {
            lo = hi = {x, i};
        } else if (x < lo.value) {
            lo = {x, i};
        } else if (x > hi.value) {
            hi = {x, i};
        }
        sum += x;
        ++r.valid;
    }
    if (r.valid == 0) return r;
    const double n = r.valid;
    const double mean = sum / n;
    r.min = lo;
    r.max = hi;
    r.mean = mean;
    if (r.valid < 2) return r;
    double dev = 0, dev2 = 0;
    for (int i = first; i <= last; ++i) {
        const float v = s.at(i, q);
        if (!counted(v, q)) continue;
        const double d = toShownUnits(v, q, unitFlag) - mean;
        dev += d;
        dev2 += d * d;
    }
    r.sd = std::sqrt(std::max(0.0, (dev2 - dev * dev / n) / (n - 1)));
    return r;
}

}  // namespace

RunStats computeRunStats(const SampleView& samples, int first, int last, uint8_t unitFlag) {
    RunStats r;
    r.samples = std::max(samples.count, 0);
    r.first = std::max(first, 0);
    r.last = std::min(last, r.samples - 1);
    if (r.last < r.first) return r;
    for (int q = 0; q < kQuantities; ++q) r.q[q] = quantityStats(samples, q, r.first, r.last, unitFlag);
    return r;
}

}  // namespace kv
