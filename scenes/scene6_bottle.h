// scene6_bottle.h -- scene 6: a camera circling the filled bottle over the lens-warped backdrop.
#pragma once

#include <cstdint>

#include "render3d/matrix.h"

constexpr double BOTTLE_RADIUS = 200.0; // the camera's circle around the bottle
constexpr double BOTTLE_CAMERA_Y = -60.0;
constexpr double BOTTLE_PHASE_STEP = 0.02; // one turn in 315 ticks
constexpr uint32_t BOTTLE_COLOUR = 0xFF008000u;
// Backdrop scroll per radian of heading: -640 / pi pixels.
constexpr double BOTTLE_SCROLL_PER_RADIAN = -203.71832715762605;
constexpr int BOTTLE_BACKDROP_ROW = 240; // the warp's vertical scroll

struct BottleRun {
    Camera camera;
    Vec4 target; // the bottle's origin
    double phase; // t, radians
};

// Entry values: angles (0, 0, pi), offset (0, -60, 0), target the origin, t = 0.
void start_bottle_run(BottleRun* run);
// One tick: a bottle animation step and t += 0.02 (back to 0 at a full turn).
void bottle_tick(BottleRun* run);
// Places and aims the camera from t, transforms the bottle and draws the backdrop and the
// bottle into the frame surface.
void bottle_draw(BottleRun* run);
// The backdrop's horizontal scroll for a heading: trunc(angle y x -640 / pi).
int bottle_backdrop_scroll(double angle_y);

// Scene 6.
void bottle_scene();
