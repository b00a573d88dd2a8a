// acg_writer.h -- ACG picture encoder (straight or premultiplied RGBA in, run-coded file bytes out).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Straight-alpha RGBA bytes to a premultiplied colour word: each channel c * a / 255 rounded,
// opacity in bits 24-31.
uint32_t premultiply_rgba(uint8_t r, uint8_t g, uint8_t b, uint8_t a);
// The inverse for display and export: channel * 255 / A rounded, clamped to 255; A = 0 gives 0.
void unpremultiply_colour(uint32_t colour, uint8_t rgba[4]);

// Encodes premultiplied colour words (row-major, width * height) as an ACG file. Pixels with
// opacity 0 and no colour become SKIP runs, opacity 255 COPY/FILL runs, the rest (including
// additive colours with opacity 0) BLEND_COPY/BLEND_FILL runs; rows are separated by NEW_ROW
// words of length 1. Colours of blended pixels must be premultiplied (channel <= opacity).
// False for sizes outside 1..4096.
bool encode_acg(const uint32_t* colours, int width, int height, std::vector<uint8_t>* out);
// Encodes straight-alpha RGBA bytes (r, g, b, a per pixel, row-major).
bool encode_acg_rgba(const uint8_t* rgba, int width, int height, std::vector<uint8_t>* out);

bool write_acg_file(const std::string& path, const uint32_t* colours, int width, int height);
bool write_acg_file_rgba(const std::string& path, const uint8_t* rgba, int width, int height);

// Writes bytes to a file, replacing it. True on success.
bool write_file_bytes(const std::string& path, const void* data, size_t size);
