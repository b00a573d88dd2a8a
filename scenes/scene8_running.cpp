// scene8_running.cpp -- the running animation: a looping RLM stream doubled to full screen, with
// captions that the music's cues 241-244 switch on and 245 replaces by the title picture.
#include "scenes/scene8_running.h"

#include <cstdlib>

#include "app/demo.h"
#include "display/numeric.h"
#include "gfx2d/anim.h"
#include "gfx2d/blit.h"
#include "scenes/scene_data.h"

Surface* run_surface = nullptr;
uint32_t* run_palette = nullptr;
Image* dtitle_picture = nullptr;
Image* dq_picture = nullptr;
Image* da_picture = nullptr;
Image* dlast_picture = nullptr;

namespace {
constexpr uint32_t OWN_SCENE = 8;
const char* const RUN_STREAM_PATH = "./data/run.rlm";
} // namespace

int load_running_animation()
{
    run_surface = create_surface(RLM_FRAME_WIDTH, RLM_FRAME_HEIGHT, 32);
    if (!run_surface)
        return 0;
    run_palette = static_cast<uint32_t*>(std::calloc(PAL_ENTRIES, sizeof(uint32_t)));
    if (!run_palette)
        return 0;
    if (!load_pal("./data/run.pal", run_palette))
        return 0;
    dtitle_picture = load_acg_file("./data/dtitle.acg");
    dq_picture = load_acg_file("./data/dq.acg");
    da_picture = load_acg_file("./data/da.acg");
    dlast_picture = load_acg_file("./data/dlast.acg");
    return dtitle_picture && dq_picture && da_picture && dlast_picture ? 1 : 0;
}

void step_running_animation(RunningAnimationState* state, ByteStream* stream, uint32_t scene)
{
    // The clock is single precision: the sum is formed in double and narrowed at the store.
    state->frame_clock = single(double(state->frame_clock) + 0.9);
    if (state->frame_clock >= 3.0f) {
        state->frame_clock = single(double(state->frame_clock) - 3.0);
        if (state->frame_number >= RUN_LOOP_LAST_FRAME) {
            // The format has no header: offset 0 is the first frame.
            seek_byte_stream(stream, 0);
            state->frame_number = 0;
            state->frame_clock = 0.0f;
        } else {
            state->frame_number += 1;
        }
        decode_rlm_frame(stream, RLM_FRAME_PIXELS, run_surface, run_palette);
    }

    switch (scene) {
    case 241:
        state->show_dtitle = 1;
        break;
    case 242:
        state->show_dq = 1;
        break;
    case 243:
        state->show_da = 1;
        break;
    case 244:
        state->show_dlast = 1;
        break;
    case 245:
        state->show_dtitle = state->show_dq = state->show_da = state->show_dlast = 0;
        state->show_title = 1;
        break;
    default:
        break;
    }
}

void draw_running_animation(Surface* target, const RunningAnimationState* state)
{
    clear_surface(target);
    draw_surface_scaled(target, run_surface, 0, 0, 512, 512);
    if (state->show_dtitle)
        draw_image(target, dtitle_picture, 5, 5);
    if (state->show_dq)
        draw_image(target, dq_picture, 10, 30);
    if (state->show_da)
        draw_image(target, da_picture, 160 - (da_picture->width >> 1), 120 - (da_picture->height >> 1));
    if (state->show_dlast)
        draw_image(target, dlast_picture, 160 - (dlast_picture->width >> 1), 200);
    if (state->show_title)
        draw_image(target, title_picture, 160 - (title_picture->width >> 1), 120 - (title_picture->height >> 1));
}

void running_animation_scene()
{
    ByteStream stream {};
    if (!open_byte_stream(RUN_STREAM_PATH, &stream))
        return;

    RunningAnimationState state {};
    while (scene_keeps_running(OWN_SCENE, OWN_SCENE)) {
        const uint32_t n = wait_tick();
        elapsed_ticks = n - 1;
        for (uint32_t t = 0; t < n; ++t)
            step_running_animation(&state, &stream, current_scene_number());

        draw_running_animation(frame_surface, &state);
        present(frame_surface, nullptr);
        show_frame();
        poll_messages();
    }
    close_byte_stream(&stream);
}
