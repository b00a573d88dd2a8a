// controls.cpp -- jumps in the song, pause, overlay, screenshots and the loop, on top of the sequencer.
#include "app/controls.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

#include "app/capture.h"
#include "app/clock.h"
#include "app/demo.h"
#include "app/overlay.h"
#include "app/sequencer.h"
#include "app/window.h"
#include "display/demo_rand.h"
#include "display/display_device.h"
#include "scenes/scene_state.h"
#include "sound/sound.h"

namespace {

using Clock = std::chrono::steady_clock;

// The main thread's CPU time in milliseconds (the frame's own work, not the neighbours'); wall
// time where the system has no per-thread clock.
double thread_cpu_ms()
{
#if defined(CLOCK_THREAD_CPUTIME_ID)
    timespec t {};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) == 0)
        return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1.0e6;
#endif
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

constexpr uint32_t PAUSE_POLL_MS = 15;
constexpr int OVERLAY_WIDTH = 320;
constexpr int OVERLAY_HEIGHT = 64;

struct Controls {
    bool begun = false;
    ControlsOptions options;
    SoundPlay* play = nullptr;
    SoundModule* module = nullptr;
    SongMap map;
    uint32_t rand_state = 0; // the random stream as set-up left it

    bool jump_pending = false;
    int jump_position = 0, jump_row = 0;
    uint32_t jumps = 0;
    // The last jump's replay: the scene's time from its entry to the place, in segments that
    // end where a cue was sent. The wait of frame k returns segment k's ticks on top of its own,
    // and cue k + 1 is handed over at the end of frame k, where the next frame first reads it.
    std::vector<uint32_t> cues;
    std::vector<uint32_t> segments;
    size_t replay_frame = 0; // waits since the jump
    bool frame_waited = false;
    uint32_t last_fed = 0;

    bool paused = false;
    bool step_once = false; // a jump while paused shows one frame of the new place

    bool overlay = false;
    std::vector<uint32_t> overlay_pixels;
    double wait_left_cpu_ms = 0; // CPU time when the last wait returned
    bool timing = false;
    double work_ms = 0; // the last frame's CPU time between its waits
    uint32_t frames = 0; // frames since fps_since
    Clock::time_point fps_since;
    double fps = 0;
};
Controls controls;

int playing_position(int* row)
{
    int position = 0;
    *row = 0;
    if (!sound_get_position(controls.play, &position, row) || position < 0) {
        position = int(song_position.load(std::memory_order_relaxed));
        *row = int(song_row.load(std::memory_order_relaxed));
    }
    return position;
}

void refresh_overlay()
{
    if (!controls.overlay) {
        display_set_overlay(nullptr, 0, 0);
        return;
    }
    int row = 0;
    const int position = playing_position(&row);
    // The scene in force, from the song; the scene number itself may hold a cue.
    SongPlace place;
    song_place_at(&controls.map, position, row, &place);
    const int bits = window_record ? window_record->mode_bits : 0;
    char line[4][64];
    std::snprintf(line[0], sizeof line[0], "SCENE %u %s%s", place.scene, scene_name(place.scene),
        controls.paused ? "  (PAUSED)" : "");
    std::snprintf(line[1], sizeof line[1], "POSITION %d ROW %d", position, row);
    std::snprintf(line[2], sizeof line[2], "SYNC %u", current_scene_number());
    std::snprintf(line[3], sizeof line[3], "%.1f FPS  CPU %.1f MS  %d BIT", controls.fps, controls.work_ms, bits);
    const char* lines[4] = { line[0], line[1], line[2], line[3] };
    controls.overlay_pixels.resize(size_t(OVERLAY_WIDTH) * OVERLAY_HEIGHT);
    draw_overlay_text(controls.overlay_pixels.data(), OVERLAY_WIDTH, OVERLAY_HEIGHT, 6, 6, lines, 4);
    display_set_overlay(controls.overlay_pixels.data(), OVERLAY_WIDTH, OVERLAY_HEIGHT);
}

// The tick in which (position, row) starts, counted from the song's start (-1 outside it).
int64_t tick_of_row(int position, int row)
{
    constexpr int64_t FRAMES_PER_TICK = SOUND_SAMPLE_RATE / 1000 * 32;
    const double seconds = sound_module_row_seconds(controls.module, position, row);
    return seconds < 0 ? -1 : int64_t(seconds * SOUND_SAMPLE_RATE + 0.5) / FRAMES_PER_TICK;
}

// Puts everything a place in the song depends on as a fresh start would have it.
void jump_to(int position, int row)
{
    controls.jump_position = position;
    controls.jump_row = row;
    SongPlace place;
    song_place_at(&controls.map, position, row, &place);
    // Held while the sync values are set, so no sync from the audio thread comes in between.
    const int was_paused = sound_pause(controls.play, 1);
    sound_seek(controls.play, position, row);
    if (capture_active())
        capture_song_jumped();
    demo_srand(controls.rand_state);
    restore_scene_state();
    for (Surface* s : { frame_surface, work_surface_1, work_surface_2, work_surface_3 })
        if (s)
            clear_surface(s);
    // Nothing of the old place stays on the screen (the wait scenes show no picture of their own).
    if (frame_surface) {
        present(frame_surface, nullptr);
        show_frame();
    }
    song_position.store(uint32_t(place.sync_position), std::memory_order_relaxed);
    song_row.store(uint32_t(place.sync_row), std::memory_order_relaxed);
    scene_number.store(place.entry_scene, std::memory_order_relaxed);
    sound_pause(controls.play, was_paused);
    controls.cues = place.cues;
    controls.segments.clear();
    const int64_t target = tick_of_row(position, row);
    for (size_t i = 0; i < place.cue_places.size(); ++i) {
        const int64_t from = tick_of_row(place.cue_places[i].position, place.cue_places[i].row);
        const int64_t to = i + 1 < place.cue_places.size()
            ? tick_of_row(place.cue_places[i + 1].position, place.cue_places[i + 1].row)
            : target;
        controls.segments.push_back(from >= 0 && to > from ? uint32_t(to - from) : 0);
    }
    controls.replay_frame = 0;
    controls.frame_waited = false;
    controls.last_fed = place.entry_scene;
    controls.jumps++;
    controls.step_once = controls.paused;
    reset_tick_timer();
}

void jump_by_positions(int delta)
{
    int row = 0;
    int position = playing_position(&row) + delta;
    if (position < 0)
        position = 0;
    if (size_t(position) < controls.map.rows.size())
        controls_request_jump(position, 0);
}

void jump_to_scene_change(bool next)
{
    int row = 0;
    const int position = playing_position(&row);
    int to_position = 0, to_row = 0;
    const bool found = next ? song_next_scene_change(&controls.map, position, row, &to_position, &to_row)
                            : song_previous_scene_change(&controls.map, position, row, &to_position, &to_row);
    if (found || !next)
        controls_request_jump(to_position, to_row); // before the first change: the beginning
}

} // namespace

int controls_begin(SoundPlay* play, SoundModule* module, const ControlsOptions* options)
{
    controls = Controls {};
    controls.options = *options;
    controls.play = play;
    controls.module = module;
    if (!build_song_map(module, &controls.map))
        return -1;
    controls.rand_state = demo_rand_state();
    if (save_scene_state() != 0)
        return -1;
    controls.begun = true;
    return 0;
}

void controls_end()
{
    display_set_overlay(nullptr, 0, 0);
    release_scene_state();
    controls = Controls {};
}

const SongMap* controls_song_map()
{
    return &controls.map;
}

bool controls_start_at(int position, int row)
{
    if (!controls.begun || !song_place_valid(&controls.map, position, row))
        return false;
    jump_to(position, row);
    return true;
}

bool controls_request_jump(int position, int row)
{
    if (!controls.begun || !song_place_valid(&controls.map, position, row))
        return false;
    controls.jump_pending = true;
    controls.jump_position = position;
    controls.jump_row = row;
    return true;
}

bool controls_jump_pending()
{
    return controls.jump_pending;
}

bool controls_pending_jump(int* position, int* row)
{
    *position = controls.jump_position;
    *row = controls.jump_row;
    return controls.jump_pending;
}

void controls_apply_jump()
{
    if (!controls.jump_pending)
        return;
    controls.jump_pending = false;
    jump_to(controls.jump_position, controls.jump_row);
}

uint32_t controls_jump_count()
{
    return controls.jumps;
}

bool controls_key_pressed(int key_code)
{
    if (!controls.begun || !controls.options.keys)
        return false;
    switch (key_code) {
    case KEY_CODE_SPACE:
        controls_set_paused(!controls.paused);
        return true;
    case KEY_CODE_LEFT:
        jump_by_positions(-1);
        return true;
    case KEY_CODE_RIGHT:
        jump_by_positions(1);
        return true;
    case KEY_CODE_PAGE_UP:
        jump_to_scene_change(false);
        return true;
    case KEY_CODE_PAGE_DOWN:
        jump_to_scene_change(true);
        return true;
    case KEY_CODE_HOME:
        controls_request_jump(0, 0);
        return true;
    case KEY_CODE_F1:
        controls_set_overlay(!controls.overlay);
        return true;
    case KEY_CODE_F12: {
        const std::string path = controls_screenshot();
        if (path.empty())
            std::fprintf(stderr, "morrowick: the screenshot could not be written\n");
        else
            std::printf("%s\n", path.c_str());
        std::fflush(stdout);
        return true;
    }
    default:
        return false;
    }
}

void controls_set_paused(bool paused)
{
    if (!controls.begun || controls.paused == paused)
        return;
    controls.paused = paused;
    sound_pause(controls.play, paused ? 1 : 0);
    if (controls.overlay)
        refresh_overlay();
}

bool controls_paused()
{
    return controls.paused;
}

void controls_set_overlay(bool on)
{
    controls.overlay = on;
    refresh_overlay();
    show_frame(); // at once, also while paused or waiting
}

bool controls_overlay()
{
    return controls.overlay;
}

std::string controls_screenshot()
{
    const int width = screen_width > 0 ? screen_width : 320;
    const int height = screen_height > 0 ? screen_height : 240;
    std::vector<uint32_t> picture(size_t(width) * size_t(height));
    if (!display_read_picture(picture.data(), width, height))
        return "";
    const std::filesystem::path dir = controls.options.screenshot_dir.empty()
        ? std::filesystem::path(".")
        : std::filesystem::path(controls.options.screenshot_dir);
    for (int n = 1; n < 10000; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "morrowick_%04d.png", n);
        const std::filesystem::path path = dir / name;
        std::error_code error;
        if (std::filesystem::exists(path, error))
            continue;
        return write_capture_png(path.string(), picture.data(), width, height, 1) ? path.string() : "";
    }
    return "";
}

void controls_before_wait()
{
    if (controls.timing)
        controls.work_ms = thread_cpu_ms() - controls.wait_left_cpu_ms;
    // A jump while paused still plays the frames that bring the scene to the place.
    const bool replaying = controls.replay_frame < controls.segments.size();
    if (!controls.paused || controls.step_once || replaying) {
        controls.step_once = false;
        return;
    }
    // Held here, the scene's time stands still; the screen is kept up (with a live overlay).
    while (controls.paused && !controls.jump_pending && !quit_flag()) {
        poll_messages();
        if (controls.overlay)
            refresh_overlay();
        // Presented again, so the picture survives a rebuilt display (Alt+Enter while paused).
        if (frame_surface)
            present(frame_surface, nullptr);
        show_frame();
        demo_clock.sleep_ms(demo_clock.context, PAUSE_POLL_MS);
    }
    reset_tick_timer(); // the paused time is not counted: no burst of ticks afterwards
    controls.step_once = false;
}

uint32_t controls_after_wait(uint32_t ticks_passed)
{
    if (controls.replay_frame < controls.segments.size())
        ticks_passed += controls.segments[controls.replay_frame++];
    controls.frame_waited = true;
    const Clock::time_point now = Clock::now();
    controls.wait_left_cpu_ms = thread_cpu_ms();
    controls.timing = true;
    if (controls.frames++ == 0)
        controls.fps_since = now;
    const double since = std::chrono::duration<double>(now - controls.fps_since).count();
    if (since >= 0.5) {
        controls.fps = double(controls.frames - 1) / since;
        controls.frames = 1;
        controls.fps_since = now;
    }
    if (controls.overlay)
        refresh_overlay();
    return ticks_passed;
}

void controls_frame_done()
{
    if (!controls.frame_waited)
        return;
    controls.frame_waited = false;
    // The next cue of a jump, unless the song has sent something of its own meanwhile (a scene
    // that consumes an event leaves 255).
    if (controls.replay_frame == 0 || controls.replay_frame >= controls.cues.size())
        return;
    uint32_t seen = current_scene_number();
    const uint32_t cue = controls.cues[controls.replay_frame];
    if ((seen == controls.last_fed || seen == CUE_CONSUMED)
        && scene_number.compare_exchange_strong(seen, cue, std::memory_order_relaxed)) {
        controls.last_fed = cue;
    } else {
        controls.cues.clear();
        controls.segments.clear();
    }
}

void end_demo()
{
    if (controls.begun && controls.options.loop)
        controls_request_jump(0, 0);
    else
        set_quit_flag();
}
