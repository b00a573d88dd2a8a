// scene34_wall.cpp -- the brick wall warped through the twist tables, glowing ribbons swaying
// over it with the upsbot picture, the credits rising, captions sliding in and the title dissolve.
#include "scenes/scene34_wall.h"

#include <cmath>
#include <cstring>

#include "app/demo.h"
#include "display/numeric.h"
#include "gfx2d/blit.h"
#include "gfx2d/image.h"
#include "gfx2d/tables.h"

namespace {
constexpr uint32_t OWN_SCENE_A = 3;
constexpr uint32_t OWN_SCENE_B = 4; // also the event that starts the closing phase
constexpr uint32_t RISE_CUE = 240;
constexpr uint32_t CAPTION1_IN_CUE = 241;
constexpr uint32_t CAPTION1_OUT_CUE = 242;
constexpr uint32_t CAPTION2_IN_CUE = 243;
constexpr uint32_t CAPTION2_OUT_CUE = 244;
constexpr uint32_t TITLE_CUE = 245;
constexpr double TWO_PI = 6.28318530717958647692;
constexpr int BUFFER_WIDTH = 320;
constexpr int BUFFER_HEIGHT = 240;
constexpr int CAPTION_ROW = 60;
constexpr int CLOSING_COLUMNS = 180;

uint32_t* pixels_of(Surface* s)
{
    return reinterpret_cast<uint32_t*>(s->pixels);
}

// Adds colour to `length` pixels of the row from column x, clipped to the row.
void add_span(uint32_t* row, int64_t x, uint32_t length, uint32_t colour)
{
    int64_t first = x < 0 ? 0 : x;
    int64_t last = x + int64_t(length); // exclusive
    if (last > BUFFER_WIDTH)
        last = BUFFER_WIDTH;
    for (int64_t i = first; i < last; ++i)
        row[i] = add_saturate(row[i], colour);
}
} // namespace

void draw_ribbon(const Ribbon* ribbon, int column, int start_row, uint32_t* pixels)
{
    if (start_row > BUFFER_HEIGHT - 1)
        return;
    int64_t n = ribbon->rows;
    int64_t y0 = start_row;
    if (y0 < 0) {
        n += y0;
        y0 = 0;
    }
    if (y0 + n > BUFFER_HEIGHT - 1)
        n = BUFFER_HEIGHT - 1 - y0;
    // With n <= 0 only row y0 is drawn, at angle 0: no step, and no division by zero.
    const double step = n > 0 ? (double(ribbon->waves) * TWO_PI) / double(n) : 0.0;
    const uint32_t w = uint32_t(ribbon->span_width);
    const uint32_t h = w >> 1;
    const uint32_t q = w >> 2;
    const uint32_t e = w >> 3;
    const double amplitude = ribbon->amplitude;
    const int64_t last = n > 0 ? y0 + n : y0;
    double angle = 0.0;
    for (int64_t y = y0; y <= last; ++y) {
        const double s = std::sin(angle);
        uint32_t* row = pixels + y * BUFFER_WIDTH;
        add_span(row, int64_t(column) + trunc_i32(double(h) * amplitude * s), h, ribbon->glow_colour);
        add_span(row, int64_t(column) + trunc_i32(double(q) * amplitude * s), q, ribbon->glow_colour);
        add_span(row, int64_t(column) + trunc_i32(-(double(h) * amplitude * s)), h, ribbon->glow_colour);
        add_span(row, int64_t(column) + trunc_i32(-(double(q) * amplitude * s)), q, ribbon->glow_colour);
        add_span(row, int64_t(column) + trunc_i32(double(e) * amplitude * s), e, ribbon->core_colour);
        angle += step;
    }
}

void reset_ribbons(Ribbon* ribbons)
{
    static constexpr int32_t WIDTHS[RIBBON_COUNT] = { 9, 9, 7 };
    for (int i = 0; i < RIBBON_COUNT; ++i) {
        Ribbon& r = ribbons[i];
        r.core_colour = 0xFFFFFFFFu;
        r.glow_colour = 0x00603000u;
        r.span_width = WIDTHS[i];
        r.rows = 120;
        r.waves = 1.0f;
        r.amplitude = 1.0f;
    }
}

void take_wall_event(WallState* state, uint32_t scene)
{
    switch (scene) {
    case OWN_SCENE_B:
        state->closing = 1;
        consume_scene_event(scene);
        break;
    case RISE_CUE:
        state->rising = 1;
        consume_scene_event(scene);
        break;
    case CAPTION1_IN_CUE:
        state->caption_d1 = -4;
        break;
    case CAPTION1_OUT_CUE:
        state->caption_d1 = 4;
        break;
    case CAPTION2_IN_CUE:
        state->caption_d1 = 0;
        state->caption_d2 = -4;
        break;
    case CAPTION2_OUT_CUE:
        state->caption_d2 = 4;
        break;
    case TITLE_CUE:
        state->title = 1;
        break;
    default:
        break;
    }
}

void draw_wall_layers(const WallState* state)
{
    if (state->closing)
        clear_surface(work_surface_1);
    warp_screen_columns(state->offset_a, state->offset_b, twist_u, twist_v, pixels_of(work_surface_2),
        pixels_of(work_surface_1), BUFFER_WIDTH, BUFFER_HEIGHT, state->column_count);
    draw_image(work_surface_1, credits_picture, state->credits_x, trunc_i32(state->credits_y));

    uint32_t* target = pixels_of(work_surface_1);
    draw_ribbon(&ribbons[0], state->ribbon_column, state->ribbon_row, target);
    if (state->closing) {
        draw_ribbon(&ribbons[1], state->ribbon2_column, state->ribbon2_row, target);
        draw_ribbon(&ribbons[2], state->ribbon3_column, state->ribbon3_row, target);
    }

    if (state->ribbon_row > 0) {
        // Bottom edge on the ribbon's start row, centred on its column.
        const int s = state->upsbot_scale;
        const int x = state->ribbon_column - ((upsbot_surface->width * s) >> 9);
        const int y = state->ribbon_row - ((upsbot_surface->height * s) >> 8);
        draw_surface_scaled(work_surface_1, upsbot_surface, x, y, s, s);
    }
}

void step_wall(WallState* state, Ribbon* ribbons)
{
    Ribbon& r1 = ribbons[0];
    const double u = double(state->phase) * TWO_PI / 256.0;

    r1.waves = single(double(r1.waves) - 0.1);
    if (r1.waves <= 0.2)
        r1.waves = 1.0f;

    if (!state->closing && !state->rising) {
        state->ribbon_column = trunc_i32(150.0 * std::sin(u) + 160.0);
        r1.span_width = trunc_i32(4.0 * std::cos(u) + 6.0);
        state->upsbot_scale = trunc_i32(96.0 * std::cos(u) + 159.0);
    }

    if (state->closing) {
        state->offset_a = (state->offset_a - 3) % 320; // keeps the sign: the texture scrolls on
    } else {
        state->offset_a = trunc_i32(120.0 * std::cos(u));
        state->offset_b = trunc_i32(120.0 * std::sin(u));
    }

    state->phase = (state->phase + 1) & 255;

    if (state->rising) {
        Ribbon& r2 = ribbons[1];
        Ribbon& r3 = ribbons[2];
        state->credits_y = single(double(state->credits_y) - 0.35);
        state->credits_x = state->ribbon_column - 110;
        state->ribbon_row -= 1;
        const int yi = trunc_i32(state->credits_y);
        r1.rows = yi - state->ribbon_row + 10;
        state->ribbon2_column = state->ribbon_column - 1;
        state->ribbon2_row = yi + 10;
        r2.rows = 63;
        state->ribbon3_column = state->ribbon_column + 3;
        state->ribbon3_row = yi + 74;
        r3.rows = 47;
        r2.waves = r1.waves;
        r3.waves = r2.waves;
        r2.span_width = r1.span_width;
        r3.span_width = r1.span_width - 2;
    }

    if (state->column_count > CLOSING_COLUMNS && state->closing)
        state->column_count -= 1;

    // Each velocity moves the caption only towards its end of the slide.
    const int velocities[2] = { state->caption_d1, state->caption_d2 };
    for (int d : velocities)
        if ((d < 0 && state->caption_x >= 200) || (d > 0 && state->caption_x < 320))
            state->caption_x += d;

    if (state->title && state->title_level > 0)
        state->title_level -= 5;
}

void finish_wall_frame(const WallState* state)
{
    if (state->caption_d1 != 0)
        draw_image(work_surface_1, crd1_picture, state->caption_x, CAPTION_ROW);
    if (state->caption_d2 != 0)
        draw_image(work_surface_1, crd2_picture, state->caption_x, CAPTION_ROW);

    if (state->title) {
        clear_surface(frame_surface);
        draw_image(frame_surface, title_picture, 160 - title_picture->width / 2, 120 - title_picture->height / 2);
        cross_fade(pixels_of(work_surface_1), pixels_of(frame_surface), state->title_level);
    } else {
        std::memcpy(frame_surface->pixels, work_surface_1->pixels, size_t(BUFFER_WIDTH) * BUFFER_HEIGHT * 4);
    }
}

void wall_scene()
{
    clear_surface(work_surface_3);
    reset_ribbons(ribbons);
    draw_image(work_surface_2, bricks_picture, 0, 0);

    WallState state = WALL_START;
    while (scene_keeps_running(OWN_SCENE_A, OWN_SCENE_B)) {
        take_wall_event(&state, current_scene_number());
        draw_wall_layers(&state);

        const uint32_t n = wait_tick();
        elapsed_ticks = n - 1;
        for (uint32_t t = 0; t < n; ++t)
            step_wall(&state, ribbons);

        finish_wall_frame(&state);
        present(frame_surface, nullptr);
        show_frame();
        poll_messages();
    }
}
