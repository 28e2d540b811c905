#pragma once
// The Y scale choices: the offset and gain lists of the Y scale dialog, used
// by their position, and how a confirmed choice changes a graph's pair.
#include <cstdint>

namespace kv {

inline constexpr int kYOffsetCount = 5;
inline constexpr int kYGainCount = 9;
// Offset of the bottom grid line in divisions, by list position.
inline constexpr int32_t kYOffsets[kYOffsetCount] = {0, 2, 5, -2, -5};
// Value units per grid division, by list position.
inline constexpr int32_t kYGains[kYGainCount] = {1, 2, 5, 10, 20, 50, 100, 200, 500};
// The list entries as the dialog shows them.
inline constexpr const char* kYOffsetTexts[kYOffsetCount] = {"0", "2", "5", "-2", "-5"};
inline constexpr const char* kYGainTexts[kYGainCount] = {"1", "2", "5", "10", "20", "50", "100", "200", "500"};

// Value at a list position; `fallback` when the position is not in the list
// (-1 is "nothing chosen").
int32_t yOffsetAt(int position, int32_t fallback);
int32_t yGainAt(int position, int32_t fallback);

// Applies an OK'd dialog: each value changes only when its list had a choice.
void applyYScaleChoice(int offsetChoice, int gainChoice, int32_t& yOffset, int32_t& yGain);

}  // namespace kv
