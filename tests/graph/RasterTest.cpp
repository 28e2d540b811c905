// The plot's line rasteriser.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/graph/Raster.h"

using namespace kv;

namespace {

struct Buffer {
    int w, h;
    std::vector<uint32_t> px;
    double ratio = 1.0;
    Buffer(int w_, int h_, double r = 1.0) : w(w_), h(h_), px(static_cast<size_t>(w_) * h_, 0xFF000000u), ratio(r) {}
    Canvas canvas() { return Canvas{px.data(), w, w, h, ratio}; }
    uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
    int count(uint32_t c) const {
        int n = 0;
        for (uint32_t p : px) n += p == c;
        return n;
    }
    std::string row(int y) const {
        std::string s;
        for (int x = 0; x < w; ++x) s += at(x, y) == kOn ? '#' : '.';
        return s;
    }
    static constexpr uint32_t kOn = 0xFFFF0000u;
};

}  // namespace

struct SegmentRow {
    const char* name;
    int x0, y0, x1, y1;
    std::vector<std::pair<int, int>> pixels;
};

class Segment : public ::testing::TestWithParam<SegmentRow> {};

TEST_P(Segment, CoversStartAndStopsShortOfTheEnd) {
    const SegmentRow& r = GetParam();
    Buffer b(8, 8);
    drawSegment(b.canvas(), r.x0, r.y0, r.x1, r.y1, Buffer::kOn);
    EXPECT_EQ(b.count(Buffer::kOn), static_cast<int>(r.pixels.size()));
    for (auto [x, y] : r.pixels) EXPECT_EQ(b.at(x, y), Buffer::kOn) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Segment,
    ::testing::Values(SegmentRow{"Point", 3, 3, 3, 3, {}},
                      SegmentRow{"Right", 1, 2, 4, 2, {{1, 2}, {2, 2}, {3, 2}}},
                      SegmentRow{"Left", 4, 2, 1, 2, {{4, 2}, {3, 2}, {2, 2}}},
                      SegmentRow{"Down", 5, 1, 5, 3, {{5, 1}, {5, 2}}},
                      SegmentRow{"Up", 5, 3, 5, 1, {{5, 3}, {5, 2}}},
                      SegmentRow{"Diagonal", 0, 0, 4, 4, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
                      SegmentRow{"Shallow", 0, 0, 4, 1, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
                      SegmentRow{"Steep", 1, 0, 0, 3, {{1, 0}, {1, 1}, {0, 2}}},
                      SegmentRow{"ClippedLeft", -3, 2, 2, 2, {{0, 2}, {1, 2}}},
                      SegmentRow{"OutsideBelow", 0, 9, 7, 12, {}},
                      // From the clamp of pixelTrunc: the clipped start needs 64-bit arithmetic.
                      SegmentRow{"FromTheClampAbove", 0, -(1 << 28), 4, 8,
                                 {{4, 0}, {4, 1}, {4, 2}, {4, 3}, {4, 4}, {4, 5}, {4, 6}, {4, 7}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Raster, PolylineSetsEachJointOnce) {
    Buffer b(10, 3);
    const int xs[] = {0, 3, 6, 9};
    const int ys[] = {1, 1, 1, 1};
    drawPolyline(b.canvas(), xs, ys, 4, Buffer::kOn);
    EXPECT_EQ(b.row(1), "#########.");
}

TEST(Raster, LongLinesFarOutsideAreClippedExactly) {
    Buffer b(20, 30);
    // A missing reading maps tens of thousands of pixels below the plot.
    drawSegment(b.canvas(), 5, 10, 6, 90000, Buffer::kOn);
    EXPECT_EQ(b.count(Buffer::kOn), 20);   // rows 10..29
    Buffer c(20, 30);
    drawSegment(c.canvas(), -100000, 15, 100000, 15, Buffer::kOn);
    EXPECT_EQ(c.count(Buffer::kOn), 20);
    Buffer d(20, 30);
    // A shallow line entering from far left keeps its slope inside.
    drawSegment(d.canvas(), -1000, 0, 1000, 20, Buffer::kOn);
    EXPECT_EQ(d.count(Buffer::kOn), 20);
    EXPECT_EQ(d.at(0, 10), Buffer::kOn);
}

TEST(Raster, DottedLinesThreeOnThreeOffFromTheStart) {
    Buffer b(14, 14);
    dottedHLine(b.canvas(), 0, 0, 14, Buffer::kOn);
    EXPECT_EQ(b.row(0), "###...###...##");
    Buffer v(3, 14);
    dottedVLine(v.canvas(), 1, 14, 0, Buffer::kOn);   // from the bottom edge upwards, row 14 outside
    std::string col;
    for (int y = 0; y < 14; ++y) col += v.at(1, y) == Buffer::kOn ? '#' : '.';
    EXPECT_EQ(col, ".##...###...##");
}

// Device pixels per logical pixel of a high-density screen.
struct RatioRow {
    const char* name;
    double ratio;
};

class Scaled : public ::testing::TestWithParam<RatioRow> {};

TEST_P(Scaled, InvertingTwiceRestores) {
    Buffer b(80, 80, GetParam().ratio);
    for (size_t i = 0; i < b.px.size(); ++i) b.px[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
    const std::vector<uint32_t> before = b.px;
    scaledInvertDottedVLine(b.canvas(), 7, 0, 40);
    xorDottedVLine(b.canvas(), 9, 3, 35, 0x00123456u, 1, 2);
    scaledInvertDragFrame(b.canvas(), 3, 5, 30, 33);
    scaledInvertDragFrame(b.canvas(), 6, 6, 8, 9);   // narrower than two borders
    EXPECT_NE(b.px, before);
    scaledInvertDragFrame(b.canvas(), 6, 6, 8, 9);
    scaledInvertDragFrame(b.canvas(), 3, 5, 30, 33);
    xorDottedVLine(b.canvas(), 9, 3, 35, 0x00123456u, 1, 2);
    scaledInvertDottedVLine(b.canvas(), 7, 0, 40);
    EXPECT_EQ(b.px, before);
}

// A line drawn at a fractional ratio keeps one thickness along its length:
// a picture scaled up from logical pixels would alternate.
TEST_P(Scaled, LinesKeepOneThickness) {
    Buffer b(80, 80, GetParam().ratio);
    const Canvas c = b.canvas();
    const int xs[] = {1, 15, 30}, ys[] = {2, 2, 2};
    scaledPolyline(c, xs, ys, 3, Buffer::kOn);
    scaledSegment(c, 3, 5, 3, 30, Buffer::kOn);
    const int t = c.lineWidth();
    for (long x = c.dev(1); x < c.dev(30); ++x) {
        int n = 0;
        for (int y = 0; y < c.dev(4); ++y) n += b.at(static_cast<int>(x), y) == Buffer::kOn;
        ASSERT_EQ(n, t) << "column " << x;
        ASSERT_EQ(b.at(static_cast<int>(x), static_cast<int>(c.dev(2))), Buffer::kOn);
    }
    for (long y = c.dev(5); y < c.dev(30); ++y) {
        int n = 0;
        for (int x = static_cast<int>(c.dev(2)); x < c.dev(5); ++x) n += b.at(x, static_cast<int>(y)) == Buffer::kOn;
        ASSERT_EQ(n, t) << "row " << y;
    }
    // The line stops at its end point's pixel, which the next segment begins with.
    EXPECT_NE(b.at(static_cast<int>(c.dev(30)) + t, static_cast<int>(c.dev(2))), Buffer::kOn);
}

TEST_P(Scaled, DotsAllOfOneLength) {
    Buffer b(120, 4, GetParam().ratio);
    const Canvas c = b.canvas();
    scaledDottedHLine(c, 0, 0, 70, Buffer::kOn);
    const std::string row = b.row(0).substr(0, static_cast<size_t>(c.dev(70)));
    const std::string dot(static_cast<size_t>(kDotOn * c.lineWidth()), '#');
    const std::string gap(static_cast<size_t>((kDotPeriod - kDotOn) * c.lineWidth()), '.');
    std::string expected;
    while (expected.size() < row.size()) expected += dot + gap;
    EXPECT_EQ(row, expected.substr(0, row.size()));
    EXPECT_EQ(b.row(c.lineWidth()).find('#'), std::string::npos) << "thicker than a line";
}

INSTANTIATE_TEST_SUITE_P(Ratios, Scaled,
                         ::testing::Values(RatioRow{"One", 1.0}, RatioRow{"OneAndAHalf", 1.5}, RatioRow{"Two", 2.0},
                                           RatioRow{"OneAndAQuarter", 1.25}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Raster, DragFrameInvertsEveryOtherPixelOfTheBorderOnly) {
    Buffer b(20, 20);
    invertDragFrame(b.canvas(), 2, 2, 12, 8);
    const int border = 2 * 10 + 2 * 4;   // 28 pixels, half of them inverted
    EXPECT_EQ(b.count(0xFFFFFFFFu), border / 2);
    EXPECT_EQ(b.at(5, 5), 0xFF000000u);   // inside untouched
    invertDragFrame(b.canvas(), 5, 5, 5, 9);   // no width: nothing
    EXPECT_EQ(b.count(0xFFFFFFFFu), border / 2);
}
