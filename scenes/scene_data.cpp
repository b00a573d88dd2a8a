// scene_data.cpp -- storage for the scene records and shared data made by the demo data set-up.
#include "scenes/scene_data.h"

Ring** ring_table = nullptr;
uint32_t* ring_colours = nullptr;
uint8_t* bump_heights = nullptr;
uint16_t* bump_u = nullptr;
uint16_t* bump_v = nullptr;
Image* ringface_picture = nullptr;
Image* bottle_picture = nullptr;

Ribbon* ribbons = nullptr;
uint16_t* twist_u = nullptr;
uint16_t* twist_v = nullptr;
Image* credits_picture = nullptr;
Image* crd1_picture = nullptr;
Image* crd2_picture = nullptr;
Image* bricks_picture = nullptr;
Surface* upsbot_surface = nullptr;

Image* title_picture = nullptr;

Surface* warper_surface = nullptr;
Mesh* bottle_mesh = nullptr;
uint16_t* lens_u = nullptr;
uint16_t* lens_v = nullptr;
Matrix* shared_matrix = nullptr;

FaceSet face_set {};

Ball* balls = nullptr;
FlashLight* flash_light = nullptr;

namespace {
// The value every swarm record holds before set-up: white, at rest at depth 150, size 1.
constexpr Particle default_particle()
{
    Particle p {};
    p.colour = 0xFFFFFFFFu;
    p.z = 150.0f;
    p.size = 1.0f;
    return p;
}
} // namespace

Particle swarm_particles[PARTICLE_COUNT] = {};

// Runs before main: the records start from their default values, not all zero.
[[maybe_unused]] static const int swarm_defaults_set = [] {
    for (Particle& p : swarm_particles)
        p = default_particle();
    return 1;
}();
