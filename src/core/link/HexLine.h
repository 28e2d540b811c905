#pragma once
// One line of a serial capture written as hexadecimal bytes ("AA 61 64 ..." or
// "AA6164..."): used by `kv2047-tool decode` and its fuzzer. A line of the
// program's own captures carries a timestamp and a direction first
// ("12.345 RX AA 61 ..."): RX lines are reads from the meter, TX lines what the
// program wrote, which a reader of meter reads skips.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kv {

enum class HexLineKind {
    Skip,       // blank, or a comment starting with '#'
    Bytes,      // one serial read
    Malformed,  // not pairs of hex digits
};

struct HexLineResult {
    HexLineKind kind = HexLineKind::Skip;
    std::size_t column = 0;  // 1-based column of the first offending character when Malformed
    double stamp = -1.0;     // seconds of a capture line's timestamp; -1 on a plain hex line
};

// Parses `line` (without its newline; a trailing CR is ignored) into `out`,
// which is cleared first. Whitespace may separate bytes but not split one.
HexLineResult parseHexLine(std::string_view line, std::vector<uint8_t>& out);

}  // namespace kv
