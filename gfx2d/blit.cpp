// blit.cpp -- scaled alpha blit with integer error accumulators, and the cross-fade.
#include "gfx2d/blit.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void draw_surface_scaled(Surface* destination, const Surface* source, int x, int y, int scale_x, int scale_y)
{
    if (!destination || !source)
        return;
    draw_surface_scaled_clipped(
        destination, source, x, y, 0, 0, destination->width, destination->height, scale_x, scale_y);
}

namespace {

int clamp_int(int64_t v)
{
    return int(std::clamp<int64_t>(v, INT_MIN, INT_MAX));
}

} // namespace

void draw_surface_scaled_clipped(Surface* destination, const Surface* source, int x_in, int y_in, int x0_in, int y0_in,
    int x1_in, int y1_in, int scale_x, int scale_y)
{
    if (!destination || !source || !destination->pixels || !source->pixels || destination->bytes_per_pixel != 4
        || source->bytes_per_pixel != 4)
        return;
    const int64_t src_w = source->width, src_h = source->height;
    const int64_t scaled_w = (int64_t(scale_x) * src_w) >> 8;
    const int64_t scaled_h = (int64_t(scale_y) * src_h) >> 8;

    int64_t x = x_in, y = y_in, x0 = x0_in, y0 = y0_in, x1 = x1_in, y1 = y1_in;
    if (x0 > x1)
        std::swap(x0, x1);
    if (y0 > y1)
        std::swap(y0, y1);
    x0 = std::max<int64_t>(x0, 0);
    y0 = std::max<int64_t>(y0, 0);
    x1 = std::min<int64_t>(x1, destination->width);
    y1 = std::min<int64_t>(y1, destination->height);

    int64_t w = x1 - x, h = y1 - y;
    if (w < 0 || h < 0)
        return;
    int64_t skip_left = 0, skip_top = 0;
    if (x < x0) {
        skip_left = x0 - x;
        if (skip_left > scaled_w)
            return;
        x = x0;
    }
    if (y < y0) {
        skip_top = y0 - y;
        if (skip_top > scaled_h)
            return;
        y = y0;
    }
    w = std::min(w, x1 - x0);
    h = std::min(h, y1 - y0);
    const int64_t columns = std::min(w, scaled_w) - skip_left;
    const int64_t rows = std::min(h, scaled_h) - skip_top;

    if (columns > 0 && rows > 0 && x0 < x1 && y0 < y1) {
        // The column sequence is the same on every row: step it once. The left skip is
        // counted in destination pixels, as the source start column; reads are clamped to
        // the source, which the stepping can pass with large scales and a clipped edge.
        int32_t* column_of = static_cast<int32_t*>(std::malloc(size_t(columns) * sizeof(int32_t)));
        if (!column_of)
            return;
        int64_t u = scaled_w, i = 0;
        for (int64_t c = 0; c < columns; ++c) {
            column_of[c] = int32_t(std::min(skip_left + i, src_w - 1));
            u -= src_w;
            while (u <= 0) {
                u += scaled_w;
                ++i;
            }
        }
        const int64_t dst_pitch = destination->pitch / 4;
        uint32_t* out = reinterpret_cast<uint32_t*>(destination->pixels) + y * dst_pitch + x;
        int64_t v = rows, source_row = skip_top;
        for (int64_t r = 0; r < rows; ++r) {
            const uint32_t* in = surface_row32(source, int(std::min(source_row, src_h - 1)));
            for (int64_t c = 0; c < columns; ++c)
                out[c] = blend_blit_pixel(in[column_of[c]], out[c]);
            out += dst_pitch;
            v -= src_h;
            while (v <= 0) {
                ++source_row;
                v += scaled_h;
            }
        }
        std::free(column_of);
    }
    mark_surface_rect(destination, clamp_int(x), clamp_int(y), clamp_int(x + scaled_w), clamp_int(y + scaled_h));
}

void cross_fade(const uint32_t* incoming, uint32_t* destination, int level)
{
    if (!incoming || !destination)
        return;
    const uint32_t l = uint32_t(level) & 0xFFu;
    const uint32_t a = l + 1, b = 256 - l;
    int i = 0;
#if defined(__SSE2__)
    // Four pixels per step with each channel in a 16-bit lane: channel × weight is at most
    // 255 × 256, so the lane holds it and the shift gives the same truncation as the packed
    // words; the two truncated shares sum to at most 255. The top byte is cleared.
    const __m128i zero = _mm_setzero_si128();
    const __m128i wa = _mm_set1_epi16(short(a)), wb = _mm_set1_epi16(short(b));
    const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
    for (; i + 4 <= CROSS_FADE_PIXELS; i += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(incoming + i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(destination + i));
        const __m128i lo = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(p, zero), wa), 8),
            _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), wb), 8));
        const __m128i hi = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(p, zero), wa), 8),
            _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), wb), 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), _mm_and_si128(_mm_packus_epi16(lo, hi), rgb));
    }
#endif
    for (; i < CROSS_FADE_PIXELS; ++i) {
        const uint32_t p = incoming[i], d = destination[i];
        const uint32_t from_p = (((p & 0x00FF00FFu) * a) & 0xFF00FF00u) | (((p & 0x0000FF00u) * a) & 0x00FF0000u);
        const uint32_t from_d = (((d & 0x00FF00FFu) * b) & 0xFF00FF00u) | (((d & 0x0000FF00u) * b) & 0x00FF0000u);
        destination[i] = (from_p + from_d) >> 8;
    }
}
