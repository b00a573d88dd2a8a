// scene2_field_lines.cpp -- scene 2: white field lines between two poles, blur, colour fringes.
#include "scenes/scene2_field_lines.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/demo.h"
#include "display/demo_rand.h"
#include "display/numeric.h"

namespace {

// 2 pi / 256: the start directions come in 256 steps.
constexpr double DIRECTION_STEP = 0.02454369260617026;

struct Tracer {
    float x, y;
    float vx, vy;
    bool stopped; // landed on the pole that pulls it
};

// Moves one tracer a step and draws the segment it covered.
void move_tracer(Tracer* t, uint32_t* pixels)
{
    const float old_x = t->x;
    const float old_y = t->y;
    t->x = single(double(t->x) + double(t->vx));
    t->y = single(double(t->y) + double(t->vy));
    draw_line_until_edge(
        trunc_i32(old_x), trunc_i32(old_y), trunc_i32(t->x), trunc_i32(t->y), FIELD_LINE_COLOUR, pixels);
}

// Bends the velocity towards the pole with a pull of 1000 / distance². At distance 0 the
// direction is undefined: the tracer stops there.
void pull_tracer(Tracer* t, float pole_x, float pole_y)
{
    const double dx = double(pole_x) - double(t->x);
    const double dy = double(pole_y) - double(t->y);
    const double length = std::sqrt(dx * dx + dy * dy);
    if (length == 0.0) {
        t->stopped = true;
        return;
    }
    const double force = 1000.0 / (length * length);
    t->vx = single(double(t->vx) + dx / length * force);
    t->vy = single(double(t->vy) + dy / length * force);
}

inline bool inside_line_region(int64_t x, int64_t y)
{
    return x >= 1 && x <= FIELD_ROW - 1 && y >= 0 && y <= FIELD_ROWS - 1;
}

// Adds the blur terms of one pixel: 1/4 of the centre, 1/8 of each edge neighbour, 1/16 of
// each corner. Each term is truncated per channel; the sum stays within 247, so no channel
// carries into the next.
inline uint32_t blur_terms(uint32_t centre, uint32_t e1, uint32_t e2, uint32_t e3, uint32_t e4, uint32_t d1,
    uint32_t d2, uint32_t d3, uint32_t d4)
{
    constexpr uint32_t Q = 0x003F3F3Fu, E = 0x001F1F1Fu, D = 0x000F0F0Fu;
    return ((centre >> 2) & Q) + ((e1 >> 3) & E) + ((e2 >> 3) & E) + ((e3 >> 3) & E) + ((e4 >> 3) & E) + ((d1 >> 4) & D)
        + ((d2 >> 4) & D) + ((d3 >> 4) & D) + ((d4 >> 4) & D);
}

} // namespace

void draw_line_until_edge(int x0, int y0, int x1, int y1, uint32_t colour, uint32_t* pixels)
{
    // 64-bit differences: the tracers' truncated positions can be anywhere in the 32-bit range.
    const int64_t dx = int64_t(x1) - x0;
    const int64_t dy = int64_t(y1) - y0;
    const int64_t sx = dx < 0 ? -1 : 1;
    const int64_t sy = dy < 0 ? -1 : 1;
    const int64_t adx = dx < 0 ? -dx : dx;
    const int64_t ady = dy < 0 ? -dy : dy;
    int64_t x = x0, y = y0, e = 0;
    // Each loop leaves at its first outside point, so it never runs more than a screen's width.
    if (adx > ady) {
        for (int64_t n = 0; n <= adx; ++n) {
            if (!inside_line_region(x, y))
                return;
            pixels[y * FIELD_ROW + x] = colour;
            e += ady;
            x += sx;
            if (e >= adx) {
                e -= adx;
                y += sy;
            }
        }
    } else {
        for (int64_t n = 0; n <= ady; ++n) {
            if (!inside_line_region(x, y))
                return;
            pixels[y * FIELD_ROW + x] = colour;
            y += sy;
            e += adx;
            if (e >= ady) {
                e -= ady;
                x += sx;
            }
        }
    }
}

void trace_field_line(int pole1_x, int pole1_y, int pole2_x, int pole2_y, int direction, uint32_t* pixels)
{
    const float p1x = float(pole1_x), p1y = float(pole1_y);
    const float p2x = float(pole2_x), p2y = float(pole2_y);
    const double theta = double(direction & 255) * DIRECTION_STEP;
    const float vx = single(3.0 * std::cos(theta));
    const float vy = single(3.0 * std::sin(theta));
    Tracer a { p1x, p1y, vx, vy, false };
    Tracer b { p2x, p2y, vx, vy, false };
    float w = 2.0f;
    double next_w;
    do {
        if (!a.stopped)
            move_tracer(&a, pixels);
        if (!b.stopped)
            move_tracer(&b, pixels);
        if (!a.stopped)
            pull_tracer(&a, p2x, p2y);
        if (!b.stopped)
            pull_tracer(&b, p1x, p1y);
        // Compared before narrowing: 2.0 - 0.1 per step in single precision gives 20 steps.
        next_w = double(w) - 0.1;
        w = single(next_w);
    } while (next_w > 0.0);
}

void draw_field_lines(int pole1_x, int pole1_y, int pole2_x, int pole2_y, uint32_t* pixels)
{
    for (int line = 0; line < FIELD_LINE_COUNT; ++line)
        trace_field_line(pole1_x, pole1_y, pole2_x, pole2_y, demo_rand() & 255, pixels);
}

void blur_in_place(uint32_t* dst, const uint32_t* src, int count)
{
    if (count <= 0)
        return;
    // Reads src[i + k] for a neighbour k, black outside 0..count-1. src may alias dst, so every
    // read goes through src after the writes before it.
    auto at = [src, count](int64_t i) -> uint32_t { return (i >= 0 && i < count) ? src[i] : 0u; };
    const int64_t W = FIELD_ROW;
    auto blur_checked = [&](int64_t i) {
        dst[i] = blur_terms(at(i), at(i - 1), at(i + 1), at(i - W), at(i + W), at(i - W - 1), at(i - W + 1),
            at(i + W - 1), at(i + W + 1));
    };
    const int64_t safe_begin = std::min<int64_t>(W + 1, count);
    const int64_t safe_end = std::max<int64_t>(safe_begin, int64_t(count) - W - 1);
    for (int64_t i = 0; i < safe_begin; ++i)
        blur_checked(i);
    for (int64_t i = safe_begin; i < safe_end; ++i) {
        const uint32_t* p = src + i;
        dst[i] = blur_terms(p[0], p[-1], p[1], p[-W], p[W], p[-W - 1], p[-W + 1], p[W - 1], p[W + 1]);
    }
    for (int64_t i = safe_end; i < count; ++i)
        blur_checked(i);
}

void chromatic_spread(const uint32_t* src, uint32_t* dst, int step)
{
    const int64_t r_off = int64_t(step) * 4, g_off = int64_t(step) * 8, b_off = int64_t(step) * 16;
    auto column = [](int64_t x) { return int(std::clamp<int64_t>(x, 0, FIELD_ROW - 1)); };
    for (int y = 0; y < FIELD_ROWS; ++y) {
        const uint32_t* s = src + y * FIELD_ROW;
        uint32_t* d = dst + y * FIELD_ROW;
        for (int x = 0; x < FIELD_ROW; ++x) {
            const uint32_t r = ((s[column(x + r_off)] >> 17) & 0x7Fu) + ((s[column(x - r_off)] >> 17) & 0x7Fu);
            const uint32_t g = ((s[column(x + g_off)] >> 9) & 0x7Fu) + ((s[column(x - g_off)] >> 9) & 0x7Fu);
            const uint32_t b = ((s[column(x + b_off)] >> 1) & 0x7Fu) + ((s[column(x - b_off)] >> 1) & 0x7Fu);
            d[x] = (r << 16) | (g << 8) | b;
        }
    }
}

void draw_field_lines_frame(uint32_t* lines, uint32_t* frame)
{
    std::memset(lines, 0, sizeof(uint32_t) * FIELD_PIXELS);
    const int r1 = demo_rand();
    const int r2 = demo_rand();
    const int r3 = demo_rand();
    const int r4 = demo_rand();
    draw_field_lines(140 + r4 % 10, 95 + r3 % 10, 170 + r2 % 10, 95 + r1 % 10, lines);
    blur_in_place(lines, lines, FIELD_PIXELS);
    const int r5 = demo_rand();
    chromatic_spread(lines, frame, 1 + r5 % 2);
}

void field_lines_scene()
{
    // The operations address rows 320 pixels apart; any other geometry would be misread.
    for (Surface* s : { frame_surface, work_surface_1 })
        if (!s || !s->pixels || s->width != FIELD_ROW || s->height != FIELD_ROWS
            || s->pitch != FIELD_ROW * int(sizeof(uint32_t)))
            return;
    uint32_t* lines = surface_row32(work_surface_1, 0);
    uint32_t* frame = surface_row32(frame_surface, 0);
    while (scene_keeps_running(2, 2)) {
        elapsed_ticks = wait_tick(); // paces the frames; nothing else depends on it
        draw_field_lines_frame(lines, frame);
        present(frame_surface, nullptr);
        show_frame();
        poll_messages();
    }
}
