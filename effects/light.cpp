// light.cpp -- additive soft discs, glows and rings with per-byte saturation.
#include "effects/light.h"

#include <algorithm>
#include <cmath>

#include "display/numeric.h"
#include "display/pixel.h"
#include "display/surface.h"

namespace {

// colour × intensity / 256 per byte for intensities up to 256: each product fits its
// 16-bit lane (255 × 256 < 65536), so red/blue and green/top take one multiply each.
inline uint32_t scale_packed(uint32_t colour, uint32_t intensity)
{
    const uint32_t rb = (((colour & PIXEL_RB_MASK) * intensity) >> 8) & PIXEL_RB_MASK;
    const uint32_t ga = ((((colour >> 8) & PIXEL_RB_MASK) * intensity) >> 8) & PIXEL_RB_MASK;
    return rb | (ga << 8);
}

inline uint32_t add_packed(uint32_t pixel, uint32_t colour, uint32_t intensity)
{
    return add_saturate_bytes(pixel, scale_packed(colour, intensity));
}

// Rows y0 <= y < y1 that a shape of outer radius r around cy can light.
struct RowRange {
    int32_t y0, y1;
};

RowRange row_range(const Surface* s, double cy, double r)
{
    return { std::max(0, trunc_i32(cy - r)), std::min(s->height, trunc_i32(cy + r + 1.5)) };
}

// Columns of a span a..b clipped to the surface.
inline void span_columns(const Surface* s, double a, double b, int32_t* x0, int32_t* x1)
{
    *x0 = std::max(0, trunc_i32(a));
    *x1 = std::min(s->width, trunc_i32(b));
}

bool drawable(const Surface* s)
{
    return s && s->pixels && s->bits_per_pixel == 32;
}

} // namespace

uint32_t add_light(uint32_t pixel, uint32_t colour, uint32_t intensity)
{
    if (intensity <= 256)
        return add_packed(pixel, colour, intensity);
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t c = (colour >> shift) & 0xFFu;
        const uint32_t p = (pixel >> shift) & 0xFFu;
        const uint32_t v = std::min<uint32_t>(255u, p + ((c * intensity) >> 8));
        out |= v << shift;
    }
    return out;
}

void draw_soft_disc(Surface* s, float cx_f, float cy_f, float r_f, uint32_t colour)
{
    if (!drawable(s))
        return;
    const double cx = cx_f, cy = cy_f, r = r_f;
    const RowRange rows = row_range(s, cy, r);
    mark_surface_rect(s, trunc_i32(cx - r), rows.y0, trunc_i32(cx + r + 1.5), rows.y1);
    const double r2 = r * r;
    const double k = double(colour >> 24) / r2;
    double dy = double(rows.y0) - cy;
    for (int32_t y = rows.y0; y < rows.y1; ++y, dy += 1.0) {
        const double h = r2 - dy * dy;
        if (h < 0.0)
            continue;
        const double half = std::sqrt(h);
        int32_t x0, x1;
        span_columns(s, cx - half, cx + half + 1.5, &x0, &x1);
        uint32_t* row = surface_row32(s, y);
        double dx = double(x0) - cx;
        for (int32_t x = x0; x < x1; ++x, dx += 1.0) {
            const double q = h - dx * dx;
            if (q <= 0.0)
                continue;
            const int32_t i = trunc_i32(k * q);
            if (i > 0)
                row[x] = add_packed(row[x], colour, uint32_t(std::min(i, 256)));
        }
    }
}

void draw_glow(Surface* s, float cx_f, float cy_f, float size, float gain, uint32_t colour)
{
    if (!drawable(s))
        return;
    const double cx = cx_f, cy = cy_f;
    const double e = double(size) * double(size) * double(gain);
    const double r = std::sqrt(e);
    const RowRange rows = row_range(s, cy, r);
    mark_surface_rect(s, trunc_i32(cx - r), rows.y0, trunc_i32(cx + r + 1.5), rows.y1);
    // Beyond this squared distance the intensity stays below 255 and the packed path is exact.
    const double packed_from = e / 255.0;
    double dy = double(rows.y0) - cy;
    for (int32_t y = rows.y0; y < rows.y1; ++y, dy += 1.0) {
        const double h = e - dy * dy;
        if (h < 0.0)
            continue;
        const double half = std::sqrt(h);
        int32_t x0, x1;
        span_columns(s, cx - half, cx + half + 1.5, &x0, &x1);
        uint32_t* row = surface_row32(s, y);
        double dx = double(x0) - cx;
        for (int32_t x = x0; x < x1; ++x, dx += 1.0) {
            const double d2 = dx * dx + dy * dy;
            if (d2 > packed_from) {
                const int32_t i = trunc_i32(e / d2);
                if (i > 0)
                    row[x] = add_packed(row[x], colour, uint32_t(std::min(i, 256)));
            } else {
                // E/0 at the centre is infinite; the clamp happens in double before the
                // conversion. 0/0 (a glow of no size) lights nothing.
                double q = e / d2;
                if (std::isnan(q))
                    continue;
                q = std::min(q, 65536.0);
                const int32_t i = trunc_i32(q);
                if (i > 0)
                    row[x] = add_light(row[x], colour, uint32_t(i));
            }
        }
    }
}

namespace {

void ring_span(
    Surface* s, uint32_t* row, double a, double b, double cx, double dy, double r, double w, double f, uint32_t colour)
{
    int32_t x0, x1;
    span_columns(s, a, b, &x0, &x1);
    double dx = double(x0) - cx;
    for (int32_t x = x0; x < x1; ++x, dx += 1.0) {
        const double e = std::fabs(std::sqrt(dx * dx + dy * dy) - r);
        if (!(e <= w))
            continue;
        const int32_t t = trunc_i32(f * e);
        if (t < 0 || t >= 256)
            continue; // t = 256 gives intensity 0; a NaN (w = 0) gives nothing
        row[x] = add_packed(row[x], colour, uint32_t(256 - t));
    }
}

} // namespace

void draw_ring(Surface* s, float cx_f, float cy_f, float r_f, float w_f, uint32_t colour)
{
    if (!drawable(s))
        return;
    const double cx = cx_f, cy = cy_f, r = r_f, w = w_f;
    const double f = 256.0 / w;
    const double ro = r + w, ri = r - w;
    const RowRange rows = row_range(s, cy, ro);
    mark_surface_rect(s, trunc_i32(cx - ro), rows.y0, trunc_i32(cx + ro + 1.5), rows.y1);
    double dy = double(rows.y0) - cy;
    for (int32_t y = rows.y0; y < rows.y1; ++y, dy += 1.0) {
        const double ho = ro * ro - dy * dy;
        if (ho < 0.0)
            continue;
        const double hi = ri * ri - dy * dy;
        uint32_t* row = surface_row32(s, y);
        const double so = std::sqrt(ho);
        if (hi >= 0.0) {
            // Two spans that may overlap by a pixel near the top and bottom of the inner
            // circle; such a pixel receives the light twice.
            const double si = std::sqrt(hi);
            ring_span(s, row, cx - so, cx - si + 1.5, cx, dy, r, w, f, colour);
            ring_span(s, row, cx + si, cx + so + 1.5, cx, dy, r, w, f, colour);
        } else {
            ring_span(s, row, cx - so, cx + so + 1.5, cx, dy, r, w, f, colour);
        }
    }
}
