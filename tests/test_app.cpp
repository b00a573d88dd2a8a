// test_app.cpp -- command line, tick timer on a fake clock, sequencing rules, input state, event pump.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "app/clock.h"
#include "app/command_line.h"
#include "app/demo.h"
#include "app/input.h"
#include "app/sequencer.h"
#include "app/startup.h"
#include "app/window.h"
#include "scenes/scene_table.h"
#include "sound/sound.h"

namespace {

StartOptions parsed(const char* line)
{
    StartOptions options;
    options.display_bits = -1; // parse must reset everything
    parse_command_line(line, &options);
    return options;
}

TEST(CommandLine, DepthWindowAndSoundWords)
{
    StartOptions o = parsed("");
    EXPECT_EQ(o.display_bits, 32);
    EXPECT_TRUE(o.full_screen);
    EXPECT_FALSE(o.sound_setup);
    EXPECT_EQ(o.start_scene, 0);
    EXPECT_EQ(o.start_position, 0);

    EXPECT_FALSE(parsed("window").full_screen);
    EXPECT_EQ(parsed("window").display_bits, 32);
    for (const char* line : { "window 16", "16 window", "window16" }) {
        EXPECT_TRUE(parsed(line).full_screen) << line; // a depth word wins over "window"
        EXPECT_EQ(parsed(line).display_bits, 16) << line;
    }
    // The chain tests 32, 24, 16, 8 in that order, anywhere in the line.
    EXPECT_EQ(parsed("8 16 24").display_bits, 24);
    EXPECT_EQ(parsed("1632").display_bits, 32);
    EXPECT_EQ(parsed("x8x").display_bits, 8);
    EXPECT_EQ(parsed("Window").display_bits, 32);
    EXPECT_TRUE(parsed("Window").full_screen); // case-sensitive
    EXPECT_TRUE(parsed("soundwindow").sound_setup);
    EXPECT_FALSE(parsed("soundwindow").full_screen);
    EXPECT_FALSE(parsed("Sound").sound_setup);
}

TEST(CommandLine, StartPointsAndTheirSideEffects)
{
    const struct {
        const char* word;
        int scene, position, bits;
        bool full;
    } cases[] = {
        { "part2", 3, 10, 32, true }, { "part3", 5, 19, 32, true }, { "part4", 6, 25, 32, true },
        { "part5", 7, 29, 32, true }, { "part6", 8, 31, 32, true }, { "part7", 9, 35, 32, true },
        { "part8", 11, 37, 8, true }, // "part8" holds "8"
        { "part9", 12, 39, 32, true }, { "part10", 13, 41, 32, true }, { "part11", 14, 51, 32, true },
        { "part12", 16, 57, 32, true }, { "part1", 0, 0, 32, true }, { "part13", 0, 0, 32, true },
        { "part9 window", 12, 39, 32, false }, { "part8 window", 11, 37, 8, true },
        { "part3part2", 3, 10, 32, true }, // first hit in chain order, not in the line
    };
    for (const auto& c : cases) {
        const StartOptions o = parsed(c.word);
        EXPECT_EQ(o.start_scene, c.scene) << c.word;
        EXPECT_EQ(o.start_position, c.position) << c.word;
        EXPECT_EQ(o.display_bits, c.bits) << c.word;
        EXPECT_EQ(o.full_screen, c.full) << c.word;
    }
}

TEST(CommandLine, OurOptionsAreRemovedBeforeTheWordSearch)
{
    ExtraOptions extra;
    std::string line;
    const char* argv[] = { "morrowick", "--data=/srv/demo24/part8", "window", "--scale=2", "--seconds=1.5", "--mute",
        "--verbose", "part3" };
    ASSERT_TRUE(split_arguments(8, argv, &extra, &line));
    EXPECT_EQ(line, "window part3");
    EXPECT_EQ(extra.data_dir, "/srv/demo24/part8");
    EXPECT_EQ(extra.scale, 2);
    EXPECT_DOUBLE_EQ(extra.seconds, 1.5);
    EXPECT_TRUE(extra.mute);
    EXPECT_TRUE(extra.verbose);
    StartOptions o;
    parse_command_line(line.c_str(), &o);
    EXPECT_EQ(o.display_bits, 32);
    EXPECT_FALSE(o.full_screen);
    EXPECT_EQ(o.start_scene, 5);

    for (const char* bad :
        { "--frobnicate", "--scale=0", "--scale=2x", "--seconds=", "--seconds=-3", "--data=", "--help=1" }) {
        const char* args[] = { "morrowick", bad };
        EXPECT_FALSE(split_arguments(2, args, &extra, &line)) << bad;
        EXPECT_FALSE(extra.error.empty()) << bad;
    }
}

// The tick timer on a clock that moves only when slept on or spun.
class TickTimer : public ::testing::Test {
protected:
    FakeClock fake {};
    void SetUp() override
    {
        fake.spin_step_ms = 1;
        set_demo_clock(fake_clock(&fake));
    }
    void TearDown() override { set_demo_clock(real_clock()); }
};

TEST_F(TickTimer, FirstWaitEndsAtTheNextBoundaryNotATickAfterTheReset)
{
    fake.now = 100; // tick 3, the next boundary is 128
    reset_tick_timer();
    EXPECT_EQ(wait_tick(), 1u);
    EXPECT_EQ(fake.now, 128u); // caught to the millisecond
    // Slept most of the way, spun only the last two milliseconds.
    EXPECT_EQ(fake.slept_ms, 26u);
    EXPECT_EQ(fake.spins, 2u);

    EXPECT_EQ(wait_tick(), 1u);
    EXPECT_EQ(fake.now, 160u);
}

TEST_F(TickTimer, LongFramesReturnEveryTickPassedWithoutWaiting)
{
    fake.now = 96; // start of tick 3
    reset_tick_timer();
    fake.now += 100; // tick 6
    EXPECT_EQ(wait_tick(), 3u);
    EXPECT_EQ(fake.now, 196u);

    fake.now = 127; // end of tick 3
    reset_tick_timer();
    fake.now += 100; // tick 7
    EXPECT_EQ(wait_tick(), 4u);
    EXPECT_EQ(fake.sleeps + fake.spins, 0u);
}

TEST_F(TickTimer, ClockWrapGivesTheTicksPassed)
{
    fake.now = 0xFFFFFFF0u; // last tick of the counter
    reset_tick_timer();
    EXPECT_EQ(wait_tick(), 1u);
    EXPECT_EQ(fake.now, 0u);
    fake.now = 0xFFFFFFE0u;
    reset_tick_timer();
    fake.now = 0x40; // tick 2 after the wrap
    EXPECT_EQ(wait_tick(), 3u);
}

// A clock that plays a script of scene numbers: at the given wait, the scene number changes.
struct ScriptedClock {
    FakeClock fake;
    std::vector<std::pair<uint32_t, uint32_t>> script; // (tick, number)
    uint32_t quit_at_tick = 0;
};
ScriptedClock scripted;

uint32_t scripted_now(void*)
{
    return scripted.fake.now;
}
void scripted_advance(uint32_t ms)
{
    const uint32_t before = scripted.fake.now >> 5;
    scripted.fake.now += ms;
    const uint32_t tick = scripted.fake.now >> 5;
    for (const auto& [at, number] : scripted.script)
        if (at > before && at <= tick)
            scene_number.store(number, std::memory_order_relaxed);
    if (scripted.quit_at_tick && scripted.quit_at_tick > before && scripted.quit_at_tick <= tick)
        set_quit_flag();
}
void scripted_sleep(void*, uint32_t ms)
{
    scripted_advance(ms);
}
void scripted_spin(void*)
{
    scripted_advance(1);
}

WindowRecord test_record;

class Sequencing : public ::testing::Test {
protected:
    void SetUp() override
    {
        scripted = ScriptedClock {};
        test_record = WindowRecord {};
        window_record = &test_record;
        set_demo_clock(DemoClock { scripted_now, scripted_sleep, scripted_spin, nullptr });
        reset_tick_timer();
    }
    void TearDown() override
    {
        set_demo_clock(real_clock());
        window_record = nullptr;
        scene_table = nullptr;
    }
};

TEST_F(Sequencing, CuesKeepAnySceneRunningAndNumbersWithoutASlotEndIt)
{
    scene_number = 245;
    EXPECT_TRUE(scene_keeps_running(3, 4));
    scene_number = 240;
    EXPECT_TRUE(scene_keeps_running(9, 9));
    for (uint32_t n : { 17u, 100u, 239u, 5u }) {
        scene_number = n;
        EXPECT_FALSE(scene_keeps_running(3, 4)) << n;
    }
    scene_number = 4;
    EXPECT_TRUE(scene_keeps_running(3, 4));
    set_quit_flag();
    EXPECT_FALSE(scene_keeps_running(3, 4));
    scene_number = 250;
    EXPECT_FALSE(scene_keeps_running(3, 4));
}

TEST_F(Sequencing, WaitSceneWaitsThroughTwelveFifteenCuesAndNumbersWithoutASlot)
{
    scene_number = 12;
    scripted.script = { { 2, 15 }, { 4, 250 }, { 6, 12 }, { 8, 200 }, { 10, 13 } };
    wait_scene();
    EXPECT_EQ(current_scene_number(), 13u);
    EXPECT_EQ(scripted.fake.now >> 5, 10u); // returned at the tick that brought 13
    EXPECT_FALSE(quit_flag());

    scripted.script = { { 13, 0 } }; // 0 is a scene of the table too
    scene_number = 15;
    wait_scene();
    EXPECT_EQ(scripted.fake.now >> 5, 13u);
}

TEST_F(Sequencing, WaitSceneReturnsOnQuit)
{
    scene_number = 12;
    scripted.quit_at_tick = 3;
    wait_scene();
    EXPECT_TRUE(quit_flag());
    EXPECT_EQ(scripted.fake.now >> 5, 3u);
    wait_scene(); // already set: returns at once
    EXPECT_EQ(scripted.fake.now >> 5, 3u);
}

std::vector<uint32_t> calls;
void scene_a()
{
    calls.push_back(current_scene_number());
    scene_number = 200; // no slot: the main loop waits
}
void scene_b()
{
    calls.push_back(current_scene_number());
    set_quit_flag();
}
void scene_never()
{
    calls.push_back(999);
}

TEST_F(Sequencing, MainLoopFollowsTheNumberAndEndsOnQuit)
{
    SceneFunction table[SCENE_COUNT];
    for (auto& slot : table)
        slot = scene_never;
    table[12] = table[15] = wait_scene;
    table[3] = scene_a;
    table[7] = scene_b;
    scene_table = table;
    calls.clear();
    scene_number = 3;
    scripted.script = { { 4, 12 }, { 6, 7 } };
    run_main_loop();
    EXPECT_EQ(calls, (std::vector<uint32_t> { 3, 7 }));
    EXPECT_TRUE(quit_flag());
    EXPECT_EQ(scene_function_for(16), scene_never);
    EXPECT_EQ(scene_function_for(17), wait_scene);
    EXPECT_EQ(scene_function_for(0xFFFFFFFFu), wait_scene);
}

TEST_F(Sequencing, SceneTableFillsEverySlot)
{
    ASSERT_EQ(create_scene_table(), 0);
    for (uint32_t n = 0; n < SCENE_COUNT; ++n)
        EXPECT_NE(scene_table[n], nullptr) << n;
    EXPECT_EQ(scene_table[12], wait_scene);
    EXPECT_EQ(scene_table[15], wait_scene);
    EXPECT_EQ(scene_table[0], scene_table[1]); // shared functions
    EXPECT_EQ(scene_table[3], scene_table[4]);
    std::free(scene_table);
}

TEST_F(Sequencing, SyncCallbackAndEventConsumption)
{
    sync_callback(7, 29, 12);
    EXPECT_EQ(current_scene_number(), 7u);
    EXPECT_EQ(song_position.load(), 29u);
    EXPECT_EQ(song_row.load(), 12u);

    scene_number = 4;
    consume_scene_event(4);
    EXPECT_EQ(current_scene_number(), 255u);
    scene_number = 5; // a newer sync arrived after the scene read 4
    consume_scene_event(4);
    EXPECT_EQ(current_scene_number(), 5u);
}

class Input : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(input_init(), 0);
        test_record = WindowRecord {};
        test_record.mode_width = 320;
        test_record.mode_height = 240;
        window_record = &test_record;
    }
    void TearDown() override
    {
        input_release();
        window_record = nullptr;
    }
    static SDL_Event key(Uint32 type, SDL_Scancode code, int repeat = 0)
    {
        SDL_Event e {};
        e.type = type;
        e.key.keysym.scancode = code;
        e.key.keysym.sym = SDL_GetKeyFromScancode(code);
        e.key.repeat = Uint8(repeat);
        return e;
    }
};

TEST_F(Input, KeysAndButtonsCountOnceEach)
{
    input_set_key(0x1E, true);
    input_set_key(0x1E, true);
    EXPECT_EQ(input.keys_down, 1);
    input_set_key(KEY_MOUSE_LEFT, true);
    input_set_key(KEY_MOUSE_RIGHT, true);
    EXPECT_EQ(input.keys_down, 3);
    input_set_key(KEY_MOUSE_MIDDLE, false); // never down
    EXPECT_EQ(input.keys_down, 3);
    input_set_key(0x1E, false);
    input_set_key(0x1E, false);
    EXPECT_EQ(input.keys_down, 2);
    EXPECT_EQ(input.key_state[0x1E], 0);
    input_set_key(515, true);
    input_set_key(-1, true);
    EXPECT_EQ(input.keys_down, 2);
}

TEST_F(Input, CharacterQueueHoldsSixtyThree)
{
    for (uint32_t i = 0; i < 70; ++i)
        input_push_char(100 + i);
    EXPECT_EQ(input.queue_count, 63);
    EXPECT_EQ(input.char_queue[62], 162u);
    EXPECT_EQ(input.char_queue[63], 0u);
}

TEST_F(Input, KeyEventsFromSdl)
{
    EXPECT_EQ(key_code_for_scancode(SDL_SCANCODE_A), 0x1E);
    EXPECT_EQ(key_code_for_scancode(SDL_SCANCODE_M), 0x32);
    EXPECT_EQ(key_code_for_scancode(SDL_SCANCODE_0), 0x0B);
    EXPECT_EQ(key_code_for_scancode(SDL_SCANCODE_F10), 0x44);
    EXPECT_EQ(key_code_for_scancode(SDL_SCANCODE_F12), 0x58);
    EXPECT_EQ(key_code_for_scancode(SDL_SCANCODE_KP_ENTER), 0x11C);
    EXPECT_EQ(key_code_for_scancode(SDL_SCANCODE_UP), 0x148);

    SDL_Event e = key(SDL_KEYDOWN, SDL_SCANCODE_F1);
    handle_window_event(&e);
    e = key(SDL_KEYDOWN, SDL_SCANCODE_F1, 1); // auto-repeat: nothing
    handle_window_event(&e);
    EXPECT_EQ(input.keys_down, 1);
    ASSERT_EQ(input.queue_count, 2);
    EXPECT_EQ(input.char_queue[0], 0u);
    EXPECT_EQ(input.char_queue[1], 0x3Bu);
    e = key(SDL_KEYUP, SDL_SCANCODE_F1);
    handle_window_event(&e);
    EXPECT_EQ(input.keys_down, 0);

    // The cursor keys are extended; their low byte is in the keypad range and is queued.
    e = key(SDL_KEYDOWN, SDL_SCANCODE_LEFT);
    handle_window_event(&e);
    EXPECT_EQ(input.key_state[0x14B], 1);
    ASSERT_EQ(input.queue_count, 4);
    EXPECT_EQ(input.char_queue[3], 0x4Bu);

    // A letter is queued from its text, once; its key press queues nothing.
    e = key(SDL_KEYDOWN, SDL_SCANCODE_A);
    handle_window_event(&e);
    e = SDL_Event {};
    e.type = SDL_TEXTINPUT;
    SDL_strlcpy(e.text.text, "a\xC3\xA9", sizeof(e.text.text));
    handle_window_event(&e);
    ASSERT_EQ(input.queue_count, 6);
    EXPECT_EQ(input.char_queue[4], uint32_t('a'));
    EXPECT_EQ(input.char_queue[5], 0xE9u);
}

TEST_F(Input, CursorHidesOverThePictureBoundsIncluded)
{
    SDL_Event e {};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = 320;
    e.motion.y = 240;
    handle_window_event(&e);
    EXPECT_EQ(test_record.cursor_hidden, 1);
    EXPECT_EQ(input.mouse_x, 320);
    e.motion.x = 321;
    e.motion.y = 10;
    handle_window_event(&e);
    EXPECT_EQ(test_record.cursor_hidden, 0);
    e.motion.x = -1;
    handle_window_event(&e);
    EXPECT_EQ(test_record.cursor_hidden, 0);
    test_record.full_screen = 1;
    e.motion.x = 5000;
    handle_window_event(&e);
    EXPECT_EQ(test_record.cursor_hidden, 1);
}

TEST_F(Input, QuitLeavesLaterEventsQueued)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_Event quit {};
    quit.type = SDL_QUIT;
    SDL_Event press = key(SDL_KEYDOWN, SDL_SCANCODE_B);
    SDL_Event before = key(SDL_KEYDOWN, SDL_SCANCODE_C);
    SDL_PushEvent(&before);
    SDL_PushEvent(&quit);
    SDL_PushEvent(&press);
    poll_messages();
    EXPECT_EQ(test_record.quit, 1);
    EXPECT_EQ(input.key_state[0x2E], 1); // before the quit: handled
    EXPECT_EQ(input.key_state[0x30], 0); // after it: still queued
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_KEYDOWN), 1);

    // Esc asks to quit through the queue, by the next frame at the latest.
    test_record.quit = 0;
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_Event esc = key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE);
    SDL_PushEvent(&esc);
    poll_messages();
    EXPECT_EQ(input.key_state[0x01], 1);
    poll_messages(); // the request queued while handling Esc is taken at the next pump
    EXPECT_EQ(test_record.quit, 1);
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

} // namespace

namespace {

// The sync callback driven by the test song rendered offline, one 32 ms tick (1536 frames) at a
// time: after each tick the scene number, position and row hold the latest sync command.
TEST(MusicSync, TestSongDrivesTheSequencingValues)
{
    const std::string song = std::string(MW_BINARY_DIR) + "/testdata/xm/morrowick.xm";
    ASSERT_TRUE(sound_startup());
    ASSERT_TRUE(sound_set_option(SOUND_OPTION_OFFLINE, 1));
    ASSERT_TRUE(sound_init());
    SoundModule* module = sound_load_module(song.c_str());
    ASSERT_NE(module, nullptr) << song;
    ASSERT_TRUE(sound_start_background_play(40));
    SoundPlay* play = sound_play_module(module, 0);
    ASSERT_NE(play, nullptr);
    scene_number = 99;
    ASSERT_TRUE(sound_set_sync_callback(play, sync_callback));

    struct Seen {
        uint32_t value, position, row;
        int tick;
    };
    std::vector<Seen> seen;
    std::vector<int16_t> chunk(1536 * 2);
    uint32_t last[3] = { 99, 99, 99 };
    for (int tick = 0; tick < 2000; ++tick) {
        const int got = sound_render_offline(play, chunk.data(), 1536);
        const uint32_t now[3] = { current_scene_number(), song_position.load(), song_row.load() };
        if (now[0] != last[0] || now[1] != last[1] || now[2] != last[2])
            seen.push_back({ now[0], now[1], now[2], tick });
        std::copy(now, now + 3, last);
        if (got < 1536)
            break;
    }
    sound_stop_module(play);
    sound_free_module(module);
    sound_stop_background_play();
    sound_close();
    sound_set_option(SOUND_OPTION_OFFLINE, 0);

    // Rows start every 5760 frames at speed 6 / 125 BPM, every 2400 from order 2 (speed 3 / 150).
    const struct {
        uint32_t value, position, row;
        uint64_t frame;
    } expected[] = {
        { 0, 0, 0, 0 },
        { 240, 0, 8, 8 * 5760 },
        { 1, 1, 0, 16 * 5760 },
        { 2, 1, 4, 20 * 5760 },
        { 5, 2, 0, 32 * 5760 },
        { 255, 2, 16, 32 * 5760 + 16 * 2400 },
        { 1, 3, 0, 32 * 5760 + 32 * 2400 },
        { 2, 3, 4, 32 * 5760 + 36 * 2400 },
        { 16, 4, 0, 32 * 5760 + 48 * 2400 },
        { 12, 4, 7, 32 * 5760 + 55 * 2400 },
    };
    ASSERT_EQ(seen.size(), std::size(expected));
    for (size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].value, expected[i].value);
        EXPECT_EQ(seen[i].position, expected[i].position);
        EXPECT_EQ(seen[i].row, expected[i].row);
        // Seen at the end of the tick holding the row's start (or the next, within a few frames).
        EXPECT_GE(seen[i].tick, int(expected[i].frame / 1536));
        EXPECT_LE(seen[i].tick, int((expected[i].frame + 64) / 1536));
    }
}

} // namespace
