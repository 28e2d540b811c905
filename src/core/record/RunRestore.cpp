#include "core/record/RunRestore.h"

#include <algorithm>
#include <string>

#include "core/Model.h"
#include "core/config/Settings.h"
#include "core/link/LinkEngine.h"

namespace kv {

void restoreJournal(const JournalContents& j, Model& m) {
    const int n = std::clamp(j.count, 0, kMaxSamples - 1);
    for (int i = 0; i < n; ++i)
        for (int q = 0; q < kQuantities; ++q) m.doc->live[q][i] = j.samples[static_cast<std::size_t>(i) * 5 + q];
    m.run.n = n;
    m.run.runStartTime = static_cast<std::time_t>(j.header.startTime);
    m.run.intervalMs = j.header.intervalMs;
    m.run.countTarget = j.header.countTarget;
    m.run.unitFlag = j.unitFlag ? 1 : 0;
    m.run.unitText.assign(1, m.run.unitFlag ? 'F' : 'C');
    // Only a scale the graph can draw with.
    if (isAllowedGain(j.yGain) && isAllowedOffset(j.yOffset)) {
        m.run.yGain = j.yGain;
        m.run.yOffset = j.yOffset;
    }
    m.run.newSample = 0;
    m.link.startPending = 0;
    m.link.runInProgress = 0;
    m.link.stopped = 1;
    m.link.hasRunData = 1;
    m.run.stopEnable = 0;
    m.bar.startTime = formatLocalTime(m.run.runStartTime, "%d/%m/%y %H:%M:%S");
    m.bar.dataNo = std::to_string(n);
    m.bar.sampleRate = std::to_string(j.header.intervalMs / 1000);
    m.bar.sampleCount = std::to_string(j.header.countTarget);
}

}  // namespace kv
