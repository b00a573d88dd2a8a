// scene16_flames.cpp -- the closing scene: flame animation doubled to full screen, closing text
// cross-faded in once it ends, and the quit flag set when the fade is complete.
#include "scenes/scene16_flames.h"

#include <cstdlib>

#include "app/demo.h"
#include "gfx2d/anim.h"
#include "gfx2d/blit.h"

Image* endtext_picture = nullptr;
Surface* flame_surface = nullptr;
uint32_t* flame_palette = nullptr;

namespace {
constexpr uint32_t OWN_SCENE = 16;
constexpr uint32_t QUIT_AFTER_TICKS = 255;
const char* const FLAME_STREAM_PATH = "./data/boxflame.rlm";
} // namespace

int load_closing_flames()
{
    endtext_picture = load_acg_file("./data/endtext1.acg");
    if (!endtext_picture)
        return 0;
    flame_surface = create_surface(RLM_FRAME_WIDTH, RLM_FRAME_HEIGHT, 32);
    if (!flame_surface)
        return 0;
    flame_palette = static_cast<uint32_t*>(std::calloc(PAL_ENTRIES, sizeof(uint32_t)));
    if (!flame_palette)
        return 0;
    return load_pal("./data/boxflame.pal", flame_palette) ? 1 : 0;
}

void step_closing_flames(ClosingFlamesState* state, ByteStream* stream)
{
    if (state->finished) {
        state->quit_countdown += 1;
        if (state->fade_level < 255)
            state->fade_level += 1;
    }
    state->phase += 1;
    if (state->phase < FLAME_TICKS_PER_FRAME)
        return;
    state->phase = 0;
    if (state->frames_decoded < FLAME_FRAME_COUNT)
        state->frames_decoded += 1;
    else
        state->finished = 1;
    // The decoder reports 1 when the stream had already ended (or ended inside the frame).
    if (!state->finished)
        state->finished = decode_rlm_frame(stream, RLM_FRAME_PIXELS, flame_surface, flame_palette);
}

void closing_flames_scene()
{
    clear_surface(work_surface_1);
    clear_surface(work_surface_2);

    ByteStream stream {};
    if (!open_byte_stream(FLAME_STREAM_PATH, &stream))
        return;

    draw_image(
        work_surface_1, endtext_picture, 160 - (endtext_picture->width >> 1), 120 - (endtext_picture->height >> 1));

    ClosingFlamesState state {};
    while (scene_keeps_running(OWN_SCENE, OWN_SCENE)) {
        const uint32_t n = wait_tick();
        elapsed_ticks = n - 1;
        for (uint32_t t = 0; t < n; ++t)
            step_closing_flames(&state, &stream);

        clear_surface(frame_surface);
        draw_surface_scaled(frame_surface, flame_surface, 0, 0, 512, 512);
        cross_fade(reinterpret_cast<const uint32_t*>(work_surface_1->pixels),
            reinterpret_cast<uint32_t*>(frame_surface->pixels), state.fade_level);

        present(frame_surface, nullptr);
        show_frame();
        if (state.quit_countdown >= QUIT_AFTER_TICKS)
            end_demo();
        poll_messages();
    }
    close_byte_stream(&stream);
}
