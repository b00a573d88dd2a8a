// scene01_rings.h -- scenes 0 and 1: rings of light refracted through a bump map over two pictures.
#pragma once

#include <cstdint>

#include "gfx2d/image.h"
#include "scenes/scene_data.h"

// Where every ring starts, each time the scene is entered.
constexpr double RING_START_X = 258.0;
constexpr double RING_START_Y = 165.0;
constexpr double RING_START_RADIUS = 5.0;
constexpr uint32_t RING_START_COLOUR = 0xFFFFFFFFu;
constexpr double RING_MAX_RADIUS = 30.0; // rings grow by 0.1 per tick while below this
constexpr float RING_HALF_WIDTH = 6.0f;
constexpr uint32_t NOISE_START_AMPLITUDE = 255;

// The first picture's rows that smear sideways at the start of each half pattern.
constexpr int SMEAR_FIRST_ROW = 60;
constexpr int SMEAR_END_ROW = 180;

// State of one run of the scene function; reset on every entry.
struct RingsRun {
    uint32_t ring_count; // rings 0..count-1 move and are drawn
    int32_t noise_on;
    uint32_t noise_amplitude; // odd while the noise is on
    int32_t smear; // this frame's smear offset, 0 for none
};

// What a frame reads and draws into. The three surfaces are 320 x 240 x 32 with rows 320 apart.
struct RingsFrame {
    Ring* const* rings; // RING_COUNT records
    uint32_t* colours; // RING_COUNT colours
    const uint16_t* bump_u;
    const uint16_t* bump_v;
    const Image* bottle;
    const Image* ringface;
    Surface* frame; // result
    Surface* rings_surface; // rings as drawn
    Surface* refracted; // rings through the bump map
};

void reset_rings(Ring* const* rings, uint32_t* colours);

// Rings wanted at song position P and row R: 1-4 over a pattern (P = 2 or P >= 4), 5-8 at
// P = 3, and `previous` at positions 0 and 1.
uint32_t ring_count_for_song(uint32_t position, uint32_t row, uint32_t previous);
// Smear offset at a row: 23 at rows 0 and 32, one less per row, 0 from rows 23-31 and 55-63.
int32_t smear_for_row(uint32_t row);

// The start of a frame: consumes sync number 1 (writes 255 and starts the noise at 255), then
// takes the ring count and smear from the song position and row.
void begin_rings_frame(RingsRun* run);
// One tick: every active ring moves up and left, grows and fades; the noise fades by 2.
void advance_rings_tick(RingsRun* run, Ring* const* rings, uint32_t* colours);
// Draws the frame: pictures, smear, rings, refraction, composite, noise.
void draw_rings_frame(const RingsRun* run, const RingsFrame* frame);

// p[i] = per-channel mean of p[i - c] and p[i + c] (top byte 0) for i from first * 320 to
// end * 320 - 1, forwards in place. The caller keeps every index read inside the buffer: rows
// first - 1 to end when c <= 320.
void smear_rows(uint32_t* pixels, int c, int first, int end);
// Lays src over dst for 320 x 240 pixels with src's top byte a as coverage: each channel
// (dst * (256 - a) >> 8) + (src * (a + 1) >> 8), top byte 0.
void composite_by_coverage(const uint32_t* src, uint32_t* dst);
// Adds v = demo_rand() mod (n & 255), one value per pixel in order, to all four bytes of each
// of the 76800 pixels with saturation. Draws nothing when n & 255 is 0.
void add_noise(uint32_t* pixels, uint32_t n);

// Scenes 0 and 1.
void rings_scene();
