// The file writer's rules that hold on every system: a failure's bookkeeping,
// a pair committed in order, and one file replaced in one call. The system
// calls are in AtomicFilePosix.cpp and AtomicFileWin.cpp.
#include "core/io/AtomicFile.h"

#include <cstring>

namespace kv {

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {}

bool AtomicFile::fail(const std::string& why) {
    reason_ = why;
    discard();
    state_ = State::Failed;
    return false;
}

bool AtomicFile::failErrno(int err) { return fail(std::strerror(err)); }

bool commitPair(AtomicFile& first, AtomicFile& second) {
    const bool complete = first.finish() && second.finish();
    if (!complete || !first.placeForPair()) {
        first.discard();
        second.discard();
        return false;
    }
    if (!second.placeForPair()) {
        // Rare (both names were checked and the data is on the disk): a file
        // system turned read-only, an I/O error. Put the first one back when
        // the names can be exchanged; else it stays replaced, and says so.
        if (first.undoPlace()) first.discard();
        else first.dropOlder();
        second.discard();
        return false;
    }
    first.dropOlder();
    second.dropOlder();
    return true;
}

bool replaceFile(const std::string& path, std::string_view bytes, std::string* error) {
    AtomicFile f(path);
    if (f.open() && f.write(bytes) && f.commit()) return true;
    if (error) *error = f.error();
    return false;
}

}  // namespace kv
