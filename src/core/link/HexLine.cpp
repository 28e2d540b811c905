#include "core/link/HexLine.h"

namespace kv {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "<digits[.digits]> RX|TX" at the start of a capture line. Plain hex lines
// never hold an R, T or X, so the two kinds cannot be confused.
bool captureStamp(std::string_view line, std::size_t& i, double& stamp, bool& outgoing) {
    std::size_t j = i;
    double secs = 0.0, scale = 0.0;
    bool digits = false;
    for (; j < line.size() && !isBlank(line[j]); ++j) {
        const char c = line[j];
        if (c == '.' && scale == 0.0) {
            scale = 1.0;
        } else if (c >= '0' && c <= '9') {
            digits = true;
            if (scale == 0.0) {
                secs = secs * 10 + (c - '0');
            } else {
                scale /= 10;
                secs += (c - '0') * scale;
            }
        } else {
            return false;
        }
    }
    if (!digits || j == line.size()) return false;
    while (j < line.size() && isBlank(line[j])) ++j;
    if (j + 2 > line.size() || line[j + 1] != 'X' || (line[j] != 'R' && line[j] != 'T')) return false;
    if (j + 2 < line.size() && !isBlank(line[j + 2])) return false;
    outgoing = line[j] == 'T';
    stamp = secs;
    i = j + 2;
    return true;
}

}  // namespace

HexLineResult parseHexLine(std::string_view line, std::vector<uint8_t>& out) {
    out.clear();
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size() || line[i] == '#') return {HexLineKind::Skip, 0};
    double stamp = -1.0;
    bool outgoing = false;
    if (captureStamp(line, i, stamp, outgoing) && outgoing) return {HexLineKind::Skip, 0, stamp};

    while (i < line.size()) {
        if (isBlank(line[i])) {
            ++i;
            continue;
        }
        const int hi = hexValue(line[i]);
        if (hi < 0) return {HexLineKind::Malformed, i + 1};
        if (i + 1 >= line.size()) return {HexLineKind::Malformed, i + 1};
        const int lo = hexValue(line[i + 1]);
        if (lo < 0) return {HexLineKind::Malformed, i + 2};
        out.push_back(static_cast<uint8_t>(hi << 4 | lo));
        i += 2;
    }
    return {HexLineKind::Bytes, 0, stamp};
}

}  // namespace kv
