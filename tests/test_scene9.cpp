// test_scene9.cpp -- globe among the stars: loader, texture composition, globe drawing, the orbit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "display/demo_rand.h"
#include "effects/light.h"
#include "effects/stars.h"
#include "scene_script.h"
#include "scenes/globe.h"
#include "scenes/scene_data.h"

namespace {

namespace ss = scene_script;
constexpr int W = 320;
constexpr int H = 240;
constexpr int TW = GLOBE_TEXTURE_WIDTH;
constexpr int TH = GLOBE_TEXTURE_HEIGHT;

// Loads the globe's pictures from a folder holding copies of the generated ones (none when empty).
int load_globe_from(const std::vector<std::string>& pictures)
{
    ss::TempDataFolder folder("globe");
    folder.copy_from_build(pictures);
    return load_globe_assets();
}

// All three pictures are needed; the star field takes four random numbers a star.
TEST(GlobeAssets, AllThreePicturesAreNeededAndTheStarsTakeFourRandomNumbersEach)
{
    EXPECT_EQ(load_globe_from({ "world.acg", "clouds.acg" }), 0);
    demo_srand(7);
    ASSERT_NE(load_globe_from({ "world.acg", "clouds.acg", "light.acg" }), 0);
    const int next = demo_rand();
    demo_srand(7);
    for (int i = 0; i < 4 * GLOBE_STAR_COUNT; ++i)
        demo_rand();
    EXPECT_EQ(demo_rand(), next);
}

// A globe facing longitude 0 on the equator (dx along Y, dy along Z, depth along X) with a
// texture whose words name their row (v) and column (u).
struct TestGlobe {
    std::vector<uint32_t> texture = std::vector<uint32_t>(TW * TH);
    Globe g;
    TestGlobe(double cx, double cy, double r, double axis_length = 1.0)
    {
        for (int i = 0; i < TW * TH; ++i)
            texture[i] = uint32_t(i / TW) << 8 | uint32_t(i % TW);
        const double a = axis_length;
        g = Globe { { cx, cy, 100.0, 0.0 }, { { 0.0, a, 0.0, 0.0 }, { 0.0, 0.0, a, 0.0 }, { a, 0.0, 0.0, 0.0 } },
            { r, 0.0, 0.0, 1.0 }, texture.data(), TW, TH };
    }
};

TEST(GlobeDrawing, LatitudeLongitudeLookupRimFadeAndThePoles)
{
    std::vector<uint32_t> p(W * H, 0x00FFFFFFu);
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
        EXPECT_EQ(p[c.y * W + c.x], c.word) << c.x << "," << c.y;

    // Axes of length 2 push the sphere point past the unit ranges: at the centre Z = 2 clamps to
    // the pole (v = 153 -> 152) and X / cos(latitude) = 0 gives a quarter turn, u = 64, or three
    // quarters, u = 192, by the sign of the accumulated Y (a rounding residue here).
    TestGlobe stretched(150.0, 100.0, 30.0, 2.0);
    std::swap(stretched.g.axis[1], stretched.g.axis[2]);
    draw_globe(p.data(), &stretched.g);
    const uint32_t pole = p[100 * W + 150];
    EXPECT_EQ(pole >> 8, 152u);
    EXPECT_TRUE((pole & 0xFF) == 64 || (pole & 0xFF) == 192) << pole;
    // A globe partly off the buffer draws only its visible part.
    TestGlobe corner(-5.0, -5.0, 30.0);
    p[0] = 0xFF000000u;
    draw_globe(p.data(), &corner.g);
    EXPECT_EQ(p[0] >> 24, 0u);
}

class GlobeScene : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static Matrix matrix;
        shared_matrix = &matrix;
        if (!globe) {
            demo_srand(1);
            ASSERT_NE(load_globe_from({ "world.acg", "clouds.acg", "light.acg" }), 0);
        }
    }
    void SetUp() override { ss::begin(9); }
    void TearDown() override { ss::end(); }
    static std::vector<uint32_t> frame() { return { ss::pixels(frame_surface), ss::pixels(frame_surface) + W * H }; }
};

// One step per tick, also within a frame of several: theta +0.05 (back to exactly 0 at 2 pi),
// the globe glides from (110, r 75) to the centre (160, r 25) by 0.5, the map scrolls +2 and the
// clouds -1 (mod 256).
TEST_F(GlobeScene, OrbitGlideAndScrollsStepOncePerTick)
{
    GlobeRun slow, fast;
    start_globe_run(&slow);
    for (int i = 0; i < 3; ++i)
        globe_frame(&slow, 1);
    const std::vector<uint32_t> slow_frame = frame();
    start_globe_run(&fast);
    globe_frame(&fast, 3);
    EXPECT_EQ(fast.theta, slow.theta);
    EXPECT_EQ(frame(), slow_frame);
    const struct {
        uint32_t ticks;
        double centre, radius;
        int surface, cloud;
    } steps[] = { { 96, 159.5, 25.5, 198, 156 }, { 1, 160, 25, 200, 155 }, { 7, 160, 25, 214, 148 } };
    for (const auto& s : steps) {
        globe_frame(&fast, s.ticks);
        EXPECT_EQ(globe->centre.x, s.centre);
        EXPECT_EQ(globe->radius.x, s.radius);
        EXPECT_EQ(fast.surface_scroll, s.surface);
        EXPECT_EQ(fast.cloud_scroll, s.cloud);
    }
    globe_frame(&fast, 18); // 125 steps: just below 2 pi
    EXPECT_GT(fast.theta, 6.24);
    globe_frame(&fast, 1);
    EXPECT_EQ(fast.theta, 0.0);
    globe_frame(&fast, 1);
    EXPECT_EQ(fast.theta, 0.05);
}

// The orbit from its description: after n steps theta = 0.05 n, the camera rolled by theta at
// offsets (100 cos theta, 0, 101 sin theta - 100) facing (0, 0, 100); the sun starts at
// (300, 0, 100); the globe's axes are the rows of the camera's turn, the first two negated; the
// sun (a glow of size 6000 / z) is drawn behind the globe from depth 100, in front of it below.
TEST_F(GlobeScene, CameraSunAndAxesFollowTheOrbitAtTwoTicks)
{
    GlobeRun run;
    start_globe_run(&run);
    int steps = 0;
    for (int ticks : { 1, 33 }) { // theta 0.05 (sun far behind), 1.7 (sun in front of the globe)
        globe_frame(&run, uint32_t(ticks));
        steps += ticks;
        const double theta = 0.05 * steps;
        const ss::Point3 offset = { 100.0 * std::cos(theta), 0.0, 101.0 * std::sin(theta) - 100.0 };
        const double heading = ss::heading_to({ 0.0, 0.0, 100.0 }, offset);
        EXPECT_NEAR(run.camera.angle_y, heading, 1e-12);
        EXPECT_NEAR(run.camera.angle_z, theta, 1e-12);
        const ss::Point3 sun = ss::to_camera({ 300.0, 0.0, 100.0 }, offset, heading, theta);
        EXPECT_NEAR(run.sun.x, sun.x, 1e-9);
        EXPECT_NEAR(run.sun.y, sun.y, 1e-9);
        EXPECT_NEAR(run.sun.z, sun.z, 1e-9);
        EXPECT_EQ(sun.z >= 100.0, ticks == 1);
        // Column k of the turn is where it takes axis k; axis c of the globe is row c.
        const ss::Point3 turned[3] = { ss::to_camera({ 1, 0, 0 }, {}, heading, theta),
            ss::to_camera({ 0, 1, 0 }, {}, heading, theta), ss::to_camera({ 0, 0, 1 }, {}, heading, theta) };
        Globe expected = *globe;
        for (int c = 0; c < 3; ++c) {
            const double sign = c == 2 ? 1.0 : -1.0;
            auto row = [&](const ss::Point3& p) { return sign * (c == 0 ? p.x : c == 1 ? p.y : p.z); };
            expected.axis[c] = Vec4 { row(turned[0]), row(turned[1]), row(turned[2]), 0.0 };
            EXPECT_NEAR(globe->axis[c].x, expected.axis[c].x, 1e-12) << c;
            EXPECT_NEAR(globe->axis[c].y, expected.axis[c].y, 1e-12) << c;
            EXPECT_NEAR(globe->axis[c].z, expected.axis[c].z, 1e-12) << c;
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
        for (int i = 0; i < W * H; ++i)
            differing += ss::pixels(frame_surface)[i] != ss::pixels(other)[i];
        EXPECT_LE(differing, 4) << "after " << steps << " steps";
    }
}

// Scene 10 starts on the stars as last turned, also when scene 9 ends before its first frame.
TEST_F(GlobeScene, LeavesTheStarsInWorkSurface1AlsoBeforeItsFirstFrame)
{
    for (uint32_t last : { 0u, 4u }) {
        scene_number.store(last ? 9 : 10, std::memory_order_relaxed);
        ss::play(globe_scene, { { last, 10 } });
        clear_surface(work_surface_2);
        draw_stars(globe_stars, work_surface_2);
        EXPECT_EQ(0, std::memcmp(ss::pixels(work_surface_1), ss::pixels(work_surface_2), W * H * 4)) << last;
    }
    EXPECT_EQ(globe->centre.x, 112.0); // four frames of one tick
}

} // namespace
