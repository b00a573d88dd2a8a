// test_scene10.cpp -- shells over a flash: the flash, ball span clipping, the growth cycle and the drawing
// order. Ball rows, spans, texel coverage and the scene loop are pinned by the scene 10 golden frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

#include "gfx2d/tables.h"
#include "scene_script.h"
#include "scenes/scene10_shells.h"
#include "scenes/scene_data.h"

namespace {
using namespace scene_script;

constexpr int W = 320;
constexpr uint32_t BACKGROUND = 0x00102030u;

// A 320 x 240 buffer between two guard rows on either side that must never be written.
struct Canvas {
    std::vector<uint32_t> words = std::vector<uint32_t>(W * 244, 0xDEADBEEFu);
    explicit Canvas(uint32_t colour = BACKGROUND) { std::fill_n(pixels(), W * 240, colour); }
    uint32_t* pixels() { return words.data() + 2 * W; }
    uint32_t at(int x, int y) const { return words[(y + 2) * W + x]; }
    bool guards_intact() const { return std::count(words.begin(), words.end(), 0xDEADBEEFu) == 4 * W; }
    int changed() const { return W * 240 - int(std::count(words.begin() + 2 * W, words.end() - 2 * W, BACKGROUND)); }
};

// Opaque 128 x 64 textures whose words name their row and column (and a tag in bits 16-23).
uint32_t texel(int row, int col, uint32_t tag = 0)
{
    return 0xFF000000u | tag << 16 | uint32_t(row) << 8 | uint32_t(col);
}
struct TestTexture {
    uint32_t words[BALL_TEXTURE_WIDTH * BALL_TEXTURE_HEIGHT];
    explicit TestTexture(uint32_t tag = 0)
    {
        for (int i = 0; i < BALL_TEXTURE_WIDTH * BALL_TEXTURE_HEIGHT; ++i)
            words[i] = texel(i / BALL_TEXTURE_WIDTH, i % BALL_TEXTURE_WIDTH, tag);
    }
    // A ball of this radius straight ahead at depth 100 (radius 50: 25 pixels on screen).
    Ball ball(float radius) { return Ball { 0, 0, 100, radius, words, BALL_TEXTURE_WIDTH, BALL_TEXTURE_HEIGHT, 0, 0 }; }
};

TEST(Flash, WhiteCoreHaloByFalloffAndNothingBehindTheViewer)
{
    ASSERT_TRUE(make_falloff_table());
    FlashLight light { 0.0, 0.0, 50.0, 5.0, 0.0 };
    Canvas canvas, white(0x00FFFFFFu);
    draw_flash(canvas.pixels(), &light);
    draw_flash(white.pixels(), &light);
    // The centre: 510 x 5 clamps to 255, white with coverage 255. Ten pixels off: 255 / 10 x 5 =
    // 127.5 -> 127; each channel 127 + (c x 129 >> 8); over white the old colour keeps 256 - d
    // of 256, saturating to 255. The far corner: distance 200, 6.375 -> 6: 6 + (c x 250 >> 8).
    const std::tuple<Canvas*, int, int, uint32_t> cases[]
        = { { &canvas, 160, 120, 0xFFFFFFFFu }, { &canvas, 170, 120, 0x7F878F97u }, { &canvas, 150, 120, 0x7F878F97u },
              { &canvas, 160, 130, 0x7F878F97u }, { &canvas, 0, 0, 0x06152534u }, { &white, 170, 120, 0x7FFFFFFFu } };
    for (const auto& [c, x, y, colour] : cases)
        EXPECT_EQ(c->at(x, y), colour) << x << "," << y;
    EXPECT_TRUE(canvas.guards_intact());
    // Behind the viewer, or projected further than the table reaches: every pixel left alone.
    Canvas none;
    for (const auto& [x, z] : { std::pair { 0.0, 0.0 }, std::pair { 0.0, -50.0 }, std::pair { 20000.0, 50.0 } }) {
        light.x = x;
        light.z = z;
        draw_flash(none.pixels(), &light);
    }
    EXPECT_EQ(none.changed(), 0);
}

TEST(Ball, SpansClipKeepingTheMappingOnTheLeftAndHugeBallsStayInside)
{
    TestTexture texture;
    Ball ball = texture.ball(50.0f);
    // A span from -10 to 9 (length 20) shows the same pixels as the right half of an unclipped
    // span of length 20: the skipped steps are taken at once and the accumulator is whole.
    Canvas clipped, whole;
    draw_ball_span(-10, 9, 50, 20, &ball, clipped.pixels());
    draw_ball_span(0, 19, 50, 20, &ball, whole.pixels());
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(clipped.at(x, 50), whole.at(x + 10, 50)) << x;
    EXPECT_EQ(clipped.at(10, 50), BACKGROUND);
    // A huge ball fills the buffer and no more.
    Canvas big;
    Ball huge = texture.ball(4.0e8f);
    draw_ball(&huge, big.pixels());
    EXPECT_EQ(big.changed(), W * 240);
    EXPECT_TRUE(big.guards_intact());
}

// The shared surfaces under the scripted clock; three test-textured balls (each its own texture,
// so the drawing order shows) and a flash light stand in for set-up's records.
TEST(ShellsScene, SizesGrowByTruncatedStepsAndRestartAtFortyTicks)
{
    ASSERT_TRUE(make_falloff_table());
    begin(10);
    TestTexture textures[BALL_COUNT] = { TestTexture(0), TestTexture(1), TestTexture(2) };
    Ball records[BALL_COUNT];
    for (int i = 0; i < BALL_COUNT; ++i)
        records[i] = textures[i].ball(1.0f);
    balls = records;
    FlashLight flash {};
    flash_light = &flash;
    ShellsRun run;
    start_shells_run(&run);
    EXPECT_EQ(pixels(work_surface_3)[1234], 0u);
    EXPECT_EQ(flash_light->z, 50.0);
    // (ticks, sizes a, b, c, intensity): 52.5, 51.25, 50.625, 6.25 truncated; a long frame is
    // one large jump.
    const int frames[][5] = { { 1, 52, 51, 50, 6 }, { 3, 59, 54, 51, 9 } };
    for (const auto& f : frames) {
        shells_frame(&run, uint32_t(f[0]));
        const int got[] = { run.size[0], run.size[1], run.size[2], run.intensity };
        EXPECT_TRUE(std::equal(got, got + 4, f + 1)) << "after " << run.tick_sum << " ticks";
    }
    shells_frame(&run, 35);
    EXPECT_EQ(run.tick_sum, 39u);
    shells_frame(&run, 1); // S reaches 40: this very frame is drawn at the restart sizes
    EXPECT_EQ(run.tick_sum, 0u);
    EXPECT_EQ(balls[0].radius, 50.0f);
    EXPECT_EQ(balls[2].radius, 50.0f);
    EXPECT_EQ(flash_light->intensity, 5.0);
    // Radius 25 on screen: ball 0 (drawn last, from the back) shows its top texel at row 95;
    // above it the flash, 255 / 26 x 5 = 49.04.
    const uint32_t* frame = pixels(frame_surface);
    EXPECT_EQ(frame[95 * W + 160], texel(1, 64));
    EXPECT_EQ(frame[94 * W + 160] >> 24, 49u);
    EXPECT_EQ(pixels(work_surface_1)[0], 0x12345678u); // the background is only read
    EXPECT_EQ(0, std::memcmp(frame, pixels(work_surface_2), W * 240 * 4));
    balls = nullptr;
    flash_light = nullptr;
    end();
}

} // namespace
