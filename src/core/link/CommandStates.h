#pragma once
// The one rule for the enable and check states of the main window's commands.
#include "core/Model.h"

namespace kv {

struct CommandStates {
    bool save = false, print = false, exportImage = false;   // a sample was committed
    bool open = false;                                       // no logger viewer showing
    bool run = false, stop = false;
    bool undoZoom = false;                                   // the graph is zoomed
    bool com[4] = {}, comChecked[4] = {};
    bool otherCom = false;
    bool operator==(const CommandStates&) const = default;
};

// From the session's model and what only windows know: whether the real-time
// graph is zoomed (browse mode) and whether a logger viewer has been shown.
CommandStates commandStates(const Model& m, bool browsing, bool loggerShown);

}  // namespace kv
