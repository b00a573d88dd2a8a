// test_scene2.cpp -- field lines: line drawing to the edge, tracers, blur, colour fringes, the scene loop.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "app/clock.h"
#include "app/demo.h"
#include "app/window.h"
#include "display/demo_rand.h"
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

TEST(LineUntilEdge, ZeroLengthStoresOnePixel)
{
    Canvas c;
    draw_line_until_edge(5, 7, 5, 7, WHITE, c.p.data());
    expect_exactly(c, { { 5, 7 } });
}

TEST(LineUntilEdge, ShallowAndSteepSteps)
{
    Canvas shallow;
    draw_line_until_edge(1, 0, 4, 2, WHITE, shallow.p.data());
    expect_exactly(shallow, { { 1, 0 }, { 2, 0 }, { 3, 1 }, { 4, 2 } });

    Canvas steep; // leftwards and down: x steps once the error reaches |dy|
    draw_line_until_edge(10, 10, 8, 14, WHITE, steep.p.data());
    expect_exactly(steep, { { 10, 10 }, { 10, 11 }, { 9, 12 }, { 9, 13 }, { 8, 14 } });

    Canvas diagonal; // |dx| = |dy| takes the y-major branch
    draw_line_until_edge(20, 20, 17, 17, WHITE, diagonal.p.data());
    expect_exactly(diagonal, { { 20, 20 }, { 19, 19 }, { 18, 18 }, { 17, 17 } });
}

TEST(LineUntilEdge, StopsAtFirstOutsidePointAndNeverWritesColumnZero)
{
    Canvas left;
    draw_line_until_edge(3, 5, -3, 5, WHITE, left.p.data());
    expect_exactly(left, { { 3, 5 }, { 2, 5 }, { 1, 5 } });

    Canvas starts_outside; // would come back in, but is not resumed
    draw_line_until_edge(0, 5, 6, 5, WHITE, starts_outside.p.data());
    EXPECT_EQ(starts_outside.lit(), 0);

    Canvas corner;
    draw_line_until_edge(318, 238, 322, 242, WHITE, corner.p.data());
    expect_exactly(corner, { { 318, 238 }, { 319, 239 } });

    Canvas top;
    draw_line_until_edge(50, 1, 50, -5, WHITE, top.p.data());
    expect_exactly(top, { { 50, 1 }, { 50, 0 } });
}

TEST(LineUntilEdge, ExtremeEndpointsNeitherOverflowNorRunLong)
{
    Canvas c;
    draw_line_until_edge(INT_MIN, 0, INT_MAX, 0, WHITE, c.p.data());
    draw_line_until_edge(INT_MAX, INT_MIN, INT_MIN, INT_MAX, WHITE, c.p.data());
    EXPECT_EQ(c.lit(), 0);
    // From inside towards the far corner: drawn up to the edge only.
    draw_line_until_edge(5, 5, INT_MIN, INT_MIN, WHITE, c.p.data());
    EXPECT_EQ(c.at(5, 5), WHITE);
    EXPECT_LE(c.lit(), 6);
}

// ---- tracers ----

TEST(FieldLines, TracerLandingOnItsPoleStopsThatLineOnly)
{
    // Direction 0 moves both tracers 3 pixels right along row 100; the one from (100, 100)
    // lands exactly on the pole at (103, 100) that pulls it. Its pull is undefined there, so it
    // stops; the other tracer keeps to row 100 (no vertical velocity ever).
    Canvas c;
    trace_field_line(100, 100, 103, 100, 0, c.p.data());
    int off_row = 0;
    for (int y = 0; y < FIELD_ROWS; ++y)
        for (int x = 0; x < FIELD_ROW; ++x)
            if (y != 100 && c.at(x, y))
                ++off_row;
    EXPECT_EQ(off_row, 0);
    for (int x = 100; x <= 106; ++x)
        EXPECT_EQ(c.at(x, 100), WHITE) << x;
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
    for (int y = 0; y < FIELD_ROWS; ++y)
        EXPECT_EQ(c.at(0, y), 0u);
    EXPECT_GT(c.lit(), 400);
}

// ---- blur ----

TEST(Blur, WhiteAreaGives247BetweenBuffersAnd245InPlace)
{
    std::vector<uint32_t> white(FIELD_PIXELS, WHITE), out(FIELD_PIXELS, 0);
    blur_in_place(out.data(), white.data(), FIELD_PIXELS);
    EXPECT_EQ(out[120 * FIELD_ROW + 160], 0x00F7F7F7u); // 63 + 4 * 31 + 4 * 15
    EXPECT_EQ(out[1 * FIELD_ROW + 1], 0x00F7F7F7u);
    // Neighbours outside the buffer are black. The first pixel keeps its right and lower edge
    // neighbours and, the buffer being one run, the corners at +319 (end of row 0) and +321:
    // 63 + 2 * 31 + 2 * 15.
    EXPECT_EQ(out[0], 0x009B9B9Bu);
    // The last pixel mirrors it: -1, -320, -319 and -321 are inside.
    EXPECT_EQ(out[FIELD_PIXELS - 1], 0x009B9B9Bu);
    // Last row, mid: the three lower neighbours are gone: 63 + 3 * 31 + 2 * 15.
    EXPECT_EQ(out[FIELD_PIXELS - 160], 0x00BABABAu);

    // In place the upper and left neighbours are already blurred, and a white area settles at
    // 63 + 2 * 30 + 2 * 31 + 2 * 15 + 2 * 15 = 245.
    std::vector<uint32_t> same(FIELD_PIXELS, WHITE);
    blur_in_place(same.data(), same.data(), FIELD_PIXELS);
    EXPECT_EQ(same[120 * FIELD_ROW + 160], 0x00F5F5F5u);
    EXPECT_EQ(same[FIELD_PIXELS - 1] >> 24, 0u);
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
    EXPECT_EQ(short_dst[0], 0x005E5E5Eu); // 63 + 31 (right) only; corners at +319/+321 are outside
    EXPECT_EQ(short_dst[10], 7u);
}

// ---- chromatic spread ----

TEST(ChromaticSpread, ChannelsSampleFurtherApartAndClampAtTheEdges)
{
    std::vector<uint32_t> src(FIELD_PIXELS, 0), dst(FIELD_PIXELS, 0xDEADBEEFu);
    src[3 * FIELD_ROW + 0] = 0xFFFFFFFFu; // left edge of row 3
    src[7 * FIELD_ROW + 319] = 0xFFFFFFFFu; // right edge of row 7
    chromatic_spread(src.data(), dst.data(), 1);
    auto row3 = [&](int x) { return dst[3 * FIELD_ROW + x]; };
    // Red reaches 4 columns, green 8, blue 16; half of 255 each, from the clamped sample.
    EXPECT_EQ(row3(0), 0x007F7F7Fu);
    EXPECT_EQ(row3(4), 0x007F7F7Fu);
    EXPECT_EQ(row3(5), 0x00007F7Fu);
    EXPECT_EQ(row3(9), 0x0000007Fu);
    EXPECT_EQ(row3(16), 0x0000007Fu);
    EXPECT_EQ(row3(17), 0u);
    // Column 4 + 4 = 8 samples black; there is no second hit from the right.
    EXPECT_EQ(dst[4 * FIELD_ROW], 0u);

    chromatic_spread(src.data(), dst.data(), 2); // blue 32 columns away
    auto row7 = [&](int x) { return dst[7 * FIELD_ROW + x]; };
    EXPECT_EQ(row7(319), 0x007F7F7Fu);
    EXPECT_EQ(row7(287), 0x0000007Fu);
    EXPECT_EQ(row7(286), 0u);
    EXPECT_EQ(row7(303), 0x00007F7Fu);
    EXPECT_EQ(row7(311), 0x007F7F7Fu);
    EXPECT_EQ(row7(310), 0x00007F7Fu);

    std::vector<uint32_t> white(FIELD_PIXELS, WHITE);
    chromatic_spread(white.data(), dst.data(), 2);
    EXPECT_EQ(dst[100], 0x00FEFEFEu); // 127 + 127, top byte 0
}

// ---- the scene loop ----

// A clock that jumps to the next tick boundary on every wait and counts the frames; at the
// chosen frame the music moves on to scene 3.
struct FrameClock {
    uint32_t now = 0;
    int frames = 0;
    int last_frame = 0;
};
FrameClock frame_clock;

uint32_t frame_now(void*)
{
    return frame_clock.now;
}
void frame_sleep(void*, uint32_t)
{
    frame_clock.now = ((frame_clock.now >> 5) + 1) << 5;
    if (++frame_clock.frames == frame_clock.last_frame)
        scene_number.store(3, std::memory_order_relaxed);
}
void frame_spin(void* context)
{
    frame_sleep(context, 1);
}

TEST(FieldLinesScene, DrawsFramesUntilAnotherSceneIsSelected)
{
    window_record = nullptr;
    Surface* saved_frame = frame_surface;
    Surface* saved_work = work_surface_1;
    frame_surface = create_surface(320, 240, 32);
    work_surface_1 = create_surface(320, 240, 32);
    ASSERT_TRUE(frame_surface && work_surface_1);

    frame_clock = FrameClock {};
    frame_clock.last_frame = 3;
    set_demo_clock(DemoClock { frame_now, frame_sleep, frame_spin, nullptr });
    reset_tick_timer();
    scene_number.store(2, std::memory_order_relaxed);
    demo_srand(99);
    field_lines_scene();
    const int next = demo_rand();

    EXPECT_EQ(frame_clock.frames, 3);
    EXPECT_EQ(current_scene_number(), 3u);
    // Per frame: four pole values, one per line, one for the spread.
    demo_srand(99);
    for (int i = 0; i < 3 * (4 + FIELD_LINE_COUNT + 1); ++i)
        demo_rand();
    EXPECT_EQ(demo_rand(), next);

    int lit = 0;
    const uint32_t* frame = surface_row32(frame_surface, 0);
    for (int i = 0; i < FIELD_PIXELS; ++i) {
        lit += frame[i] != 0;
        EXPECT_EQ(frame[i] >> 24, 0u);
    }
    EXPECT_GT(lit, 1000);

    set_demo_clock(real_clock());
    destroy_surface(frame_surface);
    destroy_surface(work_surface_1);
    frame_surface = saved_frame;
    work_surface_1 = saved_work;
}

} // namespace
