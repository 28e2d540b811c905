#pragma once
// Helpers shared by the record and logger tests: scratch folders, file bytes,
// and runs built from a few rows of values.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

#include "core/record/DataFile.h"

namespace kvtest {

struct ScratchDir {
    std::filesystem::path path;
    ScratchDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kv2047-record-XXXXXX").string();
        if (mkdtemp(tmpl.data()) == nullptr) std::abort();
        path = tmpl;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct Row { float air, wb, dp, kir, rh; };

// A record with the given rows, started 27 July 2007 07:40:35 local time.
inline std::unique_ptr<kv::RunRecord> makeRecord(std::initializer_list<Row> rows, int interval = 5,
                                                 uint8_t unitFlag = 0) {
    auto rec = kv::makeRunRecord();
    kv::LoggedRun& r = rec->run;
    int i = 0;
    for (const Row& row : rows) {
        const float v[5] = {row.air, row.wb, row.dp, row.kir, row.rh};
        for (int q = 0; q < 5; ++q) r.samples[i * 5 + q] = v[q];
        ++i;
    }
    r.count = i;
    r.interval = interval;
    r.unitFlag = unitFlag;
    r.unitText = unitFlag == 1 ? "F" : "C";
    r.year = 2007; r.month = 7; r.day = 27; r.hour = 7; r.minute = 40; r.second = 35;
    rec->yGain = 10;
    rec->yOffset = 0;
    return rec;
}

// A record of `n` samples whose values follow simple ramps.
inline std::unique_ptr<kv::RunRecord> makeRamp(int n, int interval = 1) {
    auto rec = makeRecord({}, interval);
    rec->run.count = n;
    for (int i = 0; i < n; ++i)
        for (int q = 0; q < 5; ++q) rec->run.samples[i * 5 + q] = static_cast<float>(q * 10 + (i % 97) * 0.25);
    return rec;
}

}  // namespace kvtest
