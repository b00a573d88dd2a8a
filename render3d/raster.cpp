// raster.cpp -- depth-tested flat triangle fill, outlines, lines and the depth clear.
#include <algorithm>
#include <cmath>

#include "display/numeric.h"
#include "display/surface.h"
#include "gfx2d/depth_buffer.h"
#include "render3d/triangle.h"

namespace {

constexpr double EPSILON = 2.220446049250313e-16;
constexpr double COORDINATE_LIMIT = 1048576.0;

struct Plane {
    float a, b, c;
};

struct FillTarget {
    uint32_t* pixels;
    int64_t width;
    int64_t limit; // pixel indices at or above this are skipped
    Plane plane;
    uint32_t colour_top;
    uint32_t colour_rgb;
};

inline void shade_pixel(const FillTarget* f, int64_t p, double x, double y)
{
    if (p < 0 || p >= f->limit)
        return;
    const double depth = double(f->plane.c) - double(f->plane.a) * x - double(f->plane.b) * y;
    if (depth < depth_buffer[p]) {
        const uint32_t top = std::min<uint32_t>(255u, (f->pixels[p] >> 24) + f->colour_top);
        f->pixels[p] = (top << 24) | f->colour_rgb;
        depth_buffer[p] = single(depth);
    }
}

// Pixels xl..xr (both included) of row y; empty when xr < xl.
void fill_span(const FillTarget* f, int64_t y, int64_t xl, int64_t xr)
{
    if (xr < xl)
        return;
    const int64_t row = y * f->width;
    // Only columns whose index lands in the buffer can change anything.
    xl = std::max(xl, -row);
    xr = std::min(xr, f->limit - 1 - row);
    const double yd = double(y);
    for (int64_t x = xl; x <= xr; ++x)
        shade_pixel(f, row + x, double(x), yd);
}

// Slope dx/dy of an edge, 0 for a (nearly) horizontal one, kept in single precision.
float edge_slope(const ScreenEdge* e)
{
    return std::fabs(double(e->dy)) <= EPSILON ? 0.0f : single(double(e->dx) / double(e->dy));
}

int64_t near64(double v)
{
    return int64_t(nearest_i32(v));
}

bool coordinates_usable(const ScreenTriangle* t)
{
    for (const ScreenVertex& v : t->vertices)
        if (!(std::fabs(double(v.x)) < COORDINATE_LIMIT + 1) || !(std::fabs(double(v.y)) < COORDINATE_LIMIT + 1))
            return false;
    return true;
}

} // namespace

void clear_depth()
{
    if (!depth_buffer)
        return;
    std::fill(depth_buffer, depth_buffer + DEPTH_BUFFER_SIZE, DEPTH_FAR);
}

void fill_triangle(ScreenTriangle* t, Surface* surface)
{
    if (!t || !surface || !surface->pixels || surface->bits_per_pixel != 32 || !depth_buffer)
        return;
    if (!coordinates_usable(t))
        return;
    // Snap the corners; the edge deltas keep their unsnapped values.
    for (ScreenVertex& v : t->vertices) {
        v.x = float(trunc_i32(v.x));
        v.y = float(trunc_i32(v.y));
    }
    const ScreenVertex v0 = t->vertices[0], v1 = t->vertices[1], v2 = t->vertices[2];

    // Depth plane through the three snapped corners.
    const double d1x = double(v1.x) - v0.x, d1y = double(v1.y) - v0.y, d1z = double(v1.z) - v0.z;
    const double d2x = double(v2.x) - v0.x, d2y = double(v2.y) - v0.y, d2z = double(v2.z) - v0.z;
    const double nx = d1y * d2z - d1z * d2y;
    const double ny = d1z * d2x - d1x * d2z;
    const double nz = d1x * d2y - d1y * d2x;
    if (!(std::fabs(nz) >= EPSILON))
        return;
    FillTarget f;
    f.plane.a = single(nx / nz);
    f.plane.b = single(ny / nz);
    f.plane.c = single(double(v0.z) + double(f.plane.a) * v0.x + double(f.plane.b) * v0.y);
    f.pixels = reinterpret_cast<uint32_t*>(surface->pixels);
    f.width = surface->width;
    f.limit = std::min<int64_t>(DEPTH_BUFFER_SIZE, int64_t(surface->width) * surface->height);
    f.colour_top = t->colour >> 24;
    f.colour_rgb = t->colour & 0x00FFFFFFu;

    const ScreenEdge* e0 = &t->edges[0];
    const ScreenEdge* e1 = &t->edges[1];
    const ScreenEdge* e2 = &t->edges[2];
    const bool middle_is_1 = !(e1->dy < 0.0f);
    const ScreenVertex mid = middle_is_1 ? v1 : v2;
    const ScreenVertex bottom = middle_is_1 ? v2 : v1;

    int64_t y = int64_t(v0.y);
    float xa = v0.x, sa = edge_slope(e2);
    float xb = v0.x, sb = edge_slope(e0);
    if (trunc_i32(e0->dy) == 0) {
        xb = v1.x;
        sb = edge_slope(e1);
    }

    const double mid_y = mid.y, bottom_y = bottom.y;
    for (; double(y) < mid_y; ++y) {
        fill_span(&f, y, near64(xa), near64(xb));
        xa = single(double(xa) + sa);
        xb = single(double(xb) + sb);
    }

    // The middle row: the side through the middle corner turns; the other side is not
    // advanced here, so the first row below reuses its position.
    const bool flat_bottom = trunc_i32(std::fabs(double(e1->dy))) == 0;
    const float middle_slope = flat_bottom ? 0.0f : single(double(e1->dx) / nearest(e1->dy));
    if (middle_is_1) {
        fill_span(&f, y, near64(xa), int64_t(v1.x));
        xb = single(nearest(v1.x));
        sb = middle_slope;
    } else {
        fill_span(&f, y, near64(v2.x), near64(xb));
        xa = single(nearest(v2.x));
        sa = middle_slope;
    }
    ++y;

    if (trunc_i32(e1->dy) != 0) {
        for (; double(y) <= bottom_y; ++y) {
            fill_span(&f, y, near64(xa), near64(xb));
            xa = single(double(xa) + sa);
            xb = single(double(xb) + sb);
        }
    } else {
        // Middle and bottom corner less than a row apart: the run takes its depth from the
        // corners' columns but is written from the left side's column.
        const int64_t x_from = near64(bottom.x), x_to = near64(mid.x);
        const int64_t start = near64(xa);
        for (; double(y) <= bottom_y; ++y) {
            const int64_t row = y * f.width;
            for (int64_t x = x_from, k = 0; x <= x_to; ++x, ++k)
                shade_pixel(&f, row + start + k, double(x), double(y));
        }
    }
}

void wire_triangle(ScreenTriangle* t, Surface* surface)
{
    if (!t || !coordinates_usable(t))
        return;
    const ScreenVertex* v = t->vertices;
    plot_line(surface, trunc_i32(v[0].x), trunc_i32(v[0].y), trunc_i32(v[1].x), trunc_i32(v[1].y), t->colour);
    plot_line(surface, trunc_i32(v[1].x), trunc_i32(v[1].y), trunc_i32(v[2].x), trunc_i32(v[2].y), t->colour);
    plot_line(surface, trunc_i32(v[2].x), trunc_i32(v[2].y), trunc_i32(v[0].x), trunc_i32(v[0].y), t->colour);
}

void plot_line(Surface* surface, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour)
{
    if (!surface || !surface->pixels || surface->bits_per_pixel != 32)
        return;
    if (y1 < y0) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    const int64_t width = surface->width;
    const int64_t limit = width * surface->height;
    uint32_t* pixels = reinterpret_cast<uint32_t*>(surface->pixels);
    int64_t p = int64_t(y0) * width + x0;
    int64_t dx = int64_t(x1) - x0;
    const int64_t dy = int64_t(y1) - y0;
    const int64_t step = dx < 0 ? -1 : 1;
    dx = dx < 0 ? -dx : dx;
    colour |= 0xFF000000u;

    if (dy > dx) {
        int64_t e = dy;
        for (int64_t i = 0; i <= dy; ++i) {
            if (p >= 0 && p < limit)
                pixels[p] = colour;
            else if (p >= limit && width >= 2)
                return; // p only grows from here on
            e -= dx;
            p += width;
            if (e <= 0) {
                e += dy;
                p += step;
            }
        }
    } else {
        int64_t e = dx;
        for (int64_t i = 0; i <= dx; ++i) {
            if (p >= 0 && p < limit)
                pixels[p] = colour;
            else if (p >= limit && step > 0)
                return; // p only grows from here on
            e -= dy;
            p += step;
            if (e <= 0) {
                e += dx;
                p += width;
            }
        }
    }
}
