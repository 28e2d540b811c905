#pragma once
// Flags of the meter link, kept by the meter session.
#include <cstdint>

namespace kv {

constexpr int kPortFlags = 20;  // waiting-for-data flags for port numbers 0..19

struct LinkState {
    // run flags
    uint8_t startPending = 0;
    uint8_t runInProgress = 0;
    uint8_t stopped = 1;
    int32_t port = 1;                       // 1..16
    uint8_t comCheck[4] = {0, 0, 0, 0};     // check marks of COM1..COM4
    uint8_t comEnable[4] = {1, 1, 1, 1};
    int32_t hasRunData = 0;                 // a run was started once; never cleared
    uint8_t waiting[kPortFlags] = {};       // no accepted frame since the last watchdog tick
    uint8_t otherComEnable = 1;
    uint8_t alarmHigh[5] = {};
    uint8_t alarmLow[5] = {};
    uint8_t frameAck = 0;                   // a frame was accepted since the last 1 s tick
    bool runConfirmedOnce = false;          // a Run was confirmed since start: save its settings on close
    int32_t lastRate = 1;                   // seconds, of the last confirmed Run
    int32_t lastCount = 1000;               // samples, of the last confirmed Run
};

}  // namespace kv
