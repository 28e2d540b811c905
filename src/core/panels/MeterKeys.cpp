#include "core/panels/MeterKeys.h"

namespace kv {

// Button sizes are the key templates' sizes in dialog units, two pixels each;
// each image is drawn from its top-left corner and cut to the button.
const std::array<MeterKey, kMeterKeyCount> kMeterKeys = {{
    {1044, "HOLDUP", 126, 361, 36, 24, 37, 25, "key_holdup.svg", "HOLD, upper reading",
     {0x6B, 0x1E, 0x00, 0x00, 0x00}, std::nullopt},
    {1045, "POWEROFF", 139, 561, 24, 24, 24, 26, "key_power.svg", "Power off",
     {0x6B, 0x50, 0x00, 0x00, 0x00}, std::nullopt},
    {1046, "MAX/MINUP", 55, 358, 34, 28, 36, 29, "key_maxminup.svg", "MAX/MIN, upper reading (double-click or Shift+Space: second function)",
     {0x6B, 0x0A, 0x00, 0x00, 0x00}, Payload{0x6B, 0x0B, 0x00, 0x00, 0x00}},
    {1047, "IRT", 93, 396, 34, 32, 35, 32, "key_irt.svg", "IRT",
     {0x69, 0x0A, 0x00, 0x00, 0x00}, std::nullopt},
    {1048, "MAXMIND", 67, 478, 30, 42, 32, 43, "key_maxmind.svg", "MAX/MIN, lower reading (double-click or Shift+Space: second function)",
     {0x6B, 0x3C, 0x00, 0x00, 0x00}, Payload{0x6B, 0x42, 0x00, 0x00, 0x00}},
    {1049, "HOLDD", 119, 479, 32, 42, 32, 45, "key_holdd.svg", "HOLD, lower reading",
     {0x6B, 0x32, 0x00, 0x00, 0x00}, std::nullopt},
    {1052, "AVG", 92, 360, 34, 32, 34, 33, "key_avg.svg", "AVG (double-click or Shift+Space: second function)",
     {0x6B, 0x14, 0x00, 0x00, 0x00}, Payload{0x6B, 0x16, 0x00, 0x00, 0x00}},
    {1055, "UNITS", 92, 447, 34, 36, 35, 40, "key_units.svg", "UNITS, °C/°F (double-click or Shift+Space: second function)",
     {0x6B, 0x28, 0x00, 0x00, 0x00}, Payload{0x6B, 0x2C, 0x00, 0x00, 0x00}},
    {1056, "AREA", 93, 511, 32, 38, 34, 40, "key_area.svg", "AREA (double-click or Shift+Space: second function)",
     {0x6B, 0x46, 0x46, 0x00, 0x00}, Payload{0x6B, 0x4D, 0x00, 0x00, 0x00}},
}};

const MeterKey* meterKeyByControl(int control) {
    for (const MeterKey& k : kMeterKeys)
        if (k.control == control) return &k;
    return nullptr;
}

std::optional<Command> doubleClickCommand(const MeterKey& k) {
    if (!k.doubleClick) return std::nullopt;
    return makeCommand(*k.doubleClick);
}

}  // namespace kv
