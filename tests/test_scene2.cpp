// test_scene2.cpp -- field lines: line drawing to the edge, tracers, blur, colour fringes, the scene loop.
#include <gtest/gtest.h>

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
    int lit() const
    {
        int n = 0;
        for (uint32_t v : p)
            n += v != 0;
        return n;
    }
};

void expect_exactly(const Canvas& c, const std::vector<std::pair<int, int>>& points)
{
    for (auto [x, y] : points)
        EXPECT_EQ(c.at(x, y), WHITE) << x << "," << y;
    EXPECT_EQ(c.lit(), int(points.size()));
}

// ---- draw_line_until_edge ----

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
        expect_exactly(canvas, c.lit);
    }
}

// ---- tracers ----

TEST(FieldLines, TracerLandingOnItsPoleStopsThatLineOnly)
{
    // Direction 0 moves both tracers 3 pixels right along row 100; the one from (100, 100)
    // lands exactly on the pole at (103, 100) that pulls it and stops; the other keeps to row 100.
    Canvas c;
    trace_field_line(100, 100, 103, 100, 0, c.p.data());
    int lit_on_row = 0;
    for (int x = 0; x < FIELD_ROW; ++x)
        lit_on_row += c.at(x, 100) != 0;
    EXPECT_EQ(c.lit(), lit_on_row);
    for (int x = 100; x <= 106; ++x)
        EXPECT_EQ(c.at(x, 100), WHITE) << x;
}

TEST(FieldLines, FarPolePullsWithTheInverseSquareOfTheDistance)
{
    // Direction 64 (a quarter turn) sends both tracers down 3 pixels a step; 200 pixels apart the
    // pull is 1000 / 200^2 = 0.025 a step, so over the 20 steps each drifts towards the other by
    // 0.025 x (0 + 1 + ... + 19) = 4.75 pixels at most: the lines stay within 5 columns.
    Canvas c;
    trace_field_line(50, 120, 250, 120, 64, c.p.data());
    for (int y = 121; y <= 175; ++y) {
        int left = 0, right = 0, stray = 0;
        for (int x = 0; x < FIELD_ROW; ++x) {
            if (!c.at(x, y))
                continue;
            left += x >= 50 && x <= 55;
            right += x >= 245 && x <= 250;
            stray += !(x >= 50 && x <= 55) && !(x >= 245 && x <= 250);
        }
        EXPECT_GT(left, 0) << y;
        EXPECT_GT(right, 0) << y;
        EXPECT_EQ(stray, 0) << y;
    }
}

TEST(FieldLines, FortyLinesTakeOneRandomValueEachAndStartAtThePoles)
{
    demo_srand(1234);
    std::vector<int> expected;
    for (int i = 0; i < 41; ++i)
        expected.push_back(demo_rand());
    demo_srand(1234);
    Canvas c;
    draw_field_lines(145, 100, 175, 100, c.p.data());
    EXPECT_EQ(demo_rand(), expected[40]);
    EXPECT_EQ(c.at(145, 100), WHITE);
    EXPECT_EQ(c.at(175, 100), WHITE);
    EXPECT_GT(c.lit(), 400);
}

// The frame's poles: (140 + r4 % 10, 95 + r3 % 10) and (170 + r2 % 10, 95 + r1 % 10) from the
// frame's first four random values, then one value for the spread (1 + r5 % 2).
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
    blur_in_place(want_lines.data(), want_lines.data(), FIELD_PIXELS);
    chromatic_spread(want_lines.data(), want.data(), 1 + demo_rand() % 2);
    EXPECT_EQ(demo_rand(), after);
    EXPECT_TRUE(frame == want) << "seed " << seed;
}

// ---- blur ----

TEST(Blur, WhiteAreaGives247BetweenBuffersAnd245InPlace)
{
    std::vector<uint32_t> white(FIELD_PIXELS, WHITE), out(FIELD_PIXELS, 0);
    blur_in_place(out.data(), white.data(), FIELD_PIXELS);
    // 63 + 4 x 31 + 4 x 15 inside. Neighbours outside the buffer are black: the first pixel keeps
    // its right and lower edge neighbours and, the buffer being one run, the corners at +319 and
    // +321 (63 + 2 x 31 + 2 x 15); the last pixel mirrors it; the last row loses three below.
    const std::pair<int, uint32_t> cases[] = { { 120 * FIELD_ROW + 160, 0x00F7F7F7u }, { FIELD_ROW + 1, 0x00F7F7F7u },
        { 0, 0x009B9B9Bu }, { FIELD_PIXELS - 1, 0x009B9B9Bu }, { FIELD_PIXELS - 160, 0x00BABABAu } };
    for (const auto& [i, colour] : cases)
        EXPECT_EQ(out[i], colour) << i;
    // In place the upper and left neighbours are already blurred: 63 + 2 x 30 + 2 x 31 + 4 x 15.
    std::vector<uint32_t> same(FIELD_PIXELS, WHITE);
    blur_in_place(same.data(), same.data(), FIELD_PIXELS);
    EXPECT_EQ(same[120 * FIELD_ROW + 160], 0x00F5F5F5u);
}

TEST(Blur, WeightsPerChannelAndRowEndsWrap)
{
    // One pixel at the end of row 5: its right neighbour in the run is the start of row 6.
    std::vector<uint32_t> src(FIELD_PIXELS, 0), dst(FIELD_PIXELS, 0x12345678u);
    const int i = 5 * FIELD_ROW + 319;
    src[i] = 0xFFFF8010u;
    blur_in_place(dst.data(), src.data(), FIELD_PIXELS);
    EXPECT_EQ(dst[i], 0x003F2004u); // >> 2 per channel, top byte dropped
    EXPECT_EQ(dst[i + 1], 0x001F1002u); // start of row 6: an edge neighbour
    EXPECT_EQ(dst[i - FIELD_ROW], 0x001F1002u);
    EXPECT_EQ(dst[i + FIELD_ROW + 1], 0x000F0801u); // a corner: >> 4
    EXPECT_EQ(dst[i + 2], 0u);
    // Only the first `count` pixels are written, and nothing past them is read.
    std::vector<uint32_t> short_src(10, WHITE), short_dst(11, 7u);
    blur_in_place(short_dst.data(), short_src.data(), 10);
    EXPECT_EQ(short_dst[0], 0x005E5E5Eu); // 63 + 31 (right) only
    EXPECT_EQ(short_dst[10], 7u);
}

// ---- chromatic spread ----

TEST(ChromaticSpread, ChannelsSampleFurtherApartAndClampAtTheEdges)
{
    std::vector<uint32_t> src(FIELD_PIXELS, 0), dst(FIELD_PIXELS, 0xDEADBEEFu);
    src[3 * FIELD_ROW + 0] = WHITE; // left edge of row 3
    src[7 * FIELD_ROW + 319] = WHITE; // right edge of row 7
    chromatic_spread(src.data(), dst.data(), 1);
    // Red reaches 4 columns, green 8, blue 16 (32 at step 2); half of 255 each, from the
    // clamped sample.
    const std::pair<int, uint32_t> step1[] = { { 0, 0x007F7F7Fu }, { 4, 0x007F7F7Fu }, { 5, 0x00007F7Fu },
        { 9, 0x0000007Fu }, { 16, 0x0000007Fu }, { 17, 0u } };
    for (const auto& [x, colour] : step1)
        EXPECT_EQ(dst[3 * FIELD_ROW + x], colour) << x;
    chromatic_spread(src.data(), dst.data(), 2);
    const std::pair<int, uint32_t> step2[] = { { 319, 0x007F7F7Fu }, { 311, 0x007F7F7Fu }, { 310, 0x00007F7Fu },
        { 303, 0x00007F7Fu }, { 287, 0x0000007Fu }, { 286, 0u } };
    for (const auto& [x, colour] : step2)
        EXPECT_EQ(dst[7 * FIELD_ROW + x], colour) << x;
    std::vector<uint32_t> white(FIELD_PIXELS, WHITE);
    chromatic_spread(white.data(), dst.data(), 2);
    EXPECT_EQ(dst[100], 0x00FEFEFEu); // 127 + 127, top byte 0
}

// ---- the scene loop ----

TEST(FieldLinesScene, DrawsFramesUntilAnotherSceneIsSelected)
{
    scene_script::begin(2);
    demo_srand(99);
    scene_script::play(field_lines_scene, { { 3, 3 } });
    const int next = demo_rand();
    EXPECT_EQ(scene_script::tick(), 3u);
    // Per frame: four pole values, one per line, one for the spread (three frames).
    demo_srand(99);
    for (int i = 0; i < 3 * (4 + FIELD_LINE_COUNT + 1); ++i)
        demo_rand();
    EXPECT_EQ(demo_rand(), next);
    scene_script::end();
}

} // namespace
