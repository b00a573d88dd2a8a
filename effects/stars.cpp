// stars.cpp -- the star field: creation from the rand stream, turning, projection, splats.
#include "effects/stars.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "display/demo_rand.h"
#include "display/numeric.h"
#include "display/pixel.h"
#include "display/surface.h"

namespace {

// 1/32767 as the single-precision constant the field was always made with.
constexpr float RAND_SCALE = 3.0518509e-5f;

// The arrays follow the record; its size keeps them aligned for doubles.
static_assert(sizeof(StarField) % alignof(Vec4) == 0);

// old + floor((c − old) × w / 256) for the three colour bytes, written as
// (old × (256 − w) + c × w) >> 8 so every lane stays non-negative and below 65536.
inline uint32_t blend_towards(uint32_t old, uint32_t colour, uint32_t weight)
{
    const uint32_t keep = 256u - weight;
    const uint32_t rb = (((old & PIXEL_RB_MASK) * keep + (colour & PIXEL_RB_MASK) * weight) >> 8) & PIXEL_RB_MASK;
    const uint32_t g = (((old & PIXEL_G_MASK) * keep + (colour & PIXEL_G_MASK) * weight) >> 8) & PIXEL_G_MASK;
    return rb | g;
}

} // namespace

StarField* create_star_field(int32_t count)
{
    if (count < 0)
        return nullptr;
    const size_t bytes = sizeof(StarField) + 2 * sizeof(Vec4) * size_t(count);
    StarField* field = static_cast<StarField*>(std::calloc(1, bytes));
    if (!field)
        return nullptr;
    field->count = count;
    field->base = reinterpret_cast<Vec4*>(field + 1);
    field->working = field->base + count;
    const double k = RAND_SCALE;
    for (int32_t i = 0; i < count; ++i) {
        const int r1 = demo_rand();
        const float polar = single(double(r1) * k * std::numbers::pi);
        const int r2 = demo_rand();
        const double azimuth = double(r2) * k * (2.0 * std::numbers::pi);
        Vec4* star = &field->base[i];
        star->x = std::cos(azimuth) * std::sin(double(polar)) * STAR_SPHERE_RADIUS;
        star->y = std::sin(azimuth) * std::sin(double(polar)) * STAR_SPHERE_RADIUS;
        star->z = std::cos(double(polar)) * STAR_SPHERE_RADIUS;
        const int r3 = demo_rand();
        const int r4 = demo_rand();
        star->w = double(r4) * k * double(single(double(r3) * k)) * 255.0;
    }
    if (count > 0)
        std::memcpy(field->working, field->base, sizeof(Vec4) * size_t(count));
    return field;
}

void free_star_field(StarField* field)
{
    std::free(field);
}

void transform_stars(StarField* field, const Matrix* matrix)
{
    if (!field || field->count <= 0)
        return;
    std::memcpy(field->working, field->base, sizeof(Vec4) * size_t(field->count));
    transform_points(matrix, field->working, field->count);
}

void draw_stars(const StarField* field, Surface* surface)
{
    if (!field)
        return;
    for (int32_t i = 0; i < field->count; ++i) {
        const Vec4* star = &field->working[i];
        const float zf = single(star->z);
        const uint32_t level = uint32_t(trunc_i32(star->w)) & 0xFFu;
        const uint32_t colour = level * 0x01010101u;
        splat_point(surface, single(star->x * 150.0 / double(zf) + 160.0), single(star->y * 150.0 / double(zf) + 120.0),
            colour);
    }
}

void splat_point(Surface* s, float x, float y, uint32_t colour)
{
    if (!s || !s->pixels || s->bits_per_pixel != 32)
        return;
    // Written so that NaN is rejected too.
    if (!(x >= -1.0f && x < float(s->width) && y >= -1.0f && y < float(s->height)))
        return;
    const double fx_d = std::floor(double(x)), fy_d = std::floor(double(y));
    const int32_t ix = int32_t(fx_d), iy = int32_t(fy_d);
    const int32_t fx = int32_t(std::floor(256.0 * double(x))) - 256 * ix;
    const int32_t fy = int32_t(std::floor(256.0 * double(y))) - 256 * iy;
    const int32_t o = (fx * fy) >> 8;
    const int32_t weights[4] = { 256 - fx - fy + o, fx - o, fy - o, o };
    const int32_t xs[4] = { ix, ix + 1, ix, ix + 1 };
    const int32_t ys[4] = { iy, iy, iy + 1, iy + 1 };
    for (int n = 0; n < 4; ++n) {
        if (xs[n] < 0 || xs[n] >= s->width || ys[n] < 0 || ys[n] >= s->height)
            continue;
        uint32_t* p = surface_row32(s, ys[n]) + xs[n];
        *p = blend_towards(*p, colour, uint32_t(weights[n]));
    }
}
