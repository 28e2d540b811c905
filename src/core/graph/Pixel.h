#pragma once
// The one truncation of a drawing position to a whole pixel.

namespace kv {

// Truncation toward zero of a pixel position that may lie far outside any
// window (a missing K/IR reading maps tens of thousands of pixels below the
// plot) or be NaN after a degenerate scale; kept within a range that integer
// line arithmetic handles without overflow.
inline int pixelTrunc(double v) {
    constexpr double kLimit = 1 << 28;
    if (!(v == v)) return -(1 << 28);
    if (v > kLimit) return 1 << 28;
    if (v < -kLimit) return -(1 << 28);
    return static_cast<int>(v);
}

}  // namespace kv
