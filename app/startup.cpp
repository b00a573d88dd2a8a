// startup.cpp -- entry, start-up in its fixed order with the failure table, main loop, shut-down.
#include "app/startup.h"

#include <SDL.h>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "app/capture.h"
#include "app/clock.h"
#include "app/command_line.h"
#include "app/controls.h"
#include "app/demo.h"
#include "app/demo_data.h"
#include "app/input.h"
#include "app/sequencer.h"
#include "app/window.h"
#include "display/demo_rand.h"
#include "display/display_device.h"
#include "scenes/scene_table.h"
#include "sound/sound.h"

int screen_width = 0;
int screen_height = 0;
Surface* frame_surface = nullptr;
Surface* work_surface_1 = nullptr;
Surface* work_surface_2 = nullptr;
Surface* work_surface_3 = nullptr;

namespace {

constexpr const char* SONG_PATH = "xm/morrowick.xm";
constexpr int FAILED = -1;

bool is_folder(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool holds_data(const std::string& dir)
{
    const std::string base = dir.empty() ? "." : dir;
    return is_folder(base + "/data") || is_folder(base + "/xm");
}

// A start-up failure that the user is told about.
int fail_with_message(const char* text)
{
    show_failure_message(text);
    return FAILED;
}

// A start-up failure without a message of its own: one line on stderr says which step failed.
int fail_quietly(const char* step)
{
    std::fprintf(stderr, "morrowick: %s\n", step);
    return FAILED;
}

int choose_data_folder(const ExtraOptions& extra)
{
    std::string dir = extra.data_dir;
    if (dir.empty()) {
        std::string exe_dir;
        if (char* base = SDL_GetBasePath()) {
            exe_dir = base;
            SDL_free(base);
        }
        dir = find_data_folder(exe_dir, MW_SHARE_DIR);
    }
    if (!dir.empty() && chdir(dir.c_str()) != 0) {
        std::fprintf(stderr, "morrowick: cannot use the data folder %s\n", dir.c_str());
        return FAILED;
    }
    return 0;
}

} // namespace

std::string find_data_folder(const std::string& executable_dir, const std::string& share_dir)
{
    if (holds_data(""))
        return "";
    if (!executable_dir.empty() && holds_data(executable_dir))
        return executable_dir;
    if (!share_dir.empty() && holds_data(share_dir))
        return share_dir;
    return "";
}

int demo_main(int argc, const char* const* argv)
{
    ExtraOptions extra;
    std::string command_line;
    if (!split_arguments(argc, argv, &extra, &command_line)) {
        std::fprintf(stderr, "morrowick: %s (try --help)\n", extra.error.c_str());
        return 2;
    }
    if (extra.help) {
        std::fputs(USAGE_TEXT, stdout);
        return 0;
    }
    if (extra.version) {
        std::printf("morrowick %s\n", MW_VERSION);
        return 0;
    }
    // Capture: the virtual clock, display and sound go in before anything starts. Its path is
    // made absolute first, as the data folder may become the working directory.
    const bool capturing = !extra.capture_path.empty();
    if (capturing) {
        CaptureOptions capture;
        capture.path = extra.capture_path;
        std::error_code error;
        if (capture.path != "null")
            capture.path = std::filesystem::absolute(capture.path, error).lexically_normal().string();
        capture.scale = extra.scale;
        capture.fps = extra.fps;
        capture.seed = extra.seed;
        capture.seconds = extra.seconds;
        capture.sheet = extra.sheet;
        capture.frame_width = extra.frame_width;
        capture.frame_height = extra.frame_height;
        capture.song_range = extra.from;
        capture.to_position = extra.to ? extra.to_order : -1;
        capture.to_row = extra.to_row;
        if (capture_begin(&capture) != 0)
            return FAILED;
    }
    // Screenshots go to the working directory the program was started in.
    std::error_code cwd_error;
    const std::string start_dir = std::filesystem::current_path(cwd_error).string();
    if (choose_data_folder(extra) != 0)
        return FAILED;

    // 1. Screen size, random seed, options.
    screen_width = 320;
    screen_height = 240;
    demo_srand(capturing ? extra.seed : uint32_t(std::time(nullptr)));
    StartOptions options;
    parse_command_line(command_line.c_str(), &options);
    sequencer_verbose = extra.verbose;
    if (!capturing)
        display_set_window_scale(extra.scale);

    // 2-4. Window and input.
    if (register_app_class() != 0)
        return fail_with_message("failed to register application class");
    if (create_window() != 0)
        return fail_with_message("failed to create window");
    if (input_init() != 0)
        return fail_with_message("failed to initialise input");

    // 5-9. Sound: options, optional set-up, init, song, background player.
    sound_startup();
    sound_set_option(SOUND_OPTION_WINDOW, reinterpret_cast<intptr_t>(app_window));
    sound_set_option(SOUND_OPTION_DS_MODE, 2);
    sound_set_option(SOUND_OPTION_MIXING_MODE, 1);
    sound_set_option(SOUND_OPTION_OUTPUT_MODE, 10);
    if (extra.mute)
        sound_set_option(SOUND_OPTION_MUTE, 1);
    if (options.sound_setup && capturing) {
        std::fprintf(stderr, "morrowick: a capture has no sound device: the sound set-up is skipped\n");
        options.sound_setup = false;
    }
    if (options.sound_setup && sound_config() == 0)
        return fail_quietly("sound set-up cancelled");
    if (sound_init() == 0) {
        sound_close();
        return fail_quietly("sound initialisation failed");
    }
    SoundModule* module = sound_load_module(SONG_PATH);
    if (!module) {
        const int result = fail_with_message("MIDAS error: couldn't load module (yay)");
        sound_close();
        return result;
    }
    if (sound_start_background_play(40) == 0) {
        sound_close();
        return fail_quietly("sound playback could not start");
    }

    // 10-11. Scene table and demo data (the music is left playing on failure).
    if (create_scene_table() != 0)
        return fail_with_message("failed to allocate core demo function pointer");
    if (setup_demo_data() == 0)
        return fail_with_message("failed to allocate demo data");

    // 12-13. Display, first in a window.
    if (display_init() != 0)
        return fail_with_message("failed to initialise display");
    if (display_set_mode(screen_width, screen_height, options.display_bits) != 0)
        return fail_with_message("failed to set display mode");

    // 14-15. The four shared Surfaces, all made before any is tested; dithering on.
    frame_surface = create_surface(screen_width, screen_height, 32);
    work_surface_1 = create_surface(screen_width, screen_height, 32);
    work_surface_2 = create_surface(screen_width, screen_height, 32);
    work_surface_3 = create_surface(screen_width, screen_height, 32);
    if (!frame_surface || !work_surface_1 || !work_surface_2 || !work_surface_3)
        return fail_quietly("out of memory for the frame surfaces");
    set_surface_flags(frame_surface, SURFACE_DITHER);
    set_surface_flags(nullptr, SURFACE_DITHER);

    // 16-17. Full screen unless a window was asked for; a pause before the music.
    display_set_fullscreen(options.full_screen);
    demo_clock.sleep_ms(demo_clock.context, 2000);

    // 18-22. Music and sync.
    song_row.store(0, std::memory_order_relaxed);
    song_position.store(0, std::memory_order_relaxed);
    scene_number.store(0, std::memory_order_relaxed);
    SoundPlay* play = sound_play_module(module, 0);
    if (!play) {
        sound_close();
        return fail_quietly("the song could not be played");
    }
    if (sound_set_sync_callback(play, sync_callback) == 0) {
        sound_close();
        return fail_quietly("the music sync could not be installed");
    }
    if (options.start_scene != 0 && options.start_position != 0) {
        sound_set_position(play, options.start_position);
        scene_number.store(uint32_t(options.start_scene), std::memory_order_relaxed);
    }
    ControlsOptions controls_options;
    controls_options.keys = !capturing;
    controls_options.loop = extra.loop;
    controls_options.screenshot_dir = start_dir;
    if (controls_begin(play, module, &controls_options) != 0) {
        sound_close();
        return fail_quietly("the song has no positions, or memory ran out");
    }
    if (extra.position || extra.from) {
        const int position = extra.from ? extra.from_order : extra.position_order;
        const int row = extra.from ? extra.from_row : extra.position_row;
        if (!controls_start_at(position, row)) {
            std::fprintf(stderr, "morrowick: the song has no row %d at position %d (it has %zu positions)\n", row,
                position, controls_song_map()->rows.size());
            sound_close();
            return 2;
        }
    }
    const int from_order = extra.from ? extra.from_order : 0, from_row = extra.from ? extra.from_row : 0;
    const bool to_after_from = extra.to_order > from_order || (extra.to_order == from_order && extra.to_row > from_row);
    if (extra.to && (!song_place_valid(controls_song_map(), extra.to_order, extra.to_row) || !to_after_from)) {
        std::fprintf(stderr, "morrowick: --to: the song has no row %d at position %d after the start\n", extra.to_row,
            extra.to_order);
        sound_close();
        return 2;
    }
    if (capturing)
        capture_song_started(play, module);
    reset_tick_timer();
    if (extra.seconds > 0 && !capturing)
        set_run_time_limit(run_time_limit_ms(extra.seconds));

    run_main_loop();

    // Shut-down.
    controls_end();
    sound_stop_module(play);
    sound_free_module(module);
    sound_stop_background_play();
    sound_close();
    release_demo_data();
    destroy_surface(frame_surface);
    frame_surface = nullptr;
    display_shutdown();
    input_release();
    destroy_window();
    unregister_app_class();
    SDL_Quit();
    if (capturing)
        return capture_end();
    return 0;
}
