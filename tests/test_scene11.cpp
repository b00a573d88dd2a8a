// test_scene11.cpp -- particle swarm: whiten and fade, steps, retargeting, the phases and the loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "app/demo.h"
#include "display/demo_rand.h"
#include "gfx2d/tables.h"
#include "scene_script.h"
#include "scenes/scene11_swarm.h"
#include "scenes/scene_data.h"

namespace {

constexpr int W = 320;
constexpr int H = 240;
constexpr double UNIT = RAND_UNIT;

// The frame surface is swapped for a test one; the swarm records get their start values.
class Swarm : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_frame_ = frame_surface;
        frame_surface = create_surface(W, H, 32);
        clear_surface(frame_surface);
        demo_srand(11);
        make_particle_starts(swarm_particles, PARTICLE_COUNT);
        swarm_phase = 0;
    }
    void TearDown() override
    {
        destroy_surface(frame_surface);
        frame_surface = saved_frame_;
        swarm_phase = 0;
        set_demo_clock(real_clock());
    }
    uint32_t* frame() { return surface_row32(frame_surface, 0); }
    std::vector<uint32_t> copy_frame() { return std::vector<uint32_t>(frame(), frame() + W * H); }
    int lit()
    {
        return int(std::count_if(frame(), frame() + W * H, [](uint32_t p) { return p != 0; }));
    }
    // How many values the random stream moved on since demo_srand(seed).
    static int draws_since(uint32_t seed, int expected_max)
    {
        const int next = demo_rand();
        demo_srand(seed);
        for (int n = 0; n <= expected_max + 1; ++n)
            if (demo_rand() == next)
                return n;
        return -1;
    }
    Surface* saved_frame_ = nullptr;
};

Particle resting(float x, float y, float z, float size)
{
    Particle p {};
    p.colour = 0xFFFFFFFFu;
    p.speed = 1.0f;
    p.x = x;
    p.y = y;
    p.z = z;
    p.size = size;
    return p;
}

// ---- frame operations ----

TEST_F(Swarm, WhitenClimbsTo252AndFadeFallsTo0ByteByByte)
{
    const uint8_t whiten_steps[] = { 128, 192, 224, 240, 248, 252, 252 };
    for (uint8_t expected : whiten_steps) {
        whiten_surface(frame_surface);
        EXPECT_EQ(frame()[0], expected * 0x01010101u);
    }
    std::fill_n(frame(), W * H, 0xFFFFFFFFu);
    whiten_surface(frame_surface);
    EXPECT_EQ(frame()[7], 0xFCFCFCFCu);

    const uint8_t fade_steps[] = { 124, 60, 28, 12, 4, 0 };
    std::fill_n(frame(), W * H, 0xFFFFFFFFu);
    for (uint8_t expected : fade_steps) {
        fade_surface(frame_surface);
        EXPECT_EQ(frame()[W * H - 1], expected * 0x01010101u);
    }
    // No bit crosses into the byte below: the low bit of each byte is dropped.
    frame()[0] = 0x01010101u;
    fade_surface(frame_surface);
    EXPECT_EQ(frame()[0], 0u);
    frame()[0] = 0x81FF0280u;
    fade_surface(frame_surface);
    EXPECT_EQ(frame()[0], 0x407C0040u);
}

// ---- particles ----

TEST_F(Swarm, ShrinkingEndsAtTheTargetSizeGrowingByTheSquareOfTheDifference)
{
    Particle shrink = resting(0, 0, 100, 3.0f);
    retarget_particle(&shrink, 0, 0, 100, 2.0);
    EXPECT_EQ(shrink.growth_rate, -1.0f);
    EXPECT_EQ(shrink.growth_left, 25.0f);
    shrink.speed = 25.0f;
    step_particle(&shrink, 1.0f, frame_surface);
    EXPECT_EQ(shrink.size, 2.0f);
    step_particle(&shrink, 1.0f, frame_surface); // growth used up: stays
    EXPECT_EQ(shrink.size, 2.0f);

    Particle slow = resting(0, 0, 100, 3.0f); // the same in 25 steps of 1
    retarget_particle(&slow, 0, 0, 100, 2.0);
    for (int i = 0; i < 30; ++i)
        step_particle(&slow, 1.0f, frame_surface);
    EXPECT_NEAR(slow.size, 2.0f, 1e-5);

    Particle grow = resting(0, 0, 100, 1.0f);
    retarget_particle(&grow, 0, 0, 100, 3.0);
    EXPECT_EQ(grow.growth_rate, 2.0f);
    EXPECT_EQ(grow.growth_left, 50.0f);
    grow.speed = 50.0f;
    step_particle(&grow, 1.0f, frame_surface);
    EXPECT_EQ(grow.size, 5.0f); // 1 + 2 x 2, not 3
}

TEST_F(Swarm, TravelOvershootsOnLongFramesAndATargetHereHasNoDirection)
{
    Particle p = resting(0, 0, 100, 1.0f);
    retarget_particle(&p, 30, 40, 100, 1.0);
    EXPECT_EQ(p.distance_left, 50.0f);
    EXPECT_EQ(p.direction_x, 0.6f);
    EXPECT_EQ(p.direction_y, 0.8f);
    EXPECT_EQ(p.direction_z, 0.0f);
    p.speed = 7.0f;
    step_particle(&p, 8.0f, frame_surface); // one frame of 8 ticks: 56 units, past the target
    EXPECT_FLOAT_EQ(p.x, 33.6f);
    EXPECT_FLOAT_EQ(p.y, 44.8f);
    EXPECT_FLOAT_EQ(p.distance_left, -6.0f);
    step_particle(&p, 1.0f, frame_surface); // arrived: no more travel
    EXPECT_FLOAT_EQ(p.x, 33.6f);

    Particle here = resting(5, 6, 120, 2.0f);
    retarget_particle(&here, 5, 6, 120, 2.0);
    EXPECT_EQ(here.distance_left, 0.0f);
    EXPECT_EQ(here.direction_x, 0.0f);
    EXPECT_EQ(here.direction_y, 0.0f);
    EXPECT_EQ(here.direction_z, 0.0f);
    EXPECT_EQ(here.growth_left, 0.0f);
}

TEST_F(Swarm, DrawnInPerspectiveOnlyInFrontOfTheViewer)
{
    Particle p = resting(30, -15, 150, 10.0f); // centre (190, 105), radius 10
    step_particle(&p, 1.0f, frame_surface);
    // 255 / 100 is just below 2.55 in double: I = 254 at the centre, 255 x 254 >> 8 = 253.
    EXPECT_EQ(frame()[105 * W + 190], 0xFDFDFDFDu);
    EXPECT_EQ(frame()[105 * W + 201], 0u);
    clear_surface(frame_surface);
    Particle behind = resting(0, 0, 0.0f, 10.0f);
    step_particle(&behind, 1.0f, frame_surface);
    behind.z = -150.0f;
    step_particle(&behind, 1.0f, frame_surface);
    EXPECT_EQ(lit(), 0);
}

TEST_F(Swarm, OnlyArrivedParticlesOnTheSpiralTurn)
{
    Particle arrived = resting(10, 0, 100, 1.0f);
    arrived.spiral_radius = 18.0f; // alpha = 18 pi / 1800 = pi / 100
    arrived.speed = 3.0f;
    turn_particle(&arrived);
    EXPECT_EQ(arrived.speed, 1.0f);
    EXPECT_FLOAT_EQ(arrived.x, float(10 * std::cos(0.031415926535897934)));
    EXPECT_FLOAT_EQ(arrived.z, float(100 - 10 * std::sin(0.031415926535897934)));

    Particle travelling = arrived;
    travelling.distance_left = 0.5f;
    turn_particle(&travelling);
    EXPECT_EQ(travelling.x, arrived.x);
    Particle almost = arrived; // left between 0 and epsilon: neither travels nor turns again
    almost.distance_left = 1e-8f;
    turn_particle(&almost);
    step_particle(&almost, 1.0f, frame_surface);
    EXPECT_EQ(almost.x, arrived.x);
    Particle on_axis = resting(10, 0, 100, 1.0f); // spiral radius 0
    turn_particle(&on_axis);
    EXPECT_EQ(on_axis.x, 10.0f);
}

TEST_F(Swarm, SpiralTargetsTakeFourValuesPerParticleInTheirOrder)
{
    demo_srand(5);
    std::vector<int> r(PARTICLE_COUNT * 4);
    for (int& v : r)
        v = demo_rand();
    demo_srand(5);
    retarget_to_spiral(swarm_particles);
    EXPECT_EQ(draws_since(5, 3200), 3200);

    auto target = [](const Particle& p) {
        return std::vector<double> { p.x + double(p.distance_left) * p.direction_x,
            p.y + double(p.distance_left) * p.direction_y, p.z + double(p.distance_left) * p.direction_z };
    };
    // Record 0 (k = 0, on the axis): rz, ry, rx, rs are r[0..3].
    std::vector<double> t0 = target(swarm_particles[0]);
    EXPECT_NEAR(t0[0], (r[2] * UNIT - 0.5) * 10, 1e-4);
    EXPECT_NEAR(t0[1], (r[1] * UNIT - 0.5) * 5 + 30, 1e-4);
    EXPECT_NEAR(t0[2], (r[0] * UNIT - 0.5) * 10 + 100, 1e-4);
    EXPECT_EQ(swarm_particles[0].speed, 1.0f);
    EXPECT_EQ(swarm_particles[0].spiral_radius, 0.0f);
    // Record 201 (k = 50, second arm): theta = pi/2, rho = 10, gamma = cos(pi/8); the arm is
    // (jx - s, jy + 30, jz + c + 100) with s = 10, c = 0.
    const int* q = &r[201 * 4];
    const double gamma = std::cos(3.141592653589793 / 8);
    std::vector<double> t1 = target(swarm_particles[201]);
    EXPECT_NEAR(t1[0], (q[2] * UNIT - 0.5) * 10 - 10, 1e-4);
    EXPECT_NEAR(t1[1], (q[1] * UNIT - 0.5) * 5 * gamma + 30, 1e-4);
    EXPECT_NEAR(t1[2], (q[0] * UNIT - 0.5) * 10 + 100, 1e-4);
    EXPECT_EQ(swarm_particles[201].spiral_radius, 10.0f);
    // Record 101 (k = 25, second arm): theta = pi/4, rho = 5, c = s = 5 cos(pi/4): (jx - s, ., jz + c + 100).
    const int* h = &r[101 * 4];
    const double cs = 5.0 * std::cos(3.141592653589793 / 4);
    std::vector<double> t2 = target(swarm_particles[101]);
    EXPECT_NEAR(t2[0], (h[2] * UNIT - 0.5) * 10 - cs, 1e-4);
    EXPECT_NEAR(t2[2], (h[0] * UNIT - 0.5) * 10 + cs + 100, 1e-4);
}

TEST_F(Swarm, RingTargetsLieBeyondTheScreenEdges)
{
    demo_srand(6);
    retarget_to_ring(swarm_particles);
    EXPECT_EQ(draws_since(6, 2400), 2400);
    for (const Particle& p : swarm_particles) {
        const double tx = p.x + double(p.distance_left) * p.direction_x;
        const double ty = p.y + double(p.distance_left) * p.direction_y;
        const double tz = p.z + double(p.distance_left) * p.direction_z;
        EXPECT_NEAR(tz, 130.0, 1e-3);
        EXPECT_NEAR(tx * tx / (200.0 * 200.0) + ty * ty / (180.0 * 180.0), 1.0, 1e-4);
        const double sx = tx * 150 / 130 + 160, sy = ty * 150 / 130 + 120;
        EXPECT_TRUE(sx < 0 || sx >= W || sy < 0 || sy >= H) << sx << "," << sy;
        EXPECT_GE(p.speed, 1.0f);
        EXPECT_LE(p.speed, 15.0f);
    }
}

// ---- phases ----

TEST_F(Swarm, NineWhitenedFramesThenTheSparksFlyInTheSameFrame)
{
    SwarmRun run {};
    demo_srand(3);
    for (int f = 0; f < 9; ++f) {
        EXPECT_EQ(swarm_phase, 0);
        swarm_frame(&run, 1);
    }
    EXPECT_EQ(frame()[0], 0xFCFCFCFCu);
    EXPECT_EQ(swarm_phase, 1);
    EXPECT_EQ(draws_since(3, 10), 0);

    demo_srand(4);
    const int r0 = demo_rand();
    demo_srand(4);
    const Particle before = swarm_particles[0];
    swarm_frame(&run, 2);
    EXPECT_EQ(draws_since(4, 800), 800); // one speed per particle
    EXPECT_EQ(swarm_phase, 2);
    const Particle& p = swarm_particles[0];
    EXPECT_EQ(p.speed, float(0.08 + 7.5 * (r0 * UNIT)));
    EXPECT_FLOAT_EQ(p.x, before.x + 2 * p.speed * before.direction_x);
    EXPECT_GT(lit(), 1000); // faded to black, then the discs
    EXPECT_EQ(run.tick_sum, 11u);
    EXPECT_EQ(run.frames, 10u);
}

TEST_F(Swarm, PhaseThresholdsAreStrictlyAbove140And588Ticks)
{
    swarm_phase = 2;
    SwarmRun run { 140, 20 };
    swarm_frame(&run, 1);
    EXPECT_EQ(swarm_phase, 2);
    swarm_frame(&run, 1); // S was 141 during this frame
    EXPECT_EQ(swarm_phase, 3);

    swarm_phase = 4;
    run = SwarmRun { 588, 100 };
    swarm_frame(&run, 1);
    EXPECT_EQ(swarm_phase, 4);
    swarm_frame(&run, 1);
    EXPECT_EQ(swarm_phase, 5);
}

TEST_F(Swarm, RetargetingFramesPresentThePreviousFrameUnchanged)
{
    for (int i = 0; i < W * H; ++i)
        frame()[i] = uint32_t(i) * 2654435761u;
    const std::vector<uint32_t> before = copy_frame();
    swarm_phase = 3;
    SwarmRun run { 150, 30 };
    swarm_frame(&run, 2);
    EXPECT_EQ(swarm_phase, 4);
    EXPECT_EQ(copy_frame(), before);
    swarm_phase = 5;
    swarm_frame(&run, 1);
    EXPECT_EQ(swarm_phase, 6);
    EXPECT_EQ(copy_frame(), before);
    EXPECT_EQ(run.tick_sum, 153u);
    swarm_frame(&run, 1); // phase 6 fades and draws, and stays
    EXPECT_EQ(swarm_phase, 6);
    EXPECT_NE(copy_frame(), before);
}

TEST_F(Swarm, ASecondRunContinuesInThePhaseTheFirstReached)
{
    auto run_scene = [](uint32_t frames) {
        scene_script::begin(11);
        scene_script::fill(frame_surface, 0);
        scene_script::play(swarm_scene, { { frames, 12 } });
        scene_script::end();
    };
    run_scene(5);
    EXPECT_EQ(swarm_phase, 0);
    run_scene(9); // F restarts: nine more whitened frames are needed
    EXPECT_EQ(swarm_phase, 1);
    run_scene(3); // the sparks, then phase 2 (its thresholds count from this entry)
    EXPECT_EQ(swarm_phase, 2);
    EXPECT_GT(lit(), 100);
}

} // namespace
