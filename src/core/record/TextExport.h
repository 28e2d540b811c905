#pragma once
// The text table written beside every saved data file, and the other exports
// of a stored run (CSV, JSON) offered by the command-line tool.
#include <ctime>
#include <string>

#include "core/record/DataFile.h"
#include "core/record/RunStats.h"
#include "core/record/SampleStore.h"

namespace kv {

// Header and row pattern of the text table; every space counts.
inline constexpr const char* kTextHeader =
    "      NO             AIR                WB               DP               K/IR               RH              TIME";
inline constexpr const char* kTextRowPattern =
    "  %5s          %9s          %9s        %9s        %9s            %9s         %8s  ";

// The text table of a run: header and one row per sample, lines ending CR LF.
void exportText(const LoggedRun& run, std::string& out);
std::string exportText(const LoggedRun& run);

// The text file's path for a data file: same folder, name without a trailing
// ".AsmDat", then ".txt" (run.AsmDat -> run.txt, run.dat -> run.dat.txt).
std::string textFilePathFor(const std::string& dataPath);

// Local calendar time of sample i: the start fields plus i * interval seconds.
std::time_t sampleTime(const LoggedRun& run, int i);

// One JSON object describing the file: samples, unit, start, interval, scale.
std::string infoJson(const RunRecord& rec);
// The info object with the samples added as shown values (null for no K/IR).
std::string exportJson(const RunRecord& rec);
// A header row, then one row per sample: number, ISO 8601 time, shown values.
std::string exportCsv(const RunRecord& rec);

// Statistics of a span as one JSON object: samples, unit, from, to (1-based),
// then air, wb, dp, kir, rh, each with valid, min, min_time, max, max_time,
// mean and sd (null where there is none). Numbers are the shortest text that
// reads back as the same 32-bit float, as the meter's values are.
std::string statsJson(const RunStats& stats, const SampleClock& clock, const std::string& unitText);
// The same as an aligned text table, one row per quantity.
std::string statsText(const RunStats& stats, const SampleClock& clock, const std::string& unitText);

}  // namespace kv
