#pragma once
// Run statistics as JSON or as a text table.
#include <string>

#include "core/record/RunStats.h"

namespace kv {

// Statistics of a span as one JSON object: samples, unit, from, to (1-based),
// then air, wb, dp, kir, rh, each with valid, min, min_time, max, max_time,
// mean and sd (null where there is none). Numbers are the shortest text that
// reads back as the same 32-bit float, as the meter's values are.
std::string statsJson(const RunStats& stats, const SampleClock& clock, const std::string& unitText);
// The same as an aligned text table, one row per quantity.
std::string statsText(const RunStats& stats, const SampleClock& clock, const std::string& unitText);

}  // namespace kv
