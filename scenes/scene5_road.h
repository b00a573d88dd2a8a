// scene5_road.h -- scene 5: the road drive in fading outlines, with the title fade and the chickcone.
#pragma once

#include <cstdint>

#include "render3d/matrix.h"

struct Surface;

// Cues that bring in the chickcone: slide it left and hold keyframe 0, then stop the wrap and
// let it play into keyframe 1.
constexpr uint32_t ROAD_CUE_SLIDE = 241;
constexpr uint32_t ROAD_CUE_STOP = 242;

constexpr double ROAD_START_Z = -600.0;
constexpr double ROAD_WRAP_Z = -1000.0;
constexpr double ROAD_REPEAT = 400.0; // the road set repeats every 400 units of z
constexpr double ROAD_CAMERA_Y = -30.0;
constexpr double ROAD_TARGET_AHEAD = 450.0; // the target sits this far in front of the camera
constexpr double ROAD_SWAY = 30.0;
constexpr double CHICKCONE_STOP_X = -45.0;
constexpr int ROAD_FADE_DONE = 255;

// Outline colours of the road set.
constexpr uint32_t ROAD_BOX_COLOUR = 0xFF008080u;
constexpr uint32_t ROAD_ROAD_COLOUR = 0xFF202020u;
constexpr uint32_t ROAD_LINE_COLOUR = 0xFFFFFFFFu;
constexpr uint32_t ROAD_FOOTPATH_COLOUR = 0xFFC0C0C0u;
constexpr uint32_t ROAD_CONE_COLOUR = 0xFFFF8000u;

// One run of the scene. The camera's offset z is the travel value Z.
struct RoadRun {
    Camera camera;
    Vec4 target; // what the camera aims at, and where the chickcone stands
    double phase; // t, radians
    int fade_level; // ticks up to 255 of the title fade
};

// Entry values. The target starts where the first ordinary frame would put it (x 0, z 1050),
// so a run entered on cue 241 or 242 has a defined chickcone position.
void start_road_run(RoadRun* run);
// One tick under the given scene number: mesh steps, travel and wrap, fade, phase, chickcone.
void road_tick(RoadRun* run, uint32_t number);
// Aims the camera, transforms the meshes and draws the frame. `number` decides whether the
// chickcone is placed and drawn (241 and 242) or the target follows the camera.
void road_draw(RoadRun* run, uint32_t number);
// One frame after a wait that returned `ticks`: the ticks, each under the scene number read
// afresh, then the drawing under the number the last tick saw.
void road_frame(RoadRun* run, uint32_t ticks);

// Every pixel p becomes (p >> 1) & 0x7F7F7F7F: the previous frame at half brightness.
void darken_surface(Surface* surface);

// Scene 5.
void road_scene();
