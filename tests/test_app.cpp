// test_app.cpp -- command line, tick timer on a fake clock, sequencing rules; one start whose
// rounding matters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "app/clock.h"
#include "app/command_line.h"
#include "app/sequencer.h"
#include "app/song_map.h"
#include "app/startup.h"
#include "display/demo_rand.h"
#include "gfx2d/tables.h"
#include "scene_script.h"

namespace {

namespace ss = scene_script;

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
        { "soundwindow", 0, 0, 32, false, true }, { "part2", 3, 10, 32, true, false },
        { "part3", 5, 19, 32, true, false }, { "part4", 6, 25, 32, true, false }, { "part5", 7, 29, 32, true, false },
        { "part6", 8, 31, 32, true, false }, { "part7", 9, 35, 32, true, false },
        { "part8 window", 11, 37, 8, true, false }, // "part8" holds "8"
        { "part9 window", 12, 39, 32, false, false }, { "part10", 13, 41, 32, true, false },
        { "part11", 14, 51, 32, true, false }, { "part12", 16, 57, 32, true, false },
        { "part13", 0, 0, 32, true, false },
        { "part3part2", 3, 10, 32, true, false }, // first hit in chain order, not in the line
    };
    for (const auto& c : cases) {
        StartOptions o;
        o.display_bits = -1; // parse must reset everything
        parse_command_line(c.line, &o);
        EXPECT_EQ(std::tie(o.start_scene, o.start_position, o.display_bits, o.full_screen, o.sound_setup),
            std::tie(c.scene, c.position, c.bits, c.full, c.sound))
            << c.line;
    }
}

TEST(CommandLine, OurOptionsAreCheckedAndRemovedBeforeTheWordSearch)
{
    ExtraOptions extra;
    std::string line;
    const char* live[] = { "morrowick", "--data=/srv/demo24/part8", "window", "--scale=2", "--seconds=1.5", "--mute",
        "--verbose", "part3" };
    ASSERT_TRUE(split_arguments(8, live, &extra, &line));
    EXPECT_EQ(line, "window part3");
    EXPECT_EQ(extra.data_dir, "/srv/demo24/part8");
    EXPECT_EQ(extra.scale, 2);
    EXPECT_DOUBLE_EQ(extra.seconds, 1.5);
    EXPECT_TRUE(extra.mute && extra.verbose);
    const char* capture[]
        = { "morrowick", "--capture=x.mp4", "--size=1920x1080", "--from=3:8", "--to=9", "--loop", "--seconds=9" };
    ASSERT_TRUE(split_arguments(7, capture, &extra, &line)) << extra.error;
    EXPECT_EQ(extra.frame_width * 10000 + extra.frame_height, 1920 * 10000 + 1080);
    EXPECT_TRUE(extra.from && extra.to && extra.loop);
    EXPECT_EQ(extra.from_order * 100 + extra.from_row, 308);

    const struct {
        std::vector<const char*> args;
        const char* error; // part of the message; a capture that loops would never end
    } bad[] = { { { "--frobnicate" }, "unknown option --frobnicate" }, { { "--scale=0" }, "" },
        { { "--scale=2x" }, "" }, { { "--seconds=" }, "" }, { { "--seconds=-3" }, "" }, { { "--help=1" }, "" },
        { { "--data" }, "--data needs a value" }, { { "--data=" }, "" }, { { "--seconds" }, "--seconds needs a value" },
        { { "--scale" }, "--scale needs a value" }, { { "--capture" }, "--capture needs a value" },
        { { "--seed=7" }, "--seed needs --capture" }, { { "--fps=30" }, "--fps needs --capture" },
        { { "--sheet" }, "--sheet needs --capture" }, { { "--size=1920x1080" }, "" },
        { { "--capture=null", "--size=300x200" }, "" }, { { "--capture=null", "--size=1921x1080" }, "" },
        { { "--capture=null", "--from=2", "--position=3" }, "" }, { { "--position=3:" }, "" },
        { { "--capture=null", "--loop" }, "" } };
    for (const auto& c : bad) {
        std::vector<const char*> argv { "morrowick" };
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        ExtraOptions fresh;
        EXPECT_FALSE(split_arguments(int(argv.size()), argv.data(), &fresh, &line)) << argv.back();
        EXPECT_FALSE(fresh.error.empty()) << argv.back();
        EXPECT_NE(fresh.error.find(c.error), std::string::npos) << argv.back() << ": " << fresh.error;
    }
    for (const char* item : { "--data=", "--scale=", "--seconds=", "--mute", "--verbose",
             "--capture=", "--seed=", "--fps=", "--sheet", "--help", "--version", "exit status", " 2 ", "255" })
        EXPECT_NE(std::strstr(USAGE_TEXT, item), nullptr) << item;
}

TEST(CommandLine, SongPlacesAndRunTimeLimits)
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
    // A live limit never rounds to "none": at least one 32 ms tick.
    const double seconds[] = { 0.0004, 0.0315, 1.5, 0 };
    const uint32_t limits[] = { 32, 32, 1500, 0 };
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(run_time_limit_ms(seconds[i]), limits[i]) << seconds[i];
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

// Cues keep any scene running; the wait scene waits through 12 and 15 and numbers without a
// slot; consuming an event keeps a newer sync.
TEST(Sequencing, CuesWaitsAndConsumedEvents)
{
    ss::begin(12);
    ss::script.numbers = { { 2, 15 }, { 4, 250 }, { 6, 12 }, { 8, 200 }, { 10, 13 } };
    wait_scene();
    EXPECT_EQ(current_scene_number(), 13u);
    EXPECT_EQ(ss::tick(), 10u); // returned at the tick that brought 13
    ss::script.numbers = { { 13, 0 } }; // 0 is a scene of the table too
    scene_number = 15;
    wait_scene();
    EXPECT_EQ(ss::tick(), 13u);
    scene_number = 4;
    consume_scene_event(4);
    EXPECT_EQ(current_scene_number(), 255u);
    scene_number = 5; // a newer sync arrived after the scene read 4
    consume_scene_event(4);
    EXPECT_EQ(current_scene_number(), 5u);
    const struct {
        uint32_t number, a, b;
        bool runs;
    } cases[] = { { 245, 3, 4, true }, { 240, 9, 9, true }, { 4, 3, 4, true }, { 3, 3, 4, true }, { 17, 3, 4, false },
        { 239, 3, 4, false }, { 5, 3, 4, false } };
    for (const auto& c : cases) {
        scene_number = c.number;
        EXPECT_EQ(scene_keeps_running(c.a, c.b), c.runs) << c.number;
    }
    // The main loop runs the wait scene for a number without a slot, even in a full table.
    SceneFunction table[SCENE_COUNT];
    std::fill(std::begin(table), std::end(table), [] {});
    scene_table = table;
    EXPECT_NE(scene_function_for(SCENE_COUNT - 1), wait_scene);
    EXPECT_EQ(scene_function_for(SCENE_COUNT), wait_scene);
    EXPECT_EQ(scene_function_for(0xFFFFFFFFu), wait_scene);
    scene_table = nullptr;
    // After quit, a cue no longer keeps a scene running and the wait scene returns at once.
    set_quit_flag();
    scene_number = 250;
    EXPECT_FALSE(scene_keeps_running(3, 4));
    scene_number = 12;
    wait_scene();
    EXPECT_EQ(ss::tick(), 13u);
    ss::end();
}

// A start whose single-precision rounding matters: GCC's SLP vectoriser dropped the rounding of
// the target to float and gave 238.10162353515625 here.
TEST(ParticleStarts, TargetRoundedToSinglePrecisionBeforeTheDistance)
{
    std::vector<Particle> p(1);
    demo_srand(3);
    make_particle_starts(p.data(), 1);
    EXPECT_EQ(double(p[0].distance_left), 238.1016082763672);
}

} // namespace
