#pragma once
// What the meter panel draws on its display window: the texts of the meter's
// display, each with its font and position, worked out from the display texts.
#include <string>
#include <vector>

#include "core/link/MeterDisplay.h"

namespace kv {

// The display window of the meter picture, in the panel's client pixels.
inline constexpr int kDisplayX = 51, kDisplayY = 196, kDisplayW = 116, kDisplayH = 151;
// The area the decoder repaints after every frame.
inline constexpr int kDisplayRepaintX = 52, kDisplayRepaintY = 194, kDisplayRepaintW = 114, kDisplayRepaintH = 151;
// Below this line the panel is plain background.
inline constexpr int kMeterFaceBottom = 620;
inline constexpr int kMeterPictureW = 220, kMeterPictureH = 648;

struct Rgb { int r, g, b; };
inline constexpr Rgb kDisplayLit = {175, 238, 238};
inline constexpr Rgb kDisplayUnlit = {168, 191, 163};
inline constexpr Rgb kPanelBackground = {217, 218, 212};

// A: upper readings; B: small labels; C: degree marks; D: "OFFLINE";
// E: HOLD labels; F: the lower reading.
enum class MeterFont { A, B, C, D, E, F };

struct MeterText {
    std::string text;
    MeterFont font;
    int x, y;          // left and top of the text
    bool red = false;  // else black
};

// The texts in drawing order. Empty texts are left out; blanks are kept
// (they draw nothing).
std::vector<MeterText> meterDisplayTexts(const MeterDisplay& d, bool offline);

inline Rgb displayColour(const MeterDisplay& d) { return d.backlight == 1 ? kDisplayLit : kDisplayUnlit; }

}  // namespace kv
