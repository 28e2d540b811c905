#pragma once
// The text table written beside every saved data file.
#include <ctime>
#include <string>

#include "core/record/DataFile.h"

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

// Calendar time of sample i: the start plus i * interval seconds. The start is
// the live run's own instant, or the stored local fields resolved by the one
// rule (the earlier reading of the hour repeated when the clocks go back).
std::time_t sampleTime(const LoggedRun& run, int i);

}  // namespace kv
