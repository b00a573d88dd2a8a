// draw_image.cpp -- draws ACG pictures into 32-bit Surfaces: clipping and the run decoder.
#include <algorithm>
#include <cstring>
#include <utility>

#include "gfx2d/image.h"

void draw_image(Surface* surface, const Image* image, int x, int y)
{
    if (!surface || !image)
        return;
    draw_image_clipped(surface, image, x, y, 0, 0, surface->width, surface->height);
}

namespace {

void blend_run(uint32_t* dst, const uint32_t* colours, int64_t m)
{
    for (int64_t i = 0; i < m; ++i)
        dst[i] = blend_image_pixel(colours[i], dst[i]);
}

void blend_fill_run(uint32_t* dst, uint32_t colour, int64_t m)
{
    // The colour's share is the same for every pixel; only the destination scaling varies.
    const uint32_t f = 256u - (colour >> 24);
    for (int64_t i = 0; i < m; ++i) {
        const uint32_t d = dst[i];
        const uint32_t scaled
            = ((((d & 0x00FF00FFu) * f) & 0xFF00FF00u) | (((d & 0x0000FF00u) * f) & 0x00FF0000u)) >> 8;
        const uint32_t sum = (scaled | (d & 0xFF000000u)) + colour;
        dst[i] = sum < colour ? (sum | 0xFF000000u) : sum;
    }
}

} // namespace

void draw_image_clipped(
    Surface* surface, const Image* image, int x_in, int y_in, int x0_in, int y0_in, int x1_in, int y1_in)
{
    if (!surface || !image || !surface->pixels || surface->bytes_per_pixel != 4)
        return;
    // 64-bit throughout so extreme positions cannot overflow the clip arithmetic.
    int64_t x = x_in, y = y_in, x0 = x0_in, y0 = y0_in, x1 = x1_in, y1 = y1_in;
    if (x0 > x1)
        std::swap(x0, x1);
    if (y0 > y1)
        std::swap(y0, y1);
    x0 = std::max<int64_t>(x0, 0);
    y0 = std::max<int64_t>(y0, 0);
    x1 = std::min<int64_t>(x1, surface->width);
    y1 = std::min<int64_t>(y1, surface->height);
    // An empty clip rectangle draws nothing (a clipped top would otherwise still draw a row).
    if (x0 >= x1 || y0 >= y1)
        return;

    int64_t w = x1 - x, h = y1 - y;
    if (w < 0 || h <= 0)
        return;
    int64_t skip_left = 0, skip_top = 0;
    if (x < x0) {
        skip_left = x0 - x;
        if (skip_left > image->width)
            return;
        x = x0;
    }
    if (y < y0) {
        skip_top = y0 - y;
        if (skip_top >= image->height)
            return;
        y = y0;
    }
    w = std::min(w, x1 - x0);
    h = std::min(h, y1 - y0);

    int64_t code = skip_top > 0 ? image->row_code[skip_top] : 0;
    int64_t colour = skip_top > 0 ? image->row_colour[skip_top] : 0;
    const int64_t code_count = image->code_count;
    const int64_t colour_count = image->colour_count;
    const uint16_t* codes = image->codes;
    const uint32_t* colours = image->colours;
    const int64_t pitch = surface->pitch / 4;

    uint32_t* row_start = reinterpret_cast<uint32_t*>(surface->pixels) + y * pitch + x;
    uint32_t* out = row_start;
    int64_t skip = skip_left, width_left = w;

    while (code < code_count) {
        const uint32_t word = codes[code++];
        int64_t n = int64_t(word & 0x3FF) + 1;
        const auto op = AcgOp(word >> 10);
        if (op == AcgOp::NEW_ROW) {
            h -= n;
            if (h <= 0)
                break;
            row_start += n * pitch;
            out = row_start;
            skip = skip_left;
            width_left = w;
            continue;
        }
        const bool literal = op == AcgOp::COPY || op == AcgOp::BLEND_COPY;
        const bool single = op == AcgOp::FILL || op == AcgOp::BLEND_FILL;
        const int64_t consumed = literal ? n : (single ? 1 : 0);
        // A run that would read past the colour table ends the picture.
        if (colour + consumed > colour_count)
            break;
        if (skip > 0) {
            if (skip >= n) {
                colour += consumed;
                skip -= n;
                continue;
            }
            if (literal)
                colour += skip;
            n -= skip;
            skip = 0;
        }
        const int64_t m = std::min(n, width_left);
        width_left -= m;
        switch (op) {
        case AcgOp::COPY:
            std::memcpy(out, colours + colour, size_t(m) * 4);
            break;
        case AcgOp::FILL:
            std::fill(out, out + m, colours[colour]);
            break;
        case AcgOp::BLEND_COPY:
            blend_run(out, colours + colour, m);
            break;
        case AcgOp::BLEND_FILL:
            blend_fill_run(out, colours[colour], m);
            break;
        default:
            break; // SKIP and the undefined operations 6-63 leave the pixels alone
        }
        out += m;
        colour += literal ? n : consumed;
    }

    const int64_t right = std::min<int64_t>(x + image->width - skip_left, x1);
    const int64_t bottom = std::min<int64_t>(y + image->height - skip_top, y1);
    mark_surface_rect(surface, int(x), int(y), int(right), int(bottom));
}
