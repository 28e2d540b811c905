#pragma once
// Bookkeeping of the current run, kept by the meter session. What belongs to
// one window (the graph's scroll position and drag, the logger viewer's own
// flags and scale) is kept by that window.
#include <cstdint>
#include <ctime>
#include <string>

namespace kv {

struct RunState {
    std::time_t runStartTime = 0;   // time of the first accepted frame after Run
    uint8_t newSample = 0;          // a frame was accepted since the last commit
    int32_t n = 0;                  // current sample index: committed samples
    int32_t intervalMs = 0;         // sample interval; 0 until the first Run
    int32_t countTarget = 0;        // samples after which a run ends
    uint8_t runEnable = 0;
    uint8_t stopEnable = 0;
    int32_t yGain = 10;
    int32_t yOffset = 0;
    uint8_t offline = 0;            // the meter is silent
    std::string unitText = "C";
    uint8_t unitFlag = 0;           // 1 = Fahrenheit
    // The scale stored with the run Open read last (the logged run).
    int32_t loggerYGain = 10;
    int32_t loggerYOffset = 0;
    uint8_t traces[5] = {1, 1, 1, 1, 1};
};

}  // namespace kv
