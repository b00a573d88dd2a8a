// sound.h -- the sound layer: loads the song, plays it on its own thread, reports sync commands.
//
// Stands in for a closed sound library the start-up code was written against, keeping its call
// order and results: functions return non-zero (or a non-null handle) on success and 0 (null)
// on failure. Backed by libopenmpt for decoding and SDL2 audio for output.
#pragma once

#include <cstdint>

struct SoundModule; // a loaded song
struct SoundPlay; // a playing instance of a song

// Called from the audio thread (or from sound_render_offline) when a row holding a sync command
// (XM effect W, parameter = value) starts: value 0-255, order position, row.
using SoundSyncCallback = void (*)(uint32_t value, uint32_t position, uint32_t row);

// Option numbers for sound_set_option.
enum SoundOption : int {
    SOUND_OPTION_OUTPUT_MODE = 2, // 10: 16-bit stereo
    SOUND_OPTION_DS_MODE = 5, // output buffer mode
    SOUND_OPTION_WINDOW = 6, // the window the output cooperates with (unused here)
    SOUND_OPTION_MIXING_MODE = 11, // 1: high quality
    SOUND_OPTION_MUTE = 100, // non-zero: produce silence but keep time (our --mute)
    SOUND_OPTION_OFFLINE = 101, // non-zero: open no device; the caller renders (capture mode)
};

constexpr int SOUND_SAMPLE_RATE = 48000;

int sound_startup();
int sound_set_option(int option, intptr_t value);
int sound_config(); // set-up dialog: 0 when cancelled
int sound_init();
SoundModule* sound_load_module(const char* path);
int sound_start_background_play(int polls_per_second);
SoundPlay* sound_play_module(SoundModule* module, int loop);
int sound_set_sync_callback(SoundPlay* play, SoundSyncCallback callback);
int sound_set_position(SoundPlay* play, int position); // continues at row 0 of that order
// Continues at (position, row). The syncs of that row are not reported: the caller sets the
// sync values a jump there should leave itself. 0 when the place is outside the song.
int sound_seek(SoundPlay* play, int position, int row);
// Paused, the play renders silence and its song does not advance; resuming carries on from
// the same sample. Returns the previous state.
int sound_pause(SoundPlay* play, int paused);
// The order position and row now playing (what has been rendered, not yet heard). 0 if none.
int sound_get_position(SoundPlay* play, int* position, int* row);
int sound_stop_module(SoundPlay* play);
int sound_free_module(SoundModule* module);
int sound_stop_background_play();
int sound_close();

// Offline rendering (no device): render frames of interleaved 16-bit stereo at 48 kHz into out,
// firing the sync callback at the frame where each sync row starts. Returns frames rendered
// (fewer at the end of the song, 0 after it).
int sound_render_offline(SoundPlay* play, int16_t* out, int frames);

// Frames rendered since the play started (inside a sync callback: up to the end of the slice in
// which the row started, at most 64 frames after the row's first frame).
uint64_t sound_frames_rendered(const SoundPlay* play);
// Song positions in the module's order list, and its playing time in seconds.
int sound_module_order_count(SoundModule* module);
// Seconds from the song's start to where (position, row) starts, playing through the order list
// (tempo changes included). Negative outside the song. Main thread only.
double sound_module_row_seconds(SoundModule* module, int position, int row);
// Rows of the pattern at an order position (0 outside the song or for a skip/end marker).
int sound_module_order_rows(SoundModule* module, int position);
// Sync values on (position, row) in channel order; *values points at them. 0 when none.
int sound_module_syncs_at(SoundModule* module, int position, int row, const uint8_t** values);
double sound_module_duration(SoundModule* module);
