// test_controls.cpp -- places in the song, jumps, pause, overlay, screenshots, loop, capture size and range.
#include <gtest/gtest.h>

#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

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

TEST(SongMap, SceneInForceAndCuesSeenComeFromThePatterns)
{
    LoadedSong song(TEST_SONG);
    ASSERT_NE(song.play, nullptr) << TEST_SONG;
    const struct {
        int position, row;
        uint32_t scene;
        int sync_position, sync_row;
        std::vector<uint32_t> cues;
    } cases[] = {
        { 0, 0, 0, 0, 0, { 0 } },
        { 0, 7, 0, 0, 0, { 0 } },
        { 0, 8, 0, 0, 8, { 0, 240 } },
        { 1, 3, 1, 1, 0, { 1 } },
        { 2, 15, 5, 2, 0, { 5 } },
        { 2, 30, 5, 2, 16, { 5, 255 } },
        { 4, 9, 12, 4, 7, { 12 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.position) + ":" + std::to_string(c.row));
        SongPlace place;
        song_place_at(&song.map, c.position, c.row, &place);
        EXPECT_EQ(place.scene, c.scene);
        EXPECT_EQ(place.sync_position, c.sync_position);
        EXPECT_EQ(place.sync_row, c.sync_row);
        EXPECT_EQ(place.cues, c.cues);
    }
    const std::vector<SongSync> changes = song_scene_changes(&song.map);
    const int expected[][3]
        = { { 0, 0, 0 }, { 1, 0, 1 }, { 1, 4, 2 }, { 2, 0, 5 }, { 3, 0, 1 }, { 3, 4, 2 }, { 4, 0, 16 }, { 4, 7, 12 } };
    ASSERT_EQ(changes.size(), std::size(expected));
    for (size_t i = 0; i < changes.size(); ++i) {
        EXPECT_EQ(changes[i].position, expected[i][0]) << i;
        EXPECT_EQ(changes[i].row, expected[i][1]) << i;
        EXPECT_EQ(changes[i].value, uint32_t(expected[i][2])) << i;
    }
    EXPECT_FALSE(song_place_valid(&song.map, 0, song.map.rows[0]));
    EXPECT_FALSE(song_place_valid(&song.map, int(song.map.rows.size()), 0));
    EXPECT_GT(sound_module_row_seconds(song.module, 1, 0), 0.0);
}

TEST(SongMap, MomentaryScenesAndRepeatedCuesAreLeftOut)
{
    SongMap map;
    map.rows = { 64, 64, 64 };
    // A wait on the last row between two runs of the opening, then a cue repeated on every row.
    map.syncs = { { 0, 0, 0 }, { 0, 63, 12 }, { 1, 0, 1 }, { 1, 1, 250 }, { 1, 2, 250 }, { 1, 3, 241 }, { 1, 4, 250 },
        { 2, 0, 2 } };
    const std::vector<SongSync> changes = song_scene_changes(&map);
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[1].position, 1);
    EXPECT_EQ(changes[1].value, 1u);
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

TEST(SongMap, PlacesAndOptionsOnTheCommandLine)
{
    const struct {
        const char* text;
        bool ok;
        int position, row;
    } places[] = { { "7", true, 7, 0 }, { "7:12", true, 7, 12 }, { "0:0", true, 0, 0 }, { "", false, 0, 0 },
        { "x", false, 0, 0 }, { "7:", false, 0, 0 }, { "-1", false, 0, 0 }, { "7:3x", false, 0, 0 },
        { "300", false, 0, 0 }, { "7:-2", false, 0, 0 } };
    for (const auto& c : places) {
        int p = -1, r = -1;
        EXPECT_EQ(parse_song_place(c.text, &p, &r), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(p * 1000 + r, c.position * 1000 + c.row) << c.text;
        }
    }
    ExtraOptions extra;
    std::string line;
    const char* good[]
        = { "morrowick", "--capture=x.mp4", "--size=1920x1080", "--from=3:8", "--to=9", "--loop", "--seconds=9" };
    ASSERT_TRUE(split_arguments(7, good, &extra, &line)) << extra.error;
    EXPECT_EQ(extra.frame_width * 10000 + extra.frame_height, 1920 * 10000 + 1080);
    EXPECT_TRUE(extra.from && extra.to && extra.loop);
    EXPECT_EQ(extra.from_order * 100 + extra.from_row, 308);
    const std::vector<std::vector<const char*>> bad = {
        { "morrowick", "--size=1920x1080" }, // needs --capture
        { "morrowick", "--capture=null", "--size=300x200" }, { "morrowick", "--capture=null", "--size=1921x1080" },
        { "morrowick", "--capture=null", "--from=2", "--position=3" }, { "morrowick", "--position=3:" },
        { "morrowick", "--capture=null", "--loop" }, // would never end
    };
    for (const auto& args : bad)
        EXPECT_FALSE(split_arguments(int(args.size()), args.data(), &extra, &line)) << args.back();
}

TEST(CaptureSize, PictureScaledWholeAndCentredOnBlack)
{
    const int w = 4, h = 3;
    const uint32_t picture[w * h] = { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 };
    EXPECT_EQ(letterbox_scale(320, 240, 1920, 1080), 4);
    EXPECT_EQ(letterbox_scale(320, 240, 640, 479), 1);
    EXPECT_EQ(letterbox_scale(320, 240, 319, 1000), 0);
    std::vector<uint32_t> frame(13 * 8, 0xFFu);
    letterbox_picture(picture, w, h, frame.data(), 13, 8); // scale 2: 8x6 at (2, 1)
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 13; ++x) {
            const bool inside = x >= 2 && x < 10 && y >= 1 && y < 7;
            const uint32_t want = inside ? picture[(y - 1) / 2 * w + (x - 2) / 2] : 0;
            EXPECT_EQ(frame[size_t(y) * 13 + size_t(x)], want) << x << "," << y;
        }
}

// ---------------------------------------------------------------------------------------------
// Live keys through the input layer, headless, on the test song.

class LiveKeys : public ::testing::Test {
protected:
    std::unique_ptr<LoadedSong> song;
    WindowRecord record {};
    void SetUp() override
    {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
        ASSERT_EQ(input_init(), 0);
        record = WindowRecord {};
        window_record = &record;
        song = std::make_unique<LoadedSong>(TEST_SONG);
        ASSERT_NE(song->play, nullptr);
        ControlsOptions options;
        options.keys = true;
        ASSERT_EQ(controls_begin(song->play, song->module, &options), 0);
    }
    void TearDown() override
    {
        controls_end();
        song.reset();
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
        int position, row; // where the jump goes from 2:5 (scene 5 since 2:0)
        uint32_t scene;
    } cases[] = {
        { SDL_SCANCODE_RIGHT, 3, 0, 1 },
        { SDL_SCANCODE_LEFT, 1, 0, 1 },
        { SDL_SCANCODE_PAGEDOWN, 3, 0, 1 },
        { SDL_SCANCODE_PAGEUP, 1, 4, 2 }, // the change before the one in force
        { SDL_SCANCODE_HOME, 0, 0, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(SDL_GetScancodeName(c.key));
        ASSERT_TRUE(sound_seek(song->play, 2, 5));
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
        int playing = -1, row = -1;
        sound_get_position(song->play, &playing, &row);
        EXPECT_EQ(playing * 100 + row, c.position * 100 + c.row);
    }
    press(SDL_SCANCODE_F1);
    EXPECT_TRUE(controls_overlay());
    press(SDL_SCANCODE_F1);
    EXPECT_FALSE(controls_overlay());
}

TEST_F(LiveKeys, CapturesHaveNoKeys)
{
    ControlsOptions options; // keys off, as in capture mode
    controls_end();
    ASSERT_EQ(controls_begin(song->play, song->module, &options), 0);
    for (SDL_Scancode key : { SDL_SCANCODE_SPACE, SDL_SCANCODE_RIGHT, SDL_SCANCODE_HOME, SDL_SCANCODE_F1 })
        press(key);
    EXPECT_FALSE(controls_paused());
    EXPECT_FALSE(controls_jump_pending());
    EXPECT_FALSE(controls_overlay());
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
    script.play = song->play;
    sound_seek(song->play, 1, 0); // a loud part of the song
    set_demo_clock(DemoClock { [](void*) { return script.now; }, [](void*, uint32_t ms) { advance(ms); },
        [](void*) { advance(1); }, nullptr });
    reset_tick_timer();
    const uint32_t start = script.now;
    const uint64_t song_start = sound_frames_rendered(song->play);
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
    const uint32_t paused_ms = resume_at - pause_at;
    const uint64_t song_frames = sound_frames_rendered(song->play) - song_start;
    const uint32_t running_ms = script.now - start;
    EXPECT_NEAR(double(ticks), double(running_ms - paused_ms) / 32.0, 1.5);
    EXPECT_NEAR(double(song_frames), double(ticks) * 1536.0, 1.5 * 1536.0);
}

// ---------------------------------------------------------------------------------------------
// Capture mode: hashes of whole runs in child processes, on the real song and data.

std::string data_folder()
{
    static const std::string folder = song_folder(false);
    return folder;
}

std::string seconds_for(int64_t frames)
{
    return "--seconds=" + std::to_string(double(frames) * 0.032 + 0.001);
}

constexpr int COMPARED_FRAMES = 4;

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
    struct Chain {
        size_t next = 0;
        int64_t recording_from = -1; // output frame of a jump's first drawn frame
        uint32_t jumps_seen = 0;
    };
    auto chain = std::make_shared<Chain>();
    auto want = [chain, order](const CaptureFrame& frame) {
        if (controls_jump_count() != chain->jumps_seen) {
            chain->jumps_seen = controls_jump_count();
            chain->recording_from = int64_t(frame.index) + 1; // this frame shows the cleared screen
            return false;
        }
        if (chain->recording_from >= 0 && int64_t(frame.index) >= chain->recording_from) {
            if (int64_t(frame.index) < chain->recording_from + COMPARED_FRAMES)
                return true;
            chain->recording_from = -1;
        }
        if (chain->recording_from < 0 && frame.index >= 70) {
            if (chain->next == order.size())
                set_quit_flag();
            else if (controls_request_jump(order[chain->next].position, order[chain->next].row))
                chain->next++;
        }
        return false;
    };
    const ChildRun jumped = run_capture_child({ "--capture=null", "--data=" + data_folder() }, want);
    ASSERT_EQ(jumped.exit_code, 0);
    std::vector<uint64_t> jumped_hashes;
    for (const ChildFrame& f : jumped.frames)
        if (f.hash)
            jumped_hashes.push_back(f.hash);
    ASSERT_EQ(jumped_hashes.size(), order.size() * COMPARED_FRAMES);

    for (size_t i = 1; i < order.size(); i += 2) {
        const std::string place = std::to_string(order[i].position) + ":" + std::to_string(order[i].row);
        SCOPED_TRACE("scene change " + place + " (scene " + std::to_string(order[i].value) + ")");
        const ChildRun started
            = run_capture_child({ "--position=" + place, "--capture=null",
                                    seconds_for(CAPTURE_PAUSE_TICKS + COMPARED_FRAMES), "--data=" + data_folder() },
                [](const CaptureFrame& f) { return f.song_tick >= 0; });
        ASSERT_EQ(started.exit_code, 0);
        std::vector<uint64_t> hashes;
        for (const ChildFrame& f : started.frames)
            if (f.hash)
                hashes.push_back(f.hash);
        ASSERT_EQ(hashes.size(), size_t(COMPARED_FRAMES));
        for (int k = 0; k < COMPARED_FRAMES; ++k)
            EXPECT_EQ(jumped_hashes[i * COMPARED_FRAMES + size_t(k)], hashes[size_t(k)]) << "frame " << k;
        EXPECT_EQ(started.frames.back().position, uint32_t(order[i].position));
    }
    // The places differ from one another: the comparison is not of black frames.
    std::sort(jumped_hashes.begin(), jumped_hashes.end());
    EXPECT_GT(
        std::unique(jumped_hashes.begin(), jumped_hashes.end()) - jumped_hashes.begin(), ptrdiff_t(changes.size()));
}

// After the last scene ends, --loop plays the opening exactly as a fresh start does.
TEST(Loop, TheOpeningPlaysAgainAfterTheEnd)
{
    auto jumps = std::make_shared<int64_t>(-1); // output frame of the loop's first drawn frame
    const ChildRun looped = run_capture_child(
        { "--position=57", "--loop", "--capture=null", seconds_for(3000), "--data=" + data_folder() },
        [jumps](const CaptureFrame& f) {
            if (*jumps < 0 && controls_jump_count() == 2) // the start at 57, then the loop
                *jumps = int64_t(f.index) + 1;
            if (*jumps >= 0 && int64_t(f.index) >= *jumps + COMPARED_FRAMES)
                set_quit_flag();
            return *jumps >= 0 && int64_t(f.index) >= *jumps;
        });
    ASSERT_EQ(looped.exit_code, 0);
    const ChildRun fresh = run_capture_child(
        { "--capture=null", seconds_for(CAPTURE_PAUSE_TICKS + COMPARED_FRAMES), "--data=" + data_folder() },
        [](const CaptureFrame& f) { return f.song_tick >= 0; });
    std::vector<uint64_t> a, b;
    int32_t loudest_after_loop = 0;
    for (const ChildFrame& f : looped.frames)
        if (f.hash) {
            a.push_back(f.hash);
            loudest_after_loop = std::max(loudest_after_loop, f.audio_peak);
        }
    int32_t loudest_fresh = 0;
    for (const ChildFrame& f : fresh.frames)
        if (f.hash) {
            b.push_back(f.hash);
            loudest_fresh = std::max(loudest_fresh, f.audio_peak);
        }
    EXPECT_GT(loudest_after_loop, loudest_fresh / 2); // the song plays again too
    EXPECT_GT(loudest_fresh, 0);
    ASSERT_EQ(b.size(), size_t(COMPARED_FRAMES));
    ASSERT_GE(a.size(), b.size());
    a.resize(b.size());
    EXPECT_EQ(a, b);
    EXPECT_EQ(looped.frames.back().scene, 0u);
}

// The overlay is drawn over the final image only: with it on, the golden frames of a plain start
// come out unchanged, while the final image shows it.
TEST(Overlay, NeverReachesTheFrame)
{
    std::map<int64_t, uint64_t> golden; // tick -> hash, plain start, the first few seconds
    std::ifstream list(std::string(MW_SOURCE_DIR) + "/tests/golden/frames.txt");
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        uint32_t scene = 0;
        std::string words, hash;
        int64_t tick = 0;
        if (line[0] != '#' && fields >> scene >> words >> tick >> hash && words == "-" && tick <= 800)
            golden[tick] = std::strtoull(hash.c_str(), nullptr, 16);
    }
    ASSERT_FALSE(golden.empty());
    const int64_t last = golden.rbegin()->first;
    auto want = [golden](const CaptureFrame& f) {
        if (!controls_overlay())
            controls_set_overlay(true);
        return golden.count(f.song_tick) != 0;
    };
    auto check = [last](const CaptureFrame& f) {
        if (f.song_tick != last)
            return;
        std::vector<uint32_t> final_image(size_t(f.width) * size_t(f.height));
        if (!display_read_final_picture(final_image.data(), f.width, f.height))
            _exit(41);
        int changed_top = 0, changed_below = 0;
        for (size_t i = 0; i < final_image.size(); ++i)
            (i < size_t(64 * f.width) ? changed_top : changed_below) += final_image[i] != f.xrgb[i];
        if (changed_top < 500 || changed_below != 0)
            _exit(42);
    };
    const ChildRun run = run_capture_child(
        { "--capture=null", seconds_for(CAPTURE_PAUSE_TICKS + last + 1), "--data=" + data_folder() }, want, check);
    ASSERT_EQ(run.exit_code, 0) << "41: no final image, 42: the overlay is not where it belongs";
    size_t compared = 0;
    for (const ChildFrame& f : run.frames)
        if (golden.count(f.song_tick)) {
            EXPECT_EQ(f.hash, golden[f.song_tick]) << "tick " << f.song_tick;
            compared++;
        }
    EXPECT_EQ(compared, golden.size());
}

// F12's picture is the captured frame, dither of an 8-bit display included.
TEST(Screenshot, IsTheCapturedFrame)
{
    const std::string dir = std::string(MW_BINARY_DIR) + "/controls_screenshots";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string cwd = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(dir.c_str()), 0); // screenshots go to the working directory at start-up
    const ChildRun run
        = run_capture_child({ "8", "--capture=null", seconds_for(CAPTURE_PAUSE_TICKS + 41), "--data=" + data_folder() },
            [](const CaptureFrame& f) {
                if (f.song_tick == 40 && controls_screenshot().empty())
                    _exit(43);
                return f.song_tick == 40;
            });
    ASSERT_EQ(chdir(cwd.c_str()), 0);
    ASSERT_EQ(run.exit_code, 0);
    uint64_t captured = 0;
    for (const ChildFrame& f : run.frames)
        if (f.hash)
            captured = f.hash;
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(read_png_rgba(dir + "/morrowick_0001.png", &w, &h, &rgba));
    ASSERT_EQ(w * 1000 + h, 320 * 1000 + 240);
    std::vector<uint32_t> xrgb(size_t(w) * size_t(h));
    for (size_t i = 0; i < xrgb.size(); ++i)
        xrgb[i] = uint32_t(rgba[4 * i]) << 16 | uint32_t(rgba[4 * i + 1]) << 8 | rgba[4 * i + 2];
    EXPECT_EQ(hash_frame_rgb(xrgb.data(), w, h), captured);
}

// --size letterboxes every frame; --from starts with the song, --to ends where its row starts.
TEST(CaptureRange, SizedFramesOfASongRange)
{
    const std::string data = data_folder();
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
    const int to_position = from.position + 1;
    const std::string place = std::to_string(from.position) + ":" + std::to_string(from.row);
    const ChildRun run = run_capture_child({ "--capture=null", "--size=800x600", "--from=" + place,
                                               "--to=" + std::to_string(to_position), "--data=" + data },
        {}, [](const CaptureFrame& f) {
            if (f.width != 800 || f.height != 600)
                _exit(44);
            for (int y = 0; y < 600; ++y)
                for (int x = 0; x < 800; ++x)
                    if ((x < 80 || x >= 720 || y < 60 || y >= 540) && f.xrgb[y * 800 + x] != 0)
                        _exit(45);
        });
    ASSERT_EQ(run.exit_code, 0) << "44: frame size, 45: a border that is not black";
    ASSERT_FALSE(run.frames.empty());
    EXPECT_EQ(run.frames.front().index, 0u);
    EXPECT_EQ(run.frames.front().scene, from.value);
    EXPECT_NEAR(double(run.frames.size()), seconds / 0.032, 2.0);
}

} // namespace
