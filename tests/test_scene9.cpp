// test_scene9.cpp -- globe among the stars: loader, texture composition, globe drawing, the orbit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/clock.h"
#include "app/demo.h"
#include "app/window.h"
#include "display/demo_rand.h"
#include "effects/light.h"
#include "effects/stars.h"
#include "scenes/globe.h"
#include "scenes/scene_data.h"

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
    // The frame drawn from the run's state with the sun where `sun_order` says:
    // 0 none, 1 behind the globe, 2 in front.
    void draw_reference(const GlobeRun& run, int sun_order)
    {
        clear_surface(other_);
        draw_stars(globe_stars, other_);
        const double z = float(run.sun.z);
        auto sun = [&] {
            draw_glow(other_, float(run.sun.x * 150.0 / z + 160.0), float(run.sun.y * 150.0 / z + 120.0),
                float(6000.0 / z), 20.0f, 0x00FFFFFFu);
        };
        if (sun_order == 1)
            sun();
        compose_globe_texture(globe->texture, surface_row32(globe_surface_map, 0), surface_row32(globe_clouds, 0),
            surface_row32(globe_light_map, 0), run.surface_scroll, run.cloud_scroll);
        draw_globe(surface_row32(other_, 0), globe);
        if (sun_order == 2)
            sun();
    }
    bool frame_equals_reference() const
    {
        return std::memcmp(surface_row32(frame_surface, 0), surface_row32(other_, 0), W * H * 4) == 0;
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

TEST_F(GlobeScene, SunBehindInFrontOrNotDrawnByItsDepth)
{
    GlobeRun run;
    start_globe_run(&run);
    int frames[3] = {}; // per order: frames seen
    int visible[3] = {}; // per order: frames in which the sun changed the picture
    for (int frame = 0; frame < 126; ++frame) {
        globe_frame(&run, 1);
        const double z = run.sun.z;
        const int order = z >= 100.0 ? 1 : (z > 0.0 ? 2 : 0);
        ++frames[order];
        draw_reference(run, order);
        ASSERT_TRUE(frame_equals_reference()) << "frame " << frame << " sun z " << z;
        if (order != 0) {
            draw_reference(run, 0);
            visible[order] += !frame_equals_reference();
        }
    }
    // One orbit passes through all three. In front of the globe the sun sits high above the
    // screen (its glow does not reach the picture in this orbit), behind it it shows.
    EXPECT_GT(frames[0], 0);
    EXPECT_GT(frames[2], 0);
    EXPECT_GT(visible[1], 0);
}

// Every wait jumps to the next tick; at the chosen frame the music moves on to scene 10.
struct SceneClock {
    uint32_t now = 0;
    int frames = 0;
    int last_frame = 0;
} scene_clock;

uint32_t scene_now(void*)
{
    return scene_clock.now;
}
void scene_sleep(void*, uint32_t)
{
    scene_clock.now = ((scene_clock.now >> 5) + 1) << 5;
    if (++scene_clock.frames == scene_clock.last_frame)
        scene_number.store(10, std::memory_order_relaxed);
}
void scene_spin(void* context)
{
    scene_sleep(context, 1);
}

TEST_F(GlobeScene, LeavesTheStarsInWorkSurface1AlsoBeforeItsFirstFrame)
{
    window_record = nullptr;
    scene_number.store(10, std::memory_order_relaxed);
    globe_scene(); // returns at once
    clear_surface(other_);
    draw_stars(globe_stars, other_);
    EXPECT_EQ(0, std::memcmp(surface_row32(work_surface_1, 0), surface_row32(other_, 0), W * H * 4));
    int lit = 0;
    for (int i = 0; i < W * H; ++i)
        lit += surface_row32(work_surface_1, 0)[i] != 0;
    EXPECT_GT(lit, 300);

    scene_clock = SceneClock {};
    scene_clock.last_frame = 4;
    set_demo_clock(DemoClock { scene_now, scene_sleep, scene_spin, nullptr });
    reset_tick_timer();
    scene_number.store(9, std::memory_order_relaxed);
    std::fill_n(surface_row32(work_surface_1, 0), W * H, 0x55555555u);
    globe_scene();
    EXPECT_EQ(scene_clock.frames, 4);
    // The stars as turned in the last frame: the same stars the frame surface shows.
    clear_surface(other_);
    draw_stars(globe_stars, other_);
    EXPECT_EQ(0, std::memcmp(surface_row32(work_surface_1, 0), surface_row32(other_, 0), W * H * 4));
    EXPECT_EQ(globe->centre.x, 112.0); // four frames of one tick
}

} // namespace
