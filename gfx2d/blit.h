// blit.h -- the scaled alpha blit between Surfaces and the full-screen cross-fade.
#pragma once

#include <cstdint>

#include "display/surface.h"

// Scales are in 1/256 units: 256 draws at the source's size, 512 doubles, 128 halves.
void draw_surface_scaled(Surface* destination, const Surface* source, int x, int y, int scale_x, int scale_y);
void draw_surface_scaled_clipped(Surface* destination, const Surface* source, int x, int y, int x0, int y0, int x1,
    int y1, int scale_x, int scale_y);

// Blend of the blit: s plus d's colour channels scaled by (256 - A) / 256; d's top byte is
// dropped and nothing saturates.
inline uint32_t blend_blit_pixel(uint32_t s, uint32_t d)
{
    const uint32_t f = 256u - (s >> 24);
    return s + (((((d & 0x00FF00FFu) * f) & 0xFF00FF00u) | (((d & 0x0000FF00u) * f) & 0x00FF0000u)) >> 8);
}

constexpr int CROSS_FADE_PIXELS = 320 * 240;

// destination = incoming * (l + 1) / 256 + destination * (256 - l) / 256 per channel, with
// l = level & 0xFF, over 76800 pixels. The result's top byte is 0.
void cross_fade(const uint32_t* incoming, uint32_t* destination, int level);
