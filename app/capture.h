// capture.h -- capture mode: the demo rendered offline on a virtual clock, in lockstep with its song.
//
// The same start-up, sequencer and scenes run as live; only the three outside connections change:
// the clock is virtual (each wait for a tick advances it to the next 32 ms boundary and returns 1),
// the display is virtual (show_frame hands over the picture in the display's format, expanded to
// RGB), and the song is rendered here, 1536 stereo frames at 48 kHz per tick.
//
// Timeline. The output has one frame per tick. Frame k shows the last picture shown before the
// clock left tick k, and carries the audio of tick k. The audio of a tick is rendered when the
// clock enters it, so a sync command whose row starts at song frame f (counted from the song's
// start) is first seen by the frame drawn in song tick f / 1536: the frame output as
// pause_ticks + f / 1536. The start-up pause of 2000 ms ends inside tick 62, so the first drawn
// frame is output frame 63 (CAPTURE_PAUSE_TICKS): 2.016 s of black and silence before it.
#pragma once

#include <cstdint>
#include <string>

struct SoundPlay;
struct SoundModule;

constexpr uint32_t CAPTURE_TICK_MS = 32;
constexpr int CAPTURE_AUDIO_FRAMES_PER_TICK = 1536; // 48000 Hz x 32 ms
constexpr int CAPTURE_PAUSE_TICKS = 63; // black frames before the first drawn one
// After the song has ended the demo gets this many ticks (60 s) to end by itself.
constexpr uint64_t CAPTURE_ENDING_TICKS = 1875;

// One output frame as the capture hands it to its writers and to a frame hook.
struct CaptureFrame {
    uint64_t index; // output frame number, 0 = the first frame of the pause
    int64_t song_tick; // index - CAPTURE_PAUSE_TICKS: 0 is the first drawn frame
    const uint32_t* xrgb; // width x height pixels 0x00RRGGBB, as they reach the screen
    int width, height;
    const int16_t* audio; // CAPTURE_AUDIO_FRAMES_PER_TICK interleaved stereo frames
    uint32_t scene; // the last scene number 0-16 set at or before this frame
    uint32_t position, row; // song position and row of the last sync command
};
using CaptureFrameHook = void (*)(void* context, const CaptureFrame* frame);

struct CaptureOptions {
    std::string path; // video file (.mp4/.mkv/.webm), PNG folder, sheet .png, or "null"
    int scale = 0; // 0: 4 for video files, 1 otherwise
    int fps = 0; // 0: the native 125/4; 30 or 60 (video files only)
    uint32_t seed = 1;
    double seconds = 0; // > 0: stop after this much output
    bool sheet = false;
    int frame_width = 0, frame_height = 0; // --size: the picture letterboxed on this frame (0: none)
    bool song_range = false; // --from: output starts with the song (no start-up pause)
    int to_position = -1, to_row = 0; // --to: output ends where this row starts (-1: the end)
};

// Checks the options, opens the output and installs the virtual clock, display and offline sound.
// Call before the window and the sound layer start. 0, or -1 after a message on stderr.
int capture_begin(const CaptureOptions* options);
// The song is playing and its sync callback installed: from the next tick on it is rendered.
void capture_song_started(SoundPlay* play, SoundModule* module);
// The song was made to jump: it plays on from there (also after it had ended).
void capture_song_jumped();
// Outputs the tick in progress and finishes the output (WAV sizes, muxing, the sheet); puts the
// real clock and display back. 0, or -1 when writing failed.
int capture_end();
bool capture_active();

// For tests and benchmarks: called with every output frame (null: none).
void capture_set_frame_hook(CaptureFrameHook hook, void* context);

struct CaptureStats {
    uint64_t frames; // output frames
    uint64_t song_end_frame; // output frame in which the song ended, 0 if it did not
    double seconds; // real time the capture ran
};
CaptureStats capture_stats();

// --size: the largest whole scale at which width x height fits the frame (0 if none), and the
// picture scaled so, centred on a black frame (capture_size.cpp).
int letterbox_scale(int width, int height, int frame_width, int frame_height);
void letterbox_picture(const uint32_t* xrgb, int width, int height, uint32_t* out, int frame_width, int frame_height);

// Output kinds and their helpers (capture_output.cpp).
enum class CaptureKind { video, folder, sheet, none };
CaptureKind capture_kind(const std::string& path, bool sheet);
// Full path of `program` on PATH, "" when there is none.
std::string find_program(const char* program);
// 64-bit FNV-1a over the RGB bytes of a picture: the golden frames' hash.
uint64_t hash_frame_rgb(const uint32_t* xrgb, int width, int height);
// Writes an XRGB picture as an RGB PNG, each pixel scale x scale. True on success.
bool write_capture_png(const std::string& path, const uint32_t* xrgb, int width, int height, int scale);

// The writer the capture feeds (capture_output.cpp).
struct CaptureOutput;
CaptureOutput* open_capture_output(const CaptureOptions* options, int width, int height);
bool write_capture_frame(CaptureOutput* output, const CaptureFrame* frame);
// Finishes and frees the output. True on success.
bool close_capture_output(CaptureOutput* output);
