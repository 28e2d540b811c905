#include "core/panels/YScale.h"

namespace kv {

int32_t yOffsetAt(int position, int32_t fallback) {
    return position >= 0 && position < kYOffsetCount ? kYOffsets[position] : fallback;
}

int32_t yGainAt(int position, int32_t fallback) {
    return position >= 0 && position < kYGainCount ? kYGains[position] : fallback;
}

void applyYScaleChoice(int offsetChoice, int gainChoice, int32_t& yOffset, int32_t& yGain) {
    yGain = yGainAt(gainChoice, yGain);
    yOffset = yOffsetAt(offsetChoice, yOffset);
}

}  // namespace kv
