#include "core/panels/MeterFace.h"

namespace kv {

namespace {
int len(const std::string& s) { return static_cast<int>(s.size()); }
}  // namespace

std::vector<MeterText> meterDisplayTexts(const MeterDisplay& d, bool offline) {
    std::vector<MeterText> out;
    auto add = [&out](const std::string& text, MeterFont f, int x, int y, bool red = false) {
        if (!text.empty()) out.push_back({text, f, x, y, red});
    };
    if (offline) {
        add("OFFLINE", MeterFont::D, 55, 229, true);
        return out;
    }
    // The upper reading ends at x 94, seven pixels a character.
    add(d.upper, MeterFont::A, 94 - 7 * len(d.upper), 206);
    add(d.upper2, MeterFont::A, 118, 206);
    add(d.unitLetter, MeterFont::B, 100, 217);
    add(d.derived, MeterFont::B, 100, 234);
    const bool unitKnown = d.unitLetter == "C" || d.unitLetter == "F";
    if (unitKnown) {
        add("%RH", MeterFont::B, 115 + 7 * len(d.upper2), 209);
        add("O", MeterFont::C, 96, 217);
    }
    add(d.probe, MeterFont::B, 60, 254);
    add(d.link, MeterFont::B, 126, 194);
    add(d.recUpper, MeterFont::B, 52, 194);
    add(d.maxminUpper, MeterFont::B, 75, 194);
    add(d.recLower, MeterFont::B, 52, 329);
    add(d.maxminLower, MeterFont::B, 75, 329);
    add(d.holdUpper, MeterFont::E, 105, 194);
    add(d.holdLower, MeterFont::E, 105, 329);
    // The lower reading ends at x 132, sixteen pixels a character.
    add(d.lower, MeterFont::F, 132 - 16 * len(d.lower), 259);
    add(d.unitLetter, MeterFont::B, 140, 279);
    if (unitKnown) add("O", MeterFont::C, 136, 279);
    return out;
}

}  // namespace kv
