// scene16_flames.h -- the closing scene: flame animation, closing text fading in, then quit.
#pragma once

#include <cstdint>

#include "display/surface.h"
#include "gfx2d/byte_stream.h"
#include "gfx2d/image.h"

constexpr int FLAME_FRAME_COUNT = 142; // frames played before the fade starts
constexpr int FLAME_TICKS_PER_FRAME = 3;

// Made by load_closing_flames at set-up.
extern Image* endtext_picture; // the closing text
extern Surface* flame_surface; // 160 x 120 animation frame
extern uint32_t* flame_palette; // 256 colours

// Counters of one run of the scene, all zero on entry.
struct ClosingFlamesState {
    int phase; // P: ticks since the last frame step, 0..2
    int frames_decoded; // D: 0..142
    int finished; // E: the animation has ended, the fade runs
    int fade_level; // L: 0..255, the closing picture's level
    uint32_t quit_countdown; // Q: ticks since the end; quit at 255
};

// Loads endtext1.acg, creates the animation surface and reads boxflame.pal. 1 on success.
int load_closing_flames();

// Advances by one tick, decoding the next frame from `stream` into flame_surface when due.
void step_closing_flames(ClosingFlamesState* state, ByteStream* stream);

// The scene function for scene 16. Sets the quit flag 255 ticks after the animation ends.
void closing_flames_scene();
