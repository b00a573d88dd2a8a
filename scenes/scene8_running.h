// scene8_running.h -- the running animation with captions switched on by the music.
#pragma once

#include <cstdint>

#include "display/surface.h"
#include "gfx2d/byte_stream.h"
#include "gfx2d/image.h"

constexpr int RUN_LOOP_LAST_FRAME = 44; // frame number at which the stream is rewound

// Made by load_running_animation at set-up.
extern Surface* run_surface; // 160 x 120 animation frame
extern uint32_t* run_palette; // 256 colours
extern Image* dtitle_picture;
extern Image* dq_picture;
extern Image* da_picture;
extern Image* dlast_picture;

// State of one run of the scene, reset on entry.
struct RunningAnimationState {
    float frame_clock; // c: advances 0.9 per tick, a frame every 3.0
    int frame_number; // i: 0..44
    int show_dtitle;
    int show_dq;
    int show_da;
    int show_dlast;
    int show_title;
};

// Creates the animation surface, reads run.pal, loads the four captions. 1 on success.
int load_running_animation();

// One tick: advances the frame clock (decoding into run_surface from `stream`, rewinding it
// after frame 44) and switches the captions by the scene number seen on this tick.
void step_running_animation(RunningAnimationState* state, ByteStream* stream, uint32_t scene);

// Draws the doubled animation and the captions whose flags are set into `target`.
void draw_running_animation(Surface* target, const RunningAnimationState* state);

// The scene function for scene 8.
void running_animation_scene();
