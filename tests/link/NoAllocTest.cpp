// The serial event decodes a frame without touching the heap: it runs for
// every frame for as long as the program runs.
#include <gtest/gtest.h>


#include "core/link/FrameBuilder.h"
#include "core/link/LinkEngine.h"

#include "CountingNew.h"

namespace {

struct NullPort : kv::PortIO {
    bool isOpen() const override { return true; }
    void openPort(int) override {}
    void closePort() override {}
    void write(const uint8_t*, std::size_t) override {}
    void discardInput() override {}
};

TEST(SerialEvent, NoAllocationPerFrame) {
    kv::Model m;
    NullPort port;
    kv::initLinkAtStartup(m);
    // Every kind of frame: readings that change, annunciators, ranges, idle, type-K, no reading.
    std::vector<kv::FrameBytes> frames;
    for (int i = 0; i < 64; ++i) {
        kv::FrameFields f;
        f.air = 20.0f + i * 0.37f;
        f.wb = 15.0f + i * 0.11f;
        f.dp = 10.0f - i * 0.7f;
        f.rh = 40.0f + i * 0.9f;
        f.kir = (i % 9 == 0) ? kv::kFrameNoKir : -50.0f + i * 13.3f;
        f.display1 = -f.air * 10.0f;
        f.display2 = f.rh;
        f.display3 = f.kir;
        f.rangeCode = (i % 7 == 0) ? kv::kRangeCodeOver : (i % 11 == 0) ? kv::kRangeCodeUnder : 0;
        f.flagsA = uint8_t(i * 37);
        f.flagsB = uint8_t(i * 53);
        frames.push_back(kv::buildFrame(f));
    }
    kv::applyRunSettings(m, 1, 1000);
    kv::serialEvent(m, port, kv::kEventReceive, frames[0].data(), frames[0].size(), 0);  // warm up

    gAllocations = 0;
    gCounting = true;
    for (int i = 0; i < 1000; ++i) {
        const auto& f = frames[i % frames.size()];
        kv::serialEvent(m, port, kv::kEventReceive, f.data(), f.size(), i);
        kv::ackTick(m, port);
    }
    gCounting = false;
    EXPECT_EQ(gAllocations.load(), 0);
}

}  // namespace
