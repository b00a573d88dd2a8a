// scene11_swarm.cpp -- scene 11: the particle swarm's phases, steps and retargeting.
#include "scenes/scene11_swarm.h"

#include <cmath>
#include <numbers>

#include "app/demo.h"
#include "display/demo_rand.h"
#include "display/numeric.h"
#include "effects/light.h"
#include "gfx2d/tables.h"
#include "scenes/scene_data.h"

int32_t swarm_phase = 0;

namespace {

constexpr double PI = std::numbers::pi;

// r / 32767 through the single-precision constant, widened.
inline double unit_rand()
{
    return double(demo_rand()) * double(RAND_UNIT);
}

template <typename Op> void map_pixels(Surface* surface, Op op)
{
    for (int y = 0; y < surface->height; ++y) {
        uint32_t* row = surface_row32(surface, y);
        for (int x = 0; x < surface->width; ++x)
            row[x] = op(row[x]);
    }
}

} // namespace

void whiten_surface(Surface* surface)
{
    map_pixels(surface, [](uint32_t p) { return ((p >> 1) & 0xFCFCFCFCu) | 0x80808080u; });
}

void fade_surface(Surface* surface)
{
    map_pixels(surface, [](uint32_t p) { return (p >> 1) & 0x7C7C7C7Cu; });
}

void step_particle(Particle* p, float ticks, Surface* surface)
{
    if (p->distance_left > SWARM_EPSILON) {
        const double l = double(p->speed) * double(ticks);
        p->x = single(p->x + l * p->direction_x);
        p->y = single(p->y + l * p->direction_y);
        p->z = single(p->z + l * p->direction_z);
        p->distance_left = single(p->distance_left - l); // may end below 0: the last step overshoots
    }
    if (p->growth_left > SWARM_EPSILON) {
        const double g = double(p->speed) * double(ticks);
        p->growth_left = single(p->growth_left - g);
        p->size = single(p->size + 0.04 * g * p->growth_rate);
    }
    // No phase takes a particle to z <= 0, but the projection would be meaningless there.
    if (!(p->z > 0.0f))
        return;
    const double z = p->z;
    draw_soft_disc(surface, single(p->x * 150.0 / z + 160.0), single(p->y * 150.0 / z + 120.0),
        single(p->size * 150.0 / z), p->colour);
}

void retarget_particle(Particle* p, double tx, double ty, double tz, double size)
{
    const double dx = tx - p->x;
    const double dy = ty - p->y;
    const double dz = tz - p->z;
    const float length = single(std::sqrt(dx * dx + dy * dy + dz * dz));
    // Already at the target: no direction, nothing to travel.
    const bool moving = length > 0.0f;
    p->direction_x = moving ? single(dx / length) : 0.0f;
    p->direction_y = moving ? single(dy / length) : 0.0f;
    p->direction_z = moving ? single(dz / length) : 0.0f;
    p->distance_left = length;

    // Shrinking runs at rate 1 for 25 units per size unit, ending at `size`; growing uses the
    // difference as both rate and length, so it grows by its square.
    const double growth = size - p->size;
    p->growth_rate = growth >= 0.0 ? single(growth) : -1.0f;
    p->growth_left = single(std::abs(int64_t(trunc_i32(25.0 * growth))));
}

void retarget_to_spiral(Particle* particles)
{
    for (int k = 0; k < PARTICLE_COUNT / 4; ++k) {
        const double theta = k * PI / 100.0;
        const float rho = single(0.2 * k);
        const double gamma = std::cos(k * PI / 400.0);
        const double c = rho * std::cos(theta);
        const double s = rho * std::sin(theta);
        // Four arms a quarter turn apart around the vertical axis through (0, 30, 100).
        const double arm_x[4] = { c, -s, s, -c };
        const double arm_z[4] = { s, c, -c, -s };
        for (int arm = 0; arm < 4; ++arm) {
            Particle* p = &particles[4 * k + arm];
            const double jz = (unit_rand() - 0.5) * 10.0;
            const double jy = (unit_rand() - 0.5) * 5.0 * gamma;
            const double jx = (unit_rand() - 0.5) * 10.0;
            const double size = 1.0 + 2.0 * gamma * unit_rand();
            p->speed = 1.0f;
            p->spiral_radius = rho;
            retarget_particle(p, jx + arm_x[arm], jy + 30.0, jz + arm_z[arm] + 100.0, size);
        }
    }
}

void turn_particle(Particle* p)
{
    if (!(p->spiral_radius > SWARM_EPSILON) || !(p->distance_left <= 0.0f))
        return;
    p->speed = 1.0f;
    const double alpha = p->spiral_radius * PI / 1800.0;
    const double x = p->x;
    const double zc = p->z - 100.0;
    p->x = single(x * std::cos(alpha) + zc * std::sin(alpha));
    p->z = single(zc * std::cos(alpha) - x * std::sin(alpha) + 100.0);
}

void retarget_to_ring(Particle* particles)
{
    for (int i = 0; i < PARTICLE_COUNT; ++i) {
        Particle* p = &particles[i];
        const double angle = single(2.0 * PI * unit_rand());
        p->speed = single(1.0 + 14.0 * unit_rand());
        const double size = 1.0 + 6.0 * unit_rand();
        retarget_particle(p, 200.0 * std::sin(angle), 180.0 * std::cos(angle), 130.0, size);
    }
}

void swarm_frame(SwarmRun* run, uint32_t ticks)
{
    const float t = float(ticks);
    switch (swarm_phase) {
    case 0:
        whiten_surface(frame_surface);
        if (run->frames >= 8)
            swarm_phase = 1;
        break;
    case 1:
        for (Particle& p : swarm_particles)
            p.speed = single(0.08 + 7.5 * unit_rand());
        swarm_phase = 2;
        [[fallthrough]]; // the sparks fly in the same frame
    case 2:
        fade_surface(frame_surface);
        for (Particle& p : swarm_particles)
            step_particle(&p, t, frame_surface);
        if (run->tick_sum > SPIRAL_AFTER_TICKS)
            swarm_phase = 3;
        break;
    case 3: // nothing drawn: the previous frame is shown again
        retarget_to_spiral(swarm_particles);
        swarm_phase = 4;
        break;
    case 4:
        fade_surface(frame_surface);
        for (Particle& p : swarm_particles) {
            turn_particle(&p);
            step_particle(&p, t, frame_surface);
        }
        if (run->tick_sum > RING_AFTER_TICKS)
            swarm_phase = 5;
        break;
    case 5: // nothing drawn
        retarget_to_ring(swarm_particles);
        swarm_phase = 6;
        break;
    default:
        fade_surface(frame_surface);
        for (Particle& p : swarm_particles)
            step_particle(&p, t, frame_surface);
        break;
    }
    run->tick_sum += ticks;
    run->frames += 1;
}

void swarm_scene()
{
    SwarmRun run {};
    while (scene_keeps_running(11, 11)) {
        elapsed_ticks = wait_tick();
        swarm_frame(&run, elapsed_ticks);
        present(frame_surface, nullptr);
        show_frame();
        poll_messages();
    }
}
