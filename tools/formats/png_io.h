// png_io.h -- read and write 8-bit RGBA PNG files (previews, converters, captures).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Pixels are RGBA bytes, row-major, width * height * 4. Return true on success.
bool write_png_rgba(const std::string& path, int width, int height, const uint8_t* rgba);
bool read_png_rgba(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgba);

// Write a 32-bit 0x00RRGGBB pixel buffer (the demo's Surface layout) as an opaque PNG.
bool write_png_xrgb(const std::string& path, int width, int height, const uint32_t* pixels, int pitch_pixels);
