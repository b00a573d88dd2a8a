// scene_data.h -- scene records and shared data made once by the demo data set-up.
//
// Everything here is filled by setup_demo_data (app/demo_data.cpp) before the music starts and
// lives until the process ends, except the bump tables and ring records that shut-down frees.
#pragma once

#include <cstdint>

#include "display/surface.h"
#include "gfx2d/image.h"
#include "gfx2d/tables.h"
#include "render3d/matrix.h"
#include "render3d/mesh.h"

// ---- Rings through the bump map (scenes 0 and 1) ----

constexpr int RING_COUNT = 32;

// One ring: centre and radius in screen pixels. Its colour lives in ring_colours[].
struct Ring {
    double x;
    double y;
    double radius;
    double reserved; // pads the record to its 32 bytes
};
static_assert(sizeof(Ring) == 32);

extern Ring** ring_table; // RING_COUNT pointers, one record each
extern uint32_t* ring_colours; // RING_COUNT colours
extern uint8_t* bump_heights; // 320 x 240 height bytes from bump.raw
extern uint16_t* bump_u; // bump coordinate pair, TABLE_SIZE entries each
extern uint16_t* bump_v;
extern Image* ringface_picture;
extern Image* bottle_picture;

// ---- Warped wall, ribbons and credits (scenes 3 and 4) ----

constexpr int RIBBON_COUNT = 3;

struct Ribbon {
    uint32_t core_colour; // innermost span
    uint32_t glow_colour; // the four outer spans
    int32_t span_width; // base width of the spans, used unsigned
    int32_t rows; // rows drawn below the start row
    float waves; // sine periods over the rows
    float amplitude; // scale of the sideways sway
    uint32_t reserved[2]; // pads the record to its 32 bytes
};
static_assert(sizeof(Ribbon) == 32);

extern Ribbon* ribbons; // RIBBON_COUNT records, zero until the scene sets them up
extern uint16_t* twist_u; // twist coordinate pair
extern uint16_t* twist_v;
extern Image* credits_picture;
extern Image* crd1_picture;
extern Image* crd2_picture;
extern Image* bricks_picture;
extern Surface* upsbot_surface; // upsbot.acg drawn over black, the picture's size

// The demo's title picture (running animation, credits, road).
extern Image* title_picture;

// ---- Bottle (scene 6) ----

// 320 x 480, cleared, warper.acg drawn into it at (0, 0): the lens warp reads a 320 x 480
// source whatever the picture's own size.
constexpr int WARPER_WIDTH = 320;
constexpr int WARPER_HEIGHT = 480;
extern Surface* warper_surface;
extern Mesh* bottle_mesh;
extern uint16_t* lens_u; // lens coordinate pair
extern uint16_t* lens_v;

// The matrix shared by the 3D scenes; identity after set-up.
extern Matrix* shared_matrix;

// ---- Twin glows (scene 7) ----

extern FaceSet face_set;

// ---- Shells over a flash (scene 10) ----

constexpr int BALL_COUNT = 3;
constexpr int BALL_TEXTURE_WIDTH = 128;
constexpr int BALL_TEXTURE_HEIGHT = 64;
constexpr int BALL_TEXTURE_WORDS = 32768; // the picture fills the first 8192 words

struct Ball {
    float x, y, z; // centre in view space
    float radius; // view-space units
    uint32_t* texture; // premultiplied texture words, row-major
    int32_t texture_width;
    int32_t texture_height;
    int32_t u_offset; // turns the texture around the ball horizontally
    int32_t v_offset; // and vertically
};

extern Ball* balls; // BALL_COUNT records, textures from blam1, blam2, blam3

struct FlashLight {
    double x, y, z;
    double intensity;
    double reserved; // pads the record to its 40 bytes
};
static_assert(sizeof(FlashLight) == 40);

extern FlashLight* flash_light;

// ---- Particle swarm (scene 11) ----

// The swarm's records in static storage, given their start values by set-up.
extern Particle swarm_particles[PARTICLE_COUNT];
