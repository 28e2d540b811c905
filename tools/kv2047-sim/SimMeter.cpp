#include "SimMeter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/link/CommandPacket.h"

namespace kvsim {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Dew point from temperature and relative humidity (Magnus).
float dewPoint(float t, float rh) {
    const double b = 17.62, c = 243.12;
    const double g = std::log(std::max(rh, 1.0f) / 100.0) + b * t / (c + t);
    return float(c * g / (b - g));
}

// Wet-bulb temperature from temperature and relative humidity (Stull's fit).
float wetBulb(float t, float rh) {
    const double r = rh;
    return float(t * std::atan(0.151977 * std::sqrt(r + 8.313659)) + std::atan(t + r) - std::atan(r - 1.676331) +
                 0.00391838 * std::pow(r, 1.5) * std::atan(0.023101 * r) - 4.686035);
}

bool isPayload(const Received& r, std::initializer_list<uint8_t> p) {
    return std::equal(p.begin(), p.end(), r.bytes.begin() + 3);
}

}  // namespace

// ---- commands from the program ----

void CommandParser::emitRaw(std::vector<Received>& out) {
    if (raw_.empty()) return;
    out.push_back({Received::Raw, raw_});
    raw_.clear();
}

void CommandParser::step(uint8_t b, std::vector<Received>& out) {
    if (packet_.empty()) {
        if (b == 0xFF) {
            emitRaw(out);
            packet_.push_back(b);
        } else if (b == kv::kAckByte) {
            emitRaw(out);
            out.push_back({Received::Ack, {b}});
        } else {
            raw_.push_back(b);
        }
        return;
    }
    packet_.push_back(b);
    const std::size_t pos = packet_.size() - 1;
    const bool fits = pos == 1 ? b == 0xAA : pos == 2 ? b == 0x55 : pos == 10 ? b == 0xFF : true;
    if (!fits) {
        // Not a command after all: its first byte is raw; the rest may start one.
        std::vector<uint8_t> rest(packet_.begin() + 1, packet_.end());
        raw_.push_back(packet_.front());
        packet_.clear();
        for (uint8_t r : rest) step(r, out);
        return;
    }
    if (pos == 10) {
        out.push_back({Received::Command, packet_});
        packet_.clear();
    }
}

void CommandParser::feed(const uint8_t* data, std::size_t len, std::vector<Received>& out) {
    for (std::size_t i = 0; i < len; ++i) step(data[i], out);
    emitRaw(out);
}

void CommandParser::flush(std::vector<Received>& out) {
    raw_.insert(raw_.end(), packet_.begin(), packet_.end());
    packet_.clear();
    emitRaw(out);
}

std::string hexLine(const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) s += ' ';
        s += kDigits[bytes[i] >> 4];
        s += kDigits[bytes[i] & 15];
    }
    return s;
}

// ---- the meter ----

SimMeter::SimMeter(const SimOptions& opt) : opt_(opt), rng_(opt.seed), fahrenheit_(opt.fahrenheit) {}

SimMeter::Measured SimMeter::measure() {
    const double t = double(frameNo_) * opt_.periodMs / 1000.0;
    Measured m;
    m.air = float(23.0 + 0.6 * std::sin(2 * kPi * t / 120.0)) + 0.05f * noise_(rng_);
    m.rh = std::clamp(float(55.0 + 4.0 * std::sin(2 * kPi * t / 90.0 + 1.0)) + 0.2f * noise_(rng_), 1.0f, 100.0f);
    m.dp = dewPoint(m.air, m.rh);
    m.wb = std::min(wetBulb(m.air, m.rh), m.air);
    if (opt_.typeK)
        m.kir = float(30.0 + 2.0 * std::sin(2 * kPi * t / 200.0)) + 0.05f * noise_(rng_);
    else
        m.kir = float(30.0 + 1.5 * std::sin(2 * kPi * t / 60.0)) + 0.1f * noise_(rng_);
    return m;
}

kv::FrameFields SimMeter::nextFrame() {
    const Measured m = measure();
    ++frameNo_;

    kv::FrameFields f;
    f.air = m.air;
    f.wb = m.wb;
    f.dp = m.dp;
    f.rh = m.rh;
    f.kir = opt_.noKir ? kv::kFrameNoKir : m.kir;
    if (opt_.over) {
        f.rangeCode = kv::kRangeCodeOver;
        f.kir = 2600.0f;
    } else if (opt_.under) {
        f.rangeCode = kv::kRangeCodeUnder;
        f.kir = -60.0f;
    }

    // Upper line: AIR and RH; lower line: the K/IR number, all in the unit shown.
    float upper = m.air, lower = m.kir;
    auto track = [](int mode, float (&ext)[2], float v) {
        if (mode == 0) return v;
        ext[0] = std::max(ext[0], v);
        ext[1] = std::min(ext[1], v);
        return ext[mode - 1];
    };
    upper = track(maxMinUpper_, extUpper_, upper);
    lower = track(maxMinLower_, extLower_, lower);
    float display[3] = {shown(upper), m.rh, opt_.noKir ? kv::kFrameNoKir : shown(lower)};
    if (holdUpper_) {
        display[0] = heldDisplay_[0];
        display[1] = heldDisplay_[1];
    } else {
        heldDisplay_[0] = display[0];
        heldDisplay_[1] = display[1];
    }
    if (holdLower_)
        display[2] = heldDisplay_[2];
    else
        heldDisplay_[2] = display[2];
    f.display1 = display[0];
    f.display2 = display[1];
    f.display3 = display[2];

    using namespace kv;
    f.flagsA = opt_.lowBattery ? 0 : flagA::kBatteryNormal;
    if (maxMinUpper_ == 1) f.flagsA |= flagA::kMax;
    if (maxMinUpper_ == 2) f.flagsA |= flagA::kMin;
    if (holdUpper_) f.flagsA |= flagA::kHold;
    if (linked_) f.flagsA |= flagA::kPcLink;
    f.flagsB = 0;
    if (maxMinLower_ == 1) f.flagsB |= flagB::kMax;
    if (maxMinLower_ == 2) f.flagsB |= flagB::kMin;
    if (holdLower_) f.flagsB |= flagB::kHold;
    if (opt_.typeK) f.flagsB |= flagB::kTypeK;
    if (fahrenheit_) f.flagsB |= flagB::kFahrenheit;
    if (backlight_) f.flagsB |= flagB::kBacklight;
    if (opt_.irIdle && !freshIrPending_) f.flagsB |= flagB::kIrIdle;
    freshIrPending_ = false;
    return f;
}

std::string SimMeter::apply(const Received& r) {
    if (r.kind == Received::Ack) return "acknowledgement";
    if (r.kind == Received::Raw) return "ignored";
    unsigned sum = 0;
    for (int i = 3; i < 8; ++i) sum += r.bytes[i];
    if (r.bytes[8] != (sum & 0xFF) || r.bytes[9] != ((sum >> 8) & 0xFF)) return "bad checksum, ignored";

    if (isPayload(r, {0x63, 0x63, 0x00, 0x00, 0x00})) {
        linked_ = true;
        return "init: PC-LINK";
    }
    auto cycle = [](int& mode, float (&ext)[2]) {
        mode = (mode + 1) % 3;
        if (mode == 1) {
            ext[0] = -1e30f;
            ext[1] = 1e30f;
        }
    };
    if (isPayload(r, {0x6B, 0x28, 0, 0, 0})) {
        fahrenheit_ = !fahrenheit_;
        // Held numbers change their unit with the display.
        for (float* v : {&heldDisplay_[0], &heldDisplay_[2]})
            *v = fahrenheit_ ? *v * 1.8f + 32.0f : (*v - 32.0f) / 1.8f;
        return fahrenheit_ ? "UNITS: F" : "UNITS: C";
    }
    if (isPayload(r, {0x6B, 0x1E, 0, 0, 0})) {
        holdUpper_ = !holdUpper_;
        return holdUpper_ ? "HOLD upper on" : "HOLD upper off";
    }
    if (isPayload(r, {0x6B, 0x32, 0, 0, 0})) {
        holdLower_ = !holdLower_;
        return holdLower_ ? "HOLD lower on" : "HOLD lower off";
    }
    if (isPayload(r, {0x6B, 0x16, 0, 0, 0})) {
        backlight_ = !backlight_;
        return backlight_ ? "backlight on" : "backlight off";
    }
    if (isPayload(r, {0x6B, 0x50, 0, 0, 0})) {
        poweredOff_ = true;
        return "POWEROFF";
    }
    if (isPayload(r, {0x6B, 0x0A, 0, 0, 0})) {
        cycle(maxMinUpper_, extUpper_);
        return "MAX/MIN upper";
    }
    if (isPayload(r, {0x6B, 0x0B, 0, 0, 0})) {
        maxMinUpper_ = 0;
        return "MAX/MIN upper off";
    }
    if (isPayload(r, {0x6B, 0x3C, 0, 0, 0})) {
        cycle(maxMinLower_, extLower_);
        return "MAX/MIN lower";
    }
    if (isPayload(r, {0x6B, 0x42, 0, 0, 0})) {
        maxMinLower_ = 0;
        return "MAX/MIN lower off";
    }
    if (isPayload(r, {0x69, 0x0A, 0, 0, 0})) {
        freshIrPending_ = true;
        return "IRT";
    }
    return "no effect";
}

}  // namespace kvsim
