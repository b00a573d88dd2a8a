// test_app.cpp -- command line, tick timer on a fake clock, sequencing rules, input state, event pump.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "app/clock.h"
#include "app/command_line.h"
#include "app/input.h"
#include "app/sequencer.h"
#include "app/startup.h"
#include "scene_script.h"

namespace {

namespace ss = scene_script;

StartOptions parsed(const char* line)
{
    StartOptions options;
    options.display_bits = -1; // parse must reset everything
    parse_command_line(line, &options);
    return options;
}

TEST(CommandLine, WordsAnywhereInChainOrder)
{
    const struct {
        const char* line;
        int scene, position, bits;
        bool full, sound;
    } cases[] = {
        { "", 0, 0, 32, true, false }, { "window", 0, 0, 32, false, false }, { "window 16", 0, 0, 16, true, false },
        { "window16", 0, 0, 16, true, false }, { "8 16 24", 0, 0, 24, true, false }, { "1632", 0, 0, 32, true, false },
        { "x8x", 0, 0, 8, true, false }, { "Window Sound", 0, 0, 32, true, false }, // case-sensitive
        { "soundwindow", 0, 0, 32, false, true }, { "part2", 3, 10, 32, true, false }, { "part3", 5, 19, 32, true, false },
        { "part4", 6, 25, 32, true, false }, { "part5", 7, 29, 32, true, false }, { "part6", 8, 31, 32, true, false },
        { "part7", 9, 35, 32, true, false }, { "part8 window", 11, 37, 8, true, false }, // "part8" holds "8"
        { "part9 window", 12, 39, 32, false, false }, { "part10", 13, 41, 32, true, false },
        { "part11", 14, 51, 32, true, false }, { "part12", 16, 57, 32, true, false }, { "part13", 0, 0, 32, true, false },
        { "part3part2", 3, 10, 32, true, false }, // first hit in chain order, not in the line
    };
    for (const auto& c : cases) {
        const StartOptions o = parsed(c.line);
        EXPECT_EQ(o.start_scene, c.scene) << c.line;
        EXPECT_EQ(o.start_position, c.position) << c.line;
        EXPECT_EQ(o.display_bits, c.bits) << c.line;
        EXPECT_EQ(o.full_screen, c.full) << c.line;
        EXPECT_EQ(o.sound_setup, c.sound) << c.line;
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
    EXPECT_TRUE(extra.mute && extra.verbose);
    for (const char* bad :
        { "--frobnicate", "--scale=0", "--scale=2x", "--seconds=", "--seconds=-3", "--data=", "--help=1" }) {
        const char* args[] = { "morrowick", bad };
        EXPECT_FALSE(split_arguments(2, args, &extra, &line)) << bad;
        EXPECT_FALSE(extra.error.empty()) << bad;
    }
}

// wait_tick on a clock that moves only when slept on or spun: (start ms, ms passed before the
// wait) -> ticks returned and the time it returns at.
TEST(TickTimer, ReturnsTheTicksPassedAndEndsOnTheBoundary)
{
    const struct {
        uint32_t reset_at, then, ticks, ends_at;
    } cases[] = {
        { 100, 100, 1, 128 }, // first wait ends at the next boundary, not a tick after the reset
        { 96, 196, 3, 196 }, // a long frame returns every tick passed without waiting
        { 127, 227, 4, 227 },
        { 0xFFFFFFF0u, 0xFFFFFFF0u, 1, 0 }, // the clock wraps
        { 0xFFFFFFE0u, 0x40, 3, 0x40 },
    };
    for (const auto& c : cases) {
        FakeClock fake {};
        fake.spin_step_ms = 1;
        set_demo_clock(fake_clock(&fake));
        fake.now = c.reset_at;
        reset_tick_timer();
        fake.now = c.then;
        EXPECT_EQ(wait_tick(), c.ticks) << c.reset_at;
        EXPECT_EQ(fake.now, c.ends_at) << c.reset_at;
        if (c.reset_at == 100) {
            EXPECT_EQ(wait_tick(), 1u);
            EXPECT_EQ(fake.now, 160u);
        }
    }
    set_demo_clock(real_clock());
}

class Sequencing : public ::testing::Test {
protected:
    void SetUp() override { ss::begin(0); }
    void TearDown() override
    {
        ss::end();
        scene_table = nullptr;
    }
};

TEST_F(Sequencing, CuesKeepAnySceneRunningAndNumbersWithoutASlotEndIt)
{
    const struct {
        uint32_t number, a, b;
        bool runs;
    } cases[] = { { 245, 3, 4, true }, { 240, 9, 9, true }, { 4, 3, 4, true }, { 3, 3, 4, true }, { 17, 3, 4, false },
        { 239, 3, 4, false }, { 5, 3, 4, false } };
    for (const auto& c : cases) {
        scene_number = c.number;
        EXPECT_EQ(scene_keeps_running(c.a, c.b), c.runs) << c.number;
    }
    set_quit_flag();
    scene_number = 250;
    EXPECT_FALSE(scene_keeps_running(3, 4));
}

TEST_F(Sequencing, WaitSceneWaitsThroughTwelveFifteenCuesAndNumbersWithoutASlot)
{
    scene_number = 12;
    ss::script.numbers = { { 2, 15 }, { 4, 250 }, { 6, 12 }, { 8, 200 }, { 10, 13 } };
    wait_scene();
    EXPECT_EQ(current_scene_number(), 13u);
    EXPECT_EQ(ss::tick(), 10u); // returned at the tick that brought 13
    ss::script.numbers = { { 13, 0 } }; // 0 is a scene of the table too
    scene_number = 15;
    wait_scene();
    EXPECT_EQ(ss::tick(), 13u);
    EXPECT_FALSE(quit_flag());
    scene_number = 12;
    set_quit_flag();
    wait_scene(); // returns at once on quit
    EXPECT_EQ(ss::tick(), 13u);
}

std::vector<uint32_t> calls;

TEST_F(Sequencing, MainLoopFollowsTheNumberAndEndsOnQuit)
{
    SceneFunction table[SCENE_COUNT];
    for (auto& slot : table)
        slot = [] { calls.push_back(999); };
    table[12] = table[15] = wait_scene;
    table[3] = [] {
        calls.push_back(current_scene_number());
        scene_number = 200; // no slot: the main loop waits
    };
    table[7] = [] {
        calls.push_back(current_scene_number());
        set_quit_flag();
    };
    scene_table = table;
    calls.clear();
    scene_number = 3;
    ss::script.numbers = { { 4, 12 }, { 6, 7 } };
    run_main_loop();
    EXPECT_EQ(calls, (std::vector<uint32_t> { 3, 7 }));
    EXPECT_EQ(scene_function_for(17), wait_scene);
    EXPECT_EQ(scene_function_for(0xFFFFFFFFu), wait_scene);
}

TEST_F(Sequencing, ConsumingAnEventKeepsANewerSync)
{
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
        ss::record = WindowRecord {};
        ss::record.mode_width = 320;
        ss::record.mode_height = 240;
        window_record = &ss::record;
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
    static void handle(SDL_Event e) { handle_window_event(&e); }
};

TEST_F(Input, KeysCountOnceAndTheQueueHoldsSixtyThree)
{
    for (int code : { 0x1E, 0x1E, KEY_MOUSE_LEFT, KEY_MOUSE_RIGHT, 515, -1 })
        input_set_key(code, true);
    input_set_key(KEY_MOUSE_MIDDLE, false); // never down
    EXPECT_EQ(input.keys_down, 3);
    input_set_key(0x1E, false);
    input_set_key(0x1E, false);
    EXPECT_EQ(input.keys_down, 2);
    for (uint32_t i = 0; i < 70; ++i)
        input_push_char(100 + i);
    EXPECT_EQ(input.queue_count, 63);
    EXPECT_EQ(input.char_queue[62], 162u);
    EXPECT_EQ(input.char_queue[63], 0u);
}

TEST_F(Input, KeyEventsQueueExtendedCodesAndTextOnce)
{
    handle(key(SDL_KEYDOWN, SDL_SCANCODE_F1));
    handle(key(SDL_KEYDOWN, SDL_SCANCODE_F1, 1)); // auto-repeat: nothing
    EXPECT_EQ(input.keys_down, 1);
    ASSERT_EQ(input.queue_count, 2);
    EXPECT_EQ(input.char_queue[1], 0x3Bu); // 0 then the F1 code
    handle(key(SDL_KEYUP, SDL_SCANCODE_F1));
    EXPECT_EQ(input.keys_down, 0);
    // The cursor keys are extended; their low byte is in the keypad range and is queued.
    handle(key(SDL_KEYDOWN, SDL_SCANCODE_LEFT));
    EXPECT_EQ(input.key_state[0x14B], 1);
    ASSERT_EQ(input.queue_count, 4);
    EXPECT_EQ(input.char_queue[3], 0x4Bu);
    // A letter is queued from its text, once; its key press queues nothing.
    handle(key(SDL_KEYDOWN, SDL_SCANCODE_A));
    SDL_Event e {};
    e.type = SDL_TEXTINPUT;
    SDL_strlcpy(e.text.text, "a\xC3\xA9", sizeof(e.text.text));
    handle(e);
    ASSERT_EQ(input.queue_count, 6);
    EXPECT_EQ(input.char_queue[4], uint32_t('a'));
    EXPECT_EQ(input.char_queue[5], 0xE9u);
}

TEST_F(Input, CursorHidesOverThePictureBoundsIncluded)
{
    const struct {
        int x, y, full;
        int hidden;
    } moves[] = { { 320, 240, 0, 1 }, { 321, 10, 0, 0 }, { -1, 10, 0, 0 }, { 5000, 10, 1, 1 } };
    for (const auto& m : moves) {
        ss::record.full_screen = m.full;
        SDL_Event e {};
        e.type = SDL_MOUSEMOTION;
        e.motion.x = m.x;
        e.motion.y = m.y;
        handle(e);
        EXPECT_EQ(ss::record.cursor_hidden, m.hidden) << m.x;
    }
}

TEST_F(Input, QuitLeavesLaterEventsQueuedAndEscQuitsByTheNextPump)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_Event quit {};
    quit.type = SDL_QUIT;
    SDL_Event events[] = { key(SDL_KEYDOWN, SDL_SCANCODE_C), quit, key(SDL_KEYDOWN, SDL_SCANCODE_B) };
    for (SDL_Event& e : events)
        SDL_PushEvent(&e);
    poll_messages();
    EXPECT_EQ(ss::record.quit, 1);
    EXPECT_EQ(input.key_state[0x2E], 1); // before the quit: handled
    EXPECT_EQ(input.key_state[0x30], 0); // after it: still queued
    ss::record.quit = 0;
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_Event esc = key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE);
    SDL_PushEvent(&esc);
    poll_messages();
    poll_messages(); // the request queued while handling Esc is taken at the next pump
    EXPECT_EQ(ss::record.quit, 1);
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

} // namespace
