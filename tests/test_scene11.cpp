// test_scene11.cpp -- particle swarm: whiten and fade, growth, spiral targets, the phase thresholds.
// The sparks, the discs as drawn, travel, the spiral turn and the ring are pinned by the scene 11
// golden frames.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "display/demo_rand.h"
#include "gfx2d/tables.h"
#include "scene_script.h"
#include "scenes/scene11_swarm.h"
#include "scenes/scene_data.h"

namespace {
using namespace scene_script;

constexpr double UNIT = RAND_UNIT;

// The shared surfaces under the scripted clock, the frame black; the swarm at its start values.
class Swarm : public ::testing::Test {
protected:
    void SetUp() override
    {
        begin(11);
        fill(frame_surface, 0);
        demo_srand(11);
        make_particle_starts(swarm_particles, PARTICLE_COUNT);
        swarm_phase = 0;
    }
    void TearDown() override { end(); }
    static uint32_t* frame() { return pixels(frame_surface); }
    // Where a particle is heading: its place plus what is left of its way.
    static std::array<double, 3> target(const Particle& p)
    {
        return { p.x + double(p.distance_left) * p.direction_x, p.y + double(p.distance_left) * p.direction_y,
            p.z + double(p.distance_left) * p.direction_z };
    }
};

Particle resting(float x, float y, float z, float size)
{
    return Particle { 0xFFFFFFFFu, 1.0f, 0.0f, x, y, z, size, 0, 0, 0, 0, 0, 0, 0 };
}

TEST_F(Swarm, WhitenClimbsTo252AndFadeFallsTo0ByteByByte)
{
    for (uint32_t expected : { 128u, 192u, 224u, 240u, 248u, 252u, 252u }) {
        whiten_surface(frame_surface);
        EXPECT_EQ(frame()[0], expected * 0x01010101u);
    }
    fill(frame_surface, 0xFFFFFFFFu);
    for (uint32_t expected : { 124u, 60u, 28u, 12u, 4u, 0u }) {
        fade_surface(frame_surface);
        EXPECT_EQ(frame()[320 * 240 - 1], expected * 0x01010101u);
    }
    frame()[0] = 0x81FF0280u; // the low bit of each byte is dropped: no bit crosses a byte
    fade_surface(frame_surface);
    EXPECT_EQ(frame()[0], 0x407C0040u);
}

TEST_F(Swarm, RetargetGrowsBySquaredDifferenceAndSpiralTargetsTakeFourValuesEach)
{
    // Shrinking by 1 to size 2: rate -1 over 25; one step of speed 25 ends at the target size.
    Particle shrink = resting(0, 0, 100, 3.0f);
    retarget_particle(&shrink, 0, 0, 100, 2.0);
    EXPECT_EQ(shrink.growth_rate, -1.0f);
    EXPECT_EQ(shrink.growth_left, 25.0f);
    shrink.speed = 25.0f;
    step_particle(&shrink, 1.0f, frame_surface);
    step_particle(&shrink, 1.0f, frame_surface); // growth used up: stays
    EXPECT_EQ(shrink.size, 2.0f);
    // Growing by 2 is at rate 2 over 50: one step of 50 reaches 1 + 2 x 2, not 3.
    Particle grow = resting(0, 0, 100, 1.0f);
    retarget_particle(&grow, 0, 0, 100, 3.0);
    grow.speed = 50.0f;
    step_particle(&grow, 1.0f, frame_surface);
    EXPECT_EQ(grow.size, 5.0f);

    Particle here = resting(5, 6, 120, 2.0f);
    retarget_particle(&here, 5, 6, 120, 2.0);
    EXPECT_EQ(here.distance_left, 0.0f);
    EXPECT_EQ(here.direction_x, 0.0f); // not 0 / 0

    // Spiral targets take four values per particle, in their order.
    demo_srand(5);
    std::vector<int> r(PARTICLE_COUNT * 4 + 1);
    for (int& v : r)
        v = demo_rand();
    demo_srand(5);
    retarget_to_spiral(swarm_particles);
    EXPECT_EQ(demo_rand(), r.back()); // exactly four values per particle were drawn
    // Record 0 (k = 0, on the axis): rz, ry, rx, rs are r[0..3].
    const auto t0 = target(swarm_particles[0]);
    EXPECT_NEAR(t0[0], (r[2] * UNIT - 0.5) * 10, 1e-4);
    EXPECT_NEAR(t0[1], (r[1] * UNIT - 0.5) * 5 + 30, 1e-4);
    EXPECT_NEAR(t0[2], (r[0] * UNIT - 0.5) * 10 + 100, 1e-4);
    EXPECT_EQ(swarm_particles[0].spiral_radius, 0.0f);
    // Record 201 (k = 50, second arm): theta = pi/2, rho = 10, gamma = cos(pi/8); the arm is
    // (jx - s, jy + 30, jz + c + 100) with s = 10, c = 0.
    const int* q = &r[201 * 4];
    const auto t1 = target(swarm_particles[201]);
    EXPECT_NEAR(t1[0], (q[2] * UNIT - 0.5) * 10 - 10, 1e-4);
    EXPECT_NEAR(t1[1], (q[1] * UNIT - 0.5) * 5 * std::cos(3.141592653589793 / 8) + 30, 1e-4);
    EXPECT_NEAR(t1[2], (q[0] * UNIT - 0.5) * 10 + 100, 1e-4);
    EXPECT_EQ(swarm_particles[201].spiral_radius, 10.0f);
    // Record 101 (k = 25, second arm): theta = pi/4, rho = 5, c = s = 5 cos(pi/4): (jx - s, ., jz + c + 100).
    const int* h = &r[101 * 4];
    const double cs = 5.0 * std::cos(3.141592653589793 / 4);
    const auto t2 = target(swarm_particles[101]);
    EXPECT_NEAR(t2[0], (h[2] * UNIT - 0.5) * 10 - cs, 1e-4);
    EXPECT_NEAR(t2[2], (h[0] * UNIT - 0.5) * 10 + cs + 100, 1e-4);
}

TEST_F(Swarm, PhasesMoveOnStrictlyAbove140And588Ticks)
{
    // (phase, ticks so far) -> the phase after two frames of a tick: S was past the threshold
    // only during the second.
    for (const auto& [phase, sum] : { std::pair { 2, 140u }, std::pair { 4, 588u } }) {
        swarm_phase = phase;
        SwarmRun run { sum, 20 };
        swarm_frame(&run, 1);
        EXPECT_EQ(swarm_phase, phase);
        swarm_frame(&run, 1);
        EXPECT_EQ(swarm_phase, phase + 1);
    }
}

} // namespace
