#include "link/HexLine.h"

namespace kv {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

HexLineResult parseHexLine(std::string_view line, std::vector<uint8_t>& out) {
    out.clear();
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size() || line[i] == '#') return {HexLineKind::Skip, 0};

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
    return {HexLineKind::Bytes, 0};
}

}  // namespace kv
