// Data file and text table of the largest run: encoding, decoding, the file
// round trip through the disk, and the text export of 10000 rows; and the
// start-up reads of a configuration file grown to 50 MB.
#include <benchmark/benchmark.h>

#include "BenchRun.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/config/ProfileFile.h"
#include "core/config/Settings.h"
#include "core/io/AtomicFile.h"
#include "core/record/DataFile.h"
#include "core/record/RunStats.h"
#include "core/record/TextTable.h"

namespace {

std::unique_ptr<kv::RunRecord> bigRun(int n) {
    auto rec = kv::makeRunRecord();
    kv::LoggedRun& r = rec->run;
    fillBenchRun(r, n);
    return rec;
}

std::string scratchPath() {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/kv2047-record-bench.AsmDat";
}

void BM_EncodeDataFile(benchmark::State& state) {
    auto rec = bigRun(kv::kMaxSamples);
    std::string out;
    for (auto _ : state) {
        out.clear();
        kv::encodeDataFile(*rec, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(out.size()));
}
BENCHMARK(BM_EncodeDataFile)->Unit(benchmark::kMicrosecond);

void BM_ParseDataFile(benchmark::State& state) {
    const std::string bytes = kv::encodeDataFile(*bigRun(kv::kMaxSamples));
    auto rec = kv::makeRunRecord();
    for (auto _ : state) {
        const kv::ReadResult r =
            kv::parseDataFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), *rec);
        if (!r.ok()) state.SkipWithError(r.message.c_str());
        benchmark::DoNotOptimize(rec->run.samples.data());
    }
}
BENCHMARK(BM_ParseDataFile)->Unit(benchmark::kMicrosecond);

// Writing as Save does, to a file on disk (without forcing it to the platter).
void BM_WriteDataFileToDisk(benchmark::State& state) {
    auto rec = bigRun(kv::kMaxSamples);
    const std::string path = scratchPath();
    std::string out;
    for (auto _ : state) {
        out.clear();
        kv::encodeDataFile(*rec, out);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size()) state.SkipWithError("write failed");
        if (f) std::fclose(f);
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_WriteDataFileToDisk)->Unit(benchmark::kMicrosecond);

// Writing a new file, as a first Save to a fresh name does; the file from the
// previous iteration is removed outside the timing.
void BM_WriteNewDataFile(benchmark::State& state) {
    auto rec = bigRun(kv::kMaxSamples);
    const std::string path = scratchPath();
    std::string out;
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(path.c_str());
        state.ResumeTiming();
        out.clear();
        kv::encodeDataFile(*rec, out);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size()) state.SkipWithError("write failed");
        if (f) std::fclose(f);
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_WriteNewDataFile)->Unit(benchmark::kMicrosecond);

// Replacing an older file the way Save does: a temporary file renamed over it.
void BM_ReplaceDataFile(benchmark::State& state) {
    auto rec = bigRun(kv::kMaxSamples);
    const std::string path = scratchPath(), tmp = path + ".tmp";
    std::string out;
    for (auto _ : state) {
        out.clear();
        kv::encodeDataFile(*rec, out);
        std::FILE* f = std::fopen(tmp.c_str(), "wb");
        if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size()) state.SkipWithError("write failed");
        if (f) std::fclose(f);
        if (std::rename(tmp.c_str(), path.c_str()) != 0) state.SkipWithError("rename failed");
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_ReplaceDataFile)->Unit(benchmark::kMicrosecond);

// The same through the safe writer, as Save, export and the tool write now:
// exclusive temporary, flushed to the disk (fsync), renamed, folder synced.
void BM_ReplaceDataFileSynced(benchmark::State& state) {
    auto rec = bigRun(kv::kMaxSamples);
    const std::string path = scratchPath();
    std::string out, error;
    for (auto _ : state) {
        out.clear();
        kv::encodeDataFile(*rec, out);
        if (!kv::replaceFile(path, out, &error)) state.SkipWithError(error.c_str());
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_ReplaceDataFileSynced)->Unit(benchmark::kMicrosecond);

// What the desktop program reads from its configuration file at start (port,
// scale, 16 devices with their line states, 10 limits) when the file has grown
// to 50 MB: one read of the file, however many settings.
void BM_StartupSettingsOfLargeConfig(benchmark::State& state) {
    const std::string path = scratchPath() + ".ini";
    {
        std::string text = "[COMInfo]\nCOM num=3\n[GainInfo]\nGain=20\n";
        for (int i = 0; text.size() < (50u << 20); ++i) {
            text += "[Section" + std::to_string(i) + "]\n";
            for (int k = 0; k < 20; ++k) text += "key" + std::to_string(k) + "=value " + std::string(40, 'x') + "\n";
        }
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size()) state.SkipWithError("write failed");
        if (f) std::fclose(f);
    }
    for (auto _ : state) {
        const kv::ProfileFile ini(path);
        int sum = kv::readPortNumber(ini) + kv::readYGain(ini) + kv::readYOffset(ini);
        for (int n = 1; n <= 16; ++n) {
            sum += static_cast<int>(kv::readDeviceFor(ini, n).size());
            sum += ini.readInt("COMDevices", "COM" + std::to_string(n) + " DTR", 1);
            sum += ini.readInt("COMDevices", "COM" + std::to_string(n) + " RTS", 1);
        }
        for (int q = 0; q < 5; ++q)
            sum += static_cast<int>(kv::readLimitText(ini, q, true).size() + kv::readLimitText(ini, q, false).size());
        benchmark::DoNotOptimize(sum);
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_StartupSettingsOfLargeConfig)->Unit(benchmark::kMillisecond)->Iterations(5);

// Reading as Download does: open, read, decode into a temporary record.
void BM_ReadDataFileFromDisk(benchmark::State& state) {
    const std::string path = scratchPath();
    const std::string bytes = kv::encodeDataFile(*bigRun(kv::kMaxSamples));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    auto rec = kv::makeRunRecord();
    for (auto _ : state) {
        const kv::ReadResult r = kv::readDataFile(path, *rec);
        if (!r.ok()) state.SkipWithError(r.message.c_str());
        benchmark::DoNotOptimize(rec->run.samples.data());
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_ReadDataFileFromDisk)->Unit(benchmark::kMicrosecond);

void BM_ExportText(benchmark::State& state) {
    auto rec = bigRun(static_cast<int>(state.range(0)));
    std::string out;
    for (auto _ : state) {
        out.clear();
        kv::exportText(rec->run, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel(std::to_string(state.range(0)) + " rows");
}
BENCHMARK(BM_ExportText)->Arg(10000)->Unit(benchmark::kMillisecond);

// Statistics of the largest run in °F, as the logger viewer's window asks for
// them after every zoom or scroll; and of the live series' per-quantity arrays.
void BM_RunStats(benchmark::State& state) {
    auto rec = bigRun(kv::kMaxSamples);
    rec->run.unitFlag = 1;
    for (auto _ : state) {
        const kv::RunStats s = kv::computeRunStats(kv::loggedSamples(rec->run), 0, kv::kMaxSamples - 1, 1);
        benchmark::DoNotOptimize(s);
    }
    state.SetLabel("10010 samples, logged run");
}
BENCHMARK(BM_RunStats)->Unit(benchmark::kMicrosecond);

void BM_RunStatsLive(benchmark::State& state) {
    auto rec = bigRun(kv::kMaxSamples);
    auto store = std::make_unique<kv::SampleStore>();
    for (int i = 0; i < kv::kMaxSamples; ++i)
        for (int q = 0; q < kv::kQuantities; ++q) store->live[q][i] = rec->run.samples[i * kv::kQuantities + q];
    for (auto _ : state) {
        const kv::RunStats s = kv::computeRunStats(kv::liveSamples(*store, kv::kMaxSamples), 0, kv::kMaxSamples - 1, 1);
        benchmark::DoNotOptimize(s);
    }
    state.SetLabel("10010 samples, live series");
}
BENCHMARK(BM_RunStatsLive)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
