#pragma once
// SIGINT and SIGTERM as events of the Qt event loop, for the commands that run
// one (record, monitor): the handler only writes a byte to a pipe, and the
// loop calls back when the pipe has something to read.
#include <functional>

// Calls `stop` from the event loop after each SIGINT or SIGTERM. Needs the
// QCoreApplication; false (errno set) when the pipe cannot be made.
bool onStopSignals(std::function<void()> stop);
