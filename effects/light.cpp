// light.cpp -- additive soft discs, glows and rings with per-byte saturation.
#include "effects/light.h"

#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The colour prepared once per shape for the inner loops' add of colour × I / 256 (I <= 256).
// With SSE2 the four bytes sit in 16-bit lanes: one multiply, one shift and a saturating
// byte add per pixel; the same products and clamps as add_packed.
#if defined(__SSE2__)
struct LightColour {
    __m128i lanes;
};

inline LightColour light_colour(uint32_t colour)
{
    return { _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(colour)), _mm_setzero_si128()) };
}

inline uint32_t add_scaled(uint32_t pixel, LightColour c, uint32_t intensity)
{
    const __m128i product = _mm_srli_epi16(_mm_mullo_epi16(c.lanes, _mm_set1_epi16(short(intensity))), 8);
    const __m128i bytes = _mm_packus_epi16(product, product);
    return uint32_t(_mm_cvtsi128_si32(_mm_adds_epu8(_mm_cvtsi32_si128(int(pixel)), bytes)));
}

// The same for the two pixels at p, with their intensities (0..256) in 32-bit lanes 0 and 1.
inline void add_scaled2(uint32_t* p, LightColour c, __m128i intensities)
{
    const __m128i i16 = _mm_shufflelo_epi16(_mm_packs_epi32(intensities, intensities), _MM_SHUFFLE(1, 1, 0, 0));
    const __m128i lanes = _mm_unpacklo_epi64(c.lanes, c.lanes);
    const __m128i product = _mm_srli_epi16(_mm_mullo_epi16(lanes, _mm_unpacklo_epi32(i16, i16)), 8);
    const __m128i bytes = _mm_packus_epi16(product, product);
    const __m128i pixels = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_adds_epu8(pixels, bytes));
}
#else
struct LightColour {
    uint32_t colour;
};

inline LightColour light_colour(uint32_t colour)
{
    return { colour };
}

inline uint32_t add_scaled(uint32_t pixel, LightColour c, uint32_t intensity)
{
    return add_packed(pixel, c.colour, intensity);
}
#endif

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
    // A disc of radius 0 has no pixel with q > 0.
    if (!std::isfinite(k))
        return;
    const LightColour c = light_colour(colour);
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
        int32_t x = x0;
#if defined(__SSE2__)
        // Two pixels per step, dx advancing by 1.0 per pixel as below; intensities are at most
        // the peak, so the 16-bit clamp to 256 matches the scalar one.
        const __m128d hv = _mm_set1_pd(h), kv = _mm_set1_pd(k);
        for (; x + 2 <= x1; x += 2) {
            const double dx1 = dx + 1.0;
            const __m128d dxv = _mm_set_pd(dx1, dx);
            dx = dx1 + 1.0;
            const __m128d q = _mm_max_pd(_mm_sub_pd(hv, _mm_mul_pd(dxv, dxv)), _mm_setzero_pd());
            const __m128i i = _mm_cvttpd_epi32(_mm_mul_pd(kv, q));
            add_scaled2(row + x, c, _mm_min_epi16(i, _mm_set1_epi32(256)));
        }
#endif
        for (; x < x1; ++x, dx += 1.0) {
            // q <= 0 (rim and outside) gives intensity 0, which adds nothing. 0 <= k q <= peak
            // (up to rounding), so the conversion needs no range check.
            const double q = std::max(h - dx * dx, 0.0);
            const int32_t i = std::min(int32_t(k * q), 256);
            row[x] = add_scaled(row[x], c, uint32_t(i));
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
    const LightColour c = light_colour(colour);
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
                // Here 0 <= E/d2 < 255; an intensity of 0 adds nothing.
                const int32_t i = int32_t(e / d2);
                row[x] = add_scaled(row[x], c, uint32_t(i));
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

// Requires w > 0 and finite inputs: then 0 <= f × min(e, w) <= 256 and the conversion needs
// no range check; pixels farther than w from the circle get intensity 0, which adds nothing.
void ring_span(
    Surface* s, uint32_t* row, double a, double b, double cx, double dy, double r, double w, double f, LightColour c)
{
    int32_t x0, x1;
    span_columns(s, a, b, &x0, &x1);
    const double dy2 = dy * dy;
    double dx = double(x0) - cx;
    int32_t x = x0;
#if defined(__SSE2__)
    // Two pixels per step: one packed square root. dx still advances by 1.0 per pixel, as the
    // scalar loop does, so every distance is the same double.
    const __m128d rv = _mm_set1_pd(r), wv = _mm_set1_pd(w), fv = _mm_set1_pd(f), dy2v = _mm_set1_pd(dy2);
    const __m128d sign = _mm_set1_pd(-0.0);
    const __m128i full = _mm_set1_epi32(256);
    for (; x + 2 <= x1; x += 2) {
        const double dx1 = dx + 1.0;
        const __m128d dxv = _mm_set_pd(dx1, dx);
        dx = dx1 + 1.0;
        const __m128d root = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(dxv, dxv), dy2v));
        const __m128d e = _mm_andnot_pd(sign, _mm_sub_pd(root, rv));
        const __m128i t = _mm_cvttpd_epi32(_mm_mul_pd(fv, _mm_min_pd(e, wv)));
        const __m128i lit = _mm_shuffle_epi32(_mm_castpd_si128(_mm_cmple_pd(e, wv)), _MM_SHUFFLE(2, 0, 2, 0));
        add_scaled2(row + x, c, _mm_and_si128(_mm_sub_epi32(full, t), lit));
    }
#endif
    for (; x < x1; ++x, dx += 1.0) {
        const double e = std::fabs(std::sqrt(dx * dx + dy2) - r);
        const int32_t t = int32_t(f * std::min(e, w));
        const uint32_t i = e <= w ? uint32_t(256 - t) : 0u;
        row[x] = add_scaled(row[x], c, i);
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
    // A half-width of 0 or less (or NaN) lights no pixel: e <= w never holds with a usable F.
    if (!(w > 0.0) || !std::isfinite(f) || !std::isfinite(r))
        return;
    const LightColour c = light_colour(colour);
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
            ring_span(s, row, cx - so, cx - si + 1.5, cx, dy, r, w, f, c);
            ring_span(s, row, cx + si, cx + so + 1.5, cx, dy, r, w, f, c);
        } else {
            ring_span(s, row, cx - so, cx + so + 1.5, cx, dy, r, w, f, c);
        }
    }
}
