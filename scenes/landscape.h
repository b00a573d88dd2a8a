// landscape.h -- height-field landscape (scene 13): maps, camera, ray caster and scene function.
#pragma once

#include <cstdint>

#include "display/surface.h"
#include "gfx2d/image.h"

constexpr int LANDSCAPE_MAP_SIZE = 800;
constexpr int LANDSCAPE_HEADINGS = 1920; // view directions per turn
constexpr uint32_t LANDSCAPE_MARKER = 0xFFFFFFFFu; // rows 30..209 hold this before rendering
constexpr int LANDSCAPE_TOP_ROW = 30;
constexpr int LANDSCAPE_BOTTOM_ROW = 210;
constexpr int GREETS_ROW = 230;

// A height map and its colour map, both width x height cells, row-major.
struct HeightField {
    int32_t width;
    int32_t height;
    uint8_t* heights;
    Surface* colour_map; // 0x00RRGGBB per cell
};

// The camera circles the map origin; it keeps its place between runs of the scene.
struct LandscapeCamera {
    int32_t heading; // 0..1919, in steps of 2*pi/1920
    double x; // map column axis
    double y; // map row axis
    double eye_height;
    int32_t projection;
    int32_t haze_distance; // haze complete here; nothing farther is drawn
};

constexpr LandscapeCamera LANDSCAPE_CAMERA_START = { 1590, 350.0, 770.0, 224.0, 260, 1000 };

extern LandscapeCamera landscape_camera;
extern HeightField* landscape_field;
extern Image* greets_picture;

// Sine and cosine per heading, and the per-column correction 1 / cos of the column's angle.
extern double landscape_sin[LANDSCAPE_HEADINGS];
extern double landscape_cos[LANDSCAPE_HEADINGS];
extern double landscape_column_q[320];

// Fills the three tables above.
void make_landscape_tables();

// Reads a raw map: bits 8 gives width*height bytes into a byte array, bits 32 gives
// width*height RGB triples into 0x00RRGGBB words. 0 if the file cannot be opened (or the
// arguments make no sense), else 1. A short file is not an error: the missing cells are 0.
int load_raw(const char* path, void* destination, int width, int height, int bits);

// Makes the tables and camera, the 800 x 800 height field from data/vheight.raw and
// data/vcol.raw, and loads ./data/greets.acg. 1 on success, 0 on any failure.
int load_landscape();

// Ray-casts the field into rows 30..210 of a 320 x 240 target whose rows 30..209 hold the
// marker, from landscape_camera.
void render_landscape(Surface* target, const HeightField* field);

// Turns the camera about the map origin by n degrees and the heading by n steps.
void turn_landscape_camera(LandscapeCamera* camera, uint32_t n);

// State of one run of the scene, reset on entry.
struct LandscapeState {
    float greets_x; // greetings strip position, single precision
    int fade; // 0..252
    int fading; // set once the cue 255 is seen
};

constexpr LandscapeState LANDSCAPE_START = { 320.0f, 0, 0 };
constexpr float GREETS_END_X = -1014.0f;

// One tick with the scene number read for this frame.
void step_landscape(LandscapeState* state, uint32_t scene);

// Draws one frame into the frame surface after n elapsed ticks (turns the camera).
void draw_landscape_frame(const LandscapeState* state, uint32_t n);

// The scene function for scene 13.
void landscape_scene();
