// render.cpp -- per-face lighting, distance fade and projection of a transformed mesh.
#include <cmath>

#include "display/numeric.h"
#include "render3d/mesh.h"
#include "render3d/triangle.h"

namespace {

constexpr double FOCAL = 150.0;
constexpr double CENTRE_X = 160.0;
constexpr double CENTRE_Y = 120.0;
constexpr double FADE_DISTANCE = 400.0;

// Each of the two weighted parts is halved on its own before the sum, so a head-on face
// of an odd channel value loses 1.
int64_t lit_channel(uint32_t c, double a, double b)
{
    return int64_t(trunc_i32(double(c) * a) >> 1) + int64_t(trunc_i32(double(c) * b) >> 1);
}

uint32_t faded_channel(int64_t lit, double d)
{
    return uint32_t(trunc_i32(double(lit) * d * 0.0025)) & 0xFFu;
}

} // namespace

uint32_t face_colour(const Vec4* v0, const Vec4* v1, const Vec4* v2, uint32_t base_colour)
{
    const double ux = v1->x - v0->x, uy = v1->y - v0->y, uz = v1->z - v0->z;
    const double vx = v2->x - v0->x, vy = v2->y - v0->y, vz = v2->z - v0->z;
    const double nx = uy * vz - uz * vy;
    const double ny = uz * vx - ux * vz;
    const double nz = ux * vy - uy * vx;
    const double s = nx * nx + ny * ny + nz * nz;
    double k = 1.0 / s;
    if (s == 0.0 || !std::isfinite(k))
        k = 0.0;
    const double a = 1.0 - nx * nx * k;
    const double b = 1.0 - ny * ny * k;

    double d = FADE_DISTANCE - std::fabs(v0->z);
    if (d < 0.0)
        d = 0.0;
    const uint32_t red = faded_channel(lit_channel((base_colour >> 16) & 0xFFu, a, b), d);
    const uint32_t green = faded_channel(lit_channel((base_colour >> 8) & 0xFFu, a, b), d);
    const uint32_t blue = faded_channel(lit_channel(base_colour & 0xFFu, a, b), d);
    return (red << 16) | (green << 8) | blue;
}

void render_mesh(
    const Face* faces, const Vec4* vertices, uint32_t face_count, Surface* target, uint32_t base_colour, int outline)
{
    if (!faces || !vertices || !target)
        return;
    for (uint32_t i = 0; i < face_count; ++i) {
        const Vec4* v0 = &vertices[faces[i].i0];
        const Vec4* v1 = &vertices[faces[i].i1];
        const Vec4* v2 = &vertices[faces[i].i2];
        // No near clipping: a face touching or crossing z = 0 is dropped whole.
        if (!(v0->z > 0.0 && v1->z > 0.0 && v2->z > 0.0))
            continue;
        const uint32_t colour = face_colour(v0, v1, v2, base_colour);
        // Submitted in the order i2, i1, i0: the file's corner order.
        submit_triangle(v2->x * FOCAL / v2->z + CENTRE_X, v2->y * FOCAL / v2->z + CENTRE_Y, v2->z,
            v1->x * FOCAL / v1->z + CENTRE_X, v1->y * FOCAL / v1->z + CENTRE_Y, v1->z, v0->x * FOCAL / v0->z + CENTRE_X,
            v0->y * FOCAL / v0->z + CENTRE_Y, v0->z, target, colour, outline);
    }
}
