// test_scene5.cpp -- road drive: travel and wrap, chickcone cues and holds, title fade, frame stepping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "app/clock.h"
#include "app/demo.h"
#include "app/window.h"
#include "gfx2d/depth_buffer.h"
#include "render3d/mesh.h"
#include "scenes/scene5_road.h"
#include "scenes/scene_data.h"
#include "tools/lib/acg_writer.h"
#include "tools/lib/ma_writer.h"

namespace {

// A clock that only moves when the tick timer waits; the scene number changes at scripted ticks
// and a stall jumps the clock forward when its tick is reached.
struct Script {
    uint32_t now_ms = 0;
    std::vector<std::pair<uint32_t, uint32_t>> numbers; // (tick, number from then on)
    std::vector<std::pair<uint32_t, uint32_t>> stalls; // (tick, extra ticks)
};
Script script;
WindowRecord record;

void advance(uint32_t ms)
{
    const uint32_t before = script.now_ms >> 5;
    script.now_ms += ms;
    for (const auto& [at, extra] : script.stalls)
        if (at > before && at <= (script.now_ms >> 5))
            script.now_ms += extra * 32;
    for (const auto& [at, number] : script.numbers)
        if (at > before && at <= (script.now_ms >> 5))
            scene_number.store(number, std::memory_order_relaxed);
}

Mesh* mesh_from(const MaMesh& ma)
{
    std::vector<uint8_t> bytes;
    if (!encode_ma(&ma, &bytes))
        return nullptr;
    return load_ma_bytes(bytes.data(), bytes.size());
}

// One triangle far behind the camera (never drawn); one keyframe whose long morph lets the step
// counter count the mesh steps.
Mesh* hidden_mesh()
{
    MaMesh ma;
    ma.keyframes.push_back(MaKeyframe { { { 0, 0, -5000 }, { 10, 0, -5000 }, { 0, 10, -5000 } }, 1000 });
    ma.faces.push_back(MaFace { 0, 1, 2 });
    return mesh_from(ma);
}

// Keyframe 0 (3 ticks) and keyframe 1 (5 ticks), one triangle each, 40 units apart in x.
constexpr double CONE_SHIFT = 40.0;
Mesh* cone_mesh()
{
    MaMesh ma;
    ma.keyframes.push_back(MaKeyframe { { { -30, -60, 0 }, { 30, -60, 0 }, { 0, 0, 0 } }, 3 });
    ma.keyframes.push_back(
        MaKeyframe { { { -30 + CONE_SHIFT, -60, 0 }, { 30 + CONE_SHIFT, -60, 0 }, { CONE_SHIFT, 0, 0 } }, 5 });
    ma.faces.push_back(MaFace { 0, 1, 2 });
    return mesh_from(ma);
}

// An opaque white 21 x 11 title: odd sizes, so the halves round down to (150, 115).
Image* white_title()
{
    std::vector<uint32_t> colours(21 * 11, 0xFFFFFFFFu);
    std::vector<uint8_t> bytes;
    if (!encode_acg(colours.data(), 21, 11, &bytes))
        return nullptr;
    return load_acg_memory(bytes.data(), bytes.size());
}

constexpr uint32_t START_PIXEL = 0x12345678u;

uint32_t* pixels(Surface* s)
{
    return surface_row32(s, 0);
}

int count_top_ff(Surface* s)
{
    const uint32_t* p = pixels(s);
    return int(std::count_if(p, p + 320 * 240, [](uint32_t v) { return (v >> 24) == 0xFF; }));
}

class RoadScene : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static Matrix matrix;
        shared_matrix = &matrix;
        ASSERT_TRUE(allocate_depth_buffer());
        frame_surface = create_surface(320, 240, 32);
        work_surface_1 = create_surface(320, 240, 32);
        title_picture = white_title();
        ASSERT_TRUE(frame_surface && work_surface_1 && title_picture);
    }

    void SetUp() override
    {
        // Fresh meshes for every test: the chickcone's cursor survives runs of the scene.
        Mesh** road[] = { &footpath_mesh, &box1_mesh, &box2_mesh, &road_mesh, &conerow_mesh, &roadline_mesh };
        for (Mesh** m : road) {
            if (*m)
                free_mesh(*m);
            *m = hidden_mesh();
            ASSERT_NE(*m, nullptr);
        }
        if (chickcone_mesh)
            free_mesh(chickcone_mesh);
        chickcone_mesh = cone_mesh();
        ASSERT_NE(chickcone_mesh, nullptr);
        std::fill_n(pixels(frame_surface), 320 * 240, START_PIXEL);
        std::fill_n(pixels(work_surface_1), 320 * 240, START_PIXEL);

        script = Script {};
        record = WindowRecord {};
        window_record = &record;
        set_demo_clock(DemoClock { [](void*) { return script.now_ms; }, [](void*, uint32_t ms) { advance(ms); },
            [](void*) { advance(1); }, nullptr });
        reset_tick_timer();
        scene_number.store(5, std::memory_order_relaxed);
    }

    void TearDown() override
    {
        set_demo_clock(real_clock());
        window_record = nullptr;
    }

    static void ticks(RoadRun* run, uint32_t number, int n)
    {
        for (int i = 0; i < n; ++i)
            road_tick(run, number);
    }
};

// ---- travel ----

TEST_F(RoadScene, TravelFallsByTwoAndJumpsBackAtMinus1000UnlessTheStopCue)
{
    RoadRun run;
    start_road_run(&run);
    EXPECT_EQ(run.camera.offset_z, -600.0);
    EXPECT_EQ(run.camera.offset_y, -30.0);
    ticks(&run, 5, 1);
    EXPECT_EQ(run.camera.offset_z, -602.0);
    ticks(&run, 5, 198);
    EXPECT_EQ(run.camera.offset_z, -998.0);
    // The tick that reaches -1000 jumps straight back: the road repeats every 400.
    ticks(&run, 5, 1);
    EXPECT_EQ(run.camera.offset_z, -600.0);
    ticks(&run, 250, 200); // any other cue wraps the same way
    EXPECT_EQ(run.camera.offset_z, -600.0);

    RoadRun stopped;
    start_road_run(&stopped);
    ticks(&stopped, 242, 200);
    EXPECT_EQ(stopped.camera.offset_z, -1000.0);
    ticks(&stopped, 242, 300);
    EXPECT_EQ(stopped.camera.offset_z, -1600.0);
    // Back on an ordinary number it jumps to -600 at the next tick, wherever it got to.
    ticks(&stopped, 5, 1);
    EXPECT_EQ(stopped.camera.offset_z, -600.0);
}

TEST_F(RoadScene, SlideCueMovesTheTargetLeftToMinus45AndWithTheWrap)
{
    RoadRun run;
    start_road_run(&run);
    // Entered on the cue: the target starts where an ordinary first frame would put it.
    EXPECT_EQ(run.target.x, 0.0);
    EXPECT_EQ(run.target.z, 1050.0);
    ticks(&run, 241, 44);
    EXPECT_EQ(run.target.x, -44.0);
    ticks(&run, 241, 1);
    EXPECT_EQ(run.target.x, -45.0);
    ticks(&run, 241, 5);
    EXPECT_EQ(run.target.x, -45.0);
    EXPECT_EQ(run.target.z, 1050.0);
    // 50 ticks in: Z = -700. The wrap at tick 200 takes the chickcone back by 400 with the road.
    ticks(&run, 241, 149);
    EXPECT_EQ(run.target.z, 1050.0);
    ticks(&run, 241, 1);
    EXPECT_EQ(run.camera.offset_z, -600.0);
    EXPECT_EQ(run.target.z, 650.0);
    // Other cues and the scene's own number leave the target to the drawing.
    ticks(&run, 242, 3);
    ticks(&run, 5, 3);
    EXPECT_EQ(run.target.x, -45.0);
    EXPECT_EQ(run.target.z, 650.0);
}

TEST_F(RoadScene, FadeCountsTicksToTwoFiftyFive)
{
    RoadRun run;
    start_road_run(&run);
    ticks(&run, 5, 254);
    EXPECT_EQ(run.fade_level, 254);
    ticks(&run, 5, 1);
    EXPECT_EQ(run.fade_level, 255);
    ticks(&run, 5, 10);
    EXPECT_EQ(run.fade_level, 255);
}

// ---- the chickcone ----

TEST_F(RoadScene, ChickconeHoldsKeyframeZeroOnTheSlideCueAndKeyframeOneOnTheStopCue)
{
    RoadRun run;
    start_road_run(&run);
    ticks(&run, 241, 7);
    EXPECT_EQ(chickcone_mesh->step, 0u);
    EXPECT_EQ(chickcone_mesh->current_frame, 0u);
    EXPECT_EQ(chickcone_mesh->render_vertices[0].x, -30.0);

    // Stop cue: K0, K0 + d, K0 + 2d, then K1 on the third call, held from then on.
    ticks(&run, 242, 2);
    EXPECT_EQ(chickcone_mesh->current_frame, 0u);
    EXPECT_DOUBLE_EQ(chickcone_mesh->render_vertices[0].x, -30.0 + CONE_SHIFT / 3.0);
    ticks(&run, 242, 1);
    EXPECT_EQ(chickcone_mesh->current_frame, 1u);
    EXPECT_EQ(chickcone_mesh->step, 0u);
    EXPECT_EQ(chickcone_mesh->render_vertices[0].x, -30.0 + CONE_SHIFT);
    ticks(&run, 242, 20);
    EXPECT_EQ(chickcone_mesh->current_frame, 1u);
    EXPECT_EQ(chickcone_mesh->step, 0u);
    EXPECT_EQ(chickcone_mesh->render_vertices[0].x, -30.0 + CONE_SHIFT);

    // The scene's own number never steps it.
    ticks(&run, 5, 4);
    EXPECT_EQ(chickcone_mesh->step, 0u);
    EXPECT_EQ(chickcone_mesh->current_frame, 1u);
}

TEST_F(RoadScene, AThreeTickFrameStepsEveryMeshThreeTimes)
{
    RoadRun run;
    start_road_run(&run);
    road_frame(&run, 3);
    EXPECT_EQ(run.camera.offset_z, -606.0);
    EXPECT_DOUBLE_EQ(run.phase, 0.3);
    EXPECT_EQ(run.fade_level, 3);
    for (Mesh* m : { box1_mesh, box2_mesh, footpath_mesh, road_mesh, roadline_mesh, conerow_mesh })
        EXPECT_EQ(m->step, 3u);
    EXPECT_EQ(chickcone_mesh->step, 0u); // not on the scene's own number
    // An ordinary frame puts the target 450 ahead of the camera, swaying with t.
    EXPECT_EQ(run.target.z, 1056.0);
    EXPECT_DOUBLE_EQ(run.target.x, 30.0 * std::sin(run.phase));
    // Camera rolled half a turn plus the sway.
    EXPECT_DOUBLE_EQ(run.camera.angle_z, std::numbers::pi + std::numbers::pi / 64.0 * std::sin(run.phase));
}

// ---- drawing ----

TEST_F(RoadScene, TitleIsMixedWithTheOutlinesUntilTheFadeEndsThenTheChickconeAppears)
{
    RoadRun run;
    start_road_run(&run);
    road_frame(&run, 1); // fade level 1
    // Title pixel: white over the darkened frame, then mixed with black outlines at level 1:
    // 255 x 255 / 256 = 254.
    EXPECT_EQ(surface_row32(frame_surface, 115)[150], 0x00FEFEFEu);
    EXPECT_EQ(surface_row32(frame_surface, 125)[170], 0x00FEFEFEu);
    // Beside it the start colour halved (0x091A2B3C), then x 255 / 256.
    EXPECT_EQ(surface_row32(frame_surface, 115)[149], 0x00192A3Bu);
    EXPECT_EQ(surface_row32(frame_surface, 115)[171], 0x00192A3Bu);
    EXPECT_EQ(surface_row32(frame_surface, 126)[150], 0x00192A3Bu);
    EXPECT_EQ(surface_row32(frame_surface, 0)[0], 0x00192A3Bu);

    road_frame(&run, 252); // level 253, the target 450 ahead of the camera
    scene_number.store(241, std::memory_order_relaxed);
    road_frame(&run, 1); // level 254: the chickcone stands in view but is not drawn anywhere
    EXPECT_EQ(run.fade_level, 254);
    EXPECT_EQ(count_top_ff(frame_surface), 0);
    EXPECT_EQ(count_top_ff(work_surface_1), 0);

    road_frame(&run, 1); // level 255: outlines straight into the frame, chickcone included
    EXPECT_GT(count_top_ff(frame_surface), 20);
    const uint32_t corner = surface_row32(frame_surface, 0)[0];
    const uint32_t title = surface_row32(frame_surface, 115)[150];

    scene_number.store(5, std::memory_order_relaxed);
    road_frame(&run, 1);
    // Without the cue nothing is drawn (the road set is behind the camera): only the trail,
    // halved again, and no title.
    EXPECT_EQ(count_top_ff(frame_surface), 0);
    EXPECT_EQ(surface_row32(frame_surface, 0)[0], (corner >> 1) & 0x7F7F7F7Fu);
    EXPECT_EQ(surface_row32(frame_surface, 115)[150], (title >> 1) & 0x7F7F7F7Fu);
}

TEST_F(RoadScene, DarkeningHalvesEveryByteIncludingTheTop)
{
    std::fill_n(pixels(frame_surface), 320 * 240, 0xFFFFFFFFu);
    surface_row32(frame_surface, 239)[319] = 0x01030507u;
    darken_surface(frame_surface);
    EXPECT_EQ(surface_row32(frame_surface, 0)[0], 0x7F7F7F7Fu);
    EXPECT_EQ(surface_row32(frame_surface, 239)[319], 0x00010203u);
}

// ---- the scene loop ----

TEST_F(RoadScene, LoopRunsThroughCuesAndEndsOnAnotherScene)
{
    script.numbers = { { 3, 241 }, { 5, 250 }, { 8, 6 } };
    script.stalls = { { 8, 3 } };
    road_scene();
    // The number 6 arrived with a stall of three extra ticks: that frame waited 4 ticks and the
    // scene then returned.
    EXPECT_EQ(script.now_ms >> 5, 11u);
    EXPECT_EQ(elapsed_ticks, 3u);
    EXPECT_EQ(current_scene_number(), 6u);

    // With the quit flag already set the scene returns without waiting.
    scene_number.store(5, std::memory_order_relaxed);
    record.quit = 1;
    const uint32_t now = script.now_ms;
    road_scene();
    EXPECT_EQ(script.now_ms, now);
}

} // namespace
