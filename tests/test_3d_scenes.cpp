// test_3d_scenes.cpp -- where known world points land in the 3D scenes (road, bottle, glows),
// checked against the camera worked out from each scene's description, not from its code.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "effects/light.h"
#include "gfx2d/depth_buffer.h"
#include "gfx2d/tables.h"
#include "scene_script.h"
#include "scenes/scene5_road.h"
#include "scenes/scene6_bottle.h"
#include "scenes/scene7_glows.h"
#include "scenes/scene_data.h"

namespace {

namespace ss = scene_script;
using ss::Point3;
constexpr double PI = std::numbers::pi;

class Scenes3d : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static Matrix matrix;
        shared_matrix = &matrix;
        ASSERT_TRUE(allocate_depth_buffer());
    }
    void SetUp() override { ss::begin(5); }
    void TearDown() override { ss::end(); }
};

void expect_near(const Vec4& got, Point3 want, const char* what)
{
    EXPECT_NEAR(got.x, want.x, 1e-9) << what;
    EXPECT_NEAR(got.y, want.y, 1e-9) << what;
    EXPECT_NEAR(got.z, want.z, 1e-9) << what;
}

// Road: the chickcone stands at the target, the road is lifted by the camera height, the camera
// faces the target and rolls half a turn plus pi/64 times the sway.
TEST_F(Scenes3d, RoadChickconeCornersLandWhereTheCameraSeesThem)
{
    Mesh** road[] = { &footpath_mesh, &box1_mesh, &box2_mesh, &road_mesh, &conerow_mesh, &roadline_mesh };
    for (Mesh** m : road) // behind the camera: never drawn
        *m = ss::triangle_mesh({ 0, 0, -5000 }, { 10, 0, -5000 }, { 0, 10, -5000 });
    const MaVertex corners[3] = { { -30, -60, 0 }, { 30, -60, 0 }, { 0, 0, 0 } };
    chickcone_mesh = ss::triangle_mesh(corners[0], corners[1], corners[2]);
    mesh_step(chickcone_mesh); // render vertices = keyframe 0
    ss::fill(frame_surface, 0);

    RoadRun run;
    start_road_run(&run); // camera z -600, target 450 ahead at z 1050
    run.phase = PI / 2; // sway 1
    run.fade_level = ROAD_FADE_DONE; // outlines straight into the frame
    run.target.x = -20.0;
    road_draw(&run, ROAD_CUE_SLIDE);

    const Point3 offset = { 0.0, -30.0, -600.0 };
    const double heading = ss::heading_to({ -20.0, 0.0, 1050.0 }, offset);
    EXPECT_NEAR(run.camera.angle_y, heading, 1e-12);
    for (int k = 0; k < 3; ++k) {
        const Point3 world = { corners[k].x - 20.0, corners[k].y, corners[k].z + 1050.0 };
        const Point3 seen = ss::to_camera(world, offset, heading, PI + PI / 64.0);
        expect_near(chickcone_mesh->render_vertices[k], seen, "chickcone corner");
        const int sx = int(seen.x * 150.0 / seen.z + 160.0), sy = int(seen.y * 150.0 / seen.z + 120.0);
        EXPECT_EQ(surface_row32(frame_surface, sy)[sx] >> 24, 0xFFu) << "corner " << k << " at " << sx << "," << sy;
    }
}

// Bottle: the camera circles at radius 200 and height -60; at phase t it faces the bottle from
// heading pi/2 - t, rolled half a turn.
TEST_F(Scenes3d, BottleFacesTheCameraAndIsFilledWhereItProjects)
{
    static Surface* black = create_surface(WARPER_WIDTH, WARPER_HEIGHT, 32);
    static std::vector<uint16_t> zero(TABLE_SIZE, 0);
    ss::fill(black, 0);
    warper_surface = black;
    lens_u = lens_v = zero.data();
    const double t = 0.3;
    // A triangle across the line of sight: a along (-sin t, 0, cos t), b along y.
    auto at = [&](double a, double b) { return MaVertex { -a * std::sin(t), b, a * std::cos(t) }; };
    const MaVertex corners[3] = { at(-40, -40), at(0, 40), at(40, -40) };
    bottle_mesh = ss::triangle_mesh(corners[0], corners[1], corners[2]);
    mesh_step(bottle_mesh);

    BottleRun run;
    start_bottle_run(&run);
    run.phase = t;
    bottle_draw(&run);
    const Point3 offset = { 200.0 * std::cos(t), -60.0, 200.0 * std::sin(t) };
    EXPECT_NEAR(run.camera.angle_y, PI / 2 - t, 1e-12);
    for (int k = 0; k < 3; ++k)
        expect_near(bottle_mesh->render_vertices[k],
            ss::to_camera({ corners[k].x, corners[k].y, corners[k].z }, offset, PI / 2 - t, PI), "bottle corner");
    // Its middle (a = 0, b = -13) projects to the screen through the 150 focal length.
    const Point3 mid = ss::to_camera({ 0.0, -13.0, 0.0 }, offset, PI / 2 - t, PI);
    const uint32_t p = surface_row32(frame_surface, int(mid.y * 150.0 / mid.z + 120.0))[int(mid.x * 150.0 / mid.z + 160.0)];
    EXPECT_NE(p & 0x0000FF00u, 0u);
    EXPECT_EQ(p & 0x00FF00FFu, 0u);
    // Outside it, the backdrop is untouched.
    EXPECT_EQ(surface_row32(frame_surface, 5)[5], 0u);
}

// Glows: the camera runs an ellipse (50 cos a, 70 sin a - 100) facing (0, 0, 100), rolled by a;
// a glow at camera depth z has size 1500 / z and gain 20; a particle of size s a disc of radius
// 150 s / z. The whole frame is rebuilt from those rules with plain per-pixel formulas.
uint32_t add_bytes(uint32_t pixel, uint32_t colour, int64_t intensity)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t v = ((pixel >> shift) & 0xFFu) + uint32_t((((colour >> shift) & 0xFFu) * intensity) >> 8);
        out |= std::min(v, 255u) << shift;
    }
    return out;
}

TEST_F(Scenes3d, GlowsAndParticlesLandWhereTheEllipseCameraSeesThem)
{
    static double a[FACE_PARTICLES][4], b[FACE_PARTICLES][4], sizes[FACE_PARTICLES];
    static uint32_t colours[FACE_PARTICLES];
    face_set.stream_a = a;
    face_set.stream_b = b;
    face_set.sizes = sizes;
    face_set.colours = colours;
    for (int i = 0; i < FACE_PARTICLES; ++i) {
        for (int k = 0; k < 4; ++k)
            a[i][k] = b[i][k] = k == 3 ? 1.0 : 0.0;
        a[i][1] = b[i][1] = -1000.0; // never reborn in these ticks
        sizes[i] = 1.0;
        colours[i] = 0; // draws nothing
    }
    const Point3 disc_a = { 0.0, -20.0, 100.0 }, disc_b = { 45.0, 30.0, 110.0 }; // both in view
    a[0][0] = disc_a.x, a[0][1] = disc_a.y - 3 * 2.0, a[0][2] = disc_a.z; // rises 2 a tick
    b[0][0] = disc_b.x, b[0][1] = disc_b.y - 3 * 2.0, b[0][2] = disc_b.z;
    sizes[0] = 4.0 - 0.75; // grows 0.25 a tick
    colours[0] = 0xFF00FF00u + 3 * 0x10000u; // red falls by one a tick

    GlowRun run;
    start_glow_run(&run);
    for (int i = 0; i < 3; ++i)
        glow_tick(&run, &face_set);
    glow_draw(&run, &face_set, 7);

    const double ph_a = 0.15, ph_b = 0.45;
    const Point3 offset = { 50.0 * std::cos(ph_a), 0.0, 70.0 * std::sin(ph_a) - 100.0 };
    const double heading = ss::heading_to({ 0.0, 0.0, 100.0 }, offset);
    const Point3 p = ss::to_camera({ 15.0 * std::cos(ph_b), 0.0, 15.0 * std::sin(ph_b) + 100.0 }, offset, heading, ph_a);
    const Point3 q = ss::to_camera({ -15.0 * std::cos(ph_b), 0.0, -15.0 * std::sin(ph_b) + 100.0 }, offset, heading, ph_a);
    expect_near(run.p, p, "glow P");
    expect_near(run.q, q, "glow Q");

    std::vector<uint32_t> want(320 * 240, 0);
    for (const Point3& g : { p, q }) {
        const double cx = float(g.x * 150.0 / float(g.z) + 160.0), cy = float(g.y * 150.0 / float(g.z) + 120.0);
        const double size = float(1500.0 / g.z), e = size * size * 20.0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                want[y * 320 + x] = add_bytes(want[y * 320 + x], 0x00FFFFFFu, int64_t(std::min(e / d2, 65536.0)));
            }
    }
    for (const Point3& w : { disc_a, disc_b }) {
        const Point3 c = ss::to_camera(w, offset, heading, ph_a);
        const double cx = float(c.x * 150.0 / float(c.z) + 160.0), cy = float(c.y * 150.0 / float(c.z) + 120.0);
        const double r = float(4.0 * 150.0 / c.z), k = 255.0 / (r * r);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                const double q2 = std::max(r * r - (x - cx) * (x - cx) - (y - cy) * (y - cy), 0.0);
                want[y * 320 + x] = add_bytes(want[y * 320 + x], 0xFF00FF00u, std::min(int64_t(k * q2), int64_t(256)));
            }
    }
    int differing = 0;
    for (int i = 0; i < 320 * 240; ++i)
        differing += ss::pixels(frame_surface)[i] != want[i];
    EXPECT_LE(differing, 8); // rounding at a few span ends at most
}

} // namespace
