#include "core/link/FrameDecoder.h"

#include <charconv>
#include <cstring>

namespace kv {

namespace {

float floatAt(const uint8_t* p) {
    // Frames are little-endian, as is every machine this runs on; copy to avoid unaligned reads.
    uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

// "%.1f" as the C locale writes it; to_chars rounds the same way and is several
// times faster than the printf machinery, which dominated the cost of a frame.
std::string oneDecimal(double v) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
    return std::string(buf, res.ptr);
}

constexpr uint8_t kRangeOver = 100;
constexpr uint8_t kRangeUnder = 156;

}  // namespace

bool frameAccepted(const uint8_t* d, std::size_t len) {
    if (len < static_cast<std::size_t>(kFrameSize)) return false;
    return d[0] == 0xAA && d[1] == 0x61 && d[2] == 0x64 && d[3] == 0x6A && d[4] == 0x67 && d[44] == 0x67;
}

DecodedFrame decodeFrame(const uint8_t* f, DecoderMemory& mem, MeterDisplay& meter) {
    const uint8_t range = f[6];
    const uint8_t a = f[7];
    const uint8_t b = f[8];
    const bool typeK = b & 0x10;
    const bool irIdle = b & 0x80;

    DecodedFrame out{};
    // Unit.
    out.unitFlag = (b & 0x20) ? 1 : 0;
    out.unitText = out.unitFlag ? "F" : "C";
    meter.unitLetter = out.unitText;

    // Annunciators: blanks first, then the set texts in order.
    meter.maxminUpper = "   ";
    meter.maxminLower = "   ";
    meter.holdUpper = "    ";
    meter.holdLower = "    ";
    meter.recUpper = "     ";
    meter.recLower = "     ";
    meter.link = "       ";
    meter.derived = "  ";
    if (a & 0x01) meter.maxminUpper = "MAX";
    if (a & 0x02) meter.maxminUpper = "     MIN";
    if (b & 0x01) meter.maxminLower = "MAX";
    if (b & 0x02) meter.maxminLower = "      MIN";
    if (b & 0x04) meter.holdLower = "HOLD";
    if (a & 0x10) meter.holdUpper = "HOLD";
    if (a & 0x20) meter.recUpper = "REC";
    if (b & 0x08) meter.recLower = "REC";
    if (a & 0x80) meter.link = "PC-LINK";
    if (a & 0x04) meter.derived = "WB";
    if (a & 0x08) meter.derived = "DP";
    meter.probe = typeK ? "     TYPE-K" : "IRTEMP";
    if (irIdle && !typeK) meter.probe = std::string(12, ' ');
    meter.backlight = (b & 0x40) ? 1 : 0;
    out.battery = (a & 0x40) ? "Normal" : "Low";

    // Quantities: the frame carries RH before K/IR.
    out.q[0] = floatAt(f + 9);
    out.q[1] = floatAt(f + 13);
    out.q[2] = floatAt(f + 17);
    out.q[3] = floatAt(f + 25);
    out.q[4] = floatAt(f + 21);

    // K/IR corrections, in order.
    float& k = out.q[3];
    if (range == kRangeOver) k = 505.0f;
    else if (range == kRangeUnder) k = -55.0f;
    if (!irIdle) mem.lastFreshKir = k;
    if (irIdle && !typeK) k = mem.lastFreshKir;
    if (k == -1000.0f) k = -9000.0f;
    if (k != 0.0f) mem.lastNonzeroKir = k;
    if (typeK) {
        mem.irSubstCounter = 0;
    } else if (mem.irSubstCounter == 0 && mem.lastNonzeroKir != 0.0f) {
        k = mem.lastNonzeroKir;
        mem.irSubstCounter = static_cast<uint8_t>(mem.irSubstCounter + 1);
    }

    // Display readings.
    meter.upper = oneDecimal(floatAt(f + 29));
    meter.upper2 = oneDecimal(floatAt(f + 33));
    const float r = floatAt(f + 37);
    // Cut towards zero at one decimal: shift by half a tenth before rounding.
    std::string lower = double(r) >= 0.05    ? oneDecimal(double(r) - 0.05)
                        : double(r) <= -0.05 ? oneDecimal(double(r) + 0.05)
                                             : oneDecimal(r);
    if (k < -1000.0f) lower = "----";
    if (range == kRangeOver) lower = "+OL";
    else if (range == kRangeUnder) lower = "-OL";
    if (!irIdle) mem.heldLower = lower;
    else if (!typeK) lower = mem.heldLower;
    meter.lower = std::move(lower);
    return out;
}

}  // namespace kv
