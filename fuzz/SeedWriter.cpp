// Writes the seed corpora of the fuzz targets from the inputs the unit tests
// use: the example frame and its variants, data files good and refused,
// configuration files, hex captures. Usage: kv_fuzz_seeds OUTDIR
// (OUTDIR/frame, OUTDIR/datafile, OUTDIR/profile, OUTDIR/hexline).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/link/FrameBuilder.h"
#include "core/record/DataFile.h"

namespace fs = std::filesystem;
using Bytes = std::string;

namespace {

namespace A = kv::flagA;
namespace B = kv::flagB;

bool gOk = true;

void put(const fs::path& dir, const std::string& name, const Bytes& b) {
    fs::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(b.data(), static_cast<std::streamsize>(b.size()));
    if (!out) {
        std::fprintf(stderr, "kv_fuzz_seeds: cannot write %s\n", (dir / name).c_str());
        gOk = false;
    }
}

kv::FrameFields example() {
    kv::FrameFields f;
    f.air = 23.5f;
    f.wb = 18.25f;
    f.dp = 15.0f;
    f.rh = 60.0f;
    f.kir = 30.25f;
    f.display1 = 23.5f;
    f.display2 = 60.0f;
    f.display3 = 30.25f;
    return f;
}

Bytes frame(const kv::FrameFields& f) {
    const auto b = kv::buildFrame(f);
    return Bytes(b.begin(), b.end());
}

// Operations of FuzzFrame.cpp.
Bytes read(const Bytes& data) {
    Bytes op(1, static_cast<char>(data.size() >= 256 ? 0x08 : 0x00));
    op += static_cast<char>(data.size() & 0xFF);
    return op + data;
}
Bytes ack() { return "\x04"; }
Bytes watchdog() { return "\x05"; }
Bytes sample() { return "\x06"; }
Bytes otherEvent() { return Bytes("\x03\x01", 2); }
Bytes runCommand(int rate, int count) {
    Bytes b = "\x07";
    b += '\0';  // run settings
    for (int v : {rate, count}) {
        b += static_cast<char>(v & 0xFF);
        b += static_cast<char>(v >> 8 & 0xFF);
    }
    return b;
}
Bytes jumpTo(int n) {
    Bytes b = "\x07\x03";
    b += static_cast<char>(n & 0xFF);
    b += static_cast<char>(n >> 8 & 0xFF);
    return b;
}

void frameSeeds(const fs::path& dir) {
    const kv::FrameFields ex = example();
    auto with = [&](auto change) {
        kv::FrameFields f = ex;
        change(f);
        return frame(f);
    };
    put(dir, "example", read(frame(ex)));
    put(dir, "example-ack-sample", read(frame(ex)) + ack() + sample() + read(frame(ex)) + watchdog());
    put(dir, "maxmin-wbdp", read(with([](auto& f) { f.flagsA |= A::kMax | A::kMin | A::kWb | A::kDp | A::kPcLink; f.flagsB |= B::kMax | B::kMin | B::kHold | B::kRec; })));
    put(dir, "fahrenheit-backlight", read(with([](auto& f) { f.flagsB |= B::kFahrenheit | B::kBacklight; f.display1 = 74.3f; })));
    put(dir, "range-over-under", read(with([](auto& f) { f.rangeCode = kv::kRangeCodeOver; })) +
                                     read(with([](auto& f) { f.rangeCode = kv::kRangeCodeUnder; })));
    put(dir, "no-kir", read(with([](auto& f) { f.kir = kv::kFrameNoKir; f.display3 = -1000.0f; })));
    put(dir, "low-battery", read(with([](auto& f) { f.flagsA = 0; })));
    put(dir, "ir-idle-hold", read(frame(ex)) + read(with([](auto& f) { f.flagsB |= B::kIrIdle; f.kir = 0; f.display3 = 0; })));
    put(dir, "typek-then-ir-zero", read(with([](auto& f) { f.flagsB |= B::kTypeK; })) +
                                       read(with([](auto& f) { f.kir = 0; })) + read(with([](auto& f) { f.kir = 0; })));
    put(dir, "lower-rounding", read(with([](auto& f) { f.display3 = 23.46f; })) +
                                   read(with([](auto& f) { f.display3 = -23.46f; })) +
                                   read(with([](auto& f) { f.display3 = 0.04f; })));
    put(dir, "burst", read(frame(ex) + frame(ex) + frame(ex)));
    Bytes corrupt = frame(ex);
    corrupt[44] = 0;
    Bytes badSync = frame(ex);
    badSync[0] = 0x55;
    Bytes badLetters = frame(ex);
    badLetters[4] = 'h';
    put(dir, "corrupt-mixed", read(corrupt) + read(frame(ex)) + read(badSync) + read(badLetters) + read(frame(ex)));
    put(dir, "short-read", read(frame(ex).substr(0, 45)) + read(frame(ex).substr(20)) + read(""));
    put(dir, "frame-after-junk", read("\x01" + frame(ex)));
    put(dir, "other-event", otherEvent() + read(frame(ex)));
    Bytes run = read(frame(ex)) + runCommand(1, 1000);
    for (int i = 0; i < 5; ++i) run += read(frame(ex)) + sample() + ack();
    put(dir, "run", run);
    put(dir, "run-near-end", read(frame(ex)) + runCommand(1, 10000) + read(frame(ex)) + jumpTo(10008) + read(frame(ex)) +
                                 sample() + read(frame(ex)) + sample() + read(frame(ex)));
    put(dir, "silent-then-back", read(frame(ex)) + runCommand(2, 1000) + watchdog() + watchdog() + watchdog() +
                                     read(frame(ex)) + watchdog());
}

Bytes i32(int32_t v) {
    Bytes b(4, '\0');
    std::memcpy(b.data(), &v, 4);
    return b;
}

Bytes record(int count, bool fahrenheit, std::vector<float> samples = {}) {
    auto rec = kv::makeRunRecord();
    rec->run.count = count;
    for (int i = 0; i < count * kv::kQuantities; ++i)
        rec->run.samples[i] = i < int(samples.size()) ? samples[i] : 20.0f + 0.25f * float(i);
    rec->run.unitFlag = fahrenheit;
    rec->run.unitText = fahrenheit ? "F" : "C";
    rec->run.year = 2007;
    rec->run.month = 7;
    rec->run.day = 27;
    rec->run.hour = 7;
    rec->run.minute = 40;
    rec->run.second = 35;
    rec->run.interval = 5;
    rec->yGain = 10;
    return kv::encodeDataFile(*rec);
}

void dataFileSeeds(const fs::path& dir) {
    put(dir, "empty-run", record(0, false));
    put(dir, "three-samples", record(3, false));
    put(dir, "fahrenheit-no-kir", record(2, true, {20.0f, 15.0f, 10.0f, -9000.0f, 50.0f, 23.46f, 20.0f, 18.0f, 23.46f, 60.0f}));
    const Bytes good = record(2, false);
    put(dir, "long-form-tag", Bytes("\xFF\x06\x00", 3) + "KV2047" + good.substr(7));
    put(dir, "first-byte-five", Bytes("\x05KV204") + Bytes(60, '\0'));
    put(dir, "tag-lower-case", Bytes("\x06kv2047") + Bytes(60, '\0'));
    put(dir, "count-above-store", Bytes("\x06KV2047") + i32(10011) + Bytes(64, '\0'));
    put(dir, "negative-count", Bytes("\x06KV2047") + i32(-1) + Bytes(64, '\0'));
    put(dir, "truncated", good.substr(0, 51));
    put(dir, "unit-text-longer-than-file", good.substr(0, 80) + Bytes("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x46", 8));
    put(dir, "trailing-bytes", good + "extra");
}

void profileSeeds(const fs::path& dir) {
    put(dir, "first-start",
        "[COMInfo]\nCOM num=1\n[Alarmhi1Info]\nHi1 limit=140.0\n[Alarmhi2Info]\nHi2 limit=140.0\n"
        "[Alarmhi3Info]\nHi3 limit=140.0\n[Alarmhi4Info]\nHi4 limit=2501.0\n[Alarmhi5Info]\nHi5 limit=100.0\n"
        "[Alarmlow1Info]\nLow1 limit=0.0\n[Alarmlow2Info]\nLow2 limit=0.0\n[Alarmlow3Info]\nLow3 limit=0.0\n"
        "[Alarmlow4Info]\nLow4 limit=0.0\n[Alarmlow5Info]\nLow5 limit=0.0\n[SamprateInfo]\nSamprate=1\n"
        "[SampdataInfo]\nSampdata=1000\n[GainInfo]\nGain=10\n[OffsetInfo]\nOffset=0\n");
    put(dir, "stored", "[COMInfo]\nCOM num=7\n[GainInfo]\nGain=50\n[OffsetInfo]\nOffset=-2\n"
                       "[SamprateInfo]\nSamprate=2\n[SampdataInfo]\nSampdata=3000\n");
    put(dir, "garbage-values", "[COMInfo]\nCOM num=x\n[GainInfo]\nGain=x\n[OffsetInfo]\nOffset=x\n"
                               "[SamprateInfo]\nSamprate=-1\n[SampdataInfo]\nSampdata=99999999999999\n");
    put(dir, "case-spaces-crlf-bom", "\xEF\xBB\xBF[ cominfo ]\r\n  com NUM  =  11  \r\n[comdevices]\r\ncom7=/dev/ttyACM0\r\n");
    put(dir, "limits", "[Alarmhi2Info]\nHi2 limit=35.50\n[Alarmlow5Info]\nLow5 limit=abc\n[Alarmhi4Info]\nHi4 limit=1e39\n");
    put(dir, "long-value", "[Alarmhi1Info]\nHi1 limit=" + Bytes(300, '7') + "\n");
    put(dir, "keys-outside-sections", "COM num=4\n[COMInfo\nx=1\n[]\n=\n[GainInfo]\nCOM num=4\n; comment\n");
    put(dir, "binary", Bytes("\x00\xFF[\x01]\n\x00=\x00\n", 10));
}

void hexLineSeeds(const fs::path& dir) {
    const Bytes f = frame(example());
    auto spaced = [](const Bytes& b) {
        Bytes s;
        char buf[4];
        for (unsigned char c : b) {
            std::snprintf(buf, sizeof buf, s.empty() ? "%02X" : " %02X", c);
            s += buf;
        }
        return s;
    };
    auto packed = [](const Bytes& b) {
        Bytes s;
        char buf[3];
        for (unsigned char c : b) {
            std::snprintf(buf, sizeof buf, "%02x", c);
            s += buf;
        }
        return s;
    };
    put(dir, "capture", "# one read per line\n" + spaced(f) + "\n\n" + packed(f) + "\r\n" + spaced(f + f) + "\n");
    put(dir, "malformed", "AA 616\nA A\nAA 6G\n0xAA\nAA # x\n \t \r\n");
    // The program's own captures: a time and a direction before each read.
    put(dir, "capture-stamped", "0.000 TX FF AA 55 63 63 00 00 00 C6 00 FF\n0.512 RX " + spaced(f) + "\n1.000 TX 11\n1.5 RX\n");
    put(dir, "short-and-corrupt", spaced(f.substr(0, 45)) + "\n" + spaced("\x55" + f.substr(1)) + "\n" + spaced(f));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kv_fuzz_seeds OUTDIR\n");
        return 2;
    }
    const fs::path out = argv[1];
    frameSeeds(out / "frame");
    dataFileSeeds(out / "datafile");
    profileSeeds(out / "profile");
    hexLineSeeds(out / "hexline");
    return gOk ? 0 : 1;
}
