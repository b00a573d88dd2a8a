// scene14_zoom.h -- one picture cross-fades into another, which then shrinks towards the centre.
#pragma once

#include <cstdint>

#include "display/surface.h"
#include "gfx2d/image.h"

// Made by load_picture_zoom at set-up.
extern Image* riptlt_picture; // the picture faded in (A)
extern Image* quenvask_picture; // the picture shown first (B)

// State of one run of the scene, reset on entry.
struct PictureZoomState {
    int fade_in; // G: 0..255
    float zoom; // Z: scale in 1/256 units, from 256 down to below 1
    float zoom_speed; // V
    int fade_out; // H: 255..0
    int fading_out; // set by the cue 241
};

constexpr PictureZoomState PICTURE_ZOOM_START = { 0, 256.0f, 0.25f, 255, 0 };

// Loads riptlt.acg, then quenvask.acg. 1 if both loaded.
int load_picture_zoom();

// One tick, with the scene number read for this frame.
void step_picture_zoom(PictureZoomState* state, uint32_t scene);

// Draws one frame: work surface 1 holds picture B, work surface 2 receives picture A.
void draw_picture_zoom(const PictureZoomState* state);

// The scene function for scene 14.
void picture_zoom_scene();
