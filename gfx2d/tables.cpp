// tables.cpp -- wrap_index, the table-driven warps and the table generators.
#include "gfx2d/tables.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "display/demo_rand.h"
#include "display/numeric.h"

int wrap_index(int64_t v, int n)
{
    if (n <= 0)
        return 0;
    if (v >= 0)
        return int(v % n);
    return int(v % n + n - 1);
}

namespace {

// wrap_index(offset + u, n) for any u >= 0 without a division per pixel. For sums >= 0 the
// rule is the true modulo; for sums < 0 it equals the true modulo of (sum - 1). So the offset's
// two residues are taken once and each pixel adds its table entry to one of them.
struct Wrapper {
    int64_t offset;
    int residue; // true modulo of offset
    int residue_minus; // true modulo of offset - 1
    int n;
};

int true_mod(int64_t v, int n)
{
    int64_t r = v % n;
    return int(r < 0 ? r + n : r);
}

Wrapper make_wrapper(int64_t offset, int n)
{
    return Wrapper { offset, true_mod(offset, n), true_mod(offset - 1, n), n };
}

inline int wrap_with(const Wrapper& w, uint32_t u)
{
    int t = (w.offset + int64_t(u) < 0 ? w.residue_minus : w.residue) + int(u);
    if (t >= w.n) {
        t -= w.n;
        if (t >= w.n)
            t %= w.n;
    }
    return t;
}

void warp_rows(int a, int b, const uint16_t* U, const uint16_t* V, const uint32_t* source, uint32_t* destination, int W,
    int H, int columns)
{
    if (!U || !V || !source || !destination || W <= 0 || H <= 0)
        return;
    columns = std::clamp(columns, 0, TABLE_WIDTH);
    const Wrapper wu = make_wrapper(a, W), wv = make_wrapper(b, H);
    for (int y = 0; y < TABLE_HEIGHT; ++y) {
        const int row = y * TABLE_WIDTH;
        for (int x = 0; x < columns; ++x) {
            const int i = row + x;
            destination[i] = source[int64_t(wrap_with(wv, V[i])) * W + wrap_with(wu, U[i])];
        }
    }
}

} // namespace

void warp_screen(
    int a, int b, const uint16_t* U, const uint16_t* V, const uint32_t* source, uint32_t* destination, int W, int H)
{
    warp_rows(a, b, U, V, source, destination, W, H, TABLE_WIDTH);
}

void warp_screen_columns(int a, int b, const uint16_t* U, const uint16_t* V, const uint32_t* source,
    uint32_t* destination, int W, int H, int column_count)
{
    warp_rows(a, b, U, V, source, destination, W, H, column_count);
}

void make_bump_tables(const uint8_t* heights, uint16_t* U, uint16_t* V, int scale)
{
    for (int y = 0; y < TABLE_HEIGHT; ++y) {
        for (int x = 0; x < TABLE_WIDTH; ++x) {
            const int i = y * TABLE_WIDTH + x;
            const int64_t h = heights[i];
            const int64_t right = x + 1 < TABLE_WIDTH ? heights[i + 1] : h;
            const int64_t down = y + 1 < TABLE_HEIGHT ? heights[i + TABLE_WIDTH] : h;
            U[i] = uint16_t(std::clamp<int64_t>(x + int64_t(scale) * (h - right), 0, TABLE_WIDTH - 1));
            V[i] = uint16_t(std::clamp<int64_t>(y + int64_t(scale) * (h - down), 0, TABLE_HEIGHT - 1));
        }
    }
}

void make_twist_tables(uint16_t* U, uint16_t* V, float k_single, int W, int H)
{
    const double k = k_single;
    const int sw = W / 320, sh = H / 240;
    for (int y = 0; y < TABLE_HEIGHT; ++y) {
        const double dy = double((y - 120) * sh);
        const double A = k * ((H - dy) * (H - dy));
        for (int x = 0; x < TABLE_WIDTH; ++x) {
            const double dx = double((x - 160) * sw);
            const double B = k * ((W - dx) * (W - dx));
            const int i = y * TABLE_WIDTH + x;
            U[i] = uint16_t(wrap_index(trunc_i32(B * dy), W));
            V[i] = uint16_t(wrap_index(trunc_i32(dx * A), H));
        }
    }
}

void make_lens_tables(uint16_t* U, uint16_t* V, float a_single, float b_single, float c_single, int W, int H)
{
    const double p = 3.14159268;
    const double a = a_single, b = b_single, c = c_single;
    const double fx = (p / b) * 0.003125;
    const double fy = (p / c) * (1.0 / 240.0);
    for (int y = 0; y < TABLE_HEIGHT; ++y) {
        const double ay = (y - 120) * fy;
        const double cos_y = std::cos(ay);
        const double Cy = a * (cos_y * cos_y);
        const double Py = ay * Cy;
        for (int x = 0; x < TABLE_WIDTH; ++x) {
            const double ax = (x - 160) * fx;
            const double cos_x = std::cos(ax);
            const double Cx = a * (cos_x * cos_x);
            const int i = y * TABLE_WIDTH + x;
            U[i] = uint16_t(wrap_index(trunc_i32(((ax * Cy) * Cx) * W), W));
            V[i] = uint16_t(wrap_index(trunc_i32((Cx * H) * Py), H));
        }
    }
}

float* falloff_table = nullptr;

void fill_falloff_table(float* table)
{
    for (int h = 0; h < FALLOFF_H; ++h)
        for (int v = 0; v < FALLOFF_V; ++v)
            table[h * FALLOFF_V + v] = single(255.0 / std::max(std::sqrt(double(h * h + v * v)), 0.5));
}

int make_falloff_table()
{
    if (!falloff_table)
        falloff_table = static_cast<float*>(std::calloc(size_t(FALLOFF_H) * FALLOFF_V, sizeof(float)));
    if (!falloff_table)
        return 0;
    fill_falloff_table(falloff_table);
    return 1;
}

void make_particle_starts(Particle* particles, int count)
{
    const double unit = RAND_UNIT;
    const double two_pi = 6.283185307179586;
    for (int n = 0; n < count; ++n) {
        Particle* p = &particles[n];
        p->x = 0.0f;
        p->y = 0.0f;
        p->reserved = 0;
        p->growth_left = 0.0f;
        p->direction_z = 0.0f;
        p->growth_rate = 0.0f;
        p->colour = PARTICLE_START_COLOUR;
        p->speed = 0.08f;
        p->z = 150.0f;
        p->spiral_radius = 0.0f;
        const int r1 = demo_rand();
        const int r2 = demo_rand();
        p->size = single(1.0 + 14.0 * (r1 * unit));
        const double t = two_pi * (r2 * unit);
        // The target is stored single precision before the difference is taken.
        const float target_x = single(240.0 * std::sin(t));
        const float target_y = single(180.0 * std::cos(t));
        const double dx = double(target_x) - double(p->x);
        const double dy = double(target_y) - double(p->y);
        const double length = std::sqrt(dx * dx + dy * dy);
        p->distance_left = single(length);
        p->direction_x = length > 0.0 ? single(dx / length) : 0.0f;
        p->direction_y = length > 0.0 ? single(dy / length) : 0.0f;
    }
}
