// test_scene5.cpp -- road drive: travel and wrap, chickcone cues and holds, title fade, frame stepping.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "gfx2d/depth_buffer.h"
#include "scene_script.h"
#include "scenes/scene5_road.h"
#include "scenes/scene_data.h"

namespace {

namespace ss = scene_script;
constexpr double CONE_SHIFT = 40.0;

int count_top_ff(Surface* s)
{
    return int(std::count_if(ss::pixels(s), ss::pixels(s) + 320 * 240, [](uint32_t v) { return (v >> 24) == 0xFF; }));
}

class RoadScene : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static Matrix matrix;
        shared_matrix = &matrix;
        ASSERT_TRUE(allocate_depth_buffer());
        title_picture = ss::solid_picture(21, 11, 0xFFFFFFFFu); // odd sizes: halves round down to (150, 115)
    }
    void SetUp() override
    {
        ss::begin(5);
        // Fresh meshes every test (the chickcone's cursor survives runs): the road set behind the
        // camera; the chickcone keyframe 0 (3 ticks) and keyframe 1 (5 ticks), 40 apart in x.
        for (Mesh** m : { &footpath_mesh, &box1_mesh, &box2_mesh, &road_mesh, &conerow_mesh, &roadline_mesh })
            *m = ss::triangle_mesh({ 0, 0, -5000 }, { 10, 0, -5000 }, { 0, 10, -5000 });
        MaMesh cone;
        cone.keyframes.push_back(MaKeyframe { { { -30, -60, 0 }, { 30, -60, 0 }, { 0, 0, 0 } }, 3 });
        cone.keyframes.push_back(MaKeyframe {
            { { -30 + CONE_SHIFT, -60, 0 }, { 30 + CONE_SHIFT, -60, 0 }, { CONE_SHIFT, 0, 0 } }, 5 });
        cone.faces.push_back(MaFace { 0, 1, 2 });
        chickcone_mesh = ss::mesh_of(cone);
    }
    void TearDown() override { ss::end(); }
    static void ticks(RoadRun* run, uint32_t number, int n)
    {
        for (int i = 0; i < n; ++i)
            road_tick(run, number);
    }
};

TEST_F(RoadScene, TravelFallsByTwoAndJumpsBackAtMinus1000UnlessTheStopCue)
{
    // (number, ticks) steps and the camera z after each.
    const struct {
        uint32_t number;
        int ticks;
        double z;
    } road[] = { { 5, 1, -602 }, { 5, 198, -998 }, { 5, 1, -600 }, { 250, 200, -600 }, // any other cue wraps too
        { 242, 200, -1000 }, { 242, 300, -1600 }, { 5, 1, -600 } }; // back on a number: -600 at once
    RoadRun run;
    start_road_run(&run);
    EXPECT_EQ(run.camera.offset_y, -30.0);
    for (const auto& step : road) {
        ticks(&run, step.number, step.ticks);
        EXPECT_EQ(run.camera.offset_z, step.z) << step.number << " x " << step.ticks;
    }
}

TEST_F(RoadScene, SlideCueMovesTheTargetLeftToMinus45AndWithTheWrap)
{
    RoadRun run;
    start_road_run(&run);
    ticks(&run, 241, 44);
    EXPECT_EQ(run.target.x, -44.0);
    ticks(&run, 241, 6);
    EXPECT_EQ(run.target.x, -45.0);
    ticks(&run, 241, 149);
    EXPECT_EQ(run.target.z, 1050.0);
    ticks(&run, 241, 1); // the wrap at tick 200 takes the chickcone back by 400 with the road
    EXPECT_EQ(run.target.z, 650.0);
    ticks(&run, 242, 3);
    ticks(&run, 5, 3); // other cues and the scene's own number leave the target to the drawing
    EXPECT_EQ(run.target.x, -45.0);
    EXPECT_EQ(run.target.z, 650.0);
}

TEST_F(RoadScene, ChickconeHoldsKeyframeZeroOnTheSlideCueAndKeyframeOneOnTheStopCue)
{
    RoadRun run;
    start_road_run(&run);
    ticks(&run, 241, 7);
    EXPECT_EQ(chickcone_mesh->current_frame, 0u);
    EXPECT_EQ(chickcone_mesh->render_vertices[0].x, -30.0);
    // Stop cue: K0, K0 + d, K0 + 2d, then K1 on the third call, held from then on.
    ticks(&run, 242, 2);
    EXPECT_DOUBLE_EQ(chickcone_mesh->render_vertices[0].x, -30.0 + CONE_SHIFT / 3.0);
    ticks(&run, 242, 21);
    EXPECT_EQ(chickcone_mesh->current_frame, 1u);
    EXPECT_EQ(chickcone_mesh->render_vertices[0].x, -30.0 + CONE_SHIFT);
    ticks(&run, 5, 4); // the scene's own number never steps it
    EXPECT_EQ(chickcone_mesh->step, 0u);
    EXPECT_EQ(chickcone_mesh->current_frame, 1u);
}

TEST_F(RoadScene, AThreeTickFrameStepsEveryMeshThreeTimesAndSwaysTheTarget)
{
    RoadRun run;
    start_road_run(&run);
    road_frame(&run, 3);
    EXPECT_EQ(run.camera.offset_z, -606.0);
    EXPECT_EQ(run.fade_level, 3);
    for (Mesh* m : { box1_mesh, box2_mesh, footpath_mesh, road_mesh, roadline_mesh, conerow_mesh })
        EXPECT_EQ(m->step, 3u);
    EXPECT_EQ(chickcone_mesh->step, 0u); // not on the scene's own number
    EXPECT_EQ(run.target.z, 1056.0); // 450 ahead of the camera
    EXPECT_DOUBLE_EQ(run.target.x, 30.0 * std::sin(0.30000000000000004));
}

TEST_F(RoadScene, TitleIsMixedWithTheOutlinesUntilTheFadeEndsThenTheChickconeAppears)
{
    RoadRun run;
    start_road_run(&run);
    road_frame(&run, 1); // fade level 1
    // White title over the darkened frame, mixed with black outlines at level 1: 255 x 255 / 256.
    // Beside it the start colour 0x12345678 halved (0x091A2B3C), then x 255 / 256.
    const struct {
        int x, y;
        uint32_t colour;
    } pixels[] = { { 150, 115, 0x00FEFEFEu }, { 170, 125, 0x00FEFEFEu }, { 149, 115, 0x00192A3Bu },
        { 171, 115, 0x00192A3Bu }, { 150, 126, 0x00192A3Bu }, { 0, 0, 0x00192A3Bu } };
    for (const auto& p : pixels)
        EXPECT_EQ(surface_row32(frame_surface, p.y)[p.x], p.colour) << p.x << "," << p.y;

    road_frame(&run, 252);
    scene_number.store(241, std::memory_order_relaxed);
    road_frame(&run, 1); // level 254: the chickcone stands in view but is not drawn anywhere
    EXPECT_EQ(count_top_ff(frame_surface) + count_top_ff(work_surface_1), 0);
    road_frame(&run, 1); // level 255: outlines straight into the frame, chickcone included
    EXPECT_GT(count_top_ff(frame_surface), 20);
    const uint32_t corner = surface_row32(frame_surface, 0)[0];
    scene_number.store(5, std::memory_order_relaxed);
    road_frame(&run, 1); // no cue: only the trail, halved again (every byte, the top one too)
    EXPECT_EQ(count_top_ff(frame_surface), 0);
    EXPECT_EQ(surface_row32(frame_surface, 0)[0], (corner >> 1) & 0x7F7F7F7Fu);
}

TEST_F(RoadScene, DarkeningHalvesEveryByteIncludingTheTop)
{
    ss::fill(frame_surface, 0xFFFFFFFFu);
    surface_row32(frame_surface, 239)[319] = 0x01030507u;
    darken_surface(frame_surface);
    EXPECT_EQ(surface_row32(frame_surface, 0)[0], 0x7F7F7F7Fu);
    EXPECT_EQ(surface_row32(frame_surface, 239)[319], 0x00010203u);
}

TEST_F(RoadScene, LoopRunsThroughCuesAndEndsOnAnotherScene)
{
    // The number 6 arrives with a stall of three extra ticks: that frame waits 4 ticks and the
    // scene then returns.
    ss::play(road_scene, { { 3, 241 }, { 5, 250 }, { 8, 6 } }, { { 8, 3 } });
    EXPECT_EQ(ss::tick(), 11u);
    EXPECT_EQ(elapsed_ticks, 3u);
    scene_number.store(5, std::memory_order_relaxed);
    ss::record.quit = 1; // with the quit flag already set the scene returns without waiting
    road_scene();
    EXPECT_EQ(ss::tick(), 11u);
}

} // namespace
