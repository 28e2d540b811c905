#pragma once
// All state of the program that is not a window: the samples, the run state,
// the link flags, the meter display texts, the reading set and the decoder's
// memory. The meter session owns one and signals every change that something
// shows; the windows only read it and ask the session for changes.
#include <memory>

#include "core/link/FrameDecoder.h"
#include "core/link/LinkState.h"
#include "core/link/MeterDisplay.h"
#include "core/panels/ReadingSet.h"
#include "core/record/RunState.h"
#include "core/record/SampleStore.h"

namespace kv {

struct Model {
    std::unique_ptr<SampleStore> doc = std::make_unique<SampleStore>();
    RunState run;
    LinkState link;
    MeterDisplay meter;
    BarTexts bar;
    ReadingSet readings;
    DecoderMemory decoder;
};

}  // namespace kv
