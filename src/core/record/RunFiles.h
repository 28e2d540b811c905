#pragma once
// A run's files: the data file and its text table, written as a pair.
#include <string>

#include "core/record/SampleStore.h"

namespace kv {

struct RunState;

// Why a run's files could not be written.
struct RunFilesFailure {
    std::string path;           // the file that failed
    std::string reason;         // e.g. "No space left on device"
    std::string replacedText;   // the text table, when it was replaced and the data file was not
};

// Writes the live run as a data file at `path` and, when `withText`, its text
// table beside it, through the safe writer: both files are complete and on the
// disk before either replaces an older one. Save, the recorder and recovery
// all write a run this way; each front-end words the failure its own way.
bool writeRunFiles(const std::string& path, const SampleStore& doc, const RunState& run, bool withText,
                   RunFilesFailure* failure);
// The same; on failure *error is "<path>: <reason>", and names a text table
// that was replaced alone.
bool writeRunFiles(const std::string& path, const SampleStore& doc, const RunState& run, bool withText,
                   std::string* error);

// Whether a run could be written at `path` (and its text table beside it) now:
// the folder is there and writable, neither name is taken by a folder or a
// device, the text table's name fits. For a recorder to refuse a bad output
// before it records for hours. False with "<path>: <reason>" in *error.
bool checkRunOutputPath(const std::string& path, std::string* error);

}  // namespace kv
