#include "core/panels/ReadingSet.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace kv {

namespace {

constexpr float kMaxMarker = -300.f;
constexpr float kMinMarker = 6000.f;

float shown(float v, int q, uint8_t unitFlag) { return (unitFlag == 1 && q != 4) ? v * 1.8f + 32.f : v; }

std::string valueText(float v, int q, const std::string& unitText) {
    if (q == 4) return formatOneDecimal(v) + " %RH";
    return formatOneDecimal(q == 3 ? cutOneDecimal(v) : v) + unitText;
}

// High never below low, low never above high.
float keepOrdered(const ReadingSet& rs, int q, bool high, float v) {
    if (high && v < rs.loLimit[q]) return rs.loLimit[q];
    if (!high && v > rs.hiLimit[q]) return rs.hiLimit[q];
    return v;
}

float store(ReadingSet& rs, int q, bool high, float v) {
    (high ? rs.hiLimit : rs.loLimit)[q] = v;
    (high ? rs.hiText : rs.loText)[q] = formatOneDecimal(v);
    return v;
}

float clampTo(float v, LimitBounds b) {
    if (v < b.lo) v = b.lo;
    if (v > b.hi) v = b.hi;
    return v;
}

}  // namespace

float cutOneDecimal(float v) {
    // From 10^7 up a float has no tenths left to cut; a reading from a damaged
    // frame may be that large, infinite or not a number, and must not reach
    // the product (overflow) or an int.
    if (!(std::fabs(v) < 1e7f)) return v;
    return std::trunc(v * 10.f) * 0.1f;
}

std::string formatOneDecimal(float v) {
    // "%.1f" as the C locale writes it, whatever locale the program runs in.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, static_cast<double>(v), std::chars_format::fixed, 1);
    return std::string(buf, res.ptr);
}

float parseLimitText(const std::string& text) {
    // Leading blanks, optional sign, digits with an optional fraction, an
    // optional exponent; 0 when the text does not begin with a number. Only
    // decimal numbers: no hexadecimal, "inf" or "nan", and the decimal point
    // is "." in every locale.
    const char* p = text.c_str();
    const char* end = p + text.size();
    while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
    const char* start = p;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    const char* mantissa = p;
    int digits = 0;
    while (p < end && std::isdigit(static_cast<unsigned char>(*p))) ++p, ++digits;
    if (p < end && *p == '.') {
        ++p;
        while (p < end && std::isdigit(static_cast<unsigned char>(*p))) ++p, ++digits;
    }
    if (digits == 0) return 0.f;
    bool negativeExponent = false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        if (q < end && (*q == '+' || *q == '-')) negativeExponent = *q++ == '-';
        if (q < end && std::isdigit(static_cast<unsigned char>(*q))) {
            while (q < end && std::isdigit(static_cast<unsigned char>(*q))) ++q;
            p = q;
        } else {
            negativeExponent = false;
        }
    }
    double v = 0;
    if (std::from_chars(mantissa, p, v).ec == std::errc::result_out_of_range)
        v = negativeExponent ? 0.0 : std::numeric_limits<double>::max();
    if (*start == '-') v = -v;
    constexpr double kFloatMax = std::numeric_limits<float>::max();
    if (v > kFloatMax) v = kFloatMax;
    if (v < -kFloatMax) v = -kFloatMax;
    return static_cast<float>(v);
}

bool updateReadingSet(ReadingSet& rs, const float r[5], uint8_t unitFlag, const std::string& unitText,
                      uint8_t alarmHigh[5], uint8_t alarmLow[5]) {
    for (int k = 0; k < 5; ++k) {
        if (r[k] >= rs.runMax[k]) rs.runMax[k] = r[k];
        if (r[k] <= rs.runMin[k] && r[k] > -100.f) rs.runMin[k] = r[k];
    }
    // A unit change restyles every text; otherwise only a moved extreme does.
    if (unitFlag != rs.textsUnitFlag || unitText != rs.textsUnitText) {
        std::fill(std::begin(rs.maxTextOf), std::end(rs.maxTextOf), NAN);
        std::fill(std::begin(rs.minTextOf), std::end(rs.minTextOf), NAN);
        rs.textsUnitFlag = unitFlag;
        rs.textsUnitText = unitText;
    }
    for (int k = 0; k < 5; ++k) {
        if (rs.runMax[k] != kMaxMarker && !(rs.maxTextOf[k] == rs.runMax[k])) {
            rs.maxText[k] = valueText(shown(rs.runMax[k], k, unitFlag), k, unitText);
            rs.maxTextOf[k] = rs.runMax[k];
        }
        if (rs.runMin[k] != kMinMarker && !(rs.minTextOf[k] == rs.runMin[k])) {
            rs.minText[k] = valueText(shown(rs.runMin[k], k, unitFlag), k, unitText);
            rs.minTextOf[k] = rs.runMin[k];
        }
    }

    bool changed = false;
    for (int k = 0; k < 5; ++k) {
        float a = shown(r[k], k, unitFlag);
        if (k == 3) a = cutOneDecimal(a);
        const uint8_t hi = a >= rs.hiLimit[k] ? 1 : 0;
        const uint8_t lo = (a <= rs.loLimit[k] && a > -200.f) ? 1 : 0;
        if (alarmHigh[k] != hi) { alarmHigh[k] = hi; changed = true; }
        if (alarmLow[k] != lo) { alarmLow[k] = lo; changed = true; }
    }
    return changed;
}

float spinLimit(ReadingSet& rs, int q, bool high, float delta) {
    float v = (high ? rs.hiLimit : rs.loLimit)[q] + delta;
    v = clampTo(v, kSpinBounds[q]);
    return store(rs, q, high, keepOrdered(rs, q, high, v));
}

float typeLimit(ReadingSet& rs, int q, bool high, const std::string& text) {
    float v = clampTo(parseLimitText(text), kTypedBounds[q]);
    return store(rs, q, high, keepOrdered(rs, q, high, v));
}

void loadLimitText(ReadingSet& rs, int q, bool high, const std::string& text) {
    (high ? rs.hiText : rs.loText)[q] = text;
    (high ? rs.hiLimit : rs.loLimit)[q] = parseLimitText(text);
}

}  // namespace kv
