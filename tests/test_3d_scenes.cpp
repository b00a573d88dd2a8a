// test_3d_scenes.cpp -- the road, bottle, glow and globe scenes: where known world points land,
// checked against the camera worked out from each scene's description (not from its code), the
// globe's drawing, and the scenes' ticks, cues and loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "effects/light.h"
#include "effects/stars.h"
#include "gfx2d/depth_buffer.h"
#include "gfx2d/tables.h"
#include "scene_script.h"
#include "scenes/globe.h"
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
        title_picture = ss::solid_picture(1, 1, 0); // the road scene's loop needs one
        ss::TempDataFolder folder("globe");
        folder.copy_from_build({ "world.acg", "clouds.acg", "light.acg" });
        ASSERT_NE(load_globe_assets(), 0);
    }
    void SetUp() override { ss::begin(5); }
    void TearDown() override { ss::end(); }
};

void expect_near(const Vec4& got, Point3 want, const char* what, double tolerance = 1e-9)
{
    EXPECT_NEAR(got.x, want.x, tolerance) << what;
    EXPECT_NEAR(got.y, want.y, tolerance) << what;
    EXPECT_NEAR(got.z, want.z, tolerance) << what;
}

// ---- road ----

// The road set behind the camera (never drawn); the chickcone a triangle with keyframe 0 (3 ticks)
// and keyframe 1 (5 ticks) 40 to the right.
constexpr MaVertex CONE[3] = { { -30, -60, 0 }, { 30, -60, 0 }, { 0, 0, 0 } };
void road_meshes()
{
    for (Mesh** m : { &footpath_mesh, &box1_mesh, &box2_mesh, &road_mesh, &conerow_mesh, &roadline_mesh })
        *m = ss::triangle_mesh({ 0, 0, -5000 }, { 10, 0, -5000 }, { 0, 10, -5000 });
    MaMesh cone;
    cone.keyframes.push_back(MaKeyframe { { CONE[0], CONE[1], CONE[2] }, 3 });
    cone.keyframes.push_back(MaKeyframe { { { 10, -60, 0 }, { 70, -60, 0 }, { 40, 0, 0 } }, 5 });
    cone.faces.push_back(MaFace { 0, 1, 2 });
    chickcone_mesh = ss::mesh_of(cone);
}

// The chickcone stands at the target, the road is lifted by the camera height, the camera faces
// the target and rolls half a turn plus pi/64 times the sway.
TEST_F(Scenes3d, RoadChickconeCornersLandWhereTheCameraSeesThem)
{
    road_meshes();
    mesh_step(chickcone_mesh); // render vertices = keyframe 0
    RoadRun run;
    start_road_run(&run); // camera z -600, target 450 ahead at z 1050
    run.phase = PI / 2; // sway 1
    run.fade_level = ROAD_FADE_DONE; // outlines straight into the frame
    run.target.x = -20.0;
    road_draw(&run, ROAD_CUE_SLIDE);

    const Point3 offset = { 0.0, -30.0, -600.0 };
    const double heading = ss::heading_to({ -20.0, 0.0, 1050.0 }, offset);
    for (int k = 0; k < 3; ++k) {
        const Point3 world = { CONE[k].x - 20.0, CONE[k].y, CONE[k].z + 1050.0 };
        const Point3 seen = ss::to_camera(world, offset, heading, PI + PI / 64.0);
        expect_near(chickcone_mesh->render_vertices[k], seen, "chickcone corner");
        const int sx = int(seen.x * 150.0 / seen.z + 160.0), sy = int(seen.y * 150.0 / seen.z + 120.0);
        EXPECT_EQ(surface_row32(frame_surface, sy)[sx] >> 24, 0xFFu) << "corner " << k << " at " << sx << "," << sy;
    }
}

// The camera falls back by 2 a tick and jumps from -1000 to -600, except on the stop cue; the
// slide cue moves the target left to -45 (and back 400 with a jump) and holds the chickcone on
// keyframe 0; the stop cue plays it into keyframe 1 and holds it there; other numbers leave it.
TEST_F(Scenes3d, RoadTravelCuesAndChickconeHolds)
{
    road_meshes();
    const struct {
        uint32_t number;
        int ticks;
        double z, target_x, target_z, cone_x;
    } steps[]
        = { { 241, 44, -688, -44, 1050, -30 }, { 241, 6, -700, -45, 1050, -30 }, { 241, 149, -998, -45, 1050, -30 },
              { 241, 1, -600, -45, 650, -30 }, { 242, 2, -604, -45, 650, -30 + 40.0 / 3 }, // K0, K0 + d so far
              { 242, 21, -646, -45, 650, 10 }, { 242, 400, -1446, -45, 650, 10 }, { 250, 1, -600, -45, 650, 10 },
              { 5, 200, -600, -45, 650, 10 } };
    RoadRun run;
    start_road_run(&run);
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::Message() << s.number << " x " << s.ticks);
        for (int i = 0; i < s.ticks; ++i)
            road_tick(&run, s.number);
        EXPECT_EQ(run.camera.offset_z, s.z);
        EXPECT_EQ(run.target.x, s.target_x);
        EXPECT_EQ(run.target.z, s.target_z);
        EXPECT_DOUBLE_EQ(chickcone_mesh->render_vertices[0].x, s.cone_x);
    }
}

TEST_F(Scenes3d, RoadLoopStepsEveryTickAndEndsOnAnotherScene)
{
    road_meshes();
    // The number 6 arrives with a stall of three extra ticks: that frame steps 4 ticks and the
    // scene then returns.
    ss::play(road_scene, { { 3, 241 }, { 5, 250 }, { 8, 6 } }, { { 8, 3 } });
    EXPECT_EQ(ss::tick(), 11u);
    EXPECT_EQ(elapsed_ticks, 3u);
    EXPECT_EQ(box1_mesh->step, 11u);
    scene_number.store(5, std::memory_order_relaxed);
    ss::record.quit = 1; // with the quit flag already set the scene returns without waiting
    road_scene();
    EXPECT_EQ(ss::tick(), 11u);
}

// ---- bottle ----

void black_backdrop()
{
    static Surface* black = create_surface(WARPER_WIDTH, WARPER_HEIGHT, 32);
    static std::vector<uint16_t> zero(TABLE_SIZE, 0);
    ss::fill(black, 0);
    warper_surface = black;
    lens_u = lens_v = zero.data();
}

// The camera circles at radius 200 and height -60; at phase t it faces the bottle from heading
// pi/2 - t, rolled half a turn.
TEST_F(Scenes3d, BottleFacesTheCameraAndIsFilledWhereItProjects)
{
    black_backdrop();
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
    for (int k = 0; k < 3; ++k)
        expect_near(bottle_mesh->render_vertices[k],
            ss::to_camera({ corners[k].x, corners[k].y, corners[k].z }, offset, PI / 2 - t, PI), "bottle corner");
    // Its middle (a = 0, b = -13) projects to the screen through the 150 focal length, filled
    // green; outside it the backdrop is untouched.
    const Point3 mid = ss::to_camera({ 0.0, -13.0, 0.0 }, offset, PI / 2 - t, PI);
    const uint32_t p
        = surface_row32(frame_surface, int(mid.y * 150.0 / mid.z + 120.0))[int(mid.x * 150.0 / mid.z + 160.0)];
    EXPECT_NE(p & 0x0000FF00u, 0u);
    EXPECT_EQ(p & 0x00FF00FFu, 0u);
    EXPECT_EQ(surface_row32(frame_surface, 5)[5], 0u);
}

// ---- glows ----

double stream_a[FACE_PARTICLES][4], stream_b[FACE_PARTICLES][4], sizes[FACE_PARTICLES];
uint32_t colours[FACE_PARTICLES];

// The records as set-up leaves them (particle i at (0, 4i, 0), size 2, colour 0xFF480000), or
// parked: never reborn in a test's ticks and drawing nothing.
void glow_particles(bool parked)
{
    face_set.stream_a = stream_a;
    face_set.stream_b = stream_b;
    face_set.sizes = sizes;
    face_set.colours = colours;
    for (Image*& face : face_set.faces)
        face = face ? face : ss::solid_picture(1, 1, 0);
    for (int i = 0; i < FACE_PARTICLES; ++i) {
        for (double* s : { stream_a[i], stream_b[i] }) {
            s[0] = s[2] = 0.0;
            s[1] = parked ? -1000.0 : 4.0 * i;
            s[3] = 1.0;
        }
        sizes[i] = parked ? 1.0 : 2.0;
        colours[i] = parked ? 0u : 0xFF480000u;
    }
}

uint32_t add_bytes(uint32_t pixel, uint32_t colour, int64_t intensity)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t v = ((pixel >> shift) & 0xFFu) + uint32_t((((colour >> shift) & 0xFFu) * intensity) >> 8);
        out |= std::min(v, 255u) << shift;
    }
    return out;
}

// The camera runs an ellipse (50 cos a, 70 sin a - 100) facing (0, 0, 100), rolled by a; a glow
// at camera depth z has size 1500 / z and gain 20; a particle of size s a disc of radius 150 s / z.
// The whole frame is rebuilt from those rules with plain per-pixel formulas.
TEST_F(Scenes3d, GlowsAndParticlesLandWhereTheEllipseCameraSeesThem)
{
    glow_particles(true);
    const Point3 disc_a = { 0.0, -20.0, 100.0 }, disc_b = { 45.0, 30.0, 110.0 }; // both in view
    stream_a[0][0] = disc_a.x, stream_a[0][1] = disc_a.y - 3 * 2.0, stream_a[0][2] = disc_a.z; // rises 2 a tick
    stream_b[0][0] = disc_b.x, stream_b[0][1] = disc_b.y - 3 * 2.0, stream_b[0][2] = disc_b.z;
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
    const Point3 p
        = ss::to_camera({ 15.0 * std::cos(ph_b), 0.0, 15.0 * std::sin(ph_b) + 100.0 }, offset, heading, ph_a);
    const Point3 q
        = ss::to_camera({ -15.0 * std::cos(ph_b), 0.0, -15.0 * std::sin(ph_b) + 100.0 }, offset, heading, ph_a);
    expect_near(run.p, p, "glow P");
    expect_near(run.q, q, "glow Q");

    std::vector<uint32_t> want(320 * 240, 0);
    // Adds a light centred where the camera-space point c projects, its intensity by squared distance.
    auto add = [&](const Point3& c, uint32_t colour, auto intensity) {
        const double cx = float(c.x * 150.0 / float(c.z) + 160.0), cy = float(c.y * 150.0 / float(c.z) + 120.0);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x)
                want[y * 320 + x]
                    = add_bytes(want[y * 320 + x], colour, intensity((x - cx) * (x - cx) + (y - cy) * (y - cy)));
    };
    for (const Point3& g : { p, q }) {
        const double size = float(1500.0 / g.z), e = size * size * 20.0;
        add(g, 0x00FFFFFFu, [&](double d2) { return int64_t(std::min(e / d2, 65536.0)); });
    }
    for (const Point3& w : { disc_a, disc_b }) {
        const Point3 c = ss::to_camera(w, offset, heading, ph_a);
        const double r = float(4.0 * 150.0 / c.z), k = 255.0 / (r * r);
        add(c, 0xFF00FF00u, [&](double d2) { return std::min(int64_t(k * std::max(r * r - d2, 0.0)), int64_t(256)); });
    }
    int differing = 0;
    for (int i = 0; i < 320 * 240; ++i)
        differing += ss::pixels(frame_surface)[i] != want[i];
    EXPECT_LE(differing, 8); // rounding at a few span ends at most
}

// Per tick: the camera phase a by 0.05, the glows' phase b by 0.15 with P and Q opposite on a
// circle of 15 around (0, 0, 100); particles rise 2, grow 0.25 and lose 1 of red; stream A
// reaching 80 rebirths both streams' particle at that tick's P and Q.
TEST_F(Scenes3d, GlowParticlesRiseAndAreRebornAtThatTicksGlows)
{
    glow_particles(false);
    stream_a[0][1] = 78.0; // reborn in the first tick; particle 19 (76) in the second
    stream_b[5][1] = 1000.0; // B's own height never decides
    GlowRun run;
    start_glow_run(&run);
    for (int i = 0; i < 3; ++i)
        glow_tick(&run, &face_set);
    const struct {
        int i, reborn, risen; // reborn at that tick (0: never), then risen that many ticks
    } cases[] = { { 0, 1, 2 }, { 19, 2, 1 }, { 5, 0, 3 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "particle " << c.i);
        const double b = 0.15 * c.reborn;
        const double y = c.reborn ? 2.0 * c.risen : 4.0 * c.i + 2.0 * c.risen;
        EXPECT_EQ(stream_a[c.i][1], y);
        EXPECT_EQ(stream_b[c.i][1], c.i == 5 ? 1006.0 : y);
        EXPECT_EQ(sizes[c.i], 2.0 + 0.25 * c.risen);
        EXPECT_EQ(colours[c.i], 0xFF480000u - uint32_t(c.risen) * 0x10000u);
        if (c.reborn) {
            EXPECT_NEAR(stream_a[c.i][2], 15.0 * std::sin(b) + 100.0, 1e-12);
            EXPECT_NEAR(stream_b[c.i][0], -15.0 * std::cos(b), 1e-12);
        }
    }
}

// Neither scene starts its animation afresh when it runs again: the bottle's keyframe cursor and
// the particles carry on.
TEST_F(Scenes3d, BottleAndGlowsCarryTheirAnimationAcrossRuns)
{
    black_backdrop();
    bottle_mesh = ss::triangle_mesh({ 0, 0, 0 }, { 1, 1, 1 }, { 2, 2, 2 }); // corners on a line: draws nothing
    glow_particles(false);
    for (uint32_t runs = 1; runs <= 2; ++runs) {
        scene_number.store(6, std::memory_order_relaxed);
        ss::play(bottle_scene, { { ss::tick() + 3, 7 } }); // three frames of one tick
        EXPECT_EQ(bottle_mesh->step, 3 * runs);
        ss::play(glows_scene, { { ss::tick() + 5, 8 } });
        EXPECT_EQ(stream_a[0][1], 10.0 * runs);
    }
}

// ---- globe ----

constexpr int TW = GLOBE_TEXTURE_WIDTH, TH = GLOBE_TEXTURE_HEIGHT;

// Clouds over the map (each scrolled), then the light map, per channel. Row 5 reads map column
// 10, cloud column 250 and light column 0. Cloud (coverage 128): 192 x 128 >> 8 + 64 x 129 >> 8
// = 128; 64 + 16 = 80; 32 + 8 = 40. Light (coverage 64): 16 x 65 >> 8 + 128 x 192 >> 8 = 100;
// 2 + 60 = 62; 1 + 30 = 31. Row 6: a full cloud replaces the map; its columns wrap (10 + 250 -> 4).
TEST(GlobeTexture, CloudsOverScrolledMapThenLightMapPerChannel)
{
    std::vector<uint32_t> map(TW * TH), clouds(TW * TH), light(TW * TH), out(TW * TH, 0xFFFFFFFFu);
    map[5 * TW + 10] = 0x00C08040u;
    clouds[5 * TW + 250] = 0x80402010u;
    light[5 * TW] = 0x40100804u;
    clouds[6 * TW + 4] = 0xFF010203u;
    compose_globe_texture(out.data(), map.data(), clouds.data(), light.data(), 10, 250);
    EXPECT_EQ(out[5 * TW], 0x00643E1Fu);
    EXPECT_EQ(out[6 * TW + 10], 0x00010203u);
    EXPECT_EQ(out[7 * TW], 0u); // the top byte is 0
}

// A globe facing longitude 0 on the equator (dx along Y, dy along Z, depth along X) with a
// texture whose words name their row (v) and column (u).
struct TestGlobe {
    std::vector<uint32_t> texture = std::vector<uint32_t>(TW * TH);
    Globe g;
    TestGlobe(double cx, double cy, double r, double a = 1.0) // a: the axes' length
    {
        for (int i = 0; i < TW * TH; ++i)
            texture[i] = uint32_t(i / TW) << 8 | uint32_t(i % TW);
        g = Globe { { cx, cy, 100.0, 0.0 }, { { 0.0, a, 0.0, 0.0 }, { 0.0, 0.0, a, 0.0 }, { a, 0.0, 0.0, 0.0 } },
            { r, 0.0, 0.0, 1.0 }, texture.data(), TW, TH };
    }
};

TEST(GlobeDrawing, LatitudeLongitudeLookupRimFadeAndThePoles)
{
    std::vector<uint32_t> p(320 * 240, 0x00FFFFFFu);
    TestGlobe t(50.0, 60.0, 10.0);
    draw_globe(p.data(), &t.g);
    const struct {
        int x, y;
        uint32_t word;
    } cases[] = {
        { 50, 60, 76u << 8 | 0u }, // equator: trunc(pi/2 x 153/pi) = 76
        { 51, 60, 76u << 8 | 4u }, // acos(0.995) x 128/pi = 4.08
        { 49, 60, 76u << 8 | 251u }, // Y < 0: 2 pi - 0.1002
        { 50, 57, 61u << 8 | 0u }, // asin(-0.3): (pi/2 - 0.3047) x 153/pi = 61.66
        { 59, 60, 0x00558773u }, // rim distance 1: k = 85, old x 86 >> 8 + T x 171 >> 8, T = (76, 45)
        { 60, 60, 0x00FFFFFFu }, // on the circle (q = 0) k = 255 keeps the background
        { 61, 60, 0x00FFFFFFu }, // outside nothing is touched
        { 50, 49, 0x00FFFFFFu },
        { 50, 71, 0x00FFFFFFu },
    };
    for (const auto& c : cases)
        EXPECT_EQ(p[c.y * 320 + c.x], c.word) << c.x << "," << c.y;

    // Axes of length 2 push the sphere point past the unit ranges: at the centre Z = 2 clamps to
    // the pole (v = 153 -> 152) and X / cos(latitude) = 0 gives a quarter turn, u = 64, or three
    // quarters, u = 192, by the sign of the accumulated Y (a rounding residue here).
    TestGlobe stretched(150.0, 100.0, 30.0, 2.0);
    std::swap(stretched.g.axis[1], stretched.g.axis[2]);
    draw_globe(p.data(), &stretched.g);
    const uint32_t pole = p[100 * 320 + 150];
    EXPECT_EQ(pole >> 8, 152u);
    EXPECT_TRUE((pole & 0xFF) == 64 || (pole & 0xFF) == 192) << pole;
    // A globe partly off the buffer draws only its visible part.
    TestGlobe corner(-5.0, -5.0, 30.0);
    p[0] = 0xFF000000u;
    draw_globe(p.data(), &corner.g);
    EXPECT_EQ(p[0] >> 24, 0u);
}

// One step per tick, also within a frame of several: theta +0.05 (back to exactly 0 at 2 pi),
// the globe glides from (110, r 75) to the centre (160, r 25) by 0.5, the map scrolls +2 and the
// clouds -1 (mod 256).
TEST_F(Scenes3d, GlobeOrbitGlideAndScrollsStepOncePerTick)
{
    GlobeRun slow, fast;
    start_globe_run(&slow);
    for (int i = 0; i < 3; ++i)
        globe_frame(&slow, 1);
    const std::vector<uint32_t> slow_frame(ss::pixels(frame_surface), ss::pixels(frame_surface) + 320 * 240);
    start_globe_run(&fast);
    globe_frame(&fast, 3);
    EXPECT_EQ(0, std::memcmp(slow_frame.data(), ss::pixels(frame_surface), 320 * 240 * 4));
    globe_frame(&fast, 257); // 260 steps: theta restarted at 126 and 252; the glide long over
    EXPECT_NEAR(fast.theta, 8 * 0.05, 1e-12);
    EXPECT_TRUE(globe->centre.x == 160.0 && globe->radius.x == 25.0);
    EXPECT_TRUE(fast.surface_scroll == (520 & 255) && fast.cloud_scroll == 255 - 260 + 256);
}

// The orbit from its description: after n steps theta = 0.05 n, the camera rolled by theta at
// offsets (100 cos theta, 0, 101 sin theta - 100) facing (0, 0, 100); the sun starts at
// (300, 0, 100); the globe's axes are the rows of the camera's turn, the first two negated; the
// sun (a glow of size 6000 / z) is drawn behind the globe from depth 100, in front of it below.
TEST_F(Scenes3d, GlobeCameraSunAndAxesFollowTheOrbitAtTwoTicks)
{
    GlobeRun run;
    start_globe_run(&run);
    int steps = 0;
    for (int ticks : { 1, 33 }) { // theta 0.05 (sun far behind), 1.7 (sun in front of the globe)
        globe_frame(&run, uint32_t(ticks));
        steps += ticks;
        const double theta = 0.05 * steps;
        const Point3 offset = { 100.0 * std::cos(theta), 0.0, 101.0 * std::sin(theta) - 100.0 };
        const double heading = ss::heading_to({ 0.0, 0.0, 100.0 }, offset);
        const Point3 sun = ss::to_camera({ 300.0, 0.0, 100.0 }, offset, heading, theta);
        expect_near(run.sun, sun, "sun");
        EXPECT_EQ(sun.z >= 100.0, ticks == 1);
        // Column k of the turn is where it takes axis k; axis c of the globe is row c.
        const Point3 turned[3] = { ss::to_camera({ 1, 0, 0 }, {}, heading, theta),
            ss::to_camera({ 0, 1, 0 }, {}, heading, theta), ss::to_camera({ 0, 0, 1 }, {}, heading, theta) };
        Globe expected = *globe;
        for (int c = 0; c < 3; ++c) {
            auto row = [&](const Point3& p) { return (c == 2 ? 1.0 : -1.0) * (c == 0 ? p.x : c == 1 ? p.y : p.z); };
            expected.axis[c] = Vec4 { row(turned[0]), row(turned[1]), row(turned[2]), 0.0 };
            expect_near(globe->axis[c], { expected.axis[c].x, expected.axis[c].y, expected.axis[c].z }, "axis", 1e-12);
        }
        expected.centre.x = std::min(110.0 + 0.5 * steps, 160.0);
        expected.radius.x = std::max(75.0 - 0.5 * steps, 25.0);

        // The frame from these values: stars, the sun behind or in front, the globe.
        Surface* other = work_surface_2;
        clear_surface(other);
        draw_stars(globe_stars, other);
        const double z = float(sun.z);
        auto draw_expected_sun = [&] {
            draw_glow(other, float(sun.x * 150.0 / z + 160.0), float(sun.y * 150.0 / z + 120.0), float(6000.0 / z),
                20.0f, 0x00FFFFFFu);
        };
        if (sun.z >= 100.0)
            draw_expected_sun();
        compose_globe_texture(expected.texture, surface_row32(globe_surface_map, 0), surface_row32(globe_clouds, 0),
            surface_row32(globe_light_map, 0), (2 * steps) & 255, (255 - steps) & 255);
        draw_globe(ss::pixels(other), &expected);
        if (sun.z > 0.0 && sun.z < 100.0)
            draw_expected_sun();
        int differing = 0;
        for (int i = 0; i < 320 * 240; ++i)
            differing += ss::pixels(frame_surface)[i] != ss::pixels(other)[i];
        EXPECT_LE(differing, 4) << "after " << steps << " steps";
    }
}

// Scene 10 starts on the stars as last turned, also when scene 9 ends before its first frame.
TEST_F(Scenes3d, GlobeLeavesTheStarsInWorkSurface1AlsoBeforeItsFirstFrame)
{
    for (uint32_t last : { 0u, 4u }) {
        scene_number.store(last ? 9 : 10, std::memory_order_relaxed);
        ss::play(globe_scene, { { last, 10 } });
        clear_surface(work_surface_2);
        draw_stars(globe_stars, work_surface_2);
        EXPECT_EQ(0, std::memcmp(ss::pixels(work_surface_1), ss::pixels(work_surface_2), 320 * 240 * 4)) << last;
    }
    EXPECT_EQ(globe->centre.x, 112.0); // four frames of one tick
}

} // namespace
