#include "core/link/LinkEngine.h"

#include <algorithm>

#include "core/link/CommandPacket.h"
#include "core/record/LocalTime.h"

namespace kv {

std::string formatLocalTime(std::time_t t, const char* pattern) { return formatLocal(t, pattern); }

namespace {

bool portFlagIndex(int port) { return port >= 0 && port < kPortFlags; }

void endRun(Model& m) {
    m.link.runInProgress = 0;
    m.link.stopped = 1;
    m.run.stopEnable = 0;
}

}  // namespace

SerialEffects serialEvent(Model& m, PortIO& port, int code, const uint8_t* data, std::size_t len,
                          std::time_t now) {
    SerialEffects fx;
    if (code != kEventReceive) {
        port.discardInput();
        return fx;
    }
    if (frameAccepted(data, len)) {
        fx.accepted = true;
        m.link.frameAck = 1;
        m.run.newSample = 1;
        m.run.offline = 0;
        if (m.link.startPending && m.link.stopped) {
            m.link.startPending = 0;
            m.link.stopped = 0;
            m.run.runStartTime = now;
            m.run.n = 0;
            fx.runStarted = true;
        }
        if (!m.link.runInProgress) m.run.runEnable = 1;
        std::fill(std::begin(m.link.comEnable), std::end(m.link.comEnable), 0);
        m.link.otherComEnable = 0;
        if (portFlagIndex(m.link.port)) m.link.waiting[m.link.port] = 0;

        const DecodedFrame& f = fx.frame = decodeFrame(data, m.decoder, m.meter);
        m.run.unitFlag = f.unitFlag;
        m.run.unitText = f.unitText;
        m.bar.battery = f.battery;
        // The store holds one frame beyond the last committed sample; never write past it.
        const int pos = std::clamp(m.run.n, 0, kMaxSamples - 1);
        for (int q = 0; q < kQuantities; ++q) m.doc->live[q][pos] = f.q[q];
        updateReadingSet(m.readings, f.q, m.run.unitFlag, m.run.unitText, m.link.alarmHigh, m.link.alarmLow);
    }
    // End of run, for every data-received event. An armed run (waiting for its
    // first frame) is not ended by the previous run's count: n still holds it.
    if (m.run.countTarget > 0 && m.run.n >= m.run.countTarget && !m.link.startPending) endRun(m);
    return fx;
}

bool ackTick(Model& m, PortIO& port) {
    if (!m.link.frameAck) return false;
    const uint8_t ack = kAckByte;
    port.write(&ack, 1);
    m.link.frameAck = 0;
    return true;
}

bool watchdogTick(Model& m, PortIO& port, Silence silence) {
    const int p = m.link.port;
    bool silent = false;
    if (portFlagIndex(p) && m.link.waiting[p]) {
        silent = true;
        std::fill(std::begin(m.link.alarmHigh), std::end(m.link.alarmHigh), 0);
        std::fill(std::begin(m.link.alarmLow), std::end(m.link.alarmLow), 0);
        m.run.offline = 1;
        std::fill(std::begin(m.link.comEnable), std::end(m.link.comEnable), 1);
        m.link.otherComEnable = 1;
        m.run.runEnable = 0;
        m.run.stopEnable = 0;
        if (silence == Silence::EndsRun) {
            m.link.runInProgress = 0;
            m.link.stopped = 1;
        }
        if (port.isOpen()) port.closePort();
        port.openPort(p);
    }
    if (portFlagIndex(p)) m.link.waiting[p] = 1;
    return silent;
}

int clampRate(int rate) { return std::clamp(rate, 1, 3600); }
int clampCount(int count) { return std::clamp(count, 1000, 10000); }

void applyRunSettings(Model& m, int rate, int count) {
    if (rate < 1) rate = 1;
    m.run.intervalMs = rate * 1000;
    m.run.countTarget = count;
    m.bar.sampleRate = std::to_string(rate);
    m.bar.sampleCount = std::to_string(count);
    if (m.run.runEnable) {
        m.run.runEnable = 0;
        m.run.stopEnable = 1;
    }
    m.link.startPending = 1;
    m.link.runInProgress = 1;
    m.link.runConfirmedOnce = true;
    m.link.lastRate = rate;
    m.link.lastCount = count;
}

void finishRunCommand(Model& m) {
    if (m.link.runInProgress) m.link.hasRunData = 1;
}

void stopRun(Model& m) {
    m.link.stopped = 1;
    m.link.runInProgress = 0;
    m.run.stopEnable = 0;
}

bool sampleTick(Model& m) {
    // Nothing is committed while the run waits for its first frame: a frame
    // from before Run (the meter may have fallen silent since) is no sample of
    // it, and no start time exists yet.
    const bool waitsForFirstFrame = m.link.startPending && m.link.stopped;
    if (!(m.run.newSample && m.link.runInProgress) || waitsForFirstFrame) return false;
    m.bar.startTime = formatLocalTime(m.run.runStartTime, "%d/%m/%y %H:%M:%S");
    if (m.run.n < kMaxSamples - 1) ++m.run.n;
    m.bar.dataNo = std::to_string(m.run.n);
    m.run.newSample = 0;
    return true;
}

void changePort(Model& m, PortIO& port, int portNumber) {
    if (port.isOpen()) port.closePort();
    m.link.port = portNumber;
    port.openPort(portNumber);
    std::fill(std::begin(m.link.waiting), std::end(m.link.waiting), 0);
    if (portFlagIndex(portNumber)) m.link.waiting[portNumber] = 1;
}

void initLinkAtStartup(Model& m) {
    if (m.link.port < 1 || m.link.port > 16) m.link.port = 1;
    m.link.startPending = 0;
    m.link.runInProgress = 0;
    m.link.stopped = 1;
    std::fill(std::begin(m.link.alarmHigh), std::end(m.link.alarmHigh), 0);
    std::fill(std::begin(m.link.alarmLow), std::end(m.link.alarmLow), 0);
    for (int i = 0; i < 4; ++i) {
        m.link.comCheck[i] = (m.link.port == i + 1) ? 1 : 0;
        m.link.comEnable[i] = 1;
    }
    m.link.otherComEnable = 1;
    m.link.hasRunData = 0;
    std::fill(std::begin(m.link.waiting), std::end(m.link.waiting), 0);
    m.link.waiting[m.link.port] = 1;
    m.link.frameAck = 0;
}

}  // namespace kv
