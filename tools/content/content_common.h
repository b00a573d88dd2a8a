// content_common.h -- building blocks of the generated art: seeded PRNG, noise, float canvases, masks, styled text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// ---- Seeded random numbers (independent of the demo's own rand) ----

struct ContentRng {
    uint64_t state;
};

void rng_seed(ContentRng* rng, uint64_t seed);
uint32_t rng_next(ContentRng* rng);
double rng_unit(ContentRng* rng); // [0, 1)
double rng_range(ContentRng* rng, double lo, double hi);
int rng_int(ContentRng* rng, int n); // 0 .. n-1

// ---- Gradient noise ----

// 2D gradient noise in about -1..1. A period > 0 wraps the lattice so the noise tiles every
// `period` units on that axis.
double noise2(uint32_t seed, double x, double y, int period_x, int period_y);
// 3D gradient noise in about -1..1 (no wrap), for seamless sphere maps.
double noise3(uint32_t seed, double x, double y, double z);
// Fractal sums of octaves; frequency doubles and amplitude scales by gain per octave. The periods
// double with the frequency so a tiling base stays tiling.
double fbm2(uint32_t seed, double x, double y, int octaves, double gain, int period_x, int period_y);
double fbm3(uint32_t seed, double x, double y, double z, int octaves, double gain);

// ---- Colours ----

struct Rgb {
    double r, g, b;
};

struct RampStop {
    double t;
    Rgb colour;
};

// Piecewise linear colour ramp; stops sorted by t, t clamped to the ends.
Rgb ramp_eval(const RampStop* stops, int count, double t);
Rgb rgb_mix(Rgb a, Rgb b, double t);
Rgb rgb_hex(uint32_t rgb);
double clamp01(double v);
double smoothstep(double e0, double e1, double v);

// ---- Canvas: premultiplied RGBA in floats, 0..1 ----

struct Canvas {
    int width;
    int height;
    std::vector<float> px; // r, g, b, a per pixel, premultiplied
};

void canvas_init(Canvas* c, int width, int height);
float* canvas_at(Canvas* c, int x, int y);
// Premultiplied "over" of one colour with coverage a (colour given straight, not premultiplied).
void canvas_blend(Canvas* c, int x, int y, Rgb colour, double a);
// Adds light into an opaque or partly covered pixel (raises coverage with the brightness).
void canvas_add_light(Canvas* c, int x, int y, Rgb colour, double amount);
void canvas_fill(Canvas* c, Rgb colour, double a);
void canvas_vertical_gradient(Canvas* c, const RampStop* stops, int count);
// Composite src over dst with src's top-left at (x, y).
void canvas_draw(Canvas* dst, const Canvas* src, int x, int y);
// Soft round glow: coverage falls off as a smooth bump of the given radius.
void canvas_glow(Canvas* c, double cx, double cy, double radius, Rgb colour, double strength);
// Anti-aliased filled disc and capsule (line with round ends).
void canvas_disc(Canvas* c, double cx, double cy, double radius, Rgb colour, double a);
void canvas_capsule(Canvas* c, double x0, double y0, double x1, double y1, double radius, Rgb colour, double a);

// Premultiplied 0xAARRGGBB words; every colour channel is held at or below the coverage so the
// engine's blend never carries between channels.
std::vector<uint32_t> canvas_to_argb(const Canvas* c);
// Opaque preview on a grey checkerboard, for review.
bool canvas_write_preview(const Canvas* c, const std::string& path);
bool argb_write_preview(const uint32_t* argb, int width, int height, const std::string& path);

// ---- Masks and text ----

struct Mask {
    int width;
    int height;
    std::vector<float> a;
};

void mask_init(Mask* m, int width, int height);
float mask_get(const Mask* m, int x, int y); // 0 outside
void mask_blur(Mask* m, int radius); // three box passes, close to a Gaussian
void mask_dilate(Mask* m, int radius); // round max filter

struct Font {
    void* library; // FT_Library
    void* face; // FT_Face
    int pixel_size;
};

// Opens a DejaVu font by file name (e.g. "DejaVuSans-Bold.ttf") at a pixel size.
bool font_open(Font* font, const char* file_name, int pixel_size);
void font_close(Font* font);
int font_ascent(const Font* font);
int font_line_height(const Font* font);
int text_width(Font* font, const char* text, double tracking);
// Rasterises text with its pen starting at (x, baseline) into the mask (coverage is maxed in).
void text_to_mask(Font* font, const char* text, double tracking, int x, int baseline, Mask* mask);

struct TextStyle {
    Rgb top; // fill gradient, top of the glyph box
    Rgb bottom; // fill gradient, bottom
    Rgb outline; // outline colour
    int outline_width; // 0 for none
    Rgb glow; // soft glow colour
    int glow_radius; // 0 for none
    double glow_strength;
    int shadow_dx, shadow_dy; // drop shadow offset (0, 0 for none)
    double shadow_alpha;
    double tracking; // extra pixels between letters
    const RampStop* ramp; // when set, replaces top/bottom: fill colour over the glyph box
    int ramp_count;
};

// Draws a line of styled text; x is the pen start, baseline the text's baseline.
void draw_text(Canvas* c, Font* font, const char* text, int x, int baseline, const TextStyle* style);
// Same, centred on column cx.
void draw_text_centred(Canvas* c, Font* font, const char* text, int cx, int baseline, const TextStyle* style);

// ---- Generated picture ----

struct ContentPicture {
    std::string name; // file name in the data directory, e.g. "title.acg"
    int width;
    int height;
    std::vector<uint32_t> argb; // premultiplied 0xAARRGGBB, row-major
};

ContentPicture picture_from_canvas(const char* name, const Canvas* c);

// A 32-bit noise seed for one piece of art: the run's seed mixed with a fixed salt per use.
uint32_t seed_for(uint64_t seed, uint32_t salt);
