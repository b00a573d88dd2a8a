// tables.h -- coordinate tables, the warps that read them, falloff, particle starts and faces.
#pragma once

#include <cstdint>

#include "gfx2d/depth_buffer.h"
#include "gfx2d/image.h"

constexpr int TABLE_WIDTH = 320;
constexpr int TABLE_HEIGHT = 240;
constexpr int TABLE_SIZE = TABLE_WIDTH * TABLE_HEIGHT;

// Brings v into 0..n-1: the remainder for v >= 0; for v < 0, (v rem n) + n - 1 with the
// remainder taking v's sign (so -1 gives n - 2 and -n gives n - 1). Not a true modulo for
// negative values; the tables and effects are made with this rule. n <= 0 gives 0.
int wrap_index(int64_t v, int n);

// destination[i] = source[wrap_index(b + V[i], H) * W + wrap_index(a + U[i], W)] for all
// 76800 pixels; source is a W by H array.
void warp_screen(
    int a, int b, const uint16_t* U, const uint16_t* V, const uint32_t* source, uint32_t* destination, int W, int H);
// The same for the first column_count pixels of each of the 240 rows (rows 320 apart).
void warp_screen_columns(int a, int b, const uint16_t* U, const uint16_t* V, const uint32_t* source,
    uint32_t* destination, int W, int H, int column_count);

// Generators: each fills a 76800-entry U (source column) and V (source row) pair.
void make_bump_tables(const uint8_t* heights, uint16_t* U, uint16_t* V, int scale);
void make_twist_tables(uint16_t* U, uint16_t* V, float k, int W, int H);
void make_lens_tables(uint16_t* U, uint16_t* V, float a, float b, float c, int W, int H);

// Falloff table: 960 x 720 single-precision values 255 / max(sqrt(h^2 + v^2), 0.5), indexed
// by the horizontal distance h (0..959) and the vertical distance v (0..719).
constexpr int FALLOFF_H = 960;
constexpr int FALLOFF_V = 720;
extern float* falloff_table;
// Allocates (once) and fills falloff_table. Non-zero on success.
int make_falloff_table();
void fill_falloff_table(float* table);
inline float falloff(int h, int v)
{
    return falloff_table[h * FALLOFF_V + v];
}

// The swarm particle: 14 fields of 32 bits in this order.
struct Particle {
    uint32_t colour;
    float speed;
    float spiral_radius;
    float x, y, z;
    float size;
    uint32_t reserved;
    float distance_left;
    float growth_left;
    float direction_x, direction_y, direction_z;
    float growth_rate;
};
static_assert(sizeof(Particle) == 56);

constexpr int PARTICLE_COUNT = 800;
constexpr uint32_t PARTICLE_START_COLOUR = 0x2CFF3F0Cu;
// r / 32767 is computed with this single-precision constant, widened to double.
constexpr float RAND_UNIT = 3.0518509e-5f;

// Gives each of the `count` records its start values, two demo_rand() values per record.
void make_particle_starts(Particle* particles, int count);

// Records for the twin glow scene, made once by load_faces.
constexpr int FACE_PARTICLES = 20;
struct FaceSet {
    Image* faces[3];
    double (*stream_a)[4];
    double (*stream_b)[4];
    double (*draw_a)[4];
    double (*draw_b)[4];
    double* sizes;
    uint32_t* colours;
};
extern const char* const FACE_PICTURE_PATHS[3];

// Loads the three face pictures from `paths` (all must load), allocates and fills the records.
// Returns 1 on success, 0 on any failure.
int load_faces(FaceSet* set, const char* const paths[3]);
