// test_scene6.cpp -- bottle: the circling camera, animation steps, the lens backdrop and the filled bottle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "app/clock.h"
#include "app/demo.h"
#include "app/window.h"
#include "gfx2d/depth_buffer.h"
#include "gfx2d/tables.h"
#include "render3d/mesh.h"
#include "scenes/scene6_bottle.h"
#include "scenes/scene_data.h"
#include "tools/lib/ma_writer.h"

namespace {

Mesh* mesh_from(const MaMesh& ma)
{
    std::vector<uint8_t> bytes;
    if (!encode_ma(&ma, &bytes))
        return nullptr;
    return load_ma_bytes(bytes.data(), bytes.size());
}

// A bottle that draws nothing (one face with its corners on a line) and animates slowly
// enough for its step counter to count the ticks.
Mesh* flat_bottle()
{
    MaMesh ma;
    ma.keyframes.push_back(MaKeyframe { { { 0, 0, 0 }, { 1, 1, 1 }, { 2, 2, 2 } }, 1000 });
    ma.faces.push_back(MaFace { 0, 1, 2 });
    return mesh_from(ma);
}

// Each warper pixel names its row and column.
uint32_t warper_pixel(int row, int column)
{
    return uint32_t(row) << 12 | uint32_t(column);
}

std::vector<uint16_t> zero_table(TABLE_SIZE, 0);
std::vector<uint16_t> u_table(TABLE_SIZE);
std::vector<uint16_t> v_table(TABLE_SIZE);
WindowRecord record;
uint32_t now_ms;
uint32_t end_tick; // the scene number becomes 7 when the clock reaches this tick

class BottleScene : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static Matrix matrix;
        shared_matrix = &matrix;
        ASSERT_TRUE(allocate_depth_buffer());
        frame_surface = create_surface(320, 240, 32);
        warper_surface = create_surface(WARPER_WIDTH, WARPER_HEIGHT, 32);
        ASSERT_TRUE(frame_surface && warper_surface);
        for (int row = 0; row < WARPER_HEIGHT; ++row)
            for (int column = 0; column < WARPER_WIDTH; ++column)
                surface_row32(warper_surface, row)[column] = warper_pixel(row, column);
    }

    void SetUp() override
    {
        if (bottle_mesh)
            free_mesh(bottle_mesh);
        bottle_mesh = flat_bottle();
        ASSERT_NE(bottle_mesh, nullptr);
        lens_u = zero_table.data();
        lens_v = zero_table.data();
    }
};

TEST_F(BottleScene, CameraStartsAQuarterTurnRoundFacingTheBottle)
{
    BottleRun run;
    start_bottle_run(&run);
    EXPECT_EQ(run.camera.angle_z, std::numbers::pi);
    bottle_draw(&run);
    EXPECT_EQ(run.camera.offset_x, 200.0);
    EXPECT_EQ(run.camera.offset_y, -60.0);
    EXPECT_EQ(run.camera.offset_z, 0.0);
    EXPECT_EQ(run.camera.angle_y, std::numbers::pi / 2); // asin(1)
    EXPECT_EQ(run.camera.angle_x, 0.0);
    EXPECT_EQ(run.camera.angle_z, std::numbers::pi);
    // A quarter turn of heading scrolls the backdrop by -320 pixels.
    EXPECT_EQ(bottle_backdrop_scroll(std::numbers::pi / 2), -320);
    EXPECT_EQ(bottle_backdrop_scroll(0.0), 0);
    EXPECT_EQ(bottle_backdrop_scroll(-0.01), 2); // 2.037 truncated
    EXPECT_EQ(bottle_backdrop_scroll(0.01), -2);
}

TEST_F(BottleScene, EachTickStepsTheBottleAndAdvancesTheCircle)
{
    BottleRun run;
    start_bottle_run(&run);
    bottle_tick(&run);
    bottle_tick(&run);
    EXPECT_EQ(bottle_mesh->step, 2u);
    EXPECT_DOUBLE_EQ(run.phase, 0.04);
    bottle_draw(&run);
    EXPECT_DOUBLE_EQ(run.camera.offset_x, 200.0 * std::cos(0.04));
    EXPECT_DOUBLE_EQ(run.camera.offset_z, 200.0 * std::sin(0.04));
    // Z > 0, X > 0: asin(X / R) with R = 200.
    EXPECT_NEAR(run.camera.angle_y, std::asin(std::cos(0.04)), 1e-12);

    // The circle closes after 315 ticks: 314 x 0.02 is below 2 pi, 315 x 0.02 is not.
    BottleRun full;
    start_bottle_run(&full);
    for (int i = 0; i < 314; ++i)
        bottle_tick(&full);
    EXPECT_GT(full.phase, 6.2);
    bottle_tick(&full);
    EXPECT_EQ(full.phase, 0.0);
}

TEST_F(BottleScene, BackdropIsTheWarperScrolledByTheHeadingThroughTheLens)
{
    BottleRun run;
    start_bottle_run(&run);
    bottle_draw(&run); // a = -320, b = 240
    // With zero tables every pixel reads row wrap(240, 480) = 240 and column wrap(-320, 320)
    // = 319 (the wrap of a negative value is not a true modulo).
    EXPECT_EQ(surface_row32(frame_surface, 0)[0], warper_pixel(240, 319));
    EXPECT_EQ(surface_row32(frame_surface, 239)[319], warper_pixel(240, 319));

    // Tables that pass the screen position through: pixel (x, y) reads
    // (wrap(240 + y, 480), wrap(x - 320, 320)).
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            u_table[y * 320 + x] = uint16_t(x);
            v_table[y * 320 + x] = uint16_t(y);
        }
    lens_u = u_table.data();
    lens_v = v_table.data();
    bottle_draw(&run);
    EXPECT_EQ(surface_row32(frame_surface, 0)[0], warper_pixel(240, 319));
    EXPECT_EQ(surface_row32(frame_surface, 0)[1], warper_pixel(240, 0)); // wrap(-319, 320) = 0
    EXPECT_EQ(surface_row32(frame_surface, 0)[319], warper_pixel(240, 318)); // wrap(-1, 320) = 318
    EXPECT_EQ(surface_row32(frame_surface, 239)[100], warper_pixel(479, 99));
}

// The generated bottle, filled over a black backdrop: its front faces must be wound the way
// the fill draws (a mesh wound the other way leaves only a scatter of corner pixels).
TEST_F(BottleScene, GeneratedBottleShowsFilledGreenFrontFaces)
{
    const std::string path = std::string(MW_BINARY_DIR) + "/data/bottlemosh.ma";
    Mesh* bottle = load_ma(path.c_str());
    if (!bottle)
        GTEST_SKIP() << "no generated data at " << path;
    free_mesh(bottle_mesh);
    bottle_mesh = bottle;
    Surface* black = create_surface(WARPER_WIDTH, WARPER_HEIGHT, 32);
    ASSERT_NE(black, nullptr);
    std::fill_n(surface_row32(black, 0), WARPER_WIDTH * WARPER_HEIGHT, 0u);
    Surface* warper = warper_surface;
    warper_surface = black;

    BottleRun run;
    start_bottle_run(&run);
    for (int frame = 0; frame < 4; ++frame) {
        for (int i = 0; i < 20; ++i)
            bottle_tick(&run);
        bottle_draw(&run);
        int green = 0, other = 0;
        for (int y = 0; y < 240; ++y)
            for (const uint32_t* p = surface_row32(frame_surface, y); p < surface_row32(frame_surface, y) + 320; ++p) {
                green += (*p & 0x00FFFFFFu) != 0 && (*p & 0x00FF00FFu) == 0;
                other += (*p & 0x00FF00FFu) != 0;
            }
        EXPECT_GT(green, 3000) << "frame " << frame;
        EXPECT_EQ(other, 0) << "frame " << frame;
    }
    warper_surface = warper;
    destroy_surface(black);
}

TEST_F(BottleScene, LoopDrawsUntilAnotherSceneAndKeepsTheAnimationCursor)
{
    record = WindowRecord {};
    window_record = &record;
    now_ms = 0;
    end_tick = 6;
    set_demo_clock(DemoClock { [](void*) { return now_ms; },
        [](void*, uint32_t ms) {
            now_ms += ms;
            if ((now_ms >> 5) >= end_tick)
                scene_number.store(7, std::memory_order_relaxed);
        },
        [](void*) {
            now_ms += 1;
            if ((now_ms >> 5) >= end_tick)
                scene_number.store(7, std::memory_order_relaxed);
        },
        nullptr });
    reset_tick_timer();
    scene_number.store(6, std::memory_order_relaxed);
    bottle_scene();
    EXPECT_EQ(bottle_mesh->step, 6u); // one step per tick
    EXPECT_EQ(elapsed_ticks, 0u); // one tick per frame, stored less one

    // Entered again, the circle restarts but the bottle's animation carries on.
    end_tick = 9;
    scene_number.store(6, std::memory_order_relaxed);
    bottle_scene();
    EXPECT_EQ(bottle_mesh->step, 9u);
    set_demo_clock(real_clock());
    window_record = nullptr;
}

} // namespace
