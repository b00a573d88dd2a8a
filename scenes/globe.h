// globe.h -- scene 9: a textured globe spinning among the stars, with a sun swinging around it.
#pragma once

#include <cstdint>

#include "render3d/matrix.h"

struct Surface;
struct StarField;

constexpr int GLOBE_TEXTURE_WIDTH = 256;
constexpr int GLOBE_TEXTURE_HEIGHT = 153;
constexpr int GLOBE_STAR_COUNT = 1500;

// The globe as drawn on screen: a screen-space sphere turned by three axis rows.
struct Globe {
    Vec4 centre; // x, y in screen pixels; z and w are not used for drawing
    Vec4 axis[3]; // orientation rows (x, y, z used)
    Vec4 radius; // (r, 0, 0, 1): the radius in pixels is the length of x, y, z
    uint32_t* texture; // GLOBE_TEXTURE_WIDTH x GLOBE_TEXTURE_HEIGHT words, composed every frame
    int32_t texture_width;
    int32_t texture_height;
};

// Made once by load_globe_assets and kept until the process ends.
extern Globe* globe;
extern Surface* globe_surface_map; // world.acg, 256 x 153
extern Surface* globe_clouds; // clouds.acg, coverage in the top byte
extern Surface* globe_light_map; // light.acg, coverage in the top byte
extern StarField* globe_stars; // GLOBE_STAR_COUNT stars

// Loads "./data/world.acg", "./data/clouds.acg" and "./data/light.acg" (in that order) into
// their Surfaces, allocates the globe and its texture, and makes the star field (which draws
// demo_rand() values). Non-zero on success; stops at the first failure without releasing.
int load_globe_assets();

// Lays the clouds (scrolled by b) over the surface map (scrolled by a), then the light map over
// both, into `out`. All four are 256 x 153 words; the top byte of `out` is 0.
void compose_globe_texture(
    uint32_t* out, const uint32_t* surface_map, const uint32_t* clouds, const uint32_t* light_map, int a, int b);

// Draws the globe into a 320-wide buffer of at least 200 rows (the globe never reaches lower).
// The outer 1.5 pixels fade into what is already there.
void draw_globe(uint32_t* pixels, const Globe* g);

// One run of the scene: the camera circling the globe, the sun, and the two texture scrolls.
struct GlobeRun {
    Camera camera;
    Vec4 target; // the point the camera keeps aimed at: (0, 0, 100)
    Vec4 sun; // reset to (300, 0, 100) every frame, then moved and turned with the camera
    double theta; // orbit angle, radians
    int surface_scroll; // surface map scroll, 0-255, +2 per tick
    int cloud_scroll; // cloud scroll, 0-255, -1 per tick
};

// Entry values of a run; puts the globe large and to the left (radius 75, centre x 110).
void start_globe_run(GlobeRun* run);
// One frame after a wait that returned `ticks` (at least 1): steps once per tick, turns the
// camera, stars and sun, and draws the stars, the sun and the globe into the frame surface.
// Uses the shared matrix.
void globe_frame(GlobeRun* run, uint32_t ticks);
// Clears work surface 1 and draws the stars into it as last turned.
void leave_globe_scene();

// Scene 9. On leaving (also before its first frame) it draws the stars, as last turned, into a
// cleared work surface 1: the background of scene 10.
void globe_scene();
