// anim_writer.h -- RLM frame encoder, PAL and raw map writers, and a 256-colour quantiser.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Appends one frame of palette indices as RLM runs: repeats for equal neighbours, literals
// for the rest, the long forms only for runs over 63 pixels.
void encode_rlm_frame(const uint8_t* indices, int pixel_count, std::vector<uint8_t>* out);

// 256 entries 0x00RRGGBB to the 768 PAL bytes (entry 255 first, red, green, blue).
void encode_pal(const uint32_t* palette, std::vector<uint8_t>* out);
bool write_pal_file(const std::string& path, const uint32_t* palette);

// Raw maps (height and colour maps) are their bytes, row-major, nothing else.
bool write_raw_file(const std::string& path, const uint8_t* data, size_t size);

// Builds one palette of at most 256 colours for all frames (0x00RRGGBB pixels; the top byte is
// ignored) and maps every pixel to its nearest entry. Pictures with 256 colours or fewer keep
// them exactly; others are reduced by median cut. Unused entries are 0.
void quantize_frames(const std::vector<const uint32_t*>& frames, int pixels_per_frame, uint32_t palette[256],
    std::vector<std::vector<uint8_t>>* indices);
