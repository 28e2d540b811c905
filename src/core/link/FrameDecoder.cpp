#include "core/link/FrameDecoder.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace kv {

namespace {

float floatAt(const uint8_t* p) {
    // Frames are little-endian, as is every machine this runs on; copy to avoid unaligned reads.
    uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

// "%.1f" as the C locale writes it, into `s`. Three of these per frame were
// two thirds of a frame's cost through to_chars' general fixed-precision
// path, so readings of an ordinary size take a short exact path: the product
// v * 10 is split into its rounded value and the exact remainder (fma), which
// decides the rounding to an integer, ties to even as printf does. Very large
// values, infinities and NaN still go through to_chars.
void setOneDecimal(std::string& s, double v) {
    char buf[64];
    const double a = std::fabs(v);
    if (!(a < 0x1p40)) {
        const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
        s.assign(buf, res.ptr);
        return;
    }
    uint64_t tenths = 0;
    if (a >= 0.04) {   // below, the product is under 0.5 whatever its remainder
        const double p = a * 10.0;
        const double rem = std::fma(a, 10.0, -p);   // a * 10 == p + rem exactly
        const double whole = std::floor(p);
        const double frac = p - whole;               // exact: p < 2^44
        tenths = static_cast<uint64_t>(whole);
        // frac and 0.5 are both multiples of p's last place, and rem is at
        // most half of that: rem decides only when frac is exactly 0.5.
        if (frac > 0.5 || (frac == 0.5 && (rem > 0 || (rem == 0 && (tenths & 1))))) ++tenths;
    }
    char* end = buf + sizeof buf;
    char* p = end;
    *--p = static_cast<char>('0' + tenths % 10);
    *--p = '.';
    uint64_t whole = tenths / 10;
    do {
        *--p = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole);
    if (std::signbit(v)) *--p = '-';
    s.assign(p, end);
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
    meter.unitLetter.assign(1, out.unitText[0]);

    // Annunciators: blank unless set, the later flag of a pair winning; each
    // text is assigned once (a string assignment per text is a good part of a
    // frame's cost).
    std::string_view maxminUpper = "   ", maxminLower = "   ", derived = "  ";
    if (a & 0x01) maxminUpper = "MAX";
    if (a & 0x02) maxminUpper = "     MIN";
    if (b & 0x01) maxminLower = "MAX";
    if (b & 0x02) maxminLower = "      MIN";
    if (a & 0x04) derived = "WB";
    if (a & 0x08) derived = "DP";
    meter.maxminUpper = maxminUpper;
    meter.maxminLower = maxminLower;
    meter.holdUpper = (a & 0x10) ? std::string_view("HOLD") : std::string_view("    ");
    meter.holdLower = (b & 0x04) ? std::string_view("HOLD") : std::string_view("    ");
    meter.recUpper = (a & 0x20) ? std::string_view("REC") : std::string_view("     ");
    meter.recLower = (b & 0x08) ? std::string_view("REC") : std::string_view("     ");
    meter.link = (a & 0x80) ? std::string_view("PC-LINK") : std::string_view("       ");
    meter.derived = derived;
    meter.probe = typeK ? std::string_view("     TYPE-K")
                  : irIdle ? std::string_view("            ")
                           : std::string_view("IRTEMP");
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
    setOneDecimal(meter.upper, floatAt(f + 29));
    setOneDecimal(meter.upper2, floatAt(f + 33));
    // The lower reading: an idle infrared probe keeps showing the text held
    // from its last fresh reading; otherwise over/under range, no reading, or
    // the number cut towards zero at one decimal (shifted by half a tenth
    // before rounding).
    std::string& lower = meter.lower;
    if (irIdle && !typeK) {
        lower = mem.heldLower;
    } else {
        const double r = floatAt(f + 37);
        if (range == kRangeOver) lower = "+OL";
        else if (range == kRangeUnder) lower = "-OL";
        else if (k < -1000.0f) lower = "----";
        else setOneDecimal(lower, r >= 0.05 ? r - 0.05 : r <= -0.05 ? r + 0.05 : r);
        if (!irIdle) mem.heldLower = lower;
    }
    return out;
}

}  // namespace kv
