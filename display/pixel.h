// pixel.h -- packed 32-bit pixel helpers: channels, per-byte saturating adds, rotations.
#pragma once

#include <bit>
#include <cstdint>

// All packed pixel arithmetic is unsigned 32-bit: the same expressions on int overflow.
constexpr uint32_t PIXEL_RB_MASK = 0x00FF00FFu; // red and blue, two channels per word
constexpr uint32_t PIXEL_G_MASK = 0x0000FF00u;
constexpr uint32_t PIXEL_RGB_MASK = 0x00FFFFFFu;

constexpr uint32_t pixel_rgb(uint32_t r, uint32_t g, uint32_t b)
{
    return ((r & 0xFFu) << 16) | ((g & 0xFFu) << 8) | (b & 0xFFu);
}

constexpr uint32_t pixel_argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return ((a & 0xFFu) << 24) | pixel_rgb(r, g, b);
}

constexpr uint32_t pixel_a(uint32_t p) { return p >> 24; }
constexpr uint32_t pixel_r(uint32_t p) { return (p >> 16) & 0xFFu; }
constexpr uint32_t pixel_g(uint32_t p) { return (p >> 8) & 0xFFu; }
constexpr uint32_t pixel_b(uint32_t p) { return p & 0xFFu; }

// Rotate right within 32 bits; a count of 0 (or 32) leaves the value as it is.
constexpr uint32_t rotr32(uint32_t v, unsigned count)
{
    return std::rotr(v, int(count & 31u));
}

// Add two pixels byte by byte, each of the four bytes saturating at 255.
constexpr uint32_t add_saturate_bytes(uint32_t a, uint32_t b)
{
    uint32_t rb = (a & PIXEL_RB_MASK) + (b & PIXEL_RB_MASK);          // 9-bit sums in bytes 0 and 2
    uint32_t ga = ((a >> 8) & PIXEL_RB_MASK) + ((b >> 8) & PIXEL_RB_MASK); // bytes 1 and 3
    uint32_t rb_over = (rb & 0x01000100u) * 0xFFu;                      // 0x100 -> 0xFF00 etc.
    uint32_t ga_over = (ga & 0x01000100u) * 0xFFu;
    rb = (rb | (rb_over >> 8)) & PIXEL_RB_MASK;
    ga = (ga | (ga_over >> 8)) & PIXEL_RB_MASK;
    return rb | (ga << 8);
}

// Add only the three colour bytes with saturation; the top byte of a is kept.
constexpr uint32_t add_saturate_rgb(uint32_t a, uint32_t b)
{
    return (add_saturate_bytes(a, b & PIXEL_RGB_MASK) & PIXEL_RGB_MASK) | (a & 0xFF000000u);
}
