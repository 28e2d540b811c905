#include "core/record/RunFiles.h"

#include "core/Model.h"
#include "core/io/AtomicFile.h"
#include "core/record/DataFile.h"
#include "core/record/TextTable.h"

namespace kv {

bool writeRunFiles(const std::string& path, const SampleStore& doc, const RunState& run, bool withText,
                   RunFilesFailure* failure) {
    auto rec = makeRunRecord();
    snapshotLiveRun(doc, run, *rec);
    auto fail = [failure](const AtomicFile& f) {
        if (failure) *failure = {f.path(), f.reason(), {}};
        return false;
    };
    AtomicFile data(path);
    if (!data.open() || !data.write(encodeDataFile(*rec))) return fail(data);
    if (!withText) return data.commit() || fail(data);
    AtomicFile text(textFilePathFor(path));
    if (text.open() && text.write(exportText(rec->run)) && commitPair(text, data)) return true;
    fail(data.failed() ? data : text);
    if (failure && text.committed()) failure->replacedText = text.path();
    return false;
}

bool writeRunFiles(const std::string& path, const SampleStore& doc, const RunState& run, bool withText,
                   std::string* error) {
    RunFilesFailure f;
    if (writeRunFiles(path, doc, run, withText, &f)) return true;
    if (error) {
        *error = f.path + ": " + f.reason;
        if (!f.replacedText.empty()) *error += " (the text table " + f.replacedText + " was replaced; the data file was not)";
    }
    return false;
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
