#pragma once
// How every reader shows a stored value: temperatures converted while the unit
// flag is 1, RH never; K/IR cut towards zero to one decimal; a K/IR at or below
// the no-reading threshold is never shown as a number.
#include <cmath>
#include <cstdint>

#include "core/record/SampleStore.h"

namespace kv {

inline double toShownUnits(float v, int q, uint8_t unitFlag) {
    return (q != RH && unitFlag == 1) ? static_cast<double>(v) * 1.8 + 32.0 : static_cast<double>(v);
}
// The integer part of v (toward zero), by an integer conversion where it is exact.
inline double integerPart(double v) {
    return (v > -1e15 && v < 1e15) ? static_cast<double>(static_cast<int64_t>(v)) : std::trunc(v);
}
// The integer part of ten times the value, tenfold smaller: -0.05 gives 0.0.
inline double cutOneDecimal(double v) { return integerPart(v * 10.0) * 0.1; }
inline bool isNoKirReading(float v) { return v <= kNoKirThreshold; }

}  // namespace kv
