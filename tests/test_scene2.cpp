// test_scene2.cpp -- field lines: line drawing to the edge, the pull, pole placement, colour fringes.
// The blur and the scene loop are pinned by the scene 2 golden frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "display/demo_rand.h"
#include "scene_script.h"
#include "scenes/scene2_field_lines.h"

namespace {

constexpr uint32_t WHITE = 0xFFFFFFFFu;

struct Canvas {
    std::vector<uint32_t> p = std::vector<uint32_t>(FIELD_PIXELS, 0u);
    uint32_t at(int x, int y) const { return p[size_t(y) * FIELD_ROW + size_t(x)]; }
    // Lit pixels in the whole buffer (y < 0) or in row y.
    int lit(int y = -1) const
    {
        const auto first = y < 0 ? p.begin() : p.begin() + y * FIELD_ROW;
        return int(std::count_if(first, y < 0 ? p.end() : first + FIELD_ROW, [](uint32_t v) { return v != 0; }));
    }
};

TEST(LineUntilEdge, StepsLikeBresenhamAndStopsAtTheFirstPointOutside)
{
    const struct {
        int x0, y0, x1, y1;
        std::vector<std::pair<int, int>> lit;
    } cases[] = {
        { 5, 7, 5, 7, { { 5, 7 } } }, // zero length: one pixel
        { 1, 0, 4, 2, { { 1, 0 }, { 2, 0 }, { 3, 1 }, { 4, 2 } } }, // shallow
        { 10, 10, 8, 14, { { 10, 10 }, { 10, 11 }, { 9, 12 }, { 9, 13 }, { 8, 14 } } }, // steep, leftwards
        { 20, 20, 17, 17, { { 20, 20 }, { 19, 19 }, { 18, 18 }, { 17, 17 } } }, // |dx| = |dy|: y-major
        { 3, 5, -3, 5, { { 3, 5 }, { 2, 5 }, { 1, 5 } } }, // column 0 is never written
        { 0, 5, 6, 5, {} }, // starts outside: not resumed
        { 318, 238, 322, 242, { { 318, 238 }, { 319, 239 } } },
        { 50, 1, 50, -5, { { 50, 1 }, { 50, 0 } } },
        { INT_MIN, 0, INT_MAX, 0, {} }, // extreme end points neither overflow nor run long
        { INT_MAX, INT_MIN, INT_MIN, INT_MAX, {} },
    };
    for (const auto& c : cases) {
        Canvas canvas;
        draw_line_until_edge(c.x0, c.y0, c.x1, c.y1, WHITE, canvas.p.data());
        SCOPED_TRACE(testing::Message() << c.x0 << "," << c.y0 << " -> " << c.x1 << "," << c.y1);
        for (auto [x, y] : c.lit)
            EXPECT_EQ(canvas.at(x, y), WHITE) << x << "," << y;
        EXPECT_EQ(canvas.lit(), int(c.lit.size()));
    }
}

TEST(FieldLines, FarPolePullsWithTheInverseSquareOfTheDistance)
{
    // Direction 64 (a quarter turn) sends both tracers down 3 pixels a step; 200 pixels apart the
    // pull is 1000 / 200^2 = 0.025 a step, so over the 20 steps each drifts towards the other by
    // 0.025 x (0 + 1 + ... + 19) = 4.75 pixels at most: the lines stay within 5 columns.
    Canvas c;
    trace_field_line(50, 120, 250, 120, 64, c.p.data());
    for (int y = 121; y <= 175; ++y) {
        int left = 0, right = 0;
        for (int x = 0; x <= 5; ++x) {
            left += c.at(50 + x, y) != 0;
            right += c.at(245 + x, y) != 0;
        }
        EXPECT_TRUE(left > 0 && right > 0) << y;
        EXPECT_EQ(left + right, c.lit(y)) << y;
    }
}

// The frame's poles: (140 + r4 % 10, 95 + r3 % 10) and (170 + r2 % 10, 95 + r1 % 10) from the
// frame's first four random values, then one value per line and one for the spread (1 + r % 2).
TEST(FieldLines, FrameTakesItsPolesFromTheFirstFourRandomValues)
{
    auto first_values = [](uint32_t seed) { // the stream written out: x' = 214013 x + 2531011
        std::vector<int> r;
        for (int i = 0; i < 4; ++i) {
            seed = seed * 214013u + 2531011u;
            r.push_back(int((seed >> 16) & 0x7FFF));
        }
        return r;
    };
    uint32_t seed = 1;
    for (std::vector<int> r = first_values(seed);
         r[0] % 10 == r[3] % 10 || r[1] % 10 == r[2] % 10 || r[0] % 10 == r[1] % 10; r = first_values(++seed)) { }
    const std::vector<int> r = first_values(seed);
    std::vector<uint32_t> lines(FIELD_PIXELS), frame(FIELD_PIXELS), want_lines(FIELD_PIXELS, 0), want(FIELD_PIXELS);
    demo_srand(seed);
    draw_field_lines_frame(lines.data(), frame.data());
    const int after = demo_rand();

    demo_srand(seed);
    for (int i = 0; i < 4; ++i)
        demo_rand();
    draw_field_lines(140 + r[3] % 10, 95 + r[2] % 10, 170 + r[1] % 10, 95 + r[0] % 10, want_lines.data());
    EXPECT_EQ(want_lines[(95 + r[2] % 10) * FIELD_ROW + 140 + r[3] % 10], WHITE); // the lines start at the poles
    EXPECT_EQ(want_lines[(95 + r[0] % 10) * FIELD_ROW + 170 + r[1] % 10], WHITE);
    blur_in_place(want_lines.data(), want_lines.data(), FIELD_PIXELS);
    chromatic_spread(want_lines.data(), want.data(), 1 + demo_rand() % 2);
    EXPECT_EQ(demo_rand(), after);
    EXPECT_TRUE(frame == want) << "seed " << seed;
}

TEST(ChromaticSpread, ChannelsSampleFurtherApartAndClampAtTheEdges)
{
    std::vector<uint32_t> src(FIELD_PIXELS, 0), dst(FIELD_PIXELS, 0xDEADBEEFu);
    src[3 * FIELD_ROW + 0] = WHITE; // left edge of row 3
    src[7 * FIELD_ROW + 319] = WHITE; // right edge of row 7
    // Red reaches 4 columns, green 8, blue 16 (8, 16, 32 at step 2); half of 255 each, from the
    // clamped sample. (step, row, column, colour):
    const int cases[][4] = { { 1, 3, 0, 0x7F7F7F }, { 1, 3, 4, 0x7F7F7F }, { 1, 3, 5, 0x7F7F }, { 1, 3, 9, 0x7F },
        { 1, 3, 16, 0x7F }, { 1, 3, 17, 0 }, { 2, 7, 319, 0x7F7F7F }, { 2, 7, 311, 0x7F7F7F }, { 2, 7, 310, 0x7F7F },
        { 2, 7, 303, 0x7F7F }, { 2, 7, 287, 0x7F }, { 2, 7, 286, 0 } };
    for (const auto& c : cases) {
        chromatic_spread(src.data(), dst.data(), c[0]);
        EXPECT_EQ(dst[c[1] * FIELD_ROW + c[2]], uint32_t(c[3])) << "step " << c[0] << " column " << c[2];
    }
    std::vector<uint32_t> white(FIELD_PIXELS, WHITE);
    chromatic_spread(white.data(), dst.data(), 2);
    EXPECT_EQ(dst[100], 0x00FEFEFEu); // 127 + 127, top byte 0
}

} // namespace
