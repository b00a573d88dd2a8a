// anim.h -- RLM run-length animations of palettised frames and PAL palettes.
#pragma once

#include <cstdint>

#include "display/surface.h"
#include "gfx2d/byte_stream.h"

constexpr int RLM_FRAME_WIDTH = 160;
constexpr int RLM_FRAME_HEIGHT = 120;
constexpr int RLM_FRAME_PIXELS = RLM_FRAME_WIDTH * RLM_FRAME_HEIGHT;

// Control byte: bits 7-6 the run kind, bits 5-0 the length (or its high bits).
constexpr uint8_t RLM_REPEAT = 0x00;
constexpr uint8_t RLM_LITERAL = 0x40;
constexpr uint8_t RLM_LONG_REPEAT = 0x80;
constexpr uint8_t RLM_LONG_LITERAL = 0xC0;
constexpr int RLM_MAX_SHORT_RUN = 63;
constexpr int RLM_MAX_LONG_RUN = 16383;

constexpr int PAL_ENTRIES = 256;
constexpr int PAL_FILE_SIZE = 768;

// Fills palette[256] from a PAL file: the file's first triple is entry 255, the last entry 0,
// each entry 0x00RRGGBB. Bytes missing from a short file count as 0. Non-zero on success,
// 0 when the file cannot be read.
int load_pal(const char* path, uint32_t* palette);
// The same from bytes in memory.
void load_pal_memory(const uint8_t* data, size_t size, uint32_t* palette);

// Decodes the next frame of the stream into the target's pixels (contiguous from the first
// pixel). Returns 1 without reading when the stream's end flag is already set, else decodes
// one frame and returns 0. A run that would pass the frame's end, or a stream that ends inside
// the frame, stops decoding and returns 1; nothing is ever written past the target's pixels.
int decode_rlm_frame(ByteStream* stream, int pixel_count, Surface* target, const uint32_t* palette);
