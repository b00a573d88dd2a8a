// test_scene6.cpp -- bottle: the circling camera, animation steps, the lens backdrop and the filled bottle.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "gfx2d/depth_buffer.h"
#include "gfx2d/tables.h"
#include "scene_script.h"
#include "scenes/scene6_bottle.h"
#include "scenes/scene_data.h"

namespace {

namespace ss = scene_script;

// Each warper pixel names its row and column.
uint32_t warper_pixel(int row, int column)
{
    return uint32_t(row) << 12 | uint32_t(column);
}

std::vector<uint16_t> zero_table(TABLE_SIZE, 0);

class BottleScene : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static Matrix matrix;
        shared_matrix = &matrix;
        ASSERT_TRUE(allocate_depth_buffer());
        warper_surface = create_surface(WARPER_WIDTH, WARPER_HEIGHT, 32);
        for (int row = 0; row < WARPER_HEIGHT; ++row)
            for (int column = 0; column < WARPER_WIDTH; ++column)
                surface_row32(warper_surface, row)[column] = warper_pixel(row, column);
    }
    void SetUp() override
    {
        ss::begin(6);
        // Draws nothing (its corners on a line); animates slowly enough to count ticks.
        bottle_mesh = ss::triangle_mesh({ 0, 0, 0 }, { 1, 1, 1 }, { 2, 2, 2 });
        lens_u = lens_v = zero_table.data();
    }
    void TearDown() override { ss::end(); }
};

TEST_F(BottleScene, BackdropScrollsMinus320PixelsPerQuarterTurnOfHeading)
{
    const struct {
        double heading;
        int scroll;
    } cases[] = { { std::numbers::pi / 2, -320 }, { 0.0, 0 }, { -0.01, 2 }, { 0.01, -2 } }; // 2.037 truncated
    for (const auto& c : cases)
        EXPECT_EQ(bottle_backdrop_scroll(c.heading), c.scroll) << c.heading;
}

TEST_F(BottleScene, EachTickStepsTheBottleAndTheCircleClosesAfter315Ticks)
{
    BottleRun run;
    start_bottle_run(&run);
    for (int i = 0; i < 314; ++i)
        bottle_tick(&run);
    EXPECT_EQ(bottle_mesh->step, 314u);
    EXPECT_GT(run.phase, 6.2); // 314 x 0.02 is below 2 pi, 315 x 0.02 is not
    bottle_tick(&run);
    EXPECT_EQ(run.phase, 0.0);
}

TEST_F(BottleScene, BackdropIsTheWarperScrolledByTheHeadingThroughTheLens)
{
    // Tables that pass the screen position through: pixel (x, y) reads (wrap(240 + y, 480),
    // wrap(x - 320, 320)) at phase 0 (heading pi/2, scroll -320); the wrap of a negative value
    // is not a true modulo.
    static std::vector<uint16_t> u(TABLE_SIZE), v(TABLE_SIZE);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            u[y * 320 + x] = uint16_t(x);
            v[y * 320 + x] = uint16_t(y);
        }
    lens_u = u.data();
    lens_v = v.data();
    BottleRun run;
    start_bottle_run(&run);
    bottle_draw(&run);
    const struct {
        int x, y, row, column;
    } cases[] = { { 0, 0, 240, 319 }, { 1, 0, 240, 0 }, { 319, 0, 240, 318 }, { 100, 239, 479, 99 } };
    for (const auto& c : cases)
        EXPECT_EQ(surface_row32(frame_surface, c.y)[c.x], warper_pixel(c.row, c.column)) << c.x << "," << c.y;
}

// The generated bottle, filled over a black backdrop: its front faces must be wound the way the
// fill draws (a mesh wound the other way leaves only a scatter of corner pixels).
TEST_F(BottleScene, GeneratedBottleShowsFilledGreenFrontFaces)
{
    const std::string path = std::string(MW_BINARY_DIR) + "/data/bottlemosh.ma";
    Mesh* bottle = load_ma(path.c_str());
    ASSERT_NE(bottle, nullptr) << path;
    bottle_mesh = bottle;
    Surface* warper = warper_surface;
    warper_surface = create_surface(WARPER_WIDTH, WARPER_HEIGHT, 32);
    ss::fill(warper_surface, 0);
    BottleRun run;
    start_bottle_run(&run);
    for (int frame = 0; frame < 4; ++frame) {
        for (int i = 0; i < 20; ++i)
            bottle_tick(&run);
        bottle_draw(&run);
        int green = 0, other = 0;
        for (const uint32_t* p = ss::pixels(frame_surface); p < ss::pixels(frame_surface) + 320 * 240; ++p) {
            green += (*p & 0x00FFFFFFu) != 0 && (*p & 0x00FF00FFu) == 0;
            other += (*p & 0x00FF00FFu) != 0;
        }
        EXPECT_GT(green, 3000) << "frame " << frame;
        EXPECT_EQ(other, 0) << "frame " << frame;
    }
    destroy_surface(warper_surface);
    warper_surface = warper;
}

TEST_F(BottleScene, LoopStepsOncePerTickAndKeepsTheAnimationCursorAcrossRuns)
{
    ss::play(bottle_scene, { { 6, 7 } });
    EXPECT_EQ(bottle_mesh->step, 6u);
    EXPECT_EQ(elapsed_ticks, 0u); // one tick per frame, stored less one
    scene_number.store(6, std::memory_order_relaxed);
    ss::play(bottle_scene, { { 9, 7 } }); // the circle restarts, the animation carries on
    EXPECT_EQ(bottle_mesh->step, 9u);
}

} // namespace
