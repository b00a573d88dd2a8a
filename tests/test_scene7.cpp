// test_scene7.cpp -- twin glows: glow orbit, particle rise and rebirth, multi-tick frames, face cues.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "app/clock.h"
#include "app/demo.h"
#include "app/window.h"
#include "gfx2d/tables.h"
#include "scenes/scene7_glows.h"
#include "scenes/scene_data.h"
#include "tools/lib/acg_writer.h"

namespace {

double stream_a[FACE_PARTICLES][4];
double stream_b[FACE_PARTICLES][4];
double draw_a[FACE_PARTICLES][4];
double draw_b[FACE_PARTICLES][4];
double sizes[FACE_PARTICLES];
uint32_t colours[FACE_PARTICLES];

Image* solid_picture(int width, int height, uint32_t colour)
{
    std::vector<uint32_t> words(size_t(width) * height, colour);
    std::vector<uint8_t> bytes;
    if (!encode_acg(words.data(), width, height, &bytes))
        return nullptr;
    return load_acg_memory(bytes.data(), bytes.size());
}

constexpr uint32_t FACE_COLOURS[3] = { 0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u };
constexpr int FACE_WIDTHS[3] = { 31, 40, 50 };
constexpr int FACE_HEIGHTS[3] = { 20, 10, 30 };

// The records as set-up leaves them: particle i at (0, 4i, 0), size 2, colour 0xFF480000.
void reset_particles()
{
    for (int i = 0; i < FACE_PARTICLES; ++i) {
        const double start[4] = { 0.0, 4.0 * i, 0.0, 1.0 };
        std::memcpy(stream_a[i], start, sizeof start);
        std::memcpy(stream_b[i], start, sizeof start);
        std::memcpy(draw_a[i], start, sizeof start);
        std::memcpy(draw_b[i], start, sizeof start);
        sizes[i] = 2.0;
        colours[i] = 0xFF480000u;
    }
}

class GlowScene : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static Matrix matrix;
        shared_matrix = &matrix;
        frame_surface = create_surface(320, 240, 32);
        ASSERT_NE(frame_surface, nullptr);
        face_set.stream_a = stream_a;
        face_set.stream_b = stream_b;
        face_set.draw_a = draw_a;
        face_set.draw_b = draw_b;
        face_set.sizes = sizes;
        face_set.colours = colours;
        for (int f = 0; f < 3; ++f) {
            face_set.faces[f] = solid_picture(FACE_WIDTHS[f], FACE_HEIGHTS[f], FACE_COLOURS[f]);
            ASSERT_NE(face_set.faces[f], nullptr);
        }
    }

    void SetUp() override { reset_particles(); }

    static void ticks(GlowRun* run, int n)
    {
        for (int i = 0; i < n; ++i)
            glow_tick(run, &face_set);
    }
};

TEST_F(GlowScene, GlowsCircleOppositeEachOtherAroundTheCentre)
{
    GlowRun run;
    start_glow_run(&run);
    EXPECT_EQ(run.target.z, 100.0);
    ticks(&run, 1);
    EXPECT_EQ(run.a, 0.05);
    EXPECT_EQ(run.b, 0.15);
    EXPECT_EQ(run.p.x, 15.0 * std::cos(0.15));
    EXPECT_EQ(run.p.y, 0.0);
    EXPECT_EQ(run.p.z, 15.0 * std::sin(0.15) + 100.0);
    EXPECT_EQ(run.q.x, 15.0 * std::cos(0.15 + std::numbers::pi));
    EXPECT_NEAR(run.q.x, -run.p.x, 1e-12);
    EXPECT_NEAR(run.q.z - 100.0, -(run.p.z - 100.0), 1e-12);
}

TEST_F(GlowScene, ParticleIIsFirstRebornAfter40Minus2ITicksWithStreamB)
{
    stream_b[5][1] = 1000.0; // B's own height never decides
    stream_b[7][1] = -1000.0;
    GlowRun run;
    start_glow_run(&run);
    for (int k = 1; k <= 40; ++k) {
        ticks(&run, 1);
        for (int i = 0; i < FACE_PARTICLES; ++i) {
            const int first = 40 - 2 * i;
            if (k < first) {
                EXPECT_EQ(stream_a[i][1], 4.0 * i + 2.0 * k) << i << " at " << k;
                EXPECT_EQ(sizes[i], 2.0 + 0.25 * k);
                EXPECT_EQ(colours[i], 0xFF480000u - uint32_t(k) * 0x10000u);
            } else if (k == first) {
                // Reborn at this tick's glow positions.
                EXPECT_EQ(stream_a[i][0], run.p.x) << i;
                EXPECT_EQ(stream_a[i][1], 0.0) << i;
                EXPECT_EQ(stream_a[i][2], run.p.z) << i;
                EXPECT_EQ(stream_b[i][0], run.q.x) << i;
                EXPECT_EQ(stream_b[i][1], 0.0) << i;
                EXPECT_EQ(stream_b[i][2], run.q.z) << i;
                EXPECT_EQ(sizes[i], 2.0);
                EXPECT_EQ(colours[i], 0xFF480000u);
            }
        }
    }
}

TEST_F(GlowScene, AfterRebirthAParticleShowsFortyStates)
{
    GlowRun run;
    start_glow_run(&run);
    ticks(&run, 40); // particle 0 just reborn
    ticks(&run, 39);
    EXPECT_EQ(stream_a[0][1], 78.0);
    EXPECT_EQ(sizes[0], 11.75);
    EXPECT_EQ(colours[0], 0xFF210000u); // red 0x48 - 39
    ticks(&run, 1);
    EXPECT_EQ(stream_a[0][1], 0.0);
    EXPECT_EQ(sizes[0], 2.0);
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
    EXPECT_EQ(stream_a[0][2], 15.0 * std::sin(0.15) + 100.0);
    EXPECT_EQ(stream_b[0][0], 15.0 * std::cos(0.15 + std::numbers::pi));
    EXPECT_EQ(sizes[0], 2.5);
    EXPECT_EQ(stream_a[1][1], 10.0);
}

TEST_F(GlowScene, CuesTwoFortyToTwoFortyTwoPutAFaceOnTheBottomEdge)
{
    EXPECT_EQ(glow_face_for(240), 0);
    EXPECT_EQ(glow_face_for(241), 1);
    EXPECT_EQ(glow_face_for(242), 2);
    EXPECT_EQ(glow_face_for(243), -1);
    EXPECT_EQ(glow_face_for(7), -1);
    EXPECT_EQ(glow_face_for(239), -1);

    GlowRun run;
    start_glow_run(&run);
    ticks(&run, 25);
    auto frame_for = [&](uint32_t number) {
        GlowRun copy = run; // drawing moves the glows into camera space
        std::fill_n(surface_row32(frame_surface, 0), 320 * 240, 0xDEADBEEFu);
        glow_draw(&copy, &face_set, number);
        return std::vector<uint32_t>(surface_row32(frame_surface, 0), surface_row32(frame_surface, 0) + 320 * 240);
    };
    const std::vector<uint32_t> plain = frame_for(7);
    EXPECT_EQ(frame_for(243), plain);
    EXPECT_EQ(frame_for(255), plain);
    // The frame is cleared first and the glows light it.
    EXPECT_EQ(std::count(plain.begin(), plain.end(), 0xDEADBEEFu), 0);
    EXPECT_GT(std::count_if(plain.begin(), plain.end(), [](uint32_t p) { return (p & 0xFFFFFF) == 0xFFFFFF; }), 0);

    for (int f = 0; f < 3; ++f) {
        const std::vector<uint32_t> with_face = frame_for(240 + f);
        // Centred (half the width rounded down) and standing on the bottom row.
        const int left = 160 - FACE_WIDTHS[f] / 2;
        const int top = 240 - FACE_HEIGHTS[f];
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                const bool inside = x >= left && x < left + FACE_WIDTHS[f] && y >= top;
                const uint32_t expected = inside ? FACE_COLOURS[f] : plain[y * 320 + x];
                if (with_face[y * 320 + x] != expected) {
                    ADD_FAILURE() << "face " << f << " pixel " << x << "," << y;
                    return;
                }
            }
    }
}

TEST_F(GlowScene, ParticlesCarryOnAcrossRunsOfTheScene)
{
    static WindowRecord record;
    static uint32_t now_ms;
    record = WindowRecord {};
    window_record = &record;
    now_ms = 0;
    auto advance = [](uint32_t ms) {
        now_ms += ms;
        if ((now_ms >> 5) >= 5)
            scene_number.store(8, std::memory_order_relaxed);
    };
    static void (*step)(uint32_t) = nullptr;
    step = advance;
    set_demo_clock(DemoClock {
        [](void*) { return now_ms; }, [](void*, uint32_t ms) { step(ms); }, [](void*) { step(1); }, nullptr });
    reset_tick_timer();
    scene_number.store(241, std::memory_order_relaxed); // a cue keeps the scene running
    glows_scene();
    EXPECT_EQ(stream_a[0][1], 10.0);
    EXPECT_EQ(sizes[0], 3.25);

    now_ms = 0;
    reset_tick_timer();
    scene_number.store(7, std::memory_order_relaxed);
    glows_scene();
    EXPECT_EQ(stream_a[0][1], 20.0); // not reset on entry
    set_demo_clock(real_clock());
    window_record = nullptr;
}

} // namespace
