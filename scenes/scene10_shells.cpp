// scene10_shells.cpp -- scene 10: the flash, the textured balls and the scene loop.
#include "scenes/scene10_shells.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "app/demo.h"
#include "display/numeric.h"
#include "display/pixel.h"
#include "gfx2d/tables.h"
#include "scenes/scene_data.h"

namespace {

constexpr int SHELL_ROW = 320;
constexpr int SHELL_ROWS = 240;
// Both operations project with 50 instead of the usual 150.
constexpr double SHELL_FOCAL = 50.0;

// Non-negative remainder: offsets may turn the texture either way.
inline int64_t wrap(int64_t value, int64_t size)
{
    const int64_t r = value % size;
    return r < 0 ? r + size : r;
}

void copy_surface(Surface* to, const Surface* from)
{
    for (int y = 0; y < to->height && y < from->height; ++y)
        std::memcpy(surface_row32(to, y), surface_row32(from, y), size_t(std::min(to->width, from->width)) * 4);
}

} // namespace

void draw_flash(uint32_t* pixels, const FlashLight* light)
{
    if (!(light->z > 0.0))
        return;
    const int64_t cx = trunc_i32(light->x * SHELL_FOCAL / light->z + 160.0);
    const int64_t cy = trunc_i32(light->y * SHELL_FOCAL / light->z + 120.0);
    const double k = single(light->intensity * SHELL_FOCAL / light->z);
    for (int i = 0; i < SHELL_ROWS; ++i) {
        const int64_t b = cy > i ? cy - i : i - cy;
        if (b >= FALLOFF_V)
            continue;
        uint32_t* row = pixels + i * SHELL_ROW;
        for (int j = 0; j < SHELL_ROW; ++j) {
            const int64_t a = cx > j ? cx - j : j - cx;
            if (a >= FALLOFF_H)
                continue;
            // NaN or a huge product truncates to INT32_MIN and clamps to 0.
            const uint32_t d = uint32_t(std::clamp(trunc_i32(double(falloff(int(a), int(b))) * k), 0, 255));
            const uint32_t keep = 256 - d;
            const uint32_t old = row[j];
            const uint32_t rb = ((old & PIXEL_RB_MASK) * keep >> 8) & PIXEL_RB_MASK;
            const uint32_t g = ((old & PIXEL_G_MASK) * keep >> 8) & PIXEL_G_MASK;
            row[j] = (d << 24) | (rb + d * 0x00010001u) | (g + (d << 8));
        }
    }
}

void draw_ball_span(int x0, int x1, int y, int v, const Ball* ball, uint32_t* pixels)
{
    const int32_t width = ball->texture_width;
    const int32_t height = ball->texture_height;
    if (x0 > SHELL_ROW - 1 || y < 0 || y >= SHELL_ROWS || width <= 0 || height <= 0 || !ball->texture)
        return;
    const int64_t last = std::min<int64_t>(x1, SHELL_ROW - 1);
    // The length is measured after the right clamp, so a span cut on the right is compressed.
    const int64_t n = last - x0 + 1;
    if (n <= 0)
        return;
    int64_t f = -128;
    int64_t first = x0;
    if (x0 < 0) {
        // A left clip skips the hidden pixels' steps at once; the accumulator still starts at 0.
        f = -128 - (int64_t(x0) * 256) / n;
        first = 0;
    }
    if (first > last)
        return;

    const int64_t row = wrap(int64_t(ball->v_offset) + height - v, height);
    const uint32_t* texels = ball->texture + row * width;
    const double half_width = double(width >> 1);
    uint32_t* out = pixels + int64_t(y) * SHELL_ROW;
    int64_t accumulator = 0;
    for (int64_t x = first; x <= last; ++x) {
        const double phi = std::acos(std::clamp(double(f) / 128.0, -1.0, 1.0));
        const int64_t k = trunc_i32(phi / std::numbers::pi * half_width);
        const uint32_t t = texels[wrap(int64_t(width) - k + ball->u_offset, width)];
        // Premultiplied over-compositing: the texel's coverage keeps that much of the old pixel.
        const uint32_t keep = 256 - (t >> 24);
        const uint32_t old = out[x];
        const uint32_t rb
            = ((t & PIXEL_RB_MASK) + (((old & PIXEL_RB_MASK) * keep >> 8) & PIXEL_RB_MASK)) & PIXEL_RB_MASK;
        const uint32_t g = ((t & PIXEL_G_MASK) + (((old & PIXEL_G_MASK) * keep >> 8) & PIXEL_G_MASK)) & PIXEL_G_MASK;
        out[x] = (t & 0xFF000000u) | rb | g;
        accumulator += 256;
        while (accumulator >= n) {
            accumulator -= n;
            ++f;
        }
    }
}

void draw_ball(const Ball* ball, uint32_t* pixels)
{
    const double z = ball->z;
    const int64_t sx = trunc_i32(double(ball->x) * SHELL_FOCAL / z + 160.0);
    const int64_t radius = trunc_i32(double(ball->radius) * SHELL_FOCAL / z);
    const int64_t top = trunc_i32(double(ball->y) * SHELL_FOCAL / z + 120.0) - radius;
    const int64_t rows = 2 * radius + 1;
    if (rows <= 0)
        return;
    // Row n's stepping value is what the accumulator loop reaches after n rows: e grows by one
    // each time 256 per row adds up to another `rows`. Computing it directly lets rows above
    // the screen be skipped without stepping through them.
    const int64_t first = std::max<int64_t>(0, -top);
    const int64_t last = std::min<int64_t>(rows - 1, SHELL_ROWS - 1 - top);
    const double v_scale = double(ball->texture_height - 1);
    for (int64_t n = first; n <= last; ++n) {
        const int64_t e = -128 + (256 * n) / rows;
        const double theta = std::acos(double(e) / 128.0);
        const int64_t half = trunc_i32(std::sin(theta) * double(radius));
        const int v = trunc_i32(theta / std::numbers::pi * v_scale);
        const int64_t x0 = std::clamp<int64_t>(sx - half, INT32_MIN, INT32_MAX);
        const int64_t x1 = std::clamp<int64_t>(sx + half, INT32_MIN, INT32_MAX);
        draw_ball_span(int(x0), int(x1), int(top + n), v, ball, pixels);
    }
}

void start_shells_run(ShellsRun* run)
{
    clear_surface(work_surface_3);
    for (int i = 0; i < BALL_COUNT; ++i) {
        balls[i].z = 100.0f;
        balls[i].radius = 1.0f;
        balls[i].u_offset = 0;
        balls[i].v_offset = 0;
    }
    flash_light->z = 50.0;
    flash_light->intensity = 1.0;
    *run = ShellsRun { { BALL_START_SIZE, BALL_START_SIZE, BALL_START_SIZE }, FLASH_START_INTENSITY, 0 };
}

void shells_frame(ShellsRun* run, uint32_t ticks)
{
    run->tick_sum += ticks;
    if (run->tick_sum >= BALL_CYCLE_TICKS) {
        *run = ShellsRun { { BALL_START_SIZE, BALL_START_SIZE, BALL_START_SIZE }, FLASH_START_INTENSITY, 0 };
    } else {
        // Truncated every frame, so the growth depends on the frame rate (ball 3 at one tick per
        // frame does not grow at all).
        const double t = ticks;
        run->size[0] = trunc_i32(run->size[0] + 2.5 * t);
        run->size[1] = trunc_i32(run->size[1] + 1.25 * t);
        run->size[2] = trunc_i32(run->size[2] + 0.625 * t);
        run->intensity = trunc_i32(run->intensity + 1.25 * t);
    }
    for (int i = 0; i < BALL_COUNT; ++i)
        balls[i].radius = single(run->size[i]);
    flash_light->intensity = run->intensity;

    copy_surface(work_surface_2, work_surface_1);
    uint32_t* composition = surface_row32(work_surface_2, 0);
    draw_flash(composition, flash_light);
    // The fastest-growing ball last, on top.
    for (int i = BALL_COUNT - 1; i >= 0; --i)
        draw_ball(&balls[i], composition);
    copy_surface(frame_surface, work_surface_2);
}

void shells_scene()
{
    if (!balls || !flash_light || !falloff_table)
        return;
    ShellsRun run;
    start_shells_run(&run);
    while (scene_keeps_running(10, 10)) {
        elapsed_ticks = wait_tick();
        shells_frame(&run, elapsed_ticks);
        present(frame_surface, nullptr);
        show_frame();
        poll_messages();
    }
}
