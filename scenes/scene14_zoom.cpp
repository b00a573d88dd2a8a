// scene14_zoom.cpp -- picture cross-fade and shrinking zoom: B fades into A, A then shrinks
// towards the centre with growing speed, and the cue 241 fades it to black.
#include "scenes/scene14_zoom.h"

#include <cstring>

#include "app/demo.h"
#include "display/numeric.h"
#include "gfx2d/blit.h"

Image* riptlt_picture = nullptr;
Image* quenvask_picture = nullptr;

namespace {
constexpr uint32_t OWN_SCENE = 14;
constexpr uint32_t FADE_OUT_CUE = 241;

uint32_t* pixels_of(Surface* s)
{
    return reinterpret_cast<uint32_t*>(s->pixels);
}
} // namespace

int load_picture_zoom()
{
    riptlt_picture = load_acg_file("./data/riptlt.acg");
    if (!riptlt_picture)
        return 0;
    quenvask_picture = load_acg_file("./data/quenvask.acg");
    return quenvask_picture ? 1 : 0;
}

void step_picture_zoom(PictureZoomState* state, uint32_t scene)
{
    if (state->fade_in < 255) {
        state->fade_in += 1;
    } else {
        // Z and V are single precision: each sum is formed in double and narrowed at the store.
        if (state->zoom > 1.0f)
            state->zoom = single(double(state->zoom) - double(state->zoom_speed));
        state->zoom_speed = single(double(state->zoom_speed) + 0.0001);
    }
    if (scene == FADE_OUT_CUE)
        state->fading_out = 1;
    if (state->fading_out && state->fade_out > 0)
        state->fade_out -= 1;
}

void draw_picture_zoom(const PictureZoomState* state)
{
    clear_surface(work_surface_2);
    draw_image(work_surface_2, riptlt_picture, 0, 0);

    const int s = trunc_i32(state->zoom);
    // Centres the scaled 320 x 240 picture.
    const int x = 160 - ((s * 320) >> 9);
    const int y = 120 - ((s * 240) >> 9);

    if (state->fade_in < 255) {
        std::memcpy(frame_surface->pixels, work_surface_1->pixels, size_t(CROSS_FADE_PIXELS) * 4);
        cross_fade(pixels_of(work_surface_2), pixels_of(frame_surface), state->fade_in);
    } else if (state->fading_out) {
        clear_surface(frame_surface);
        clear_surface(work_surface_1);
        draw_surface_scaled(work_surface_1, work_surface_2, x, y, s, s);
        cross_fade(pixels_of(work_surface_1), pixels_of(frame_surface), state->fade_out);
    } else {
        clear_surface(frame_surface);
        draw_surface_scaled(frame_surface, work_surface_2, x, y, s, s);
    }
}

void picture_zoom_scene()
{
    clear_surface(work_surface_1);
    clear_surface(work_surface_2);
    draw_image(work_surface_1, quenvask_picture, 0, 0);

    PictureZoomState state = PICTURE_ZOOM_START;
    while (scene_keeps_running(OWN_SCENE, OWN_SCENE)) {
        const uint32_t n = wait_tick();
        elapsed_ticks = n - 1;
        const uint32_t scene = current_scene_number();
        for (uint32_t t = 0; t < n; ++t)
            step_picture_zoom(&state, scene);

        draw_picture_zoom(&state);
        present(frame_surface, nullptr);
        show_frame();
        poll_messages();
    }
}
