// command_line.h -- the start-up options: the demo's words (substring search) and our --options.
#pragma once

#include <cstdint>
#include <string>

struct StartOptions {
    int display_bits = 32; // full-screen depth: 8, 16, 24 or 32
    bool full_screen = true;
    bool sound_setup = false; // run the sound set-up dialog first
    int start_scene = 0; // 0: the music decides
    int start_position = 0; // song position to start at
};

// Fills options from the command line (without the program name) by plain, case-sensitive
// substring search: "32", "24", "16", "8", "window", "sound", "part2" to "part12".
void parse_command_line(const char* line, StartOptions* options);

struct ExtraOptions {
    bool help = false;
    bool version = false;
    bool mute = false;
    bool verbose = false;
    std::string data_dir; // empty: look for the data (working directory, executable, share folder)
    double seconds = 0; // > 0: quit after this long
    int scale = 0; // window scale (capture: picture scale), 0: automatic
    std::string capture_path; // non-empty: capture mode (video file, PNG folder, sheet, "null")
    int fps = 0; // capture frame rate asked of ffmpeg: 30 or 60; 0: the native 125/4
    uint32_t seed = 1; // capture: the fixed seed of the random generator
    bool sheet = false; // capture: write a contact sheet PNG
    bool position = false; // --position=P[:R]: start at song position P, row R
    int position_order = 0, position_row = 0;
    bool loop = false; // start again from the beginning at the end
    int frame_width = 0, frame_height = 0; // capture: --size=WxH
    bool from = false; // capture: --from=P[:R]
    int from_order = 0, from_row = 0;
    bool to = false; // capture: --to=P[:R]
    int to_order = 0, to_row = 0;
    std::string error; // set when an option is unknown or malformed
};

// Splits argv: our --options go to extra, everything else is joined with single spaces into
// the command line for parse_command_line. Returns false (with extra->error) on a bad option.
bool split_arguments(int argc, const char* const* argv, ExtraOptions* extra, std::string* command_line);

// The live run-time limit of --seconds in whole milliseconds, at least one 32 ms tick (0: none).
uint32_t run_time_limit_ms(double seconds);

extern const char* const USAGE_TEXT;
