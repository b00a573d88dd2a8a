// scene10_shells.h -- scene 10: three textured balls swelling over a white flash and the stars.
#pragma once

#include <cstdint>

struct Ball;
struct FlashLight;

// Sizes grow per tick by these rates and restart every BALL_CYCLE_TICKS ticks.
constexpr int BALL_CYCLE_TICKS = 40;
constexpr int BALL_START_SIZE = 50;
constexpr int FLASH_START_INTENSITY = 5;

// Moves every pixel of a 320 x 240 buffer towards white around the light's projected position,
// by the falloff table scaled by intensity x 50 / z. Draws nothing when z <= 0.
void draw_flash(uint32_t* pixels, const FlashLight* light);
// Draws the ball textured through an arc-cosine mapping, one span per row, over-compositing
// its premultiplied texture into a 320 x 240 buffer. Rows outside 0-239 are skipped.
void draw_ball(const Ball* ball, uint32_t* pixels);
// One row of a ball from column x0 to x1 (both included) at texture row v (before the ball's
// v offset). Columns are clipped to 0-319; the texture keeps its mapping across a left clip.
void draw_ball_span(int x0, int x1, int y, int v, const Ball* ball, uint32_t* pixels);

// One run of the scene: the three ball sizes, the flash intensity and the tick sum.
struct ShellsRun {
    int size[3]; // a, b, c: balls 1, 2, 3
    int intensity; // g
    uint32_t tick_sum; // S
};

// Entry values: clears work surface 3 and resets the balls and the flash light.
void start_shells_run(ShellsRun* run);
// One frame after a wait that returned `ticks`: grows the sizes (or restarts the cycle) and
// composes background, flash and balls into work surface 2 and the frame surface.
void shells_frame(ShellsRun* run, uint32_t ticks);

// Scene 10.
void shells_scene();
