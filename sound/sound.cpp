// sound.cpp -- the sound layer: libopenmpt decodes the song, SDL2 audio plays it, sync rows are
// found in the pattern data at load and reported from the render loop.
#include "sound/sound.h"

#include <SDL.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sound/sound_internal.h"

struct SoundModule {
    openmpt_module* mod = nullptr;
    SoundSyncTable syncs;
    std::vector<uint8_t> file; // kept so that every play starts from a freshly loaded state
    bool played = false;
    openmpt_module* timing = nullptr; // a second decoder for row times, made when first asked
};

struct SoundPlay {
    SoundModule* module = nullptr;
    std::atomic<SoundSyncCallback> callback { nullptr };
    int last_order = -1; // order/row seen after the previous slice; -1 = none yet
    int last_row = -1;
    bool ended = false;
    bool paused = false; // renders silence without advancing the song
    std::atomic<uint64_t> frames_rendered { 0 }; // read from any thread
};

namespace {

struct SoundState {
    bool started = false;
    bool initialised = false;
    bool background = false;
    bool offline = false;
    std::atomic<bool> mute { false };
    bool audio_subsystem = false;
    SDL_AudioDeviceID device = 0;
    std::string device_name; // chosen in the set-up dialog; empty = the default output
    SoundPlay* current = nullptr; // the play the audio thread renders, or null
    bool paced = false; // silent output paced by the clock (dummy driver)
    SoundPlay* pace_play = nullptr;
    Uint64 pace_start = 0;
    int64_t pace_frames = 0;
    std::vector<int16_t> pace_scratch;
};

SoundState g_sound;

// The module is not thread-safe: main-thread access goes through this lock while a device runs.
void lock_audio()
{
    if (g_sound.device)
        SDL_LockAudioDevice(g_sound.device);
}

void unlock_audio()
{
    if (g_sound.device)
        SDL_UnlockAudioDevice(g_sound.device);
}

void fire_syncs(SoundPlay* play, int order, int row)
{
    SoundSyncCallback callback = play->callback.load(std::memory_order_acquire);
    if (!callback)
        return;
    int pattern = openmpt_module_get_current_pattern(play->module->mod);
    const uint8_t* values = nullptr;
    int count = sound_sync_lookup(&play->module->syncs, pattern, row, &values);
    for (int i = 0; i < count; ++i)
        callback(values[i], uint32_t(order), uint32_t(row));
}

// Render into out in slices of at most SOUND_SYNC_SLICE frames; after each full slice compare the
// order/row with the last one seen and report a new row's syncs. Returns frames rendered.
int render_frames(SoundPlay* play, int16_t* out, int frames)
{
    if (play->paused) {
        std::memset(out, 0, size_t(frames) * 2 * sizeof(int16_t));
        return frames;
    }
    int done = 0;
    while (done < frames && !play->ended) {
        int want = std::min(frames - done, SOUND_SYNC_SLICE);
        size_t got = openmpt_module_read_interleaved_stereo(
            play->module->mod, SOUND_SAMPLE_RATE, size_t(want), out + size_t(done) * 2);
        done += int(got);
        play->frames_rendered.fetch_add(got, std::memory_order_relaxed);
        if (int(got) < want) {
            // The song has ended: the position now reads order 0 row 0, which is not a row start.
            play->ended = true;
            break;
        }
        int order = openmpt_module_get_current_order(play->module->mod);
        int row = openmpt_module_get_current_row(play->module->mod);
        // Until a callback is installed no row counts as seen, so the row playing when it is
        // installed is still reported (the song's first row would otherwise be lost).
        bool listening = play->callback.load(std::memory_order_acquire) != nullptr;
        if (listening && (order != play->last_order || row != play->last_row)) {
            play->last_order = order;
            play->last_row = row;
            fire_syncs(play, order, row);
        }
    }
    return done;
}

// SDL's dummy driver sleeps a fixed time after each buffer, so it falls behind the clock by the
// render time and the sleep overshoot (10 % measured under load). Its output is never heard, so
// the song is paced by the wall clock instead: render what the clock says is due, into a scratch
// buffer, whatever the buffer size.
void anchor_pacing(SoundPlay* play)
{
    g_sound.pace_play = play;
    g_sound.pace_start = SDL_GetPerformanceCounter();
    g_sound.pace_frames = 0;
}

int render_paced(SoundPlay* play)
{
    if (g_sound.pace_play != play || play->paused)
        anchor_pacing(play); // a pause does not pile up frames to catch up on
    Uint64 now = SDL_GetPerformanceCounter();
    double elapsed = double(now - g_sound.pace_start) / double(SDL_GetPerformanceFrequency());
    int64_t due = int64_t(elapsed * SOUND_SAMPLE_RATE) - g_sound.pace_frames;
    due = std::min<int64_t>(due, SOUND_SAMPLE_RATE); // at most one second's catch-up per call
    int64_t done = 0;
    int scratch_frames = int(g_sound.pace_scratch.size() / 2);
    while (done < due) {
        int want = int(std::min<int64_t>(due - done, scratch_frames));
        int got = render_frames(play, g_sound.pace_scratch.data(), want);
        done += got;
        if (got < want)
            break;
    }
    g_sound.pace_frames += due > 0 ? due : 0;
    return 0;
}

void SDLCALL audio_callback(void*, Uint8* stream, int length)
{
    int16_t* out = reinterpret_cast<int16_t*>(stream);
    int frames = length / int(2 * sizeof(int16_t));
    int done = 0;
    if (g_sound.background && g_sound.current) {
        if (g_sound.paced)
            done = render_paced(g_sound.current);
        else
            done = render_frames(g_sound.current, out, frames);
    }
    if (g_sound.mute.load(std::memory_order_relaxed))
        done = 0;
    std::memset(out + size_t(done) * 2, 0, size_t(frames - done) * 2 * sizeof(int16_t));
}

void log_silent(const char*, void*) { }

bool configure_module(openmpt_module* mod)
{
    // Deterministic output (no dither), 8-tap interpolation, and a hard stop at the song's end
    // instead of a fade and a wrap to order 0.
    bool ok = openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 8) != 0;
    // The dither switch is "dither" in libopenmpt 0.6 and "render.dither" in later releases.
    bool undithered = openmpt_module_ctl_set_integer(mod, "dither", 0) != 0
        || openmpt_module_ctl_set_integer(mod, "render.dither", 0) != 0;
    ok = undithered && ok;
    ok = openmpt_module_ctl_set_text(mod, "play.at_end", "stop") != 0 && ok;
    ok = openmpt_module_set_repeat_count(mod, 0) != 0 && ok;
    return ok;
}

openmpt_module* create_module(const std::vector<uint8_t>& bytes)
{
    int error = 0;
    openmpt_module* mod = openmpt_module_create_from_memory2(
        bytes.data(), bytes.size(), log_silent, nullptr, openmpt_error_func_ignore, nullptr, &error, nullptr, nullptr);
    if (mod && !configure_module(mod)) {
        openmpt_module_destroy(mod);
        mod = nullptr;
    }
    return mod;
}

bool read_whole_file(const char* path, std::vector<uint8_t>* bytes)
{
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(file) : -1;
    ok = ok && size > 0 && size <= SOUND_MAX_MODULE_BYTES && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        bytes->resize(size_t(size));
        ok = std::fread(bytes->data(), 1, bytes->size(), file) == bytes->size();
    }
    std::fclose(file);
    return ok;
}

bool is_dummy_driver()
{
    const char* driver = SDL_GetCurrentAudioDriver();
    return driver && std::strcmp(driver, "dummy") == 0;
}

void start_pacing_if_dummy()
{
    g_sound.paced = g_sound.device && is_dummy_driver();
    g_sound.pace_play = nullptr;
    if (g_sound.paced)
        g_sound.pace_scratch.assign(size_t(SOUND_DEVICE_BUFFER_FRAMES) * 2, 0);
}

// Open the output device; with no usable driver fall back to SDL's dummy driver, which consumes
// audio in real time so the song (and its syncs) still advance.
bool open_device()
{
    SDL_AudioSpec want {};
    want.freq = SOUND_SAMPLE_RATE;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = SOUND_DEVICE_BUFFER_FRAMES;
    want.callback = audio_callback;
    SDL_AudioSpec have {};
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        g_sound.audio_subsystem = true;
        if (is_dummy_driver())
            want.samples = SOUND_DUMMY_BUFFER_FRAMES;
        const char* name = g_sound.device_name.empty() ? nullptr : g_sound.device_name.c_str();
        g_sound.device = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
        if (g_sound.device) {
            start_pacing_if_dummy();
            return true;
        }
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        g_sound.audio_subsystem = false;
    }
    std::fprintf(stderr, "morrowick: no audio device (%s), playing silently\n", SDL_GetError());
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    g_sound.audio_subsystem = true;
    want.samples = SOUND_DUMMY_BUFFER_FRAMES;
    g_sound.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    start_pacing_if_dummy();
    return g_sound.device != 0;
}

} // namespace

int sound_sync_lookup(const SoundSyncTable* table, int pattern, int row, const uint8_t** values)
{
    *values = nullptr;
    if (pattern < 0 || size_t(pattern) + 1 >= table->pattern_first_row.size())
        return 0;
    uint32_t first_row = table->pattern_first_row[size_t(pattern)];
    uint32_t rows = table->pattern_first_row[size_t(pattern) + 1] - first_row;
    if (row < 0 || uint32_t(row) >= rows)
        return 0;
    size_t index = size_t(first_row) + size_t(row);
    uint32_t begin = table->row_first_value[index];
    uint32_t end = table->row_first_value[index + 1];
    if (begin == end)
        return 0;
    *values = table->values.data() + begin;
    return int(end - begin);
}

bool sound_build_sync_table(openmpt_module* mod, SoundSyncTable* table)
{
    *table = SoundSyncTable {};
    int patterns = openmpt_module_get_num_patterns(mod);
    int channels = openmpt_module_get_num_channels(mod);
    if (patterns < 0 || channels < 0)
        return false;
    table->pattern_first_row.push_back(0);
    table->row_first_value.push_back(0);
    for (int pattern = 0; pattern < patterns; ++pattern) {
        int rows = std::max(0, openmpt_module_get_pattern_num_rows(mod, pattern));
        for (int row = 0; row < rows; ++row) {
            for (int channel = 0; channel < channels; ++channel) {
                // The effect number behind 'W' is the library's own; its letter is stable.
                const char* letter = openmpt_module_format_pattern_row_channel_command(
                    mod, pattern, row, channel, OPENMPT_MODULE_COMMAND_EFFECT);
                bool sync = letter && std::strcmp(letter, "W") == 0;
                openmpt_free_string(letter);
                if (sync) {
                    uint8_t value = openmpt_module_get_pattern_row_channel_command(
                        mod, pattern, row, channel, OPENMPT_MODULE_COMMAND_PARAMETER);
                    table->values.push_back(value);
                }
            }
            table->row_first_value.push_back(uint32_t(table->values.size()));
        }
        table->pattern_first_row.push_back(table->pattern_first_row.back() + uint32_t(rows));
    }
    return true;
}

int sound_startup()
{
    g_sound.started = true;
    g_sound.initialised = false;
    g_sound.background = false;
    g_sound.current = nullptr;
    return 1;
}

int sound_set_option(int option, intptr_t value)
{
    switch (option) {
    case SOUND_OPTION_OUTPUT_MODE:
    case SOUND_OPTION_DS_MODE:
    case SOUND_OPTION_WINDOW:
    case SOUND_OPTION_MIXING_MODE:
        // The output is always 48 kHz 16-bit stereo with 8-tap interpolation.
        return 1;
    case SOUND_OPTION_MUTE:
        g_sound.mute.store(value != 0, std::memory_order_relaxed);
        return 1;
    case SOUND_OPTION_OFFLINE:
        if (g_sound.initialised)
            return 0;
        g_sound.offline = value != 0;
        return 1;
    default:
        return 0;
    }
}

int sound_config()
{
    std::vector<std::string> names;
    bool subsystem = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (subsystem) {
        int count = SDL_GetNumAudioDevices(0);
        for (int i = 0; i < count; ++i) {
            const char* name = SDL_GetAudioDeviceName(i, 0);
            if (name)
                names.push_back(name);
        }
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    int choice = sound_config_message_box(names);
    if (choice == SOUND_CONFIG_NO_DIALOG)
        choice = sound_config_text(stdin, stdout, names);
    if (choice < 0)
        return 0;
    g_sound.device_name = size_t(choice) < names.size() ? names[size_t(choice)] : std::string();
    return 1;
}

int sound_init()
{
    if (!g_sound.started || g_sound.initialised)
        return 0;
    if (!g_sound.offline && !open_device())
        return 0;
    g_sound.initialised = true;
    return 1;
}

SoundModule* sound_load_module(const char* path)
{
    if (!path)
        return nullptr;
    std::vector<uint8_t> bytes;
    if (!read_whole_file(path, &bytes))
        return nullptr;
    openmpt_module* mod = create_module(bytes);
    if (!mod)
        return nullptr;
    SoundModule* module = new SoundModule;
    module->mod = mod;
    if (!sound_build_sync_table(mod, &module->syncs) || openmpt_module_get_num_orders(mod) < 1) {
        openmpt_module_destroy(mod);
        delete module;
        return nullptr;
    }
    module->file = std::move(bytes);
    return module;
}

int sound_start_background_play(int polls_per_second)
{
    (void)polls_per_second; // the device pulls audio at its own pace
    if (!g_sound.initialised)
        return 0;
    if (g_sound.device) {
        lock_audio();
        g_sound.background = true;
        anchor_pacing(g_sound.current);
        unlock_audio();
        SDL_PauseAudioDevice(g_sound.device, 0);
    } else {
        g_sound.background = true;
    }
    return 1;
}

SoundPlay* sound_play_module(SoundModule* module, int loop)
{
    if (!module || !g_sound.initialised)
        return nullptr;
    // A second play of the same module starts from a new decoder: seeking back to the start
    // would keep sample positions and channel state from the first one.
    openmpt_module* fresh = module->played ? create_module(module->file) : nullptr;
    if (module->played && !fresh)
        return nullptr;
    SoundPlay* play = new SoundPlay;
    play->module = module;
    lock_audio();
    if (fresh) {
        openmpt_module_destroy(module->mod);
        module->mod = fresh;
    }
    module->played = true;
    openmpt_module_set_repeat_count(module->mod, loop ? -1 : 0);
    g_sound.current = play;
    anchor_pacing(play);
    unlock_audio();
    return play;
}

int sound_set_sync_callback(SoundPlay* play, SoundSyncCallback callback)
{
    if (!play)
        return 0;
    lock_audio();
    play->callback.store(callback, std::memory_order_release);
    unlock_audio();
    return 1;
}

int sound_set_position(SoundPlay* play, int position)
{
    if (!play)
        return 0;
    lock_audio();
    int orders = openmpt_module_get_num_orders(play->module->mod);
    int ok = position >= 0 && position < orders;
    if (ok) {
        // Seeking replays the song's tempo and global changes up to the target.
        openmpt_module_set_position_order_row(play->module->mod, position, 0);
        play->last_order = -1;
        play->last_row = -1;
        play->ended = false;
    }
    unlock_audio();
    return ok;
}

int sound_seek(SoundPlay* play, int position, int row)
{
    if (!play)
        return 0;
    lock_audio();
    openmpt_module* mod = play->module->mod;
    const int orders = openmpt_module_get_num_orders(mod);
    const int pattern = position >= 0 && position < orders ? openmpt_module_get_order_pattern(mod, position) : -1;
    const int rows = pattern >= 0 ? openmpt_module_get_pattern_num_rows(mod, pattern) : 0;
    const int ok = row >= 0 && row < rows;
    if (ok) {
        openmpt_module_set_position_order_row(mod, position, row);
        // Marked as seen, so the row's own syncs are not reported again.
        play->last_order = position;
        play->last_row = row;
        play->ended = false;
    }
    unlock_audio();
    return ok;
}

int sound_pause(SoundPlay* play, int paused)
{
    if (!play)
        return 0;
    lock_audio();
    const int was = play->paused ? 1 : 0;
    play->paused = paused != 0;
    if (g_sound.pace_play == play)
        anchor_pacing(play);
    unlock_audio();
    return was;
}

int sound_get_position(SoundPlay* play, int* position, int* row)
{
    if (!play)
        return 0;
    lock_audio();
    *position = openmpt_module_get_current_order(play->module->mod);
    *row = openmpt_module_get_current_row(play->module->mod);
    unlock_audio();
    return 1;
}

int sound_stop_module(SoundPlay* play)
{
    if (!play)
        return 0;
    lock_audio();
    if (g_sound.current == play)
        g_sound.current = nullptr;
    unlock_audio();
    delete play;
    return 1;
}

int sound_free_module(SoundModule* module)
{
    if (!module)
        return 0;
    lock_audio();
    bool playing = g_sound.current && g_sound.current->module == module;
    unlock_audio();
    if (playing)
        return 0;
    if (module->timing)
        openmpt_module_destroy(module->timing);
    openmpt_module_destroy(module->mod);
    delete module;
    return 1;
}

int sound_stop_background_play()
{
    if (!g_sound.background)
        return 0;
    if (g_sound.device)
        SDL_PauseAudioDevice(g_sound.device, 1);
    lock_audio();
    g_sound.background = false;
    unlock_audio();
    return 1;
}

int sound_close()
{
    if (g_sound.device) {
        SDL_CloseAudioDevice(g_sound.device);
        g_sound.device = 0;
    }
    if (g_sound.audio_subsystem) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        g_sound.audio_subsystem = false;
    }
    bool was_started = g_sound.started;
    g_sound.started = false;
    g_sound.initialised = false;
    g_sound.background = false;
    g_sound.current = nullptr;
    g_sound.paced = false;
    g_sound.pace_play = nullptr;
    return was_started ? 1 : 0;
}

int sound_render_offline(SoundPlay* play, int16_t* out, int frames)
{
    if (!play || !out || frames <= 0)
        return 0;
    lock_audio();
    int done = render_frames(play, out, frames);
    unlock_audio();
    if (g_sound.mute.load(std::memory_order_relaxed))
        std::memset(out, 0, size_t(done) * 2 * sizeof(int16_t));
    return done;
}

uint64_t sound_frames_rendered(const SoundPlay* play)
{
    return play ? play->frames_rendered.load(std::memory_order_relaxed) : 0;
}

int sound_module_order_count(SoundModule* module)
{
    return module ? std::max(0, openmpt_module_get_num_orders(module->mod)) : 0;
}

double sound_module_row_seconds(SoundModule* module, int position, int row)
{
    if (!module || row < 0 || row >= sound_module_order_rows(module, position))
        return -1.0;
    if (!module->timing)
        module->timing = create_module(module->file);
    if (!module->timing)
        return -1.0;
    return openmpt_module_set_position_order_row(module->timing, position, row);
}

int sound_module_order_rows(SoundModule* module, int position)
{
    if (!module || position < 0 || position >= openmpt_module_get_num_orders(module->mod))
        return 0;
    const int pattern = openmpt_module_get_order_pattern(module->mod, position);
    if (pattern < 0 || pattern >= openmpt_module_get_num_patterns(module->mod))
        return 0;
    return std::max(0, openmpt_module_get_pattern_num_rows(module->mod, pattern));
}

int sound_module_syncs_at(SoundModule* module, int position, int row, const uint8_t** values)
{
    *values = nullptr;
    if (row < 0 || row >= sound_module_order_rows(module, position))
        return 0;
    return sound_sync_lookup(&module->syncs, openmpt_module_get_order_pattern(module->mod, position), row, values);
}

double sound_module_duration(SoundModule* module)
{
    return module ? openmpt_module_get_duration_seconds(module->mod) : 0.0;
}
