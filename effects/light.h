// light.h -- additive light primitives: soft disc, inverse-square glow, ring.
#pragma once

#include <cstdint>

struct Surface;

// Parabolic falloff; the colour's top byte is the peak intensity.
void draw_soft_disc(Surface* surface, float cx, float cy, float r, uint32_t colour);
// Inverse-square falloff: g/256 of the colour at distance s, 1/256 at sqrt(s² g).
void draw_glow(Surface* surface, float cx, float cy, float s, float g, uint32_t colour);
// Full colour on the circle of radius r, falling linearly to 0 at distance w on both sides.
void draw_ring(Surface* surface, float cx, float cy, float r, float w, uint32_t colour);

// Adds colour scaled by intensity/256 to a pixel, each of the four bytes saturating at 255.
// Any intensity from 0 to 65536.
uint32_t add_light(uint32_t pixel, uint32_t colour, uint32_t intensity);
