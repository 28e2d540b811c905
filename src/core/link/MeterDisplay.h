#pragma once
// The texts the meter's own display shows, rebuilt from every accepted frame.
#include <cstdint>
#include <string>

namespace kv {

struct MeterDisplay {
    std::string upper;          // display reading 1
    std::string upper2;         // display reading 2
    std::string lower;          // the K/IR number
    std::string unitLetter;     // "C" or "F"
    std::string maxminUpper, maxminLower;
    std::string holdUpper, holdLower;
    std::string recUpper, recLower;
    std::string link;           // "PC-LINK"
    std::string derived;        // "WB" / "DP"
    std::string probe;          // "IRTEMP", "     TYPE-K" or 12 blanks
    uint8_t backlight = 0;
};

// Texts of the graph control bar's run and meter fields (its clock is its own).
struct BarTexts {
    std::string startTime;   // "%d/%m/%y %H:%M:%S"
    std::string dataNo;      // "%d"
    std::string battery;     // "Normal" / "Low"
    std::string sampleRate;  // seconds
    std::string sampleCount;
};

}  // namespace kv
