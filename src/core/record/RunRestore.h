#pragma once
// Putting an interrupted run back into the live series.
#include "core/record/JournalFormat.h"

namespace kv {

struct Model;

// Restores a journal into the live series and the run state: n as it was,
// start time, interval, count, unit, Y scale, and the control bar's texts.
// No run is in progress afterwards; the has-run-data flag is set so the next
// Run offers to save it.
void restoreJournal(const JournalContents& j, Model& m);

}  // namespace kv
