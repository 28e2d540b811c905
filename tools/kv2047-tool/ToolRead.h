#pragma once
// Reading a data file for the info and export commands.
#include <string>

#include "Messages.h"
#include "core/record/DataFile.h"

// Reads `path` into `rec`. Returns 0 (saying on standard error which reading
// of an ambiguous start was taken), or the exit status after printing the
// reader's message on standard error: 1 when the file cannot be read at all,
// 2 when its content is refused.
inline int readForTool(const char* path, kv::RunRecord& rec) {
    const kv::ReadResult r = kv::readDataFile(path, rec);
    if (r.ok()) {
        if (const std::string note = kv::startNote(rec.run); !note.empty()) toolMessage("%s: %s", path, note.c_str());
        return 0;
    }
    toolMessage("%s: %s", path, r.message.c_str());
    return r.error == kv::ReadError::Io ? 1 : 2;
}
