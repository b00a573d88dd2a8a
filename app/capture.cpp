// capture.cpp -- capture mode: virtual clock, virtual display sink, song rendered in lockstep, progress.
#include "app/capture.h"

#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/clock.h"
#include "app/demo.h"
#include "app/process.h"
#include "display/display_device.h"
#include "sound/sound.h"

namespace {

constexpr int PICTURE_WIDTH = 320;
constexpr int PICTURE_HEIGHT = 240;

struct CaptureState {
    bool active = false;
    CaptureOptions options;
    CaptureOutput* output = nullptr;
    bool output_failed = false;
    int interrupted = 0; // the signal that stopped the capture
    bool finished = false; // the limit was reached: nothing more is output
    uint32_t now_ms = 0; // the virtual clock
    uint64_t tick = 0; // the tick in progress = the next output frame
    uint64_t max_frames = 0; // 0: no limit
    SoundPlay* play = nullptr;
    uint64_t song_frames_total = 0; // the song's length in frames (for the percentage)
    uint64_t song_frames_done = 0;
    int64_t song_start_tick = -1; // the tick in which the song's first frame plays
    uint64_t song_end_frame = 0; // output frame in which the song ended (0: not yet)
    uint32_t scene = 0;
    uint64_t frames_hash = 0xCBF29CE484222325ull; // --capture=null: FNV-1a over every frame's pixels
    int picture_width = PICTURE_WIDTH;
    int picture_height = PICTURE_HEIGHT;
    std::vector<uint32_t> picture; // the picture on the screen
    std::vector<uint32_t> framed; // --size: the picture letterboxed
    uint64_t skipped = 0; // --from: ticks of the start-up pause left out
    std::vector<int16_t> audio; // the audio of the tick in progress
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point last_progress;
    double seconds = 0;
    DemoClock saved_clock {};
};

CaptureState state;
CaptureFrameHook frame_hook = nullptr; // kept across captures
void* frame_hook_context = nullptr;

void print_progress(bool final_line)
{
    const auto now = std::chrono::steady_clock::now();
    if (!final_line && now - state.last_progress < std::chrono::milliseconds(500))
        return;
    state.last_progress = now;
    const double elapsed = std::chrono::duration<double>(now - state.started).count();
    const double percent
        = state.song_frames_total ? 100.0 * double(state.song_frames_done) / double(state.song_frames_total) : 0.0;
    std::fprintf(stderr, "\rcapture: frame %llu  position %u row %u  song %5.1f %%  %.0f frames/s   ",
        static_cast<unsigned long long>(state.tick), song_position.load(std::memory_order_relaxed),
        song_row.load(std::memory_order_relaxed), percent > 100.0 ? 100.0 : percent,
        elapsed > 0 ? double(state.tick) / elapsed : 0.0);
    if (final_line)
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

// Continues a 64-bit FNV-1a hash with the RGB value of each pixel (one step per pixel).
uint64_t hash_frames(uint64_t h, const uint32_t* xrgb, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        h ^= xrgb[i] & 0xFFFFFFu;
        h *= 0x100000001B3ull;
    }
    return h;
}

// Outputs the tick in progress as one frame.
void output_tick()
{
    const uint32_t n = current_scene_number();
    if (n < SCENE_COUNT)
        state.scene = n;
    if (state.options.song_range && state.song_start_tick < 0) {
        state.skipped++;
        return;
    }
    CaptureFrame frame {};
    frame.index = state.tick - state.skipped;
    frame.song_tick = state.song_start_tick < 0 ? int64_t(state.tick) - CAPTURE_PAUSE_TICKS
                                                : int64_t(state.tick) - state.song_start_tick;
    frame.xrgb = state.picture.data();
    frame.width = state.picture_width;
    frame.height = state.picture_height;
    if (state.options.frame_width > 0) {
        letterbox_picture(state.picture.data(), state.picture_width, state.picture_height, state.framed.data(),
            state.options.frame_width, state.options.frame_height);
        frame.xrgb = state.framed.data();
        frame.width = state.options.frame_width;
        frame.height = state.options.frame_height;
    }
    frame.audio = state.audio.data();
    frame.scene = state.scene;
    frame.position = song_position.load(std::memory_order_relaxed);
    frame.row = song_row.load(std::memory_order_relaxed);
    if (frame_hook)
        frame_hook(frame_hook_context, &frame);
    if (state.options.path == "null")
        state.frames_hash = hash_frames(state.frames_hash, frame.xrgb, size_t(frame.width) * size_t(frame.height));
    if (state.output && !state.output_failed && !write_capture_frame(state.output, &frame)) {
        state.output_failed = true;
        state.finished = true;
        set_quit_flag();
    }
}

// --to: the row where the range ends has started (in the audio of the ticks already output).
bool song_reached_end_of_range()
{
    int position = 0, row = 0;
    if (!sound_get_position(state.play, &position, &row))
        return false;
    return position > state.options.to_position
        || (position == state.options.to_position && row >= state.options.to_row);
}

// Starts the next tick: renders its audio, which fires the syncs of rows starting in it.
void enter_tick()
{
    std::memset(state.audio.data(), 0, state.audio.size() * sizeof(int16_t));
    if (!state.play || state.song_end_frame)
        return;
    if (state.song_start_tick < 0)
        state.song_start_tick = int64_t(state.tick);
    if (state.options.to_position >= 0 && song_reached_end_of_range()) {
        state.finished = true;
        set_quit_flag();
        return;
    }
    const int got = sound_render_offline(state.play, state.audio.data(), CAPTURE_AUDIO_FRAMES_PER_TICK);
    state.song_frames_done += uint64_t(got);
    if (got < CAPTURE_AUDIO_FRAMES_PER_TICK)
        state.song_end_frame = state.tick; // the rest of this tick stays silent
}

// One tick boundary passes: the tick in progress is output, the next one begins.
void cross_tick_boundary()
{
    if (state.finished)
        return;
    if (interrupt_signal() != 0) {
        state.interrupted = interrupt_signal();
        state.finished = true;
        set_quit_flag();
        return;
    }
    output_tick();
    state.tick++;
    const bool at_limit = state.max_frames && state.tick >= state.max_frames;
    const bool ending_over = state.song_end_frame && state.tick >= state.song_end_frame + CAPTURE_ENDING_TICKS;
    if (at_limit || ending_over) {
        state.finished = true;
        set_quit_flag();
        return;
    }
    enter_tick();
    print_progress(false);
}

void advance_to(uint32_t target_ms)
{
    // Unsigned differences: the clock may wrap like the tick count it stands for.
    while (!state.finished) {
        const uint32_t boundary = (state.now_ms | (CAPTURE_TICK_MS - 1)) + 1;
        if (uint32_t(target_ms - state.now_ms) < uint32_t(boundary - state.now_ms))
            break;
        state.now_ms = boundary;
        cross_tick_boundary();
    }
    state.now_ms = target_ms;
}

uint32_t virtual_now(void*)
{
    return state.now_ms;
}

void virtual_sleep(void*, uint32_t ms)
{
    advance_to(state.now_ms + ms);
}

// The last stretch of a wait: straight to the next boundary.
void virtual_spin(void*)
{
    advance_to((state.now_ms | (CAPTURE_TICK_MS - 1)) + 1);
}

void display_sink(void*, const uint32_t* xrgb, int width, int height)
{
    if (width != state.picture_width || height != state.picture_height) {
        state.picture_width = width;
        state.picture_height = height;
        state.picture.assign(size_t(width) * size_t(height), 0);
    }
    std::memcpy(state.picture.data(), xrgb, state.picture.size() * sizeof(uint32_t));
}

// Puts the live clock, display and sound back after a capture ends or is abandoned.
void end_capture_state()
{
    state.output = nullptr;
    state.play = nullptr;
    state.active = false;
    set_demo_clock(state.saved_clock);
    display_set_virtual(nullptr, nullptr);
    sound_set_option(SOUND_OPTION_OFFLINE, 0);
}

} // namespace

int capture_begin(const CaptureOptions* options)
{
    const CaptureKind kind = capture_kind(options->path, options->sheet);
    if (options->sheet && kind != CaptureKind::sheet) {
        std::fprintf(stderr, "morrowick: --sheet writes one PNG: give --capture=FILE.png\n");
        return -1;
    }
    if (options->fps && kind != CaptureKind::video) {
        std::fprintf(stderr, "morrowick: --fps applies to video files (.mp4, .mkv, .webm)\n");
        return -1;
    }
    state = CaptureState {};
    state.options = *options;
    state.picture.assign(size_t(PICTURE_WIDTH) * PICTURE_HEIGHT, 0);
    int output_width = PICTURE_WIDTH, output_height = PICTURE_HEIGHT;
    if (options->frame_width > 0) {
        if (letterbox_scale(PICTURE_WIDTH, PICTURE_HEIGHT, options->frame_width, options->frame_height) < 1
            || kind == CaptureKind::sheet || options->scale > 0) {
            std::fprintf(stderr, "morrowick: --size takes a frame of at least 320x240 and no --scale or --sheet\n");
            return -1;
        }
        state.options.scale = 1; // the letterbox has scaled the picture already
        output_width = options->frame_width;
        output_height = options->frame_height;
        state.framed.assign(size_t(output_width) * size_t(output_height), 0);
    }
    state.audio.assign(size_t(CAPTURE_AUDIO_FRAMES_PER_TICK) * 2, 0);
    if (kind != CaptureKind::none) {
        state.output = open_capture_output(&state.options, output_width, output_height);
        if (!state.output)
            return -1;
    }
    if (options->seconds > 0) {
        const double ticks = options->seconds * 1000.0 / CAPTURE_TICK_MS;
        state.max_frames = ticks < 1 ? 1 : uint64_t(ticks + 0.5);
    }
    // SIGINT and SIGTERM end the capture through its own loop (SDL must not turn them into an
    // ordinary quit); a video writer that dies or a file-size limit makes a write fail instead of
    // killing the program.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    catch_interrupts();
    state.saved_clock = demo_clock;
    set_demo_clock(DemoClock { virtual_now, virtual_sleep, virtual_spin, nullptr });
    display_set_virtual(display_sink, nullptr);
    sound_set_option(SOUND_OPTION_OFFLINE, 1);
    state.started = std::chrono::steady_clock::now();
    state.last_progress = state.started;
    state.active = true;
    enter_tick();
    return 0;
}

void capture_song_started(SoundPlay* play, SoundModule* module)
{
    state.play = play;
    state.song_frames_total = uint64_t(sound_module_duration(module) * SOUND_SAMPLE_RATE);
}

void capture_song_jumped()
{
    state.song_end_frame = 0;
}

int capture_end()
{
    if (!state.active)
        return 0;
    if (!state.interrupted && interrupt_signal() != 0)
        state.interrupted = interrupt_signal();
    if (!state.finished && !state.interrupted)
        output_tick(); // the tick in which the demo ended
    const uint64_t frames = state.finished ? state.tick : state.tick + 1;
    state.tick = frames;
    state.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - state.started).count();
    print_progress(true);
    // What a capture to null leaves behind: enough to tell whether two builds drew the same.
    if (state.options.path == "null" && !state.interrupted) {
        std::printf("frames %llu hash %016llx\n", static_cast<unsigned long long>(frames),
            static_cast<unsigned long long>(state.frames_hash));
        std::fflush(stdout);
    }
    int result = state.output_failed && !state.output ? CAPTURE_FAILED : CAPTURE_WRITTEN;
    if (state.output)
        result = close_capture_output(state.output, state.interrupted, state.options.keep_partial);
    end_capture_state();
    if (state.interrupted) {
        if (result != CAPTURE_INTERRUPTED)
            std::fprintf(stderr, "morrowick: capture interrupted by %s\n", signal_name(state.interrupted));
        return 128 + state.interrupted;
    }
    return result == CAPTURE_WRITTEN ? 0 : -1;
}

void capture_abandon()
{
    if (!state.active)
        return;
    if (state.output)
        discard_capture_output(state.output);
    end_capture_state();
}

bool capture_active()
{
    return state.active;
}

void capture_set_frame_hook(CaptureFrameHook hook, void* context)
{
    frame_hook = hook;
    frame_hook_context = context;
}

CaptureStats capture_stats()
{
    return CaptureStats { state.tick, state.song_end_frame, state.seconds };
}
