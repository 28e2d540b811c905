#pragma once
// The tool's dealings with its process's surroundings, one file per platform.
// On Linux (StopSignals.cpp) SIGINT and SIGTERM become events of the Qt event
// loop, for the commands that run one (record, monitor): the handler only
// writes a byte to a pipe, and the loop calls back when the pipe has something
// to read. On Windows (StopSignalsWin.cpp) Ctrl+C, Ctrl+Break and the console
// window closing do the same through a console control handler.
#include <QStringList>
#include <functional>

// Calls `stop` from the event loop after each SIGINT or SIGTERM (Ctrl+C, or
// the console closing, on Windows). Needs the QCoreApplication; false (errno
// set) when the pipe cannot be made.
bool onStopSignals(std::function<void()> stop);

// The standard streams as the tool needs them. On Linux a standard stream the
// caller closed would be taken by the next file opened (a data file, the
// journal, the serial port) and written into: its place is held by /dev/null
// opened the other way, so using it still fails. On Windows they are put in
// binary mode, so that an export or a record's output is the same bytes as on
// Linux (no CR added before each LF).
void prepareStandardStreams();

// A reader that goes away is seen as a failed write (EPIPE), not as a signal.
void ignoreBrokenPipe();

// The program's arguments as text: on Linux from argv, on Windows from the wide
// command line (argv holds only what the ANSI code page can). Returns the index
// of an argument that is not text (a file name in another encoding would come
// back changed and name another file), or -1.
int readArguments(int argc, char** argv, QStringList* args);
