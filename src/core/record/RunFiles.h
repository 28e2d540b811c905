#pragma once
// A run's files (data file and text table) written without any window.
#include <string>

#include "core/record/SampleStore.h"

namespace kv {

struct RunState;

// Writes the live run as a data file at `path` and, when `withText`, its text
// table beside it, without any window, through the safe writer: both files are
// complete and on the disk before either replaces an older one. For the
// headless recorder and recovery. On failure *error names the path and why.
bool writeRunFiles(const std::string& path, const SampleStore& doc, const RunState& run, bool withText,
                   std::string* error);

// Whether a run could be written at `path` (and its text table beside it) now:
// the folder is there and writable, neither name is taken by a folder or a
// device, the text table's name fits. For a recorder to refuse a bad output
// before it records for hours. False with "<path>: <reason>" in *error.
bool checkRunOutputPath(const std::string& path, std::string* error);

}  // namespace kv
