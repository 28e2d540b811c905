// The serial line: arbitrary reads handed to the serial event, with the
// decoder's memory and the run state carried from read to read, mixed with the
// one-second acknowledgement, the watchdog, sample commits and run commands.
//
// Input: a sequence of operations, each an op byte followed by its operands:
//   op & 7 = 0..2  a data-received event: length byte (+256 when op & 8), then the read
//   op & 7 = 3     another event code (one byte)
//   op & 7 = 4     one-second tick            op & 7 = 5  watchdog tick
//   op & 7 = 6     sample timer tick          op & 7 = 7  a command (byte, operands)
#include <cstring>
#include <vector>

#include "FuzzInput.h"
#include "core/link/FrameDecoder.h"
#include "core/link/LinkEngine.h"

namespace {

class FakePort : public kv::PortIO {
public:
    bool isOpen() const override { return open; }
    void openPort(int) override {
        open = true;
        ++opens;
    }
    void closePort() override { open = false; }
    void write(const uint8_t* data, std::size_t len) override {
        KVFUZZ_CHECK(len > 0 && data != nullptr);
        lastWrite.assign(data, data + len);
    }
    void discardInput() override { ++discards; }

    bool open = true;
    int opens = 0, discards = 0;
    std::vector<uint8_t> lastWrite;
};

bool sameDisplay(const kv::MeterDisplay& a, const kv::MeterDisplay& b) {
    return a.upper == b.upper && a.upper2 == b.upper2 && a.lower == b.lower && a.unitLetter == b.unitLetter &&
           a.maxminUpper == b.maxminUpper && a.maxminLower == b.maxminLower && a.holdUpper == b.holdUpper &&
           a.holdLower == b.holdLower && a.recUpper == b.recUpper && a.recLower == b.recLower && a.link == b.link &&
           a.derived == b.derived && a.probe == b.probe && a.backlight == b.backlight;
}

bool sameMemory(const kv::DecoderMemory& a, const kv::DecoderMemory& b) {
    auto bits = [](float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        return u;
    };
    return bits(a.lastFreshKir) == bits(b.lastFreshKir) && bits(a.lastNonzeroKir) == bits(b.lastNonzeroKir) &&
           a.irSubstCounter == b.irSubstCounter && a.heldLower == b.heldLower;
}

void receive(kv::Model& m, FakePort& port, const uint8_t* data, std::size_t len) {
    const kv::DecoderMemory memBefore = m.decoder;
    const bool good = kv::frameAccepted(data, len);
    const auto fx = kv::serialEvent(m, port, kv::kEventReceive, data, len, 1700000000);
    KVFUZZ_CHECK(fx.accepted == good);
    if (!good) {
        KVFUZZ_CHECK(sameMemory(memBefore, m.decoder));
        return;
    }
    KVFUZZ_CHECK(len >= static_cast<std::size_t>(kv::kFrameSize) && data[0] == 0xAA && data[44] == 0x67);
    KVFUZZ_CHECK(m.run.offline == 0 && m.link.frameAck == 1 && m.run.newSample == 1);
    // Only the first 46 bytes count: the same frame alone decodes the same.
    uint8_t frame[kv::kFrameSize];
    std::memcpy(frame, data, sizeof frame);
    kv::DecoderMemory mem = memBefore;
    kv::MeterDisplay meter;
    const kv::DecodedFrame f = kv::decodeFrame(frame, mem, meter);
    KVFUZZ_CHECK(sameDisplay(meter, m.meter));
    KVFUZZ_CHECK(sameMemory(mem, m.decoder));
    const int pos = m.run.n;
    for (int q = 0; q < kv::kQuantities; ++q)
        KVFUZZ_CHECK(std::memcmp(&f.q[q], &m.doc->live[q][pos], sizeof(float)) == 0);
    // The store's marker replaces the meter's "no reading".
    KVFUZZ_CHECK(m.doc->live[kv::KIR][pos] != -1000.0f);
    for (const std::string* s : {&m.meter.upper, &m.meter.upper2, &m.meter.lower, &m.meter.probe})
        KVFUZZ_CHECK(s->size() <= 64);
    KVFUZZ_CHECK(m.bar.battery == "Normal" || m.bar.battery == "Low");
}

void command(kv::Model& m, FakePort& port, kvfuzz::Input& in) {
    switch (in.u8() % 5) {
    case 0: {
        const int rate = kv::clampRate(in.u16());
        const int count = kv::clampCount(in.u16());
        kv::applyRunSettings(m, rate, count);
        kv::finishRunCommand(m);
        break;
    }
    case 1: kv::stopRun(m); break;
    case 2: kv::changePort(m, port, 1 + in.u8() % 16); break;
    case 3: m.run.n = in.u16() % kv::kMaxSamples; break;  // far into a long run
    default: kv::finishRunCommand(m); break;             // Run dialog cancelled
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    kvfuzz::Input in(data, size);
    // One model for all inputs, with every field reset but the series: the
    // store is large, and what an earlier input left in it is never read back.
    static kv::Model m;
    m.run = {};
    m.link = {};
    m.meter = {};
    m.bar = {};
    m.readings = {};
    m.decoder = {};
    FakePort port;
    kv::initLinkAtStartup(m);
    while (!in.empty()) {
        const uint8_t op = in.u8();
        switch (op & 7) {
        case 0: case 1: case 2: {
            std::size_t got = 0;
            const std::size_t want = in.u8() + ((op & 8) ? 256u : 0u);
            const uint8_t* p = in.take(want, got);
            // Hand the engine a buffer of exactly the read's length, so that
            // reading past it is caught.
            std::vector<uint8_t> read(p, p + got);
            receive(m, port, read.data(), read.size());
            break;
        }
        case 3: {
            const int code = in.u8();
            const int discards = port.discards;
            const auto fx = kv::serialEvent(m, port, code == kv::kEventReceive ? 0 : code, nullptr, 0, 1700000000);
            KVFUZZ_CHECK(!fx.accepted && port.discards == discards + 1);
            break;
        }
        case 4: {
            const bool pending = m.link.frameAck;
            port.lastWrite.clear();
            const bool sent = kv::ackTick(m, port);
            KVFUZZ_CHECK(sent == pending && m.link.frameAck == 0);
            KVFUZZ_CHECK(sent ? port.lastWrite == std::vector<uint8_t>{0x11} : port.lastWrite.empty());
            break;
        }
        case 5: {
            const bool silent = kv::watchdogTick(m, port);
            KVFUZZ_CHECK(port.open);
            if (silent) KVFUZZ_CHECK(m.run.offline == 1 && m.link.runInProgress == 0 && m.link.stopped == 1);
            break;
        }
        case 6: {
            const int before = m.run.n;
            if (kv::sampleTick(m)) KVFUZZ_CHECK(m.run.n == before + 1 || m.run.n == kv::kMaxSamples - 1);
            else KVFUZZ_CHECK(m.run.n == before);
            break;
        }
        default: command(m, port, in); break;
        }
        KVFUZZ_CHECK(m.run.n >= 0 && m.run.n < kv::kMaxSamples);
        KVFUZZ_CHECK(m.link.port >= 1 && m.link.port <= 16);
    }
    return 0;
}
