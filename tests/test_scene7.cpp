// test_scene7.cpp -- twin glows: glow orbit, particle rise and rebirth, multi-tick frames, face cues.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "gfx2d/tables.h"
#include "scene_script.h"
#include "scenes/scene7_glows.h"
#include "scenes/scene_data.h"

namespace {

namespace ss = scene_script;

double stream_a[FACE_PARTICLES][4];
double stream_b[FACE_PARTICLES][4];
double sizes[FACE_PARTICLES];
uint32_t colours[FACE_PARTICLES];
constexpr uint32_t FACE_COLOURS[3] = { 0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u };
constexpr int FACE_WIDTHS[3] = { 31, 40, 50 };
constexpr int FACE_HEIGHTS[3] = { 20, 10, 30 };

class GlowScene : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static Matrix matrix;
        shared_matrix = &matrix;
        static double draw_a[FACE_PARTICLES][4], draw_b[FACE_PARTICLES][4];
        face_set = FaceSet {};
        face_set.stream_a = stream_a;
        face_set.stream_b = stream_b;
        face_set.draw_a = draw_a;
        face_set.draw_b = draw_b;
        face_set.sizes = sizes;
        face_set.colours = colours;
        for (int f = 0; f < 3; ++f)
            face_set.faces[f] = ss::solid_picture(FACE_WIDTHS[f], FACE_HEIGHTS[f], FACE_COLOURS[f]);
    }
    // The records as set-up leaves them: particle i at (0, 4i, 0), size 2, colour 0xFF480000.
    void SetUp() override
    {
        ss::begin(7);
        for (int i = 0; i < FACE_PARTICLES; ++i) {
            const double start[4] = { 0.0, 4.0 * i, 0.0, 1.0 };
            std::memcpy(stream_a[i], start, sizeof start);
            std::memcpy(stream_b[i], start, sizeof start);
            sizes[i] = 2.0;
            colours[i] = 0xFF480000u;
        }
    }
    void TearDown() override { ss::end(); }
    static void ticks(GlowRun* run, int n)
    {
        for (int i = 0; i < n; ++i)
            glow_tick(run, &face_set);
    }
};

TEST_F(GlowScene, ParticleIIsFirstRebornAfter40Minus2ITicksAtThatTicksGlows)
{
    stream_b[5][1] = 1000.0; // B's own height never decides
    stream_b[7][1] = -1000.0;
    GlowRun run;
    start_glow_run(&run);
    for (int k = 1; k <= 40; ++k) {
        ticks(&run, 1);
        // The glows circle opposite each other, 15 around (0, 0, 100), 0.15 a tick.
        ASSERT_NEAR(run.p.x, 15.0 * std::cos(0.15 * k), 1e-12);
        ASSERT_NEAR(run.q.z, 100.0 - 15.0 * std::sin(0.15 * k), 1e-12);
        for (int i = 0; i < FACE_PARTICLES; ++i) {
            const int first = 40 - 2 * i;
            if (k < first) {
                ASSERT_EQ(stream_a[i][1], 4.0 * i + 2.0 * k) << i << " at " << k;
                ASSERT_EQ(sizes[i], 2.0 + 0.25 * k);
                ASSERT_EQ(colours[i], 0xFF480000u - uint32_t(k) * 0x10000u);
            } else if (k == first) {
                const double want[2][3] = { { run.p.x, 0.0, run.p.z }, { run.q.x, 0.0, run.q.z } };
                for (int c = 0; c < 3; ++c) {
                    ASSERT_EQ(stream_a[i][c], want[0][c]) << i;
                    ASSERT_EQ(stream_b[i][c], want[1][c]) << i;
                }
                ASSERT_EQ(sizes[i], 2.0);
                ASSERT_EQ(colours[i], 0xFF480000u);
            }
        }
    }
    ticks(&run, 39); // after rebirth a particle shows forty states
    EXPECT_EQ(stream_a[0][1], 78.0);
    EXPECT_EQ(colours[0], 0xFF210000u);
    ticks(&run, 1);
    EXPECT_EQ(stream_a[0][1], 0.0);
}

TEST_F(GlowScene, ThreeTicksAdvanceThePhasesAndRebirthUsesTheFirstTicksGlow)
{
    stream_a[0][1] = 78.0;
    GlowRun run;
    start_glow_run(&run);
    ticks(&run, 3);
    EXPECT_DOUBLE_EQ(run.a, 0.15);
    EXPECT_DOUBLE_EQ(run.b, 0.45);
    // Reborn in the first tick at that tick's P, then risen twice.
    EXPECT_EQ(stream_a[0][0], 15.0 * std::cos(0.15));
    EXPECT_EQ(stream_a[0][1], 4.0);
    EXPECT_EQ(stream_b[0][0], 15.0 * std::cos(0.15 + std::numbers::pi));
    EXPECT_EQ(sizes[0], 2.5);
}

TEST_F(GlowScene, CuesTwoFortyToTwoFortyTwoPutAFaceOnTheBottomEdge)
{
    GlowRun run;
    start_glow_run(&run);
    ticks(&run, 25);
    auto frame_for = [&](uint32_t number) {
        GlowRun copy = run; // drawing moves the glows into camera space
        ss::fill(frame_surface, 0xDEADBEEFu);
        glow_draw(&copy, &face_set, number);
        return std::vector<uint32_t>(ss::pixels(frame_surface), ss::pixels(frame_surface) + 320 * 240);
    };
    const std::vector<uint32_t> plain = frame_for(7);
    EXPECT_EQ(frame_for(243), plain);
    EXPECT_EQ(frame_for(239), plain);
    for (int f = 0; f < 3; ++f) {
        const std::vector<uint32_t> with_face = frame_for(240 + f);
        // Centred (half the width rounded down) and standing on the bottom row.
        const int left = 160 - FACE_WIDTHS[f] / 2, top = 240 - FACE_HEIGHTS[f];
        int wrong = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                const bool inside = x >= left && x < left + FACE_WIDTHS[f] && y >= top;
                wrong += with_face[y * 320 + x] != (inside ? FACE_COLOURS[f] : plain[y * 320 + x]);
            }
        EXPECT_EQ(wrong, 0) << "face " << f;
    }
}

TEST_F(GlowScene, ParticlesCarryOnAcrossRunsOfTheScene)
{
    scene_number.store(241, std::memory_order_relaxed); // a cue keeps the scene running
    ss::play(glows_scene, { { 5, 8 } });
    EXPECT_EQ(stream_a[0][1], 10.0);
    EXPECT_EQ(sizes[0], 3.25);
    scene_number.store(7, std::memory_order_relaxed);
    ss::play(glows_scene, { { 10, 8 } });
    EXPECT_EQ(stream_a[0][1], 20.0); // not reset on entry
}

} // namespace
