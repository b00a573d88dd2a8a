// landscape.cpp -- height-field landscape: a front-to-back ray caster over an 800 x 800 map with
// haze, the camera circling the map, a greetings strip scrolling below and a fade to black.
#include "scenes/landscape.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/demo.h"
#include "display/bytes.h"
#include "display/numeric.h"
#include "display/pixel.h"
#include "gfx2d/blit.h"

LandscapeCamera landscape_camera = LANDSCAPE_CAMERA_START;
HeightField* landscape_field = nullptr;
Image* greets_picture = nullptr;
double landscape_sin[LANDSCAPE_HEADINGS];
double landscape_cos[LANDSCAPE_HEADINGS];
double landscape_column_q[320];

namespace {
constexpr uint32_t OWN_SCENE = 13;
// 6.2831852 / 1920: the tables were always made with this slightly short step, and the map
// lookups depend on it.
constexpr double HEADING_STEP = 0.0032724922916666666;
constexpr double PI = 3.14159265358979323846;

uint32_t* pixels_of(Surface* s)
{
    return reinterpret_cast<uint32_t*>(s->pixels);
}

uint32_t haze(uint32_t colour, int f)
{
    uint32_t r = pixel_r(colour) + uint32_t(f);
    uint32_t g = pixel_g(colour) + uint32_t(f);
    uint32_t b = pixel_b(colour) + uint32_t(f);
    return ((r > 255 ? 255 : r) << 16) | ((g > 255 ? 255 : g) << 8) | (b > 255 ? 255 : b);
}

uint32_t average_pixels(uint32_t left, uint32_t right)
{
    const uint32_t r = (pixel_r(left) + pixel_r(right)) >> 1;
    const uint32_t g = (pixel_g(left) + pixel_g(right)) >> 1;
    const uint32_t b = (pixel_b(left) + pixel_b(right)) >> 1;
    return (r << 16) | (g << 8) | b;
}

uint32_t abs_u32(int32_t v)
{
    return v < 0 ? 0u - uint32_t(v) : uint32_t(v); // INT32_MIN gives 2^31, no overflow
}

// v mod n; the values met while circling the map are within a few map widths.
uint32_t wrap_map(uint32_t v, uint32_t n)
{
    if (v >= 4 * n)
        return v % n;
    while (v >= n)
        v -= n;
    return v;
}

// Reciprocals for the height division: floor(a / (d + 1)) = (a * M[d]) >> 32 with
// M[d] = ceil(2^32 / (d + 1)), exact while a * (M[d] * (d + 1) - 2^32) < 2^32, which holds
// for every a <= 25500 (a height times 100) and d + 1 <= 1001.
constexpr int RECIPROCALS = 1001;
struct ReciprocalTable {
    uint64_t m[RECIPROCALS];
};
constexpr ReciprocalTable make_reciprocals()
{
    ReciprocalTable t {};
    for (int d = 0; d < RECIPROCALS; ++d)
        t.m[d] = ((uint64_t(1) << 32) + uint64_t(d)) / uint64_t(d + 1);
    return t;
}
constexpr ReciprocalTable reciprocals = make_reciprocals();

int divide_by_distance(uint32_t a, int32_t d)
{
    if (d < RECIPROCALS && a <= 25500u)
        return int((uint64_t(a) * reciprocals.m[d]) >> 32);
    return int(a / uint32_t(d + 1));
}

// One ray-cast column: fills column x from the nearest terrain outwards, never overdrawing.
void cast_column(Surface* target, const HeightField* field, int x, int a, int k)
{
    const LandscapeCamera& cam = landscape_camera;
    const int32_t kx = trunc_i32(landscape_column_q[x] * double(k));
    const double sin_a = landscape_sin[a];
    const double cos_a = landscape_cos[a];
    const uint32_t* colours = reinterpret_cast<const uint32_t*>(field->colour_map->pixels);
    const int colour_pitch = field->colour_map->pitch / 4;
    uint8_t* base = target->pixels;
    const long pitch = target->pitch;
    bool restarted = false;

    for (int r = 240; r >= 30; --r) {
        const int32_t d = trunc_i32(double(kx) / (cam.eye_height - double(240 - r)));
        if (d > cam.haze_distance || d < 0)
            return;
        if (d < 300 && !restarted) {
            // The first steps are too near to matter; start again lower, at nearer distances.
            restarted = true;
            r = 330; // the loop's decrement makes the next step r = 329
            continue;
        }
        // The absolute value comes before the remainder, so the map mirrors about its zero lines.
        const uint32_t v = wrap_map(abs_u32(trunc_i32(cam.y - double(d) * sin_a)), uint32_t(field->height));
        const uint32_t u = wrap_map(abs_u32(trunc_i32(double(d) * cos_a + cam.x)), uint32_t(field->width));
        const int p = divide_by_distance(uint32_t(field->heights[size_t(v) * size_t(field->width) + u]) * 100u, d);
        // Top first; stop at the first row out of range or already drawn. The range is tested
        // before the pixel is read: after the restart a span can lie below the target. Most far
        // steps end at their first row, so the colour is only looked up once a pixel is drawn.
        int y = r - p;
        if (y < LANDSCAPE_TOP_ROW || y > LANDSCAPE_BOTTOM_ROW)
            continue;
        uint32_t* pixel = reinterpret_cast<uint32_t*>(base + y * pitch) + x;
        if (*pixel != LANDSCAPE_MARKER)
            continue;
        const int f = (d * 255) / 1000;
        const uint32_t colour = haze(colours[size_t(v) * size_t(colour_pitch) + u], f);
        for (; y <= r; ++y, pixel = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(pixel) + pitch)) {
            if (y > LANDSCAPE_BOTTOM_ROW || *pixel != LANDSCAPE_MARKER)
                break;
            *pixel = colour;
        }
    }
}
} // namespace

void make_landscape_tables()
{
    for (int i = 0; i < LANDSCAPE_HEADINGS; ++i) {
        landscape_sin[i] = std::sin(double(i) * HEADING_STEP);
        landscape_cos[i] = std::cos(double(i) * HEADING_STEP);
    }
    for (int j = 0; j < 160; ++j) {
        const double q = 1.0 / std::cos(double(j) * HEADING_STEP);
        landscape_column_q[160 + j] = q;
        landscape_column_q[159 - j] = q;
    }
}

int load_raw(const char* path, void* destination, int width, int height, int bits)
{
    if (bits != 8 && bits != 32)
        return 0;
    uint64_t cells = 0;
    if (!checked_size(width, height, &cells))
        return 0;
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return 0;
    if (bits == 8) {
        uint8_t* out = static_cast<uint8_t*>(destination);
        const size_t got = std::fread(out, 1, size_t(cells), file);
        std::memset(out + got, 0, size_t(cells) - got);
    } else {
        // Read in blocks of whole triples; cells past a short file's end become 0.
        uint32_t* out = static_cast<uint32_t*>(destination);
        constexpr size_t BLOCK_CELLS = 4096;
        uint8_t block[BLOCK_CELLS * 3];
        size_t done = 0;
        while (done < cells) {
            const size_t want = std::min<size_t>(BLOCK_CELLS, size_t(cells) - done);
            const size_t got = std::fread(block, 1, want * 3, file);
            const size_t whole = got / 3;
            for (size_t i = 0; i < whole; ++i)
                out[done + i] = pixel_rgb(block[i * 3], block[i * 3 + 1], block[i * 3 + 2]);
            done += whole;
            if (got < want * 3)
                break;
        }
        for (; done < cells; ++done)
            out[done] = 0;
    }
    std::fclose(file);
    return 1;
}

int load_landscape()
{
    make_landscape_tables();
    landscape_camera = LANDSCAPE_CAMERA_START;

    HeightField* field = static_cast<HeightField*>(std::calloc(1, sizeof(HeightField)));
    if (!field)
        return 0;
    field->width = LANDSCAPE_MAP_SIZE;
    field->height = LANDSCAPE_MAP_SIZE;
    field->colour_map = create_surface(field->width, field->height, 32);
    if (!field->colour_map)
        return 0;
    field->heights = static_cast<uint8_t*>(std::calloc(size_t(field->width) * size_t(field->height), 1));
    if (!field->heights)
        return 0;
    if (!load_raw("data/vheight.raw", field->heights, field->width, field->height, 8))
        return 0;
    if (!load_raw("data/vcol.raw", field->colour_map->pixels, field->width, field->height, 32))
        return 0;
    landscape_field = field;
    greets_picture = load_acg_file("./data/greets.acg");
    return greets_picture ? 1 : 0;
}

void render_landscape(Surface* target, const HeightField* field)
{
    if (!field)
        return;
    const LandscapeCamera& cam = landscape_camera;
    int a = cam.heading - 160;
    if (a < 0)
        a += LANDSCAPE_HEADINGS;
    const int k = trunc_i32(double(cam.projection) * cam.eye_height);

    for (int x = 0; x < 320; x += 2) {
        cast_column(target, field, x, a, k);
        a = (a + 2) % LANDSCAPE_HEADINGS;
    }
    for (int y = LANDSCAPE_TOP_ROW; y <= LANDSCAPE_BOTTOM_ROW; ++y) {
        uint32_t* row = surface_row32(target, y);
        for (int x = 1; x < 318; x += 2)
            row[x] = average_pixels(row[x - 1], row[x + 1]);
        row[319] = 0;
    }
}

void turn_landscape_camera(LandscapeCamera* camera, uint32_t n)
{
    const double theta = double(n) * PI / 180.0;
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    const double x = camera->x * c + camera->y * s;
    const double y = camera->y * c - camera->x * s;
    camera->x = x;
    camera->y = double(single(y)); // stored rounded to single precision
    // A long stall can pass more than a whole turn of headings.
    camera->heading = int32_t((uint64_t(uint32_t(camera->heading)) + n) % LANDSCAPE_HEADINGS);
}

void step_landscape(LandscapeState* state, uint32_t scene)
{
    if (state->greets_x > GREETS_END_X)
        state->greets_x = single(double(state->greets_x) - 2.3);
    if (scene == CUE_CONSUMED)
        state->fading = 1;
    if (state->fading && state->fade < 251)
        state->fade += 2;
}

void draw_landscape_frame(const LandscapeState* state, uint32_t n)
{
    for (int y = LANDSCAPE_TOP_ROW; y < LANDSCAPE_BOTTOM_ROW; ++y)
        std::fill_n(surface_row32(frame_surface, y), 320, LANDSCAPE_MARKER);
    const bool greets_on = state->greets_x > GREETS_END_X;
    if (greets_on)
        for (int y = GREETS_ROW; y < 240; ++y)
            std::fill_n(surface_row32(frame_surface, y), 320, 0u);

    turn_landscape_camera(&landscape_camera, n);
    render_landscape(frame_surface, landscape_field);

    if (greets_on && greets_picture)
        draw_image(frame_surface, greets_picture, trunc_i32(state->greets_x), GREETS_ROW);
    if (state->fading)
        cross_fade(pixels_of(work_surface_1), pixels_of(frame_surface), state->fade);
}

void landscape_scene()
{
    clear_surface(frame_surface);
    clear_surface(work_surface_1);
    LandscapeState state = LANDSCAPE_START;

    while (scene_keeps_running(OWN_SCENE, OWN_SCENE)) {
        const uint32_t n = wait_tick();
        elapsed_ticks = n;
        const uint32_t scene = current_scene_number();
        for (uint32_t t = 0; t < n; ++t)
            step_landscape(&state, scene);

        draw_landscape_frame(&state, n);
        present(frame_surface, nullptr);
        show_frame();
        poll_messages();
    }
}
