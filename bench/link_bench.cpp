// Cost of one meter frame on its way in: the check, the decode with its K/IR
// corrections and display texts, the store write and the reading-set update
// (maxima, minima, alarms), as the serial event does it during a run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/Model.h"
#include "core/link/FrameBuilder.h"
#include "core/link/FrameDecoder.h"
#include "core/link/LinkEngine.h"
#include "core/panels/ReadingSet.h"

namespace {

// A port that is never written to on the frame's road.
class NullPort : public kv::PortIO {
public:
    bool isOpen() const override { return true; }
    void openPort(int) override {}
    void closePort() override {}
    void write(const uint8_t*, std::size_t) override {}
    void discardInput() override {}
};

// 256 frames of a room being measured: readings that wander, the IR probe
// now and then idle, the odd over-range and missing K/IR, both units.
const std::vector<kv::FrameBytes>& frames() {
    static const std::vector<kv::FrameBytes> all = [] {
        std::vector<kv::FrameBytes> out;
        for (int i = 0; i < 256; ++i) {
            kv::FrameFields f;
            const float t = static_cast<float>(i);
            f.air = 22.0f + 6.0f * std::sin(t / 30.0f);
            f.wb = f.air - 5.0f;
            f.dp = f.air - 9.0f;
            f.rh = 55.0f + 15.0f * std::sin(t / 45.0f);
            f.kir = 30.0f + 20.0f * std::sin(t / 20.0f);
            f.flagsA = kv::flagA::kBatteryNormal | kv::flagA::kPcLink;
            if (i % 64 == 7) f.kir = kv::kFrameNoKir;
            if (i % 64 == 9) f.rangeCode = kv::kRangeCodeOver;
            if (i % 16 >= 12) f.flagsB |= kv::flagB::kIrIdle;
            if (i >= 128) f.flagsB |= kv::flagB::kFahrenheit;
            const bool fahrenheit = f.flagsB & kv::flagB::kFahrenheit;
            auto shown = [fahrenheit](float c) { return fahrenheit ? c * 1.8f + 32.0f : c; };
            f.display1 = shown(f.air);
            f.display2 = f.rh;
            f.display3 = shown(f.kir);
            out.push_back(kv::buildFrame(f));
        }
        return out;
    }();
    return all;
}

// The whole serial event of an accepted frame during a run.
void BM_FrameEvent(benchmark::State& state) {
    auto m = std::make_unique<kv::Model>();
    NullPort port;
    kv::applyRunSettings(*m, 1, 10000);
    const auto& fs = frames();
    std::size_t i = 0;
    // The first frame starts the run; keep n mid-run from then on.
    kv::serialEvent(*m, port, kv::kEventReceive, fs[0].data(), fs[0].size(), 1'700'000'000);
    m->run.n = 5000;
    for (auto _ : state) {
        const kv::FrameBytes& f = fs[i++ & 255];
        benchmark::DoNotOptimize(kv::serialEvent(*m, port, kv::kEventReceive, f.data(), f.size(), 1'700'000'000));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameEvent)->Unit(benchmark::kNanosecond);

// The decode alone: check, quantities, K/IR corrections, display texts.
void BM_DecodeFrame(benchmark::State& state) {
    kv::DecoderMemory mem;
    kv::MeterDisplay meter;
    const auto& fs = frames();
    std::size_t i = 0;
    for (auto _ : state) {
        const kv::FrameBytes& f = fs[i++ & 255];
        if (kv::frameAccepted(f.data(), f.size())) benchmark::DoNotOptimize(kv::decodeFrame(f.data(), mem, meter));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeFrame)->Unit(benchmark::kNanosecond);

// The reading-set update alone, over the decoded quantities of the same frames.
void BM_ReadingSetUpdate(benchmark::State& state) {
    std::vector<kv::DecodedFrame> decoded;
    {
        kv::DecoderMemory mem;
        kv::MeterDisplay meter;
        for (const auto& f : frames()) decoded.push_back(kv::decodeFrame(f.data(), mem, meter));
    }
    kv::ReadingSet rs;
    uint8_t high[5] = {}, low[5] = {};
    const std::string units[2] = {"C", "F"};
    std::size_t i = 0;
    for (auto _ : state) {
        const kv::DecodedFrame& d = decoded[i++ & 255];
        benchmark::DoNotOptimize(kv::updateReadingSet(rs, d.q, d.unitFlag, units[d.unitFlag], high, low));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadingSetUpdate)->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
