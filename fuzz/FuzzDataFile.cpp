// A data file as the logger's Download and kv2047-tool read it: the whole
// image is decoded, a good record goes into the document, and its text table,
// CSV and JSON are made from it.
#include <cstring>
#include <memory>

#include "FuzzInput.h"
#include "core/record/DataFile.h"
#include "core/record/RunStats.h"
#include "core/record/TextTable.h"
#include "core/record/RunExport.h"
#include "core/record/StatsText.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Sample times are local times: pin the zone so runs repeat.
    setenv("TZ", "UTC", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static auto rec = kv::makeRunRecord();
    static auto again = kv::makeRunRecord();
    static auto doc = std::make_unique<kv::SampleStore>();

    *rec = kv::RunRecord{};
    const kv::ReadResult r = kv::parseDataFile(data, size, *rec);
    if (!r.ok()) {
        KVFUZZ_CHECK(!r.message.empty());
        KVFUZZ_CHECK((r.error == kv::ReadError::BadTag) == (r.message == kv::kInvalidFormat));
        return 0;
    }
    const kv::LoggedRun& run = rec->run;
    KVFUZZ_CHECK(run.count >= 0 && run.count <= kv::kMaxSamples);
    KVFUZZ_CHECK(size >= kv::kDataFileFixedBytes - 1 + kv::kBytesPerSample * std::size_t(run.count));

    // What was read writes back to a file that reads the same.
    const std::string bytes = kv::encodeDataFile(*rec);
    *again = kv::RunRecord{};
    KVFUZZ_CHECK(kv::parseDataFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), *again).ok());
    KVFUZZ_CHECK(kv::encodeDataFile(*again) == bytes);
    KVFUZZ_CHECK(again->run.count == run.count && again->run.unitText == run.unitText);

    kv::RunState state;
    kv::applyRecord(*rec, *doc, state);
    KVFUZZ_CHECK(doc->logged.count == run.count && state.loggerYGain == rec->yGain);

    const std::string text = kv::exportText(run);
    KVFUZZ_CHECK(text.compare(0, std::strlen(kv::kTextHeader), kv::kTextHeader) == 0);
    (void)kv::exportCsv(*rec);
    (void)kv::exportJson(*rec);
    (void)kv::infoJson(*rec);

    // Statistics of the whole run and of a span inside it, as the tool prints them.
    (void)kv::checkStart(run);
    const kv::SampleClock clock{kv::sampleTime(run, 0), run.interval};
    const kv::RunStats all = kv::computeRunStats(kv::loggedSamples(run), 0, run.count - 1, run.unitFlag);
    for (const kv::QuantityStats& q : all.q) KVFUZZ_CHECK(q.valid + q.missing == run.count);
    (void)kv::statsJson(all, clock, run.unitText);
    (void)kv::statsText(kv::computeRunStats(kv::loggedSamples(run), run.count / 3, run.count / 2, run.unitFlag), clock,
                        run.unitText);
    return 0;
}
