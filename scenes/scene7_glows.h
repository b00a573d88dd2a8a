// scene7_glows.h -- scene 7: two circling glows shedding streams of soft red discs, and the faces.
#pragma once

#include <cstdint>

#include "render3d/matrix.h"

struct FaceSet;
struct Surface;

// Cues that show face 1, 2 and 3 at the bottom of the screen.
constexpr uint32_t GLOW_CUE_FACE1 = 240;
constexpr uint32_t GLOW_CUE_FACE3 = 242;

constexpr double GLOW_CENTRE_Z = 100.0; // the point everything circles
constexpr double GLOW_ORBIT = 15.0; // the glows' circle around it
constexpr double GLOW_PHASE_A_STEP = 0.05; // camera and roll: one turn in 126 ticks
constexpr double GLOW_PHASE_B_STEP = 0.15; // glows: one turn in 42 ticks
constexpr double GLOW_CAMERA_X = 50.0; // half-axes of the camera's ellipse
constexpr double GLOW_CAMERA_Z = 70.0;
constexpr double PARTICLE_RISE = 2.0; // per tick, along +y
constexpr double PARTICLE_GROWTH = 0.25;
constexpr double PARTICLE_REBIRTH_Y = 80.0;
constexpr double PARTICLE_START_SIZE = 2.0;
constexpr uint32_t PARTICLE_START_COLOUR_RED = 0xFF480000u;
constexpr uint32_t PARTICLE_FADE = 0x10000u; // red falls by one per tick
constexpr uint32_t GLOW_COLOUR = 0x00FFFFFFu;
constexpr float GLOW_GAIN = 20.0f;

struct GlowRun {
    Camera camera;
    Vec4 p, q; // the two glows; camera space after drawing
    Vec4 target; // the point the camera faces
    double a, b; // phases, radians
};

// Entry values: camera all zero, glows at the origin, target (0, 0, 100), phases 0. The
// particle records are not reset.
void start_glow_run(GlowRun* run);
// One tick: phases, glow positions, and every particle's rise, growth, fade and rebirth.
void glow_tick(GlowRun* run, FaceSet* set);
// Clears the frame surface, transforms and draws the glows and the discs, and the face that
// the scene number calls for.
void glow_draw(GlowRun* run, FaceSet* set, uint32_t number);
// The face picture for a scene number: 0-2 for cues 240-242, -1 for none.
int glow_face_for(uint32_t number);

// Scene 7.
void glows_scene();
