#pragma once
// Running maximum/minimum, Max/Min texts, alarm limits and alarm decisions of
// the readings and alarm panel. Run by the decoder after every accepted frame.
#include <cmath>
#include <cstdint>
#include <string>

namespace kv {

struct ReadingSet {
    // Running extremes in stored units (degrees C, %RH); the markers mean "nothing yet".
    float runMax[5] = {-300.f, -300.f, -300.f, -300.f, -300.f};
    float runMin[5] = {6000.f, 6000.f, 6000.f, 6000.f, 6000.f};
    std::string maxText[5];
    std::string minText[5];
    // What each Max/Min text was made from, so a frame rebuilds only the texts
    // whose extreme or unit changed (NaN: not made yet).
    float maxTextOf[5] = {NAN, NAN, NAN, NAN, NAN};
    float minTextOf[5] = {NAN, NAN, NAN, NAN, NAN};
    uint8_t textsUnitFlag = 0;
    std::string textsUnitText;
    // Limits in the units the meter shows, and the texts the fields show.
    float hiLimit[5] = {140.f, 140.f, 140.f, 2501.f, 100.f};
    float loLimit[5] = {0.f, 0.f, 0.f, 0.f, 0.f};
    std::string hiText[5] = {"140.0", "140.0", "140.0", "2501.0", "100.0"};
    std::string loText[5] = {"0.0", "0.0", "0.0", "0.0", "0.0"};
};

// Bounds for limits changed with a spin and limits typed into a field.
struct LimitBounds { float lo, hi; };
inline constexpr LimitBounds kSpinBounds[5] = {{-20, 140}, {-22, 140}, {-91, 140}, {-148, 2501}, {0, 100}};
inline constexpr LimitBounds kTypedBounds[5] = {{-10, 140}, {-60, 500}, {0, 5900}, {-148, 2501}, {0, 100}};

// One-decimal cut towards zero used for K/IR everywhere.
float cutOneDecimal(float v);

// The reading-set update. Returns true when an alarm flag changed (the panel
// must repaint its indicators).
bool updateReadingSet(ReadingSet& rs, const float r[5], uint8_t unitFlag, const std::string& unitText,
                      uint8_t alarmHigh[5], uint8_t alarmLow[5]);

// Decimal conversion of a limit text, as the C library reads a decimal
// number: 0 when it does not begin with a number.
float parseLimitText(const std::string& text);
// "%.1f" in the C locale.
std::string formatOneDecimal(float v);

// Spin change of limit q (high when `high`): returns the new value, stores it and its "%.1f" text.
float spinLimit(ReadingSet& rs, int q, bool high, float delta);
// Typed change of limit q from the field's whole text.
float typeLimit(ReadingSet& rs, int q, bool high, const std::string& text);
// Loads a limit text as stored (no clamping) and sets the float limit.
void loadLimitText(ReadingSet& rs, int q, bool high, const std::string& text);

}  // namespace kv
