#pragma once
// All state of the program that is not a window: the document's samples, the
// view's run state, the main frame's link flags, the meter display texts, the
// readings panel's set and the decoder's memory. Classes share these fields
// directly; there is no observer mechanism.
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
