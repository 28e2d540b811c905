// Hex lines of a serial capture.
#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "core/link/HexLine.h"

namespace {

struct HexCase {
    const char* name;
    const char* line;
    kv::HexLineKind kind;
    std::vector<uint8_t> bytes;
    std::size_t column;
};
void PrintTo(const HexCase& c, std::ostream* os) { *os << c.name; }

class HexLine : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexLine, Parses) {
    std::vector<uint8_t> out{0x99};  // cleared by every call
    const auto r = kv::parseHexLine(GetParam().line, out);
    EXPECT_EQ(r.kind, GetParam().kind);
    EXPECT_EQ(out, GetParam().bytes);
    if (r.kind == kv::HexLineKind::Malformed) {
        EXPECT_EQ(r.column, GetParam().column);
    }
}

using K = kv::HexLineKind;
INSTANTIATE_TEST_SUITE_P(
    Lines, HexLine,
    ::testing::Values(HexCase{"Empty", "", K::Skip, {}, 0},
                      HexCase{"Blanks", " \t \r", K::Skip, {}, 0},
                      HexCase{"Comment", "# AA 61", K::Skip, {}, 0},
                      HexCase{"IndentedComment", "  #x", K::Skip, {}, 0},
                      HexCase{"Spaced", "AA 61 64", K::Bytes, {0xAA, 0x61, 0x64}, 0},
                      HexCase{"Packed", "aa6164", K::Bytes, {0xAA, 0x61, 0x64}, 0},
                      HexCase{"MixedAndCrlf", " Aa61\t64 \r", K::Bytes, {0xAA, 0x61, 0x64}, 0},
                      HexCase{"OddDigits", "AA 616", K::Malformed, {0xAA, 0x61}, 6},
                      HexCase{"SplitByte", "A A", K::Malformed, {}, 2},
                      HexCase{"NotHex", "AA 6G", K::Malformed, {0xAA}, 5},
                      HexCase{"Prefix", "0xAA", K::Malformed, {}, 2},
                      HexCase{"TrailingComment", "AA # x", K::Malformed, {0xAA}, 4}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
