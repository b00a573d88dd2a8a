// scene34_wall.h -- warped brick wall, glowing ribbons and credits (scenes 3 and 4).
#pragma once

#include <cstdint>

#include "display/pixel.h"
#include "scenes/scene_data.h"

// Adds colour to pixel byte by byte, each of the four bytes held at 255.
constexpr uint32_t add_saturate(uint32_t pixel, uint32_t colour)
{
    return add_saturate_bytes(pixel, colour);
}

// Draws the ribbon additively into a 320 x 240 buffer: one row of five spans per row from
// start_row down, swaying sideways along R.waves sine periods. Rows are clipped to the buffer
// and so is every span (its width is used unsigned and may be anything).
void draw_ribbon(const Ribbon* ribbon, int column, int start_row, uint32_t* pixels);

// Sets the three ribbons to their entry values.
void reset_ribbons(Ribbon* ribbons);

// State of one run of the scene, reset on entry.
struct WallState {
    int phase; // t: 0..255, one turn of the sway
    int column_count; // columns the warp covers, 320 down to 180 when closing
    int offset_a; // warp offset (a, b)
    int offset_b;
    int credits_x;
    float credits_y; // single precision
    int ribbon_column; // ribbon 1 and the upsbot picture: column c, row r
    int ribbon_row;
    int upsbot_scale; // s, in 1/256 units
    int ribbon2_column;
    int ribbon2_row;
    int ribbon3_column;
    int ribbon3_row;
    int caption_x;
    int caption_d1; // caption velocities
    int caption_d2;
    int title_level; // L: 255 shows the wall alone, 0 the title alone
    int rising; // 240 seen
    int closing; // 4 seen
    int title; // 245 seen
};

constexpr WallState WALL_START
    = { 0, 320, 120, 0, 0, 239.0f, 160, 119, 255, 20, 300, 20, 300, 320, 0, 0, 255, 0, 0, 0 };

// Reacts to the scene number read at the start of a frame; 4 and 240 are consumed (the
// scene number becomes 255 unless a newer sync arrived).
void take_wall_event(WallState* state, uint32_t scene);

// Draws the wall, credits, ribbons and upsbot picture into work surface 1.
void draw_wall_layers(const WallState* state);

// One tick of the animation.
void step_wall(WallState* state, Ribbon* ribbons);

// Draws the captions into work surface 1 and makes the frame surface (wall or title dissolve).
void finish_wall_frame(const WallState* state);

// The scene function for scenes 3 and 4.
void wall_scene();
