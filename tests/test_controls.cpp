// test_controls.cpp -- places in the song, live keys and pause; in child captures: start frames, jumps,
// loop, overlay and screenshots, capture size and range.
#include <gtest/gtest.h>

#include <SDL.h>
#include <malloc.h>
#include <tuple>

#include "app/clock.h"
#include "app/command_line.h"
#include "app/controls.h"
#include "app/demo.h"
#include "app/input.h"
#include "app/sequencer.h"
#include "app/song_map.h"
#include "app/window.h"
#include "display/display_device.h"
#include "sound/sound.h"
#include "test_capture_child.h"
#include "tools/formats/png_io.h"

namespace {

const std::string TEST_SONG = std::string(MW_BINARY_DIR) + "/testdata/xm/morrowick.xm";
const std::string REAL_SONG = std::string(MW_BINARY_DIR) + "/xm/morrowick.xm";

// The song loaded for offline playing (no device, no thread), with the sync callback installed.
struct LoadedSong {
    SoundModule* module = nullptr;
    SoundPlay* play = nullptr;
    SongMap map;
    explicit LoadedSong(const std::string& path)
    {
        sound_startup();
        sound_set_option(SOUND_OPTION_OFFLINE, 1);
        sound_init();
        module = sound_load_module(path.c_str());
        if (!module)
            return;
        sound_start_background_play(40);
        play = sound_play_module(module, 0);
        sound_set_sync_callback(play, sync_callback);
        build_song_map(module, &map);
    }
    ~LoadedSong()
    {
        sound_stop_module(play);
        sound_free_module(module);
        sound_stop_background_play();
        sound_close();
        sound_set_option(SOUND_OPTION_OFFLINE, 0);
    }
};

// ---------------------------------------------------------------------------------------------
// Places in the song, read from the test song's patterns: 0:0 scene 0, 0:8 cue 240, 1:0 scene 1,
// 1:4 scene 2, 2:0 scene 5, 2:16 cue 255, 3:0 scene 1, 3:4 scene 2, 4:0 scene 16, 4:7 scene 12.

// Scene changes as position * 10000 + row * 100 + scene.
std::vector<uint32_t> encoded(const std::vector<SongSync>& changes)
{
    std::vector<uint32_t> out;
    for (const SongSync& c : changes)
        out.push_back(uint32_t(c.position * 10000 + c.row * 100) + c.value);
    return out;
}

TEST(SongMap, SceneInForceAndCuesSeenComeFromThePatterns)
{
    LoadedSong song(TEST_SONG);
    ASSERT_NE(song.play, nullptr) << TEST_SONG;
    const struct {
        int position, row;
        uint32_t scene;
        int sync_position, sync_row;
        std::vector<uint32_t> cues;
    } cases[]
        = { { 0, 0, 0, 0, 0, { 0 } }, { 0, 7, 0, 0, 0, { 0 } }, { 0, 8, 0, 0, 8, { 0, 240 } }, { 1, 3, 1, 1, 0, { 1 } },
              { 2, 15, 5, 2, 0, { 5 } }, { 2, 30, 5, 2, 16, { 5, 255 } }, { 4, 9, 12, 4, 7, { 12 } } };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.position) + ":" + std::to_string(c.row));
        SongPlace p;
        song_place_at(&song.map, c.position, c.row, &p);
        EXPECT_EQ(std::tie(p.scene, p.sync_position, p.sync_row, p.cues),
            std::tie(c.scene, c.sync_position, c.sync_row, c.cues));
    }
    EXPECT_EQ(encoded(song_scene_changes(&song.map)),
        (std::vector<uint32_t> { 0, 10001, 10402, 20005, 30001, 30402, 40016, 40712 }));
    EXPECT_FALSE(song_place_valid(&song.map, 0, song.map.rows[0]));
    EXPECT_FALSE(song_place_valid(&song.map, int(song.map.rows.size()), 0));

    // Momentary scenes and repeated cues are left out: a wait on the last row between two runs of
    // the opening, then a cue repeated on every row.
    SongMap map;
    map.rows = { 64, 64, 64 };
    map.syncs = { { 0, 0, 0 }, { 0, 63, 12 }, { 1, 0, 1 }, { 1, 1, 250 }, { 1, 2, 250 }, { 1, 3, 241 }, { 1, 4, 250 },
        { 2, 0, 2 } };
    EXPECT_EQ(encoded(song_scene_changes(&map)), (std::vector<uint32_t> { 0, 10001, 20002 }));
    SongPlace place;
    song_place_at(&map, 1, 10, &place);
    EXPECT_EQ(place.cues, (std::vector<uint32_t> { 1, 250, 241, 250 }));
    int p = 0, r = 0;
    ASSERT_TRUE(song_previous_scene_change(&map, 1, 10, &p, &r));
    EXPECT_EQ(p * 100 + r, 0);
    ASSERT_TRUE(song_next_scene_change(&map, 0, 63, &p, &r));
    EXPECT_EQ(p * 100 + r, 100);
    EXPECT_FALSE(song_next_scene_change(&map, 2, 0, &p, &r));
    EXPECT_FALSE(song_previous_scene_change(&map, 0, 40, &p, &r));
}

// ---------------------------------------------------------------------------------------------
// Live keys through the input layer, headless, on the test song.

class LiveKeys : public ::testing::Test {
protected:
    LoadedSong song { TEST_SONG };
    WindowRecord record {};
    void SetUp() override
    {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
        ASSERT_EQ(input_init(), 0);
        window_record = &record;
        ASSERT_NE(song.play, nullptr);
        ControlsOptions options;
        options.keys = true;
        ASSERT_EQ(controls_begin(song.play, song.module, &options), 0);
    }
    void TearDown() override
    {
        controls_end();
        set_demo_clock(real_clock());
        input_release();
        window_record = nullptr;
        SDL_QuitSubSystem(SDL_INIT_EVENTS);
    }
    static void press(SDL_Scancode code, int repeat = 0)
    {
        SDL_Event e {};
        e.type = SDL_KEYDOWN;
        e.key.keysym.scancode = code;
        e.key.repeat = Uint8(repeat);
        handle_window_event(&e);
    }
};

TEST_F(LiveKeys, EachKeyAsksForItsPlaceAndAJumpSetsTheSyncValues)
{
    const struct {
        SDL_Scancode key;
        int position, row; // where the jump goes from 2:5 (scene 5 since 2:0); PgUp: to the change
        uint32_t scene; // before the one in force
    } cases[] = { { SDL_SCANCODE_RIGHT, 3, 0, 1 }, { SDL_SCANCODE_LEFT, 1, 0, 1 }, { SDL_SCANCODE_PAGEDOWN, 3, 0, 1 },
        { SDL_SCANCODE_PAGEUP, 1, 4, 2 }, { SDL_SCANCODE_HOME, 0, 0, 0 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(SDL_GetScancodeName(c.key));
        ASSERT_TRUE(sound_seek(song.play, 2, 5));
        press(c.key, 1); // an auto-repeat does nothing
        EXPECT_FALSE(controls_jump_pending());
        press(c.key);
        int p = -1, r = -1;
        ASSERT_TRUE(controls_pending_jump(&p, &r));
        EXPECT_EQ(p * 100 + r, c.position * 100 + c.row);
        EXPECT_FALSE(scene_keeps_running(5, 5)); // the running scene gives way
        controls_apply_jump();
        EXPECT_FALSE(controls_jump_pending());
        EXPECT_EQ(current_scene_number(), c.scene);
    }
    press(SDL_SCANCODE_F1);
    EXPECT_TRUE(controls_overlay());
    press(SDL_SCANCODE_F1);
    EXPECT_FALSE(controls_overlay());
}

// Esc quits by the next pump; the cursor hides over the picture (its bounds included) and
// anywhere in full screen.
TEST_F(LiveKeys, EscQuitsCursorHidesAndInputStateStaysInItsArrays)
{
    record.mode_width = 320;
    record.mode_height = 240;
    const struct {
        int x, y, full, hidden;
    } moves[] = { { 320, 240, 0, 1 }, { 321, 10, 0, 0 }, { -1, 10, 0, 0 }, { 5000, 10, 1, 1 } };
    for (const auto& m : moves) {
        record.full_screen = m.full;
        SDL_Event e {};
        e.type = SDL_MOUSEMOTION;
        e.motion.x = m.x;
        e.motion.y = m.y;
        handle_window_event(&e);
        EXPECT_EQ(record.cursor_hidden, m.hidden) << m.x << "," << m.y;
    }
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    press(SDL_SCANCODE_ESCAPE);
    EXPECT_FALSE(quit_flag());
    poll_messages();
    EXPECT_TRUE(quit_flag());
    // Nothing reads the input state, but key codes out of range and a full queue must stay inside
    // its arrays (the sanitizer build sees any write past them).
    for (int code : { KEY_STATE_SIZE, -1 })
        input_set_key(code, true);
    for (uint32_t i = 0; i < 70; ++i)
        input_push_char(100 + i);
    EXPECT_EQ(input.queue_count, CHAR_QUEUE_SLOTS - 1);
    EXPECT_EQ(input.char_queue[62], 162u);
}

// A scripted clock: time moves only when the tick timer sleeps or spins, the song is rendered
// along with it (48 frames a millisecond), and Space is pressed at the given times.
struct Script {
    uint32_t now = 1000;
    SoundPlay* play = nullptr;
    std::vector<uint32_t> presses; // clock times of Space presses, ascending
    uint64_t silent_frames_while_paused = 0, loud_frames_while_paused = 0;
};
Script script;

void advance(uint32_t ms)
{
    std::vector<int16_t> audio(size_t(ms) * 48 * 2);
    sound_render_offline(script.play, audio.data(), int(ms) * 48);
    if (controls_paused())
        for (int16_t v : audio)
            (v ? script.loud_frames_while_paused : script.silent_frames_while_paused)++;
    script.now += ms;
    while (!script.presses.empty() && script.now >= script.presses.front()) {
        script.presses.erase(script.presses.begin());
        SDL_Event e {};
        e.type = SDL_KEYDOWN;
        e.key.keysym.scancode = SDL_SCANCODE_SPACE;
        SDL_PushEvent(&e);
    }
}

TEST_F(LiveKeys, PauseStopsSceneTimeAndTheSongTogether)
{
    script = Script {};
    script.play = song.play;
    sound_seek(song.play, 1, 0); // a loud part of the song
    set_demo_clock(DemoClock { [](void*) { return script.now; }, [](void*, uint32_t ms) { advance(ms); },
        [](void*) { advance(1); }, nullptr });
    reset_tick_timer();
    const uint32_t start = script.now;
    const uint64_t song_start = sound_frames_rendered(song.play);
    const uint32_t pause_at = start + 20 * 32 + 5, resume_at = pause_at + 5000;
    script.presses = { pause_at, resume_at };
    uint32_t ticks = 0, first_after_resume = 0;
    bool was_paused = false;
    for (int frame = 0; frame < 60; ++frame) {
        const uint32_t n = wait_tick(); // holds while paused
        if (was_paused && !controls_paused() && !first_after_resume)
            first_after_resume = n;
        ticks += n;
        poll_messages(); // where a scene takes its key presses
        was_paused = was_paused || controls_paused();
    }
    ASSERT_TRUE(was_paused);
    EXPECT_FALSE(controls_paused());
    EXPECT_EQ(first_after_resume, 1u); // no burst of ticks after the pause
    EXPECT_EQ(script.loud_frames_while_paused, 0u);
    EXPECT_GT(script.silent_frames_while_paused, 4000u * 48);
    // Scene time and song time both leave the pause out, and agree to within a tick.
    const uint32_t running_ms = script.now - start - (resume_at - pause_at);
    EXPECT_NEAR(double(ticks), double(running_ms) / 32.0, 1.5);
    EXPECT_NEAR(double(sound_frames_rendered(song.play) - song_start), double(ticks) * 1536.0, 1.5 * 1536.0);
}

// ---------------------------------------------------------------------------------------------
// Capture mode: hashes of whole runs in child processes, on the real song and data.

std::string data_folder()
{
    static const std::string folder = song_folder(false);
    return "--data=" + folder;
}

std::string seconds_for(int64_t frames)
{
    return "--seconds=" + std::to_string(double(frames) * 0.032 + 0.001);
}

constexpr int COMPARED_FRAMES = 4;

std::vector<uint64_t> hashes_of(const ChildRun& run)
{
    std::vector<uint64_t> hashes;
    for (const ChildFrame& f : run.frames)
        if (f.hash)
            hashes.push_back(f.hash);
    return hashes;
}

// A start with these words, hashed over its first `frames` drawn frames.
ChildRun first_drawn_frames(std::vector<std::string> args, int frames = COMPARED_FRAMES)
{
    args.insert(args.end(), { "--capture=null", seconds_for(CAPTURE_PAUSE_TICKS + frames), data_folder() });
    return run_capture_child(args, [](const CaptureFrame& f) { return f.song_tick >= 0; });
}

// Every start shows only what the program drew: its first drawn frames come out the same when
// the allocator hands out memory full of 0xAA (glibc's perturbation, inherited by the child).
// The sound word is skipped in a capture, which has no sound device to choose and must not wait
// for one (stdin at its end would cancel the sound set-up and fail the start).
TEST(StartFrames, IdenticalWhateverTheAllocatorLeftInMemory)
{
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    for (const char* word : { "", "part2", "part3", "part4", "part5", "part6", "part7", "part8", "part9", "part10",
             "part11", "part12", "sound" }) {
        const std::vector<std::string> words = *word ? std::vector<std::string> { word } : std::vector<std::string> {};
        const ChildRun plain = first_drawn_frames(words, 20);
        mallopt(M_PERTURB, 0x55);
        const ChildRun filled = first_drawn_frames(words, 20);
        mallopt(M_PERTURB, 0);
        EXPECT_EQ(plain.exit_code * 1000 + filled.exit_code, 0) << word;
        EXPECT_EQ(hashes_of(plain).size(), 20u) << word;
        EXPECT_EQ(hashes_of(filled), hashes_of(plain)) << "start word '" << word << "'";
    }
}

// Every scene change of the song, jumped to one after another in one run, plays the frames that
// a --position start there plays: everything a scene depends on is put back by a jump.
TEST(Jumps, EverySceneChangeShowsTheFramesOfAPositionStart)
{
    std::vector<SongSync> changes;
    {
        LoadedSong song(REAL_SONG);
        ASSERT_NE(song.play, nullptr) << REAL_SONG;
        changes = song_scene_changes(&song.map);
    }
    ASSERT_GT(changes.size(), 10u);
    // The chain runs backwards from the end and goes to each place twice, so the second visit
    // leaves a scene that has just run there.
    std::vector<SongSync> order;
    for (auto c = changes.rbegin(); c != changes.rend(); ++c)
        order.insert(order.end(), { *c, *c });
    // The hook runs in the forked child, on its own copy of these.
    size_t next = 0;
    int64_t recording_from = -1; // output frame of a jump's first drawn frame
    uint32_t jumps_seen = 0;
    auto want = [&](const CaptureFrame& frame) {
        if (controls_jump_count() != jumps_seen) {
            jumps_seen = controls_jump_count();
            recording_from = int64_t(frame.index) + 1; // this frame shows the cleared screen
            return false;
        }
        if (recording_from >= 0 && int64_t(frame.index) >= recording_from) {
            if (int64_t(frame.index) < recording_from + COMPARED_FRAMES)
                return true;
            recording_from = -1;
        }
        if (recording_from < 0 && frame.index >= 70) {
            if (next == order.size())
                set_quit_flag();
            else if (controls_request_jump(order[next].position, order[next].row))
                next++;
        }
        return false;
    };
    const ChildRun jumped = run_capture_child({ "--capture=null", data_folder() }, want);
    ASSERT_EQ(jumped.exit_code, 0);
    std::vector<uint64_t> jumped_hashes = hashes_of(jumped);
    ASSERT_EQ(jumped_hashes.size(), order.size() * COMPARED_FRAMES);

    for (size_t i = 1; i < order.size(); i += 2) {
        const std::string place = std::to_string(order[i].position) + ":" + std::to_string(order[i].row);
        SCOPED_TRACE("scene change " + place + " (scene " + std::to_string(order[i].value) + ")");
        const ChildRun started = first_drawn_frames({ "--position=" + place });
        ASSERT_EQ(started.exit_code, 0);
        const std::vector<uint64_t> want_hashes(jumped_hashes.begin() + ptrdiff_t(i * COMPARED_FRAMES),
            jumped_hashes.begin() + ptrdiff_t((i + 1) * COMPARED_FRAMES));
        EXPECT_EQ(hashes_of(started), want_hashes);
        EXPECT_EQ(started.frames.back().position, uint32_t(order[i].position));
    }
    // The places differ from one another: the comparison is not of black frames.
    std::sort(jumped_hashes.begin(), jumped_hashes.end());
    EXPECT_GT(
        std::unique(jumped_hashes.begin(), jumped_hashes.end()) - jumped_hashes.begin(), ptrdiff_t(changes.size()));
}

// After the last scene ends, --loop plays the opening, and the song, exactly as a fresh start does.
TEST(Loop, TheOpeningPlaysAgainAfterTheEnd)
{
    int64_t looped_at = -1; // output frame of the loop's first drawn frame (in the child)
    const ChildRun looped
        = run_capture_child({ "--position=57", "--loop", "--capture=null", seconds_for(3000), data_folder() },
            [&](const CaptureFrame& f) {
                if (looped_at < 0 && controls_jump_count() == 2) // the start at 57, then the loop
                    looped_at = int64_t(f.index) + 1;
                if (looped_at >= 0 && int64_t(f.index) >= looped_at + COMPARED_FRAMES)
                    set_quit_flag();
                return looped_at >= 0 && int64_t(f.index) >= looped_at;
            });
    ASSERT_EQ(looped.exit_code, 0);
    EXPECT_EQ(looped.frames.back().scene, 0u);
    const ChildRun fresh = first_drawn_frames({});
    std::vector<uint64_t> a = hashes_of(looped);
    const std::vector<uint64_t> b = hashes_of(fresh);
    ASSERT_EQ(b.size(), size_t(COMPARED_FRAMES));
    ASSERT_GE(a.size(), b.size());
    a.resize(b.size());
    EXPECT_EQ(a, b);
    const auto loudest = [](const ChildRun& run) {
        int32_t peak = 0;
        for (const ChildFrame& f : run.frames)
            peak = f.hash ? std::max(peak, f.audio_peak) : peak;
        return peak;
    };
    EXPECT_GT(loudest(fresh), 0);
    EXPECT_GT(loudest(looped), loudest(fresh) / 2);
}

// The overlay is drawn over the final image only: with it on, an 8-bit start draws the frames it
// draws without, the final image shows the overlay in its top 64 rows, and F12's picture is the
// captured frame (dither included, overlay not).
TEST(Overlay, ReachesNeitherTheFrameNorTheScreenshot)
{
    const TempFolder dir("controls_screenshots");
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.root); // screenshots go to the working directory at start-up
    const auto run = [](bool overlay) {
        return run_capture_child(
            { "8", "--capture=null", seconds_for(CAPTURE_PAUSE_TICKS + 200), data_folder() },
            [overlay](const CaptureFrame& f) {
                controls_set_overlay(overlay);
                return f.song_tick >= 0 && f.song_tick % 20 == 0;
            },
            [overlay](const CaptureFrame& f) {
                std::vector<uint32_t> final_image(size_t(f.width) * size_t(f.height));
                if (!overlay || f.song_tick != 100)
                    return;
                if (!display_read_final_picture(final_image.data(), f.width, f.height) || controls_screenshot().empty())
                    _exit(41);
                int changed_top = 0, changed_below = 0;
                for (size_t i = 0; i < final_image.size(); ++i)
                    (i < size_t(64 * f.width) ? changed_top : changed_below) += final_image[i] != f.xrgb[i];
                if (changed_top < 500 || changed_below != 0)
                    _exit(42);
            });
    };
    const ChildRun plain = run(false), shown = run(true);
    std::filesystem::current_path(cwd);
    ASSERT_EQ(shown.exit_code, 0) << "41: no final image or screenshot, 42: the overlay is not where it belongs";
    const std::vector<uint64_t> hashes = hashes_of(plain);
    ASSERT_EQ(hashes.size(), 10u);
    EXPECT_EQ(hashes_of(shown), hashes);
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(read_png_rgba((dir.root / "morrowick_0001.png").string(), &w, &h, &rgba));
    ASSERT_EQ(w * 1000 + h, 320 * 1000 + 240);
    std::vector<uint32_t> xrgb(size_t(w) * size_t(h));
    for (size_t i = 0; i < xrgb.size(); ++i)
        xrgb[i] = uint32_t(rgba[4 * i]) << 16 | uint32_t(rgba[4 * i + 1]) << 8 | rgba[4 * i + 2];
    EXPECT_EQ(hash_frame_rgb(xrgb.data(), w, h), hashes[5]); // tick 100
}

// --size letterboxes every frame (the picture scaled whole, centred on black); --from starts with the song, --to ends
// where its row starts.
TEST(CaptureRange, SizedFramesOfASongRange)
{
    SongSync from {};
    double seconds = 0;
    {
        LoadedSong song(REAL_SONG);
        ASSERT_NE(song.play, nullptr);
        const std::vector<SongSync> changes = song_scene_changes(&song.map);
        ASSERT_GT(changes.size(), 3u);
        from = changes[changes.size() / 2];
        seconds = sound_module_row_seconds(song.module, from.position + 1, 0)
            - sound_module_row_seconds(song.module, from.position, from.row);
    }
    const std::string place = std::to_string(from.position) + ":" + std::to_string(from.row);
    // 960x600: the height allows scale 2 (not the width's 3), so 640x480 at (160, 60).
    const ChildRun run = run_capture_child({ "--capture=null", "--size=960x600", "--from=" + place,
                                               "--to=" + std::to_string(from.position + 1), data_folder() },
        {}, [](const CaptureFrame& f) {
            std::vector<uint32_t> picture(320 * 240);
            if (f.width != 960 || f.height != 600 || !display_read_picture(picture.data(), 320, 240))
                _exit(44);
            for (int y = 0; y < 600; ++y)
                for (int x = 0; x < 960; ++x) {
                    const bool inside = x >= 160 && x < 800 && y >= 60 && y < 540;
                    if (f.xrgb[y * 960 + x] != (inside ? picture[size_t((y - 60) / 2 * 320 + (x - 160) / 2)] : 0))
                        _exit(45);
                }
        });
    ASSERT_EQ(run.exit_code, 0) << "44: frame size, 45: not the picture scaled 2x and centred on black";
    ASSERT_FALSE(run.frames.empty());
    EXPECT_EQ(run.frames.front().index, 0u);
    EXPECT_EQ(run.frames.front().scene, from.value);
    EXPECT_NEAR(double(run.frames.size()), seconds / 0.032, 2.0);
}

} // namespace
