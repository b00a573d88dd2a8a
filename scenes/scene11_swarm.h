// scene11_swarm.h -- scene 11: 800 glowing particles flash out, form a turning spiral, burst away.
#pragma once

#include <cstdint>

struct Particle;
struct Surface;

// The phase the swarm has reached; lives for the whole program, so a second run of the scene
// continues where the first one stopped. 0 at program start.
extern int32_t swarm_phase;

// A distance or growth left at or below this counts as used up.
constexpr float SWARM_EPSILON = 1.1920929e-7f;
// Tick sums after which the swarm forms the spiral, and then bursts towards the ring.
constexpr uint32_t SPIRAL_AFTER_TICKS = 140;
constexpr uint32_t RING_AFTER_TICKS = 588;

// Every byte b of every pixel becomes 128 + ((b >> 1) & 124).
void whiten_surface(Surface* surface);
// Every byte b of every pixel becomes (b >> 1) & 124.
void fade_surface(Surface* surface);

// Moves a particle `ticks` ticks along its direction and towards its target size while either
// is left, then draws it as a soft disc in perspective. Particles at z <= 0 are not drawn.
void step_particle(Particle* p, float ticks, Surface* surface);
// Sends a particle from where it is towards (tx, ty, tz), growing or shrinking towards `size`:
// a shrinking one ends at `size`, a growing one grows by the square of the difference.
void retarget_particle(Particle* p, double tx, double ty, double tz, double size);
// Gives the 800 particles their places on the four spiral arms (4 demo_rand() values each).
void retarget_to_spiral(Particle* particles);
// Turns an arrived particle about the spiral's axis by an angle that grows with its radius.
void turn_particle(Particle* p);
// Sends the 800 particles towards a ring beyond the screen edges (3 demo_rand() values each).
void retarget_to_ring(Particle* particles);

// One run of the scene: tick sum and frame count since entry.
struct SwarmRun {
    uint32_t tick_sum; // S
    uint32_t frames; // F
};

// One frame's work after a wait that returned `ticks` (phases advance for the next frame, phase 1
// runs phase 2's work at once); then S and F advance. Presenting the frame surface is left to
// the caller.
void swarm_frame(SwarmRun* run, uint32_t ticks);

// Scene 11.
void swarm_scene();
