// test_scene9.cpp -- globe among the stars: loader, texture composition, globe drawing, the orbit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "display/demo_rand.h"
#include "effects/light.h"
#include "effects/stars.h"
#include "scenes/globe.h"
#include "scenes/scene_data.h"
#include "scene_script.h"

namespace {

constexpr int W = 320;
constexpr int H = 240;
constexpr int TW = GLOBE_TEXTURE_WIDTH;
constexpr int TH = GLOBE_TEXTURE_HEIGHT;

// Runs the body with the working directory set to `dir`, then goes back.
template <typename F> void in_directory(const std::string& dir, F body)
{
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0) << dir;
    body();
    ASSERT_EQ(chdir(saved), 0);
}

// ---- loader ----

TEST(GlobeAssets, MissingPictureFailsAndTheDataSetLoadsWithItsStars)
{
    char empty[] = "/tmp/mw_globe_XXXXXX";
    ASSERT_NE(mkdtemp(empty), nullptr);
    in_directory(empty, [] { EXPECT_EQ(load_globe_assets(), 0); });
    rmdir(empty);

    demo_srand(7);
    int loaded = 0;
    in_directory(MW_BINARY_DIR, [&] { loaded = load_globe_assets(); });
    ASSERT_NE(loaded, 0);
    // The star field is the only user of the random stream: four values per star.
    const int next = demo_rand();
    demo_srand(7);
    for (int i = 0; i < 4 * GLOBE_STAR_COUNT; ++i)
        demo_rand();
    EXPECT_EQ(demo_rand(), next);

    EXPECT_EQ(globe->texture_width, TW);
    EXPECT_EQ(globe->texture_height, TH);
    EXPECT_EQ(globe->radius.x, 25.0);
    EXPECT_EQ(globe->radius.w, 1.0);
    EXPECT_EQ(globe->centre.x, 160.0);
    EXPECT_EQ(globe->centre.y, 120.0);
    EXPECT_EQ(globe->centre.z, 100.0);
    EXPECT_EQ(globe_stars->count, GLOBE_STAR_COUNT);
    for (Surface* s : { globe_surface_map, globe_clouds, globe_light_map }) {
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->width, TW);
        EXPECT_EQ(s->height, TH);
    }
}

// ---- texture composition ----

TEST(GlobeTexture, CloudsOverScrolledMapThenLightMapPerChannel)
{
    std::vector<uint32_t> map(TW * TH), clouds(TW * TH), light(TW * TH), out(TW * TH, 0xFFFFFFFFu);
    const int a = 10, b = 250;
    // Row 5, column 0 reads map column 10, cloud column 250 and light column 0.
    map[5 * TW + 10] = 0x00C08040u;
    clouds[5 * TW + 250] = 0x80402010u; // coverage 128
    light[5 * TW + 0] = 0x40100804u; // coverage 64
    // Cloud: 192 x 128 >> 8 + 64 x 129 >> 8 = 128; 64 + 16 = 80; 32 + 8 = 40.
    // Light: 16 x 65 >> 8 + 128 x 192 >> 8 = 100; 2 + 60 = 62; 1 + 30 = 31.
    // Row 6: a full-coverage cloud replaces the map, no light leaves it; the columns wrap.
    map[6 * TW + 4] = 0x00FFFFFFu;
    clouds[6 * TW + 4] = 0xFF010203u; // column 10 + 250 = 260 -> 4
    // Row 7: a full-coverage light replaces everything.
    map[7 * TW + 10] = 0x00FFFFFFu;
    light[7 * TW] = 0xFF102030u;
    compose_globe_texture(out.data(), map.data(), clouds.data(), light.data(), a, b);
    EXPECT_EQ(out[5 * TW], 0x00643E1Fu);
    EXPECT_EQ(out[6 * TW + 10], 0x00010203u);
    EXPECT_EQ(out[7 * TW], 0x00102030u);
    EXPECT_EQ(out[7 * TW + 1], 0u); // top byte 0 everywhere
}

// ---- drawing ----

// A texture whose words name their row (v) and column (u).
std::vector<uint32_t> coordinate_texture()
{
    std::vector<uint32_t> t(TW * TH);
    for (int v = 0; v < TH; ++v)
        for (int u = 0; u < TW; ++u)
            t[v * TW + u] = uint32_t(v) << 8 | uint32_t(u);
    return t;
}

Globe test_globe(uint32_t* texture, double cx, double cy, double r, double scale)
{
    Globe g {};
    g.centre = Vec4 { cx, cy, 100.0, 0.0 };
    // dx runs along Y, dy along Z, depth along X: the centre faces longitude 0 on the equator.
    g.axis[0] = Vec4 { 0.0, scale, 0.0, 0.0 };
    g.axis[1] = Vec4 { 0.0, 0.0, scale, 0.0 };
    g.axis[2] = Vec4 { scale, 0.0, 0.0, 0.0 };
    g.radius = Vec4 { r, 0.0, 0.0, 1.0 };
    g.texture = texture;
    g.texture_width = TW;
    g.texture_height = TH;
    return g;
}

TEST(GlobeDrawing, LatitudeLongitudeLookupAndRimFade)
{
    std::vector<uint32_t> texture = coordinate_texture();
    std::vector<uint32_t> p(W * H, 0x00FFFFFFu);
    Globe g = test_globe(texture.data(), 50.0, 60.0, 10.0, 1.0);
    draw_globe(p.data(), &g);
    auto at = [&](int x, int y) { return p[y * W + x]; };
    EXPECT_EQ(at(50, 60), 76u << 8 | 0u); // equator: trunc(pi/2 x 153/pi) = 76
    EXPECT_EQ(at(51, 60), 76u << 8 | 4u); // acos(0.995) x 128/pi = 4.08
    EXPECT_EQ(at(49, 60), 76u << 8 | 251u); // Y < 0: 2 pi - 0.1002
    EXPECT_EQ(at(50, 57), 61u << 8 | 0u); // asin(-0.3): (pi/2 - 0.3047) x 153/pi = 61.66
    // Rim distance 1: k = 85, old x 86 >> 8 + T x 171 >> 8 with T = (76, 45).
    EXPECT_EQ(at(59, 60), 0x00558773u);
    // On the circle (q = 0) k = 255 keeps the background; outside nothing is touched.
    EXPECT_EQ(at(60, 60), 0x00FFFFFFu);
    EXPECT_EQ(at(61, 60), 0x00FFFFFFu);
    EXPECT_EQ(at(50, 49), 0x00FFFFFFu);
    EXPECT_EQ(at(50, 71), 0x00FFFFFFu);
}

TEST(GlobeDrawing, StopsAtRow200AndHoldsLookupsInRangeAtThePoles)
{
    std::vector<uint32_t> texture = coordinate_texture();
    std::vector<uint32_t> p(W * H, 0x7F7F7F7Fu);
    Globe low = test_globe(texture.data(), 160.0, 195.0, 20.0, 1.0);
    draw_globe(p.data(), &low);
    EXPECT_NE(p[199 * W + 160], 0x7F7F7F7Fu);
    for (int i = 200 * W; i < W * H; ++i)
        ASSERT_EQ(p[i], 0x7F7F7F7Fu) << i;

    // Axes of length 2 push the sphere point past the unit ranges: at the centre Z = 2 clamps
    // to the pole (v = 153 -> 152) and X / cos(latitude) = 0 gives a quarter turn, u = 64, or
    // three quarters, u = 192, by the sign of the accumulated Y (a rounding residue here).
    Globe stretched = test_globe(texture.data(), 100.0, 100.0, 30.0, 2.0);
    stretched.axis[2] = Vec4 { 0.0, 0.0, 2.0, 0.0 };
    stretched.axis[1] = Vec4 { 2.0, 0.0, 0.0, 0.0 };
    draw_globe(p.data(), &stretched);
    const uint32_t pole = p[100 * W + 100];
    EXPECT_EQ(pole >> 8, 152u);
    EXPECT_TRUE((pole & 0xFF) == 64 || (pole & 0xFF) == 192) << pole;

    // A globe partly off the buffer draws only its visible part.
    Globe corner = test_globe(texture.data(), -5.0, -5.0, 30.0, 1.0);
    draw_globe(p.data(), &corner);
    EXPECT_EQ(p[0] >> 24, 0u);
}

// ---- the scene ----

class GlobeScene : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!globe) {
            demo_srand(1);
            in_directory(MW_BINARY_DIR, [] { ASSERT_NE(load_globe_assets(), 0); });
        }
    }
    void SetUp() override
    {
        ASSERT_NE(globe, nullptr);
        saved_[0] = frame_surface;
        saved_[1] = work_surface_1;
        saved_matrix_ = shared_matrix;
        shared_matrix = &matrix_;
        mat_identity(shared_matrix);
        frame_surface = create_surface(W, H, 32);
        work_surface_1 = create_surface(W, H, 32);
        other_ = create_surface(W, H, 32);
        std::fill_n(surface_row32(work_surface_1, 0), W * H, 0x55555555u);
    }
    void TearDown() override
    {
        destroy_surface(frame_surface);
        destroy_surface(work_surface_1);
        destroy_surface(other_);
        frame_surface = saved_[0];
        work_surface_1 = saved_[1];
        shared_matrix = saved_matrix_;
        set_demo_clock(real_clock());
    }
    Surface* saved_[2] {};
    Surface* other_ = nullptr;
    Matrix matrix_ {};
    Matrix* saved_matrix_ = nullptr;
};

TEST_F(GlobeScene, GlidesToTheCentreInAHundredTicksWhileOrbitAndScrollsGoOn)
{
    GlobeRun run;
    start_globe_run(&run);
    EXPECT_EQ(globe->radius.x, 75.0);
    EXPECT_EQ(globe->centre.x, 110.0);
    EXPECT_EQ(run.cloud_scroll, 255);
    globe_frame(&run, 100);
    EXPECT_EQ(globe->centre.x, 160.0);
    EXPECT_EQ(globe->radius.x, 25.0);
    globe_frame(&run, 7);
    EXPECT_EQ(globe->centre.x, 160.0);
    EXPECT_EQ(globe->radius.x, 25.0);
    EXPECT_EQ(run.surface_scroll, 214); // 107 x 2 mod 256
    EXPECT_EQ(run.cloud_scroll, 148); // 255 - 107
    EXPECT_GT(run.theta, 5.3);
}

TEST_F(GlobeScene, OrbitRestartsAtExactlyZeroAfter126Steps)
{
    GlobeRun run;
    start_globe_run(&run);
    globe_frame(&run, 125);
    EXPECT_GT(run.theta, 6.24);
    EXPECT_LT(run.theta, 2 * 3.141592653589793);
    globe_frame(&run, 1);
    EXPECT_EQ(run.theta, 0.0);
    globe_frame(&run, 1);
    EXPECT_EQ(run.theta, 0.05);
}

TEST_F(GlobeScene, AFrameOfSeveralTicksEqualsThatManyFramesOfOne)
{
    GlobeRun slow, fast;
    start_globe_run(&slow);
    for (int i = 0; i < 3; ++i)
        globe_frame(&slow, 1);
    std::vector<uint32_t> slow_frame(surface_row32(frame_surface, 0), surface_row32(frame_surface, 0) + W * H);
    start_globe_run(&fast);
    globe_frame(&fast, 3);
    EXPECT_EQ(fast.theta, slow.theta);
    EXPECT_EQ(fast.surface_scroll, 6);
    EXPECT_EQ(fast.cloud_scroll, 252);
    EXPECT_EQ(globe->radius.x, 73.5);
    EXPECT_EQ(0, std::memcmp(slow_frame.data(), surface_row32(frame_surface, 0), W * H * 4));
}

// The orbit from its description: after n steps theta = 0.05 n, the camera rolled by theta at
// offsets (100 cos theta, 0, 101 sin theta - 100) facing (0, 0, 100); the sun starts at
// (300, 0, 100); the globe's axes are the rows of the camera's turn, the first two negated; the
// sun is drawn behind the globe from depth 100, in front of it below that.
TEST_F(GlobeScene, CameraSunAndAxesFollowTheOrbitAtTwoTicks)
{
    namespace ss = scene_script;
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
        Globe expected = *globe;
        const ss::Point3 columns[3] = { ss::to_camera({ 1, 0, 0 }, {}, heading, theta),
            ss::to_camera({ 0, 1, 0 }, {}, heading, theta), ss::to_camera({ 0, 0, 1 }, {}, heading, theta) };
        for (int c = 0; c < 3; ++c) {
            const double sign = c == 2 ? 1.0 : -1.0;
            auto row = [&](const ss::Point3& p) { return sign * (c == 0 ? p.x : c == 1 ? p.y : p.z); };
            expected.axis[c] = Vec4 { row(columns[0]), row(columns[1]), row(columns[2]), 0.0 };
            EXPECT_NEAR(globe->axis[c].x, expected.axis[c].x, 1e-12) << c;
            EXPECT_NEAR(globe->axis[c].y, expected.axis[c].y, 1e-12) << c;
            EXPECT_NEAR(globe->axis[c].z, expected.axis[c].z, 1e-12) << c;
        }
        expected.centre.x = std::min(110.0 + 0.5 * steps, 160.0);
        expected.radius.x = std::max(75.0 - 0.5 * steps, 25.0);

        // The frame from these values: stars, the sun behind or in front, the globe.
        clear_surface(other_);
        draw_stars(globe_stars, other_);
        const double z = float(sun.z);
        auto draw_expected_sun = [&] {
            draw_glow(other_, float(sun.x * 150.0 / z + 160.0), float(sun.y * 150.0 / z + 120.0), float(6000.0 / z),
                20.0f, 0x00FFFFFFu);
        };
        EXPECT_EQ(sun.z >= 100.0, ticks == 1);
        if (sun.z >= 100.0)
            draw_expected_sun();
        compose_globe_texture(expected.texture, surface_row32(globe_surface_map, 0), surface_row32(globe_clouds, 0),
            surface_row32(globe_light_map, 0), (2 * steps) & 255, (255 - steps) & 255);
        draw_globe(surface_row32(other_, 0), &expected);
        if (sun.z > 0.0 && sun.z < 100.0)
            draw_expected_sun();
        int differing = 0;
        for (int i = 0; i < W * H; ++i)
            differing += surface_row32(frame_surface, 0)[i] != surface_row32(other_, 0)[i];
        EXPECT_LE(differing, 4) << "after " << steps << " steps";
    }
}

TEST_F(GlobeScene, LeavesTheStarsInWorkSurface1AlsoBeforeItsFirstFrame)
{
    namespace ss = scene_script;
    ss::begin(10);
    globe_scene(); // returns at once
    clear_surface(other_);
    draw_stars(globe_stars, other_);
    EXPECT_EQ(0, std::memcmp(surface_row32(work_surface_1, 0), surface_row32(other_, 0), W * H * 4));
    scene_number.store(9, std::memory_order_relaxed);
    ss::play(globe_scene, { { 4, 10 } });
    // The stars as turned in the last frame: the same stars the frame surface shows.
    clear_surface(other_);
    draw_stars(globe_stars, other_);
    EXPECT_EQ(0, std::memcmp(surface_row32(work_surface_1, 0), surface_row32(other_, 0), W * H * 4));
    EXPECT_EQ(globe->centre.x, 112.0); // four frames of one tick
    ss::end();
}

} // namespace
