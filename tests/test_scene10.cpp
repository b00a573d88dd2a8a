// test_scene10.cpp -- shells over a flash: the flash, ball rows and spans, the growth cycle, the loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/demo.h"
#include "gfx2d/tables.h"
#include "scene_script.h"
#include "scenes/scene10_shells.h"
#include "scenes/scene_data.h"

namespace {

constexpr int W = 320;
constexpr int H = 240;
constexpr int GUARD = 2 * W; // two rows of guard words on either side of the buffer
constexpr uint32_t GUARD_WORD = 0xDEADBEEFu;
constexpr uint32_t BACKGROUND = 0x00102030u;

// A 320 x 240 buffer with guard rows above and below that must never be written.
struct Canvas {
    std::vector<uint32_t> words = std::vector<uint32_t>(W * H + 2 * GUARD, BACKGROUND);
    Canvas()
    {
        std::fill(words.begin(), words.begin() + GUARD, GUARD_WORD);
        std::fill(words.end() - GUARD, words.end(), GUARD_WORD);
    }
    uint32_t* pixels() { return words.data() + GUARD; }
    uint32_t at(int x, int y) const { return words[GUARD + y * W + x]; }
    bool guards_intact() const
    {
        for (int i = 0; i < GUARD; ++i)
            if (words[i] != GUARD_WORD || words[words.size() - 1 - i] != GUARD_WORD)
                return false;
        return true;
    }
    int changed() const
    {
        int n = 0;
        for (int i = 0; i < W * H; ++i)
            n += words[GUARD + i] != BACKGROUND;
        return n;
    }
};

// An opaque 128 x 64 texture whose words name their row and column.
struct TestTexture {
    std::vector<uint32_t> words = std::vector<uint32_t>(BALL_TEXTURE_WIDTH * BALL_TEXTURE_HEIGHT);
    TestTexture()
    {
        for (int row = 0; row < BALL_TEXTURE_HEIGHT; ++row)
            for (int col = 0; col < BALL_TEXTURE_WIDTH; ++col)
                words[row * BALL_TEXTURE_WIDTH + col] = texel(row, col);
    }
    static uint32_t texel(int row, int col) { return 0xFF000000u | uint32_t(row) << 8 | uint32_t(col); }
};

Ball test_ball(TestTexture* texture, float radius)
{
    return Ball { 0.0f, 0.0f, 100.0f, radius, texture->words.data(), BALL_TEXTURE_WIDTH, BALL_TEXTURE_HEIGHT, 0, 0 };
}

// ---- the flash ----

TEST(Flash, WhiteCoreHaloByFalloffAndNothingBehindTheViewer)
{
    ASSERT_TRUE(make_falloff_table());
    FlashLight light {};
    light.z = 50.0;
    light.intensity = 5.0;
    Canvas canvas;
    draw_flash(canvas.pixels(), &light);
    // The centre: 510 x 5 clamps to 255, which makes the pixel white with coverage 255.
    EXPECT_EQ(canvas.at(160, 120), 0xFFFFFFFFu);
    // Ten columns off: 255 / 10 x 5 = 127.5 -> 127; each channel 127 + (c x 129 >> 8).
    EXPECT_EQ(canvas.at(170, 120), 0x7F878F97u);
    EXPECT_EQ(canvas.at(150, 120), 0x7F878F97u);
    EXPECT_EQ(canvas.at(160, 130), 0x7F878F97u);
    // The far corner: distance 200, 255 / 200 x 5 = 6.375 -> 6: 6 + (c x 250 >> 8).
    EXPECT_EQ(canvas.at(0, 0), 0x06152534u);
    EXPECT_TRUE(canvas.guards_intact());

    // Over white the old colour keeps 256 - d of 256: 127 + (255 x 129 >> 8) saturates to 255.
    Canvas white;
    std::fill_n(white.pixels(), W * H, 0x00FFFFFFu);
    draw_flash(white.pixels(), &light);
    EXPECT_EQ(white.at(170, 120), 0x7FFFFFFFu);

    Canvas behind;
    light.z = 0.0;
    draw_flash(behind.pixels(), &light);
    light.z = -50.0;
    draw_flash(behind.pixels(), &light);
    EXPECT_EQ(behind.changed(), 0);

    // A light projected further than the table reaches leaves every pixel alone.
    Canvas far;
    light.z = 50.0;
    light.x = 20000.0;
    draw_flash(far.pixels(), &light);
    EXPECT_EQ(far.changed(), 0);
}

// ---- balls ----

TEST(Ball, RowsSpansAndTextureCoordinatesOfARadius25Ball)
{
    TestTexture texture;
    Ball ball = test_ball(&texture, 50.0f); // 50 x 50 / 100: 25 pixels, rows 95-145
    Canvas canvas;
    draw_ball(&ball, canvas.pixels());

    // Top row: one pixel at the centre column, texture row 64 - 63 = 1, column 128 - 64.
    EXPECT_EQ(canvas.at(160, 95), TestTexture::texel(1, 64));
    EXPECT_EQ(canvas.at(159, 95), BACKGROUND);
    EXPECT_EQ(canvas.at(161, 95), BACKGROUND);
    EXPECT_EQ(canvas.at(160, 94), BACKGROUND);
    // Row 120 (the 26th): e = -128 + 6400 / 51 = -3, half-width trunc(25 sin(acos(-3/128))) = 24,
    // v = trunc(acos(-3/128) / pi x 63) = 31. Left end column 64; right end after 48 of 49
    // steps f = 122: column 128 - trunc(acos(122/128) / pi x 64) = 122.
    EXPECT_EQ(canvas.at(136, 120), TestTexture::texel(33, 64));
    EXPECT_EQ(canvas.at(184, 120), TestTexture::texel(33, 122));
    EXPECT_EQ(canvas.at(135, 120), BACKGROUND);
    EXPECT_EQ(canvas.at(185, 120), BACKGROUND);
    // Bottom row 145: e = -128 + 12800 / 51 = 122, v = trunc(acos(122/128) / pi x 63) = 6, half
    // width trunc(25 sin(0.3077)) = 7: the span 153-167 (n = 15) reaches column 160 after 7
    // steps with f = -128 + 1792 / 15 = -9, column 128 - trunc(acos(-9/128) / pi x 64) = 95.
    EXPECT_EQ(canvas.at(160, 145), TestTexture::texel(58, 95));
    EXPECT_EQ(canvas.at(160, 146), BACKGROUND);
    EXPECT_TRUE(canvas.guards_intact());
}

TEST(Ball, TexelCoverageDecidesWhatStaysOfTheBackground)
{
    std::vector<uint32_t> words(BALL_TEXTURE_WIDTH * BALL_TEXTURE_HEIGHT);
    Ball ball { 0.0f, 0.0f, 100.0f, 50.0f, words.data(), BALL_TEXTURE_WIDTH, BALL_TEXTURE_HEIGHT, 0, 0 };
    Canvas canvas;
    draw_ball(&ball, canvas.pixels()); // all words 0: nothing changes
    EXPECT_EQ(canvas.changed(), 0);

    std::fill(words.begin(), words.end(), 0xFF0A0B0Cu);
    draw_ball(&ball, canvas.pixels()); // coverage 255: replaced
    EXPECT_EQ(canvas.at(160, 120), 0xFF0A0B0Cu);

    std::fill(words.begin(), words.end(), 0x80402010u);
    Canvas white;
    std::fill(white.pixels(), white.pixels() + W * H, 0x00FFFFFFu);
    draw_ball(&ball, white.pixels()); // half coverage: 255 x 128 >> 8 = 127 kept per channel
    EXPECT_EQ(white.at(160, 120), 0x80BF9F8Fu);
}

TEST(Ball, SpanClippingKeepsTheMappingOnTheLeftAndCompressesOnTheRight)
{
    TestTexture texture;
    Ball ball = test_ball(&texture, 50.0f);
    // A span from -10 to 9 (length 20) shows the same pixels as the right half of an unclipped
    // span of length 20: the skipped steps are taken at once and the accumulator is whole.
    Canvas clipped, whole;
    draw_ball_span(-10, 9, 50, 20, &ball, clipped.pixels());
    draw_ball_span(10, 29, 50, 20, &ball, whole.pixels());
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(clipped.at(x, 50), whole.at(x + 20, 50)) << x;
    EXPECT_EQ(clipped.at(10, 50), BACKGROUND);

    // 300 to 339 is measured after the clamp to 319: 20 pixels holding the whole mapping.
    Canvas right, reference;
    draw_ball_span(300, 339, 60, 20, &ball, right.pixels());
    draw_ball_span(0, 19, 60, 20, &ball, reference.pixels());
    for (int x = 0; x < 20; ++x)
        EXPECT_EQ(right.at(300 + x, 60), reference.at(x, 60)) << x;
    EXPECT_EQ(right.at(319, 60), TestTexture::texel(44, 119));

    // Nothing for spans starting beyond the right edge, ending before the left, or rows off
    // the buffer.
    Canvas none;
    draw_ball_span(320, 400, 10, 0, &ball, none.pixels());
    draw_ball_span(-50, -1, 10, 0, &ball, none.pixels());
    draw_ball_span(0, 319, -1, 0, &ball, none.pixels());
    draw_ball_span(0, 319, 240, 0, &ball, none.pixels());
    EXPECT_EQ(none.changed(), 0);
    EXPECT_TRUE(none.guards_intact());
}

TEST(Ball, NegativeOffsetsWrapIntoTheTexture)
{
    TestTexture texture;
    Ball ball = test_ball(&texture, 50.0f);
    ball.u_offset = -200;
    ball.v_offset = -100;
    Canvas canvas;
    draw_ball(&ball, canvas.pixels());
    // Top pixel: column (128 - 64 - 200) mod 128 = 120, row (-100 + 64 - 63) mod 64 = 29.
    EXPECT_EQ(canvas.at(160, 95), TestTexture::texel(29, 120));
    EXPECT_TRUE(canvas.guards_intact());
}

TEST(Ball, RowsOffTheBufferAreSkippedAndHugeBallsStayInside)
{
    TestTexture texture;
    Ball ball = test_ball(&texture, 50.0f);
    ball.y = -230.0f; // centre row 5: rows -20 to 30
    Canvas top;
    draw_ball(&ball, top.pixels());
    EXPECT_TRUE(top.guards_intact());
    EXPECT_NE(top.at(160, 0), BACKGROUND);
    EXPECT_NE(top.at(160, 30), BACKGROUND);
    EXPECT_EQ(top.at(160, 31), BACKGROUND);

    ball.y = 230.0f; // centre row 235: rows 210 to 260
    Canvas bottom;
    draw_ball(&ball, bottom.pixels());
    EXPECT_TRUE(bottom.guards_intact());
    EXPECT_EQ(bottom.at(160, 209), BACKGROUND);
    EXPECT_NE(bottom.at(160, 239), BACKGROUND);

    Ball huge = test_ball(&texture, 4.0e8f); // rows far beyond the buffer on both sides
    Canvas big;
    draw_ball(&huge, big.pixels());
    EXPECT_TRUE(big.guards_intact());
    EXPECT_EQ(big.changed(), W * H);

    Ball flat = test_ball(&texture, 50.0f); // depth 0 or behind: nothing
    flat.z = 0.0f;
    Canvas none;
    draw_ball(&flat, none.pixels());
    flat.z = -100.0f;
    draw_ball(&flat, none.pixels());
    EXPECT_EQ(none.changed(), 0);
}

// ---- the scene ----

// Shared Surfaces and records as set-up makes them, with opaque test textures on the balls.
class ShellsScene : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(make_falloff_table());
        saved_[0] = frame_surface;
        saved_[1] = work_surface_1;
        saved_[2] = work_surface_2;
        saved_[3] = work_surface_3;
        frame_surface = create_surface(W, H, 32);
        work_surface_1 = create_surface(W, H, 32);
        work_surface_2 = create_surface(W, H, 32);
        work_surface_3 = create_surface(W, H, 32);
        for (Surface* s : { frame_surface, work_surface_1, work_surface_2, work_surface_3 })
            std::fill_n(surface_row32(s, 0), W * H, 0x11111111u);
        saved_balls_ = balls;
        saved_flash_ = flash_light;
        for (int i = 0; i < BALL_COUNT; ++i) {
            for (uint32_t& word : textures_[i].words)
                word ^= uint32_t(i) << 16; // each ball its own texture: the drawing order shows
            records_[i] = test_ball(&textures_[i], 1.0f);
        }
        balls = records_;
        flash_ = FlashLight {};
        flash_light = &flash_;
    }
    void TearDown() override
    {
        for (Surface* s : { frame_surface, work_surface_1, work_surface_2, work_surface_3 })
            destroy_surface(s);
        frame_surface = saved_[0];
        work_surface_1 = saved_[1];
        work_surface_2 = saved_[2];
        work_surface_3 = saved_[3];
        balls = saved_balls_;
        flash_light = saved_flash_;
        set_demo_clock(real_clock());
    }
    TestTexture textures_[BALL_COUNT];
    Ball records_[BALL_COUNT] {};
    FlashLight flash_ {};
    Surface* saved_[4] {};
    Ball* saved_balls_ = nullptr;
    FlashLight* saved_flash_ = nullptr;
};

TEST_F(ShellsScene, SizesGrowByTruncatedStepsAndRestartAtFortyTicks)
{
    ShellsRun run;
    start_shells_run(&run);
    EXPECT_EQ(surface_row32(work_surface_3, 0)[1234], 0u);
    EXPECT_EQ(flash_light->z, 50.0);
    EXPECT_EQ(balls[0].z, 100.0f);

    shells_frame(&run, 1); // 52.5, 51.25, 50.625, 6.25 truncated
    EXPECT_EQ(run.size[0], 52);
    EXPECT_EQ(run.size[1], 51);
    EXPECT_EQ(run.size[2], 50);
    EXPECT_EQ(run.intensity, 6);
    EXPECT_EQ(balls[0].radius, 52.0f);
    EXPECT_EQ(flash_light->intensity, 6.0);

    shells_frame(&run, 3); // a long frame: one large jump
    EXPECT_EQ(run.size[0], 59);
    EXPECT_EQ(run.size[1], 54);
    EXPECT_EQ(run.size[2], 51);
    EXPECT_EQ(run.intensity, 9);
    EXPECT_EQ(run.tick_sum, 4u);

    shells_frame(&run, 35);
    EXPECT_EQ(run.tick_sum, 39u);
    shells_frame(&run, 1); // S reaches 40: this very frame is drawn at the restart sizes
    EXPECT_EQ(run.tick_sum, 0u);
    EXPECT_EQ(run.size[0], 50);
    EXPECT_EQ(run.size[2], 50);
    EXPECT_EQ(run.intensity, 5);
    for (int i = 0; i < BALL_COUNT; ++i)
        EXPECT_EQ(balls[i].radius, 50.0f);
    // Radius 25 on screen: ball 0 (drawn last, from the back) shows its top texel at row 95; above it the flash.
    const uint32_t* frame = surface_row32(frame_surface, 0);
    EXPECT_EQ(frame[95 * W + 160], TestTexture::texel(1, 64));
    EXPECT_EQ(frame[94 * W + 160] >> 24, 49u); // 255 / 26 x 5 = 49.04
    // The background in work surface 1 is only read.
    EXPECT_EQ(surface_row32(work_surface_1, 0)[0], 0x11111111u);
    EXPECT_EQ(0, std::memcmp(frame, surface_row32(work_surface_2, 0), W * H * 4));
}

TEST_F(ShellsScene, RunsUnderCuesAndLeavesTheRecordsAsLastWritten)
{
    scene_script::Script saved = scene_script::script;
    scene_script::script = {};
    window_record = nullptr;
    set_demo_clock(DemoClock { scene_script::now, scene_script::sleep, scene_script::spin, nullptr });
    reset_tick_timer();
    scene_number.store(250, std::memory_order_relaxed); // a cue keeps it running
    scene_script::play(shells_scene, { { 5, 11 } });
    set_demo_clock(real_clock());
    scene_script::script = saved;
    EXPECT_EQ(current_scene_number(), 11u);
    // Five frames of one tick (the fifth wait changed the number; that frame is still drawn).
    EXPECT_EQ(balls[0].radius, 60.0f);
    EXPECT_EQ(balls[2].radius, 50.0f);
    EXPECT_EQ(surface_row32(work_surface_3, 0)[0], 0u);
}

} // namespace
