#pragma once
// Bookkeeping of the current run and the view's flags, held by the real-time view.
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
    uint8_t rearmSampleTimer = 0;   // next paint restarts the sample timer
    int32_t yGain = 10;
    int32_t yOffset = 0;
    uint8_t newRun = 0;             // a data file was just read with a good tag
    uint8_t fresh = 0;              // set at each commit, cleared by the graph
    uint8_t offline = 0;            // the meter is silent
    std::string unitText = "C";
    uint8_t unitFlag = 0;           // 1 = Fahrenheit
    int32_t loggerYGain = 10;
    int32_t loggerYOffset = 0;
    uint8_t loggerShown = 0;        // set by every logger paint
    int32_t loggerOpen = 0;         // set by Open, cleared when the viewer closes
    uint8_t dragInProgress = 0;
    int32_t scrollShift = 0;        // s
    int32_t firstVisible = 0;       // fv
    uint8_t traces[5] = {1, 1, 1, 1, 1};
};

}  // namespace kv
