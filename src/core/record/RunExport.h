#pragma once
// A stored run as JSON or CSV, for the command-line tool.
#include <string>

#include "core/record/DataFile.h"

namespace kv {

// One JSON object describing the file: samples, unit, start, interval, scale.
std::string infoJson(const RunRecord& rec);
// The info object with the samples added as shown values (null for no K/IR).
std::string exportJson(const RunRecord& rec);
// A header row, then one row per sample: number, ISO 8601 time, shown values.
std::string exportCsv(const RunRecord& rec);

}  // namespace kv
