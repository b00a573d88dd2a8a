// command_line.cpp -- command-line words and options.
#include "app/command_line.h"

#include "app/song_map.h"

#include <cstdlib>
#include <cstring>

const char* const USAGE_TEXT = "usage: morrowick [32|24|16|8] [window] [sound] [part2..part12] [options]\n"
                               "\n"
                               "  32, 24, 16, 8   full-screen pixel depth (default 32)\n"
                               "  window          run in a window (only without a depth word)\n"
                               "  sound           run the sound set-up first (not in a capture)\n"
                               "  part2..part12   start part of the way into the show\n"
                               "\n"
                               "  --data=DIR      read data/ and xm/ from DIR\n"
                               "  --scale=N       window scale (default: largest up to 3 that fits)\n"
                               "  --seconds=N     quit after N seconds\n"
                               "  --mute          play silently (the music still drives the scenes)\n"
                               "  --verbose       print a line at each scene change and jump, and one at the end\n"
                               "  --position=P[:R]  start at song position P (0-59), row R (default 0), in the\n"
                               "                  scene the song has there\n"
                               "  --loop          start again from the beginning when the demo ends\n"
                               "  --capture=PATH  render offline: PATH.mp4/.mkv/.webm (needs ffmpeg), a folder of\n"
                               "                  PNG frames + audio.wav, sheet.png with --sheet, or null (no output;\n"
                               "                  prints the frame count and a hash of all frames)\n"
                               "  --seed=N        capture: random seed (default 1)\n"
                               "  --fps=30|60     capture: standard video frame rate (default 125/4)\n"
                               "  --sheet         capture: one PNG with a grid of frames over the whole demo\n"
                               "  --size=WxH      capture: picture scaled whole, centred on a black WxH frame\n"
                               "  --from=P[:R]    capture: from song position P, row R (no start-up pause)\n"
                               "  --to=P[:R]      capture: up to where song position P, row R starts\n"
                               "                  (--scale: video 4, PNG frames 1; --seconds: capture length)\n"
                               "  --help, --version\n"
                               "\n"
                               "keys: Alt+Enter full screen on/off; Esc, Alt+F4 or closing the window quit;\n"
                               "      Space pause/resume; Left/Right one song position back/forward;\n"
                               "      PgUp/PgDn previous/next scene; Home the beginning; F1 overlay;\n"
                               "      F12 screenshot (morrowick_NNNN.png in the working directory)\n"
                               "exit status: 0 after a run, 2 for a bad option, 255 when start-up fails\n";

void parse_command_line(const char* line, StartOptions* options)
{
    *options = StartOptions {};
    if (!line || !*line)
        return;
    auto has = [line](const char* word) { return std::strstr(line, word) != nullptr; };

    if (has("32"))
        options->display_bits = 32;
    else if (has("24"))
        options->display_bits = 24;
    else if (has("16"))
        options->display_bits = 16;
    else if (has("8"))
        options->display_bits = 8;
    else if (has("window"))
        options->full_screen = false;

    if (has("sound"))
        options->sound_setup = true;

    static const struct {
        const char* word;
        int scene;
        int position;
    } parts[] = {
        { "part2", 3, 10 },
        { "part3", 5, 19 },
        { "part4", 6, 25 },
        { "part5", 7, 29 },
        { "part6", 8, 31 },
        { "part7", 9, 35 },
        { "part8", 11, 37 },
        { "part9", 12, 39 },
        { "part10", 13, 41 },
        { "part11", 14, 51 },
        { "part12", 16, 57 },
    };
    for (const auto& part : parts)
        if (has(part.word)) {
            options->start_scene = part.scene;
            options->start_position = part.position;
            break;
        }
}

namespace {
// The options that take a value, for the message when it is left out.
const char* const VALUE_OPTIONS[]
    = { "--data", "--seconds", "--scale", "--capture", "--fps", "--seed", "--position", "--size", "--from", "--to" };

bool value_of(const char* arg, const char* name, const char** value)
{
    const size_t n = std::strlen(name);
    if (std::strncmp(arg, name, n) != 0 || arg[n] != '=')
        return false;
    *value = arg + n + 1;
    return true;
}
} // namespace

bool split_arguments(int argc, const char* const* argv, ExtraOptions* extra, std::string* command_line)
{
    *extra = ExtraOptions {};
    command_line->clear();
    bool seed_given = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strncmp(arg, "--", 2) != 0) {
            if (!command_line->empty())
                *command_line += ' ';
            *command_line += arg;
            continue;
        }
        const char* value = nullptr;
        char* end = nullptr;
        if (std::strcmp(arg, "--help") == 0) {
            extra->help = true;
        } else if (std::strcmp(arg, "--version") == 0) {
            extra->version = true;
        } else if (std::strcmp(arg, "--mute") == 0) {
            extra->mute = true;
        } else if (std::strcmp(arg, "--verbose") == 0) {
            extra->verbose = true;
        } else if (value_of(arg, "--data", &value)) {
            if (!*value) {
                extra->error = "--data needs a folder";
                return false;
            }
            extra->data_dir = value;
        } else if (value_of(arg, "--seconds", &value)) {
            extra->seconds = std::strtod(value, &end);
            if (!*value || *end || !(extra->seconds > 0 && extra->seconds < 86400.0 * 24)) {
                extra->error = std::string("bad value in ") + arg;
                return false;
            }
        } else if (value_of(arg, "--scale", &value)) {
            const long scale = std::strtol(value, &end, 10);
            if (!*value || *end || scale < 1 || scale > 16) {
                extra->error = std::string("bad value in ") + arg + " (1 to 16)";
                return false;
            }
            extra->scale = int(scale);
        } else if (value_of(arg, "--capture", &value)) {
            if (!*value) {
                extra->error = "--capture needs a path";
                return false;
            }
            extra->capture_path = value;
        } else if (value_of(arg, "--fps", &value)) {
            const long fps = std::strtol(value, &end, 10);
            if (!*value || *end || (fps != 30 && fps != 60)) {
                extra->error = std::string("bad value in ") + arg + " (30 or 60)";
                return false;
            }
            extra->fps = int(fps);
        } else if (value_of(arg, "--seed", &value)) {
            const unsigned long long seed = std::strtoull(value, &end, 10);
            if (!*value || *end || *value == '-' || seed > 0xFFFFFFFFull) {
                extra->error = std::string("bad value in ") + arg + " (0 to 4294967295)";
                return false;
            }
            extra->seed = uint32_t(seed);
        } else if (std::strcmp(arg, "--sheet") == 0) {
            extra->sheet = true;
        } else if (std::strcmp(arg, "--loop") == 0) {
            extra->loop = true;
        } else if (value_of(arg, "--position", &value)) {
            extra->position = parse_song_place(value, &extra->position_order, &extra->position_row);
            if (!extra->position) {
                extra->error = std::string("bad value in ") + arg + " (P or P:R)";
                return false;
            }
        } else if (value_of(arg, "--from", &value)) {
            extra->from = parse_song_place(value, &extra->from_order, &extra->from_row);
            if (!extra->from) {
                extra->error = std::string("bad value in ") + arg + " (P or P:R)";
                return false;
            }
        } else if (value_of(arg, "--to", &value)) {
            extra->to = parse_song_place(value, &extra->to_order, &extra->to_row);
            if (!extra->to) {
                extra->error = std::string("bad value in ") + arg + " (P or P:R)";
                return false;
            }
        } else if (value_of(arg, "--size", &value)) {
            const long w = std::strtol(value, &end, 10);
            const long h = *end == 'x' ? std::strtol(end + 1, &end, 10) : 0;
            if (!*value || *end || w < 320 || h < 240 || w > 7680 || h > 4320 || (w | h) & 1) {
                extra->error = std::string("bad value in ") + arg + " (WxH, even, 320x240 to 7680x4320)";
                return false;
            }
            extra->frame_width = int(w);
            extra->frame_height = int(h);
        } else {
            extra->error = std::string("unknown option ") + arg;
            for (const char* name : VALUE_OPTIONS)
                if (std::strcmp(arg, name) == 0)
                    extra->error = std::string(arg) + " needs a value: " + arg + "=VALUE";
            return false;
        }
        if (std::strncmp(arg, "--seed=", 7) == 0)
            seed_given = true;
    }
    if ((extra->frame_width || extra->from || extra->to) && extra->capture_path.empty()) {
        extra->error = "--size, --from and --to need --capture";
        return false;
    }
    if (extra->loop && !extra->capture_path.empty() && !(extra->seconds > 0)) {
        extra->error = "--loop in a capture needs --seconds (it would never end)";
        return false;
    }
    if (extra->from && extra->position) {
        extra->error = "--from is the capture's --position: give one of them";
        return false;
    }
    if ((extra->sheet || extra->fps || seed_given) && extra->capture_path.empty()) {
        extra->error = extra->sheet ? "--sheet needs --capture=FILE.png"
            : extra->fps            ? "--fps needs --capture"
                                    : "--seed needs --capture";
        return false;
    }
    return true;
}

uint32_t run_time_limit_ms(double seconds)
{
    if (!(seconds > 0))
        return 0;
    // Whole milliseconds, at least one tick: a limit that rounds to 0 would mean no limit at all.
    const double ms = seconds * 1000.0 + 0.5;
    if (ms >= 4294967295.0)
        return 0xFFFFFFFFu;
    return ms < 32.0 ? 32u : uint32_t(ms);
}
