// image.h -- ACG pictures: the Image record, the loader and drawing into a Surface.
#pragma once

#include <cstdint>

#include "display/surface.h"
#include "gfx2d/byte_stream.h"

// File magics as little-endian words: "!ACG" and "!AGC", handled identically.
constexpr uint32_t ACG_MAGIC = 0x47434121u;
constexpr uint32_t ACG_MAGIC_SWAPPED = 0x43474121u;
constexpr int ACG_HEADER_SIZE = 28;

// Code word: operation in bits 10-15, run length minus one in bits 0-9.
enum class AcgOp : uint32_t {
    SKIP = 0,
    BLEND_COPY = 1,
    COPY = 2,
    NEW_ROW = 3,
    BLEND_FILL = 4,
    FILL = 5,
};
constexpr int ACG_MAX_RUN = 1024;
constexpr uint16_t ACG_TERMINATOR = 0xFFFF;

constexpr uint16_t acg_code(AcgOp op, int run_length)
{
    return uint16_t((uint32_t(op) << 10) | uint32_t((run_length - 1) & 0x3FF));
}

// Largest picture the loader accepts. The demo's pictures are screen-sized (the largest is
// 320x480); anything far beyond is a corrupt header and is rejected as no image.
constexpr int ACG_MAX_WIDTH = 4096;
constexpr int ACG_MAX_HEIGHT = 4096;
// Largest ACG file read: its picture then takes at most about twice that.
constexpr uint64_t ACG_MAX_FILE_BYTES = uint64_t(16) << 20;

// A decoded picture. One block holds the record and its arrays (colours, codes with the
// terminator, row_colour, row_code); destroy_image releases it.
struct Image {
    int32_t width;
    int32_t height;
    int32_t* row_code; // per row: index of its first code word
    int32_t* row_colour; // per row: index of its first colour
    int32_t colour_count;
    uint32_t* colours; // premultiplied colours, opacity in bits 24-31
    int32_t code_count;
    uint16_t* codes; // code_count words followed by ACG_TERMINATOR
};

// New Image with counts set and the terminator stored; arrays otherwise zero. Null on
// exhausted memory or negative/oversized arguments.
Image* create_image(int width, int height, int colour_count, int code_count);
void destroy_image(Image* image);

// Reads one picture from the stream's position. On success the stream is just after the
// code words; on failure (bad magic, absurd header, no memory) it is back where it started.
Image* load_acg(ByteStream* stream);
// Reads the whole file and loads the picture from its start; null when missing or invalid.
Image* load_acg_file(const char* path);
// Loads a picture from bytes in memory (converters, tests, fuzzing).
Image* load_acg_memory(const uint8_t* data, size_t size);

// Draws with the top-left pixel at (x, y), clipped to the whole Surface.
void draw_image(Surface* surface, const Image* image, int x, int y);
// Draws clipped to the rectangle (x0, y0) inclusive to (x1, y1) exclusive; corners may be
// given in either order. Reports the drawn rectangle with mark_surface_rect.
void draw_image_clipped(Surface* surface, const Image* image, int x, int y, int x0, int y0, int x1, int y1);

// Premultiplied blend of colour s over pixel d: d's channels scaled by (256 - A) / 256,
// d's top byte kept, s added; an overflow of the sum sets the top byte to 0xFF.
inline uint32_t blend_image_pixel(uint32_t s, uint32_t d)
{
    const uint32_t f = 256u - (s >> 24);
    const uint32_t scaled = ((((d & 0x00FF00FFu) * f) & 0xFF00FF00u) | (((d & 0x0000FF00u) * f) & 0x00FF0000u)) >> 8;
    const uint32_t sum = (scaled | (d & 0xFF000000u)) + s;
    return sum < s ? (sum | 0xFF000000u) : sum;
}
