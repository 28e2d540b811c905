#include "panels/ReadingSet.h"

#include <cstdio>
#include <cstdlib>

namespace kv {

namespace {

constexpr float kMaxMarker = -300.f;
constexpr float kMinMarker = 6000.f;

float shown(float v, int q, uint8_t unitFlag) { return (unitFlag == 1 && q != 4) ? v * 1.8f + 32.f : v; }

std::string valueText(float v, int q, const std::string& unitText) {
    char buf[64];
    if (q == 4) std::snprintf(buf, sizeof buf, "%.1f %%RH", v);
    else std::snprintf(buf, sizeof buf, "%.1f%s", q == 3 ? cutOneDecimal(v) : v, unitText.c_str());
    return buf;
}

std::string fmt1(float v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

// High never below low, low never above high.
float keepOrdered(const ReadingSet& rs, int q, bool high, float v) {
    if (high && v < rs.loLimit[q]) return rs.loLimit[q];
    if (!high && v > rs.hiLimit[q]) return rs.hiLimit[q];
    return v;
}

float store(ReadingSet& rs, int q, bool high, float v) {
    (high ? rs.hiLimit : rs.loLimit)[q] = v;
    (high ? rs.hiText : rs.loText)[q] = fmt1(v);
    return v;
}

float clampTo(float v, LimitBounds b) {
    if (v < b.lo) v = b.lo;
    if (v > b.hi) v = b.hi;
    return v;
}

}  // namespace

float cutOneDecimal(float v) { return static_cast<float>(static_cast<int>(v * 10.f)) * 0.1f; }

float parseLimitText(const std::string& text) { return static_cast<float>(std::strtod(text.c_str(), nullptr)); }

bool updateReadingSet(ReadingSet& rs, const float r[5], uint8_t unitFlag, const std::string& unitText,
                      uint8_t alarmHigh[5], uint8_t alarmLow[5]) {
    for (int k = 0; k < 5; ++k) {
        if (r[k] >= rs.runMax[k]) rs.runMax[k] = r[k];
        if (r[k] <= rs.runMin[k] && r[k] > -100.f) rs.runMin[k] = r[k];
    }
    for (int k = 0; k < 5; ++k)
        if (rs.runMax[k] != kMaxMarker) rs.maxText[k] = valueText(shown(rs.runMax[k], k, unitFlag), k, unitText);
    for (int k = 0; k < 5; ++k)
        if (rs.runMin[k] != kMinMarker) rs.minText[k] = valueText(shown(rs.runMin[k], k, unitFlag), k, unitText);

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
