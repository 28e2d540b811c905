#include "core/record/RunFiles.h"

#include "core/Model.h"
#include "core/io/AtomicFile.h"
#include "core/record/DataFile.h"
#include "core/record/TextTable.h"

namespace kv {

bool writeRunFiles(const std::string& path, const SampleStore& doc, const RunState& run, bool withText,
                   std::string* error) {
    auto rec = makeRunRecord();
    snapshotLiveRun(doc, run, *rec);
    AtomicFile data(path);
    if (!data.open() || !data.write(encodeDataFile(*rec))) {
        if (error) *error = data.error();
        return false;
    }
    if (!withText) {
        if (data.commit()) return true;
        if (error) *error = data.error();
        return false;
    }
    AtomicFile text(textFilePathFor(path));
    const bool ok = text.open() && text.write(exportText(rec->run)) && commitPair(text, data);
    if (!ok && error) {
        *error = data.failed() ? data.error() : text.error();
        if (text.committed())
            *error += " (the text table " + text.path() + " was replaced; the data file was not)";
    }
    return ok;
}

bool checkRunOutputPath(const std::string& path, std::string* error) {
    for (const std::string& p : {path, textFilePathFor(path)}) {
        std::string reason;
        if (!AtomicFile::checkReplaceable(p, &reason)) {
            if (error) *error = p + ": " + reason;
            return false;
        }
    }
    return true;
}

}  // namespace kv
