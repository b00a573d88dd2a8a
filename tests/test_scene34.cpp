// test_scene34.cpp -- warped wall scenes: saturating add, ribbon spans and clipping, the state
// machine's events and phases, captions, and whole runs driven by scripted scene numbers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "gfx2d/blit.h"
#include "gfx2d/tables.h"
#include "scene_script.h"
#include "scenes/scene34_wall.h"

namespace {
using namespace scene_script;

constexpr uint32_t GLOW = 0x00603000u;

// A 320 x 240 buffer with guard words on both sides that must stay untouched.
struct GuardedBuffer {
    static constexpr int GUARD = 64;
    static constexpr uint32_t FILL = 0xA5A5A5A5u;
    std::vector<uint32_t> words = std::vector<uint32_t>(320 * 240 + 2 * GUARD, FILL);
    GuardedBuffer() { std::fill(pixels(), pixels() + 320 * 240, 0u); }
    uint32_t* pixels() { return words.data() + GUARD; }
    uint32_t at(int x, int y) { return pixels()[y * 320 + x]; }
    bool guards_intact() const
    {
        for (int i = 0; i < GUARD; ++i)
            if (words[i] != FILL || words[words.size() - 1 - i] != FILL)
                return false;
        return true;
    }
    int drawn_rows()
    {
        int count = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x)
                if (at(x, y)) {
                    ++count;
                    break;
                }
        return count;
    }
};

Ribbon straight_ribbon(int width, int rows)
{
    // waves 0: every row at angle 0, all offsets 0.
    return Ribbon { 0xFFFFFFFFu, GLOW, width, rows, 0.0f, 1.0f, { 0, 0 } };
}

TEST(AddSaturate, AddsEachByteAndHoldsItAt255)
{
    EXPECT_EQ(add_saturate(0x00F0F0F0u, GLOW), 0x00FFFFF0u);
    EXPECT_EQ(add_saturate(0x01020304u, 0x10203040u), 0x11223344u);
    EXPECT_EQ(add_saturate(0x80808080u, 0x80808080u), 0xFFFFFFFFu); // top byte saturates too
    EXPECT_EQ(add_saturate(0xFF00FF00u, 0x01FF01FFu), 0xFFFFFFFFu);
    EXPECT_EQ(add_saturate(0x00FF0000u, 0x00010000u), 0x00FF0000u); // no carry into the top byte
}

TEST(DrawRibbon, StraightRibbonStacksItsFiveSpans)
{
    GuardedBuffer buffer;
    Ribbon ribbon = straight_ribbon(9, 120); // h = 4, q = 2, e = 1
    draw_ribbon(&ribbon, 100, 10, buffer.pixels());
    // Column 100 gets all five spans, 101 the four glow spans, 102-103 the two wide ones.
    EXPECT_EQ(buffer.at(100, 10), 0xFFFFFFFFu);
    EXPECT_EQ(buffer.at(101, 10), 0x00FFC000u); // 4 x 0x60 saturates, 4 x 0x30 = 0xC0
    EXPECT_EQ(buffer.at(103, 10), 0x00C06000u);
    EXPECT_EQ(buffer.at(104, 10), 0u);
    EXPECT_EQ(buffer.at(99, 10), 0u);
    // Rows 10 to 130 inclusive.
    EXPECT_EQ(buffer.at(101, 130), 0x00FFC000u);
    EXPECT_EQ(buffer.at(101, 131), 0u);
    EXPECT_EQ(buffer.at(101, 9), 0u);
    EXPECT_EQ(buffer.drawn_rows(), 121);
}

TEST(DrawRibbon, SwaysAlongItsSinePeriods)
{
    GuardedBuffer buffer;
    Ribbon ribbon = straight_ribbon(9, 4);
    ribbon.waves = 1.0f; // a quarter period per row
    draw_ribbon(&ribbon, 160, 0, buffer.pixels());
    // Row 1, sin = 1: spans at +4 (4 wide), +2 (2), -4 (4), -2 (2), core at +1.
    EXPECT_EQ(buffer.at(161, 1), 0xFFFFFFFFu);
    EXPECT_EQ(buffer.at(160, 1), 0u);
    EXPECT_EQ(buffer.at(156, 1), GLOW);
    EXPECT_EQ(buffer.at(158, 1), 0x00C06000u);
    EXPECT_EQ(buffer.at(163, 1), GLOW);
    EXPECT_EQ(buffer.at(164, 1), GLOW);
    EXPECT_EQ(buffer.at(168, 1), 0u);
    // Row 3, sin = -1: mirrored, the core one column left.
    EXPECT_EQ(buffer.at(159, 3), 0xFFFFFFFFu);
    EXPECT_EQ(buffer.at(156, 3), GLOW);
    EXPECT_EQ(buffer.at(160, 3), 0u);
    EXPECT_EQ(buffer.at(162, 3), GLOW);
    EXPECT_EQ(buffer.at(167, 3), GLOW);
}

TEST(DrawRibbon, ClipsRowsToTheBuffer)
{
    Ribbon ribbon = straight_ribbon(9, 120);
    {
        GuardedBuffer buffer;
        draw_ribbon(&ribbon, 100, 240, buffer.pixels());
        EXPECT_EQ(buffer.drawn_rows(), 0);
    }
    {
        GuardedBuffer buffer; // above the top: rows 0 to 70
        draw_ribbon(&ribbon, 100, -50, buffer.pixels());
        EXPECT_EQ(buffer.drawn_rows(), 71);
        EXPECT_NE(buffer.at(100, 70), 0u);
    }
    {
        GuardedBuffer buffer; // runs off the bottom: rows 200 to 239
        draw_ribbon(&ribbon, 100, 200, buffer.pixels());
        EXPECT_EQ(buffer.drawn_rows(), 40);
        EXPECT_NE(buffer.at(100, 239), 0u);
        EXPECT_TRUE(buffer.guards_intact());
    }
    {
        // Nothing left after the top clip (or no rows at all): row y0 alone, at angle 0.
        GuardedBuffer buffer;
        Ribbon swaying = ribbon;
        swaying.waves = 1.0f;
        draw_ribbon(&swaying, 100, -200, buffer.pixels());
        EXPECT_EQ(buffer.drawn_rows(), 1);
        EXPECT_EQ(buffer.at(100, 0), 0xFFFFFFFFu);
        swaying.rows = 0;
        draw_ribbon(&swaying, 200, 239, buffer.pixels());
        EXPECT_EQ(buffer.at(200, 239), 0xFFFFFFFFu);
        EXPECT_EQ(buffer.drawn_rows(), 2);
    }
}

TEST(DrawRibbon, ClipsSpansToColumns0To319)
{
    {
        GuardedBuffer buffer; // a wide ribbon at the right edge must not run into the next row
        Ribbon ribbon = straight_ribbon(40, 0);
        draw_ribbon(&ribbon, 310, 5, buffer.pixels());
        EXPECT_NE(buffer.at(319, 5), 0u);
        EXPECT_EQ(buffer.at(0, 6), 0u);
        EXPECT_EQ(buffer.at(309, 5), 0u);
    }
    {
        GuardedBuffer buffer; // and at the left edge not into the row before
        Ribbon ribbon = straight_ribbon(40, 0);
        draw_ribbon(&ribbon, -10, 5, buffer.pixels());
        EXPECT_EQ(buffer.at(319, 4), 0u);
        EXPECT_NE(buffer.at(0, 5), 0u);
        EXPECT_NE(buffer.at(9, 5), 0u);
        EXPECT_EQ(buffer.at(10, 5), 0u);
    }
    {
        GuardedBuffer buffer; // a negative width is huge unsigned: the row fills from the column
        Ribbon ribbon = straight_ribbon(-1, 239);
        draw_ribbon(&ribbon, 0, 0, buffer.pixels());
        EXPECT_NE(buffer.at(319, 239), 0u);
        EXPECT_TRUE(buffer.guards_intact());
    }
}

class WallScene : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (credits_picture)
            return;
        const std::string dir = MW_BINARY_DIR "/data/";
        credits_picture = load_acg_file((dir + "credits.acg").c_str());
        crd1_picture = load_acg_file((dir + "crd1.acg").c_str());
        crd2_picture = load_acg_file((dir + "crd2.acg").c_str());
        bricks_picture = load_acg_file((dir + "bricks.acg").c_str());
        title_picture = load_acg_file((dir + "title.acg").c_str());
        Image* upsbot = load_acg_file((dir + "upsbot.acg").c_str());
        if (!upsbot)
            return;
        upsbot_surface = create_surface(upsbot->width, upsbot->height, 32);
        clear_surface(upsbot_surface);
        draw_image(upsbot_surface, upsbot, 0, 0);
        destroy_image(upsbot);
        ribbons = static_cast<Ribbon*>(std::calloc(RIBBON_COUNT, sizeof(Ribbon)));
        twist_u = static_cast<uint16_t*>(std::calloc(TABLE_SIZE, sizeof(uint16_t)));
        twist_v = static_cast<uint16_t*>(std::calloc(TABLE_SIZE, sizeof(uint16_t)));
        make_twist_tables(twist_u, twist_v, 2.5e-5f, 320, 240);
    }
    void SetUp() override
    {
        ASSERT_NE(credits_picture, nullptr);
        ASSERT_NE(crd1_picture, nullptr);
        ASSERT_NE(crd2_picture, nullptr);
        ASSERT_NE(bricks_picture, nullptr);
        ASSERT_NE(title_picture, nullptr);
        ASSERT_NE(upsbot_surface, nullptr);
        begin(3);
        reset_ribbons(ribbons);
    }
    void TearDown() override { end(); }

    // Runs the scene function under a script of (tick, scene number) changes.
    static void run(uint32_t first, std::vector<std::pair<uint32_t, uint32_t>> numbers)
    {
        begin(first);
        script.numbers = std::move(numbers);
        wall_scene();
    }
};

TEST_F(WallScene, EventsSetFlagsAndVelocitiesAndConsume4And240)
{
    WallState state = WALL_START;
    scene_number.store(4);
    take_wall_event(&state, 4);
    EXPECT_EQ(state.closing, 1);
    EXPECT_EQ(current_scene_number(), 255u);

    scene_number.store(240);
    take_wall_event(&state, 240);
    EXPECT_EQ(state.rising, 1);
    EXPECT_EQ(current_scene_number(), 255u);

    // A sync that arrives between the read and the write is kept.
    WallState other = WALL_START;
    scene_number.store(7);
    take_wall_event(&other, 240);
    EXPECT_EQ(other.rising, 1);
    EXPECT_EQ(current_scene_number(), 7u);

    // The caption and title cues are not consumed.
    WallState cues = WALL_START;
    scene_number.store(241);
    take_wall_event(&cues, 241);
    EXPECT_EQ(cues.caption_d1, -4);
    EXPECT_EQ(current_scene_number(), 241u);
    take_wall_event(&cues, 242);
    EXPECT_EQ(cues.caption_d1, 4);
    take_wall_event(&cues, 244);
    EXPECT_EQ(cues.caption_d2, 4);
    take_wall_event(&cues, 243);
    EXPECT_EQ(cues.caption_d1, 0);
    EXPECT_EQ(cues.caption_d2, -4);
    EXPECT_EQ(cues.title, 0);
    take_wall_event(&cues, 245);
    EXPECT_EQ(cues.title, 1);
    EXPECT_EQ(cues.closing + cues.rising, 0);
}

TEST_F(WallScene, SwayFollowsThePhase)
{
    WallState state = WALL_START;
    for (int t = 0; t < 64; ++t)
        step_wall(&state, ribbons);
    // Step 65 uses u = pi/2: c = 150 + 160, width trunc(6 + tiny), s = trunc(159 + tiny).
    step_wall(&state, ribbons);
    EXPECT_EQ(state.phase, 65);
    EXPECT_EQ(state.ribbon_column, 310);
    EXPECT_EQ(ribbons[0].span_width, 6);
    EXPECT_EQ(state.upsbot_scale, 159);
    EXPECT_EQ(state.offset_a, 0);
    EXPECT_EQ(state.offset_b, 120);
    for (int t = 65; t < 256; ++t)
        step_wall(&state, ribbons);
    EXPECT_EQ(state.phase, 0);

    // The waves count falls by 0.1 in single precision and is back at 1.0 on the eighth tick.
    reset_ribbons(ribbons);
    WallState fresh = WALL_START;
    for (int t = 0; t < 7; ++t)
        step_wall(&fresh, ribbons);
    EXPECT_EQ(ribbons[0].waves, 0.29999992f); // 0.1 short of 0.4 seven times in single precision
    step_wall(&fresh, ribbons);
    EXPECT_EQ(ribbons[0].waves, 1.0f);
}

TEST_F(WallScene, RiseClimbsAndStopsTheSway)
{
    WallState state = WALL_START;
    state.rising = 1;
    step_wall(&state, ribbons);
    EXPECT_EQ(state.ribbon_column, 160); // sway stopped where it was
    EXPECT_EQ(ribbons[0].span_width, 9);
    EXPECT_EQ(state.credits_y, float(239.0 - 0.35));
    EXPECT_EQ(state.credits_x, 50);
    EXPECT_EQ(state.ribbon_row, 118);
    EXPECT_EQ(ribbons[0].rows, 238 - 118 + 10);
    EXPECT_EQ(state.ribbon2_column, 159);
    EXPECT_EQ(state.ribbon2_row, 248);
    EXPECT_EQ(ribbons[1].rows, 63);
    EXPECT_EQ(state.ribbon3_column, 163);
    EXPECT_EQ(state.ribbon3_row, 312);
    EXPECT_EQ(ribbons[2].rows, 47);
    EXPECT_EQ(ribbons[2].span_width, 7);
    EXPECT_EQ(ribbons[2].waves, ribbons[0].waves);
    EXPECT_EQ(state.offset_a, 120); // the wall still circles
    EXPECT_EQ(state.column_count, 320);
}

TEST_F(WallScene, ClosingNarrowsTheWallTo180AndScrollsIt)
{
    WallState state = WALL_START;
    state.closing = 1;
    step_wall(&state, ribbons);
    EXPECT_EQ(state.offset_a, 117);
    EXPECT_EQ(state.offset_b, 0);
    EXPECT_EQ(state.column_count, 319);
    for (int t = 1; t < 200; ++t)
        step_wall(&state, ribbons);
    EXPECT_EQ(state.column_count, 180);
    // The remainder keeps the sign: 120 - 600 = -480 -> -160.
    EXPECT_EQ(state.offset_a, -160);
    state.offset_a = -319;
    step_wall(&state, ribbons);
    EXPECT_EQ(state.offset_a, -2);
}

TEST_F(WallScene, CaptionsSlideInStepsOf4)
{
    WallState state = WALL_START;
    state.caption_d1 = -4;
    std::vector<int> positions;
    for (int t = 0; t < 40; ++t) {
        step_wall(&state, ribbons);
        positions.push_back(state.caption_x);
    }
    EXPECT_EQ(positions[0], 316);
    EXPECT_EQ(positions[30], 196);
    EXPECT_EQ(positions[39], 196);

    state.caption_d1 = 4;
    for (int t = 0; t < 31; ++t)
        step_wall(&state, ribbons);
    EXPECT_EQ(state.caption_x, 320);
    step_wall(&state, ribbons);
    EXPECT_EQ(state.caption_x, 320);

    // Both velocities move it, one after the other, each with its own test.
    state.caption_d1 = -4;
    state.caption_d2 = -4;
    step_wall(&state, ribbons);
    EXPECT_EQ(state.caption_x, 312);
}

TEST_F(WallScene, Cue243ShowsCaption2InPlaceOfCaption1)
{
    WallState state = WALL_START;
    state.caption_x = 196;
    state.caption_d1 = 0;
    state.caption_d2 = -4;
    std::fill_n(pixels(work_surface_1), 320 * 240, 0x00102030u);
    finish_wall_frame(&state);

    Surface* expected = create_surface(320, 240, 32);
    std::fill_n(pixels(expected), 320 * 240, 0x00102030u);
    draw_image(expected, crd2_picture, 196, 60);
    EXPECT_EQ(0, std::memcmp(pixels(expected), pixels(frame_surface), 320 * 240 * 4));
    destroy_surface(expected);
}

TEST_F(WallScene, TitleDissolveTakes51Ticks)
{
    WallState state = WALL_START;
    state.title = 1;
    for (int t = 0; t < 50; ++t)
        step_wall(&state, ribbons);
    EXPECT_EQ(state.title_level, 5);
    step_wall(&state, ribbons);
    step_wall(&state, ribbons);
    EXPECT_EQ(state.title_level, 0);

    // At level 0 the frame shows the title alone on black.
    std::fill_n(pixels(work_surface_1), 320 * 240, 0x00FFFFFFu);
    finish_wall_frame(&state);
    Surface* expected = create_surface(320, 240, 32);
    clear_surface(expected);
    draw_image(expected, title_picture, 160 - title_picture->width / 2, 120 - title_picture->height / 2);
    for (int i = 0; i < 320 * 240; ++i)
        pixels(expected)[i] &= 0x00FFFFFFu;
    EXPECT_EQ(0, std::memcmp(pixels(expected), pixels(frame_surface), 320 * 240 * 4));
    destroy_surface(expected);
}

TEST_F(WallScene, EnteringThrough4ClosesOnTheFirstFrame)
{
    run(4, { { 12, 13 } });
    EXPECT_EQ(current_scene_number(), 13u);
    // Eleven frames of closing: the rightmost columns are no longer warped and stay black.
    for (int y = 0; y < 240; ++y)
        ASSERT_EQ(pixels(frame_surface)[y * 320 + 319], 0u) << "row " << y;

    // Entered through 3 the wall covers every column.
    run(3, { { 12, 13 } });
    int lit = 0;
    for (int y = 0; y < 240; ++y)
        lit += pixels(frame_surface)[y * 320 + 319] != 0;
    EXPECT_GT(lit, 100);
}

TEST_F(WallScene, ScriptedRunConsumesItsEventsAndLeavesOnAnotherScene)
{
    run(3, { { 3, 240 }, { 6, 4 }, { 9, 241 }, { 60, 245 }, { 130, 5 } });
    EXPECT_EQ(current_scene_number(), 5u);
    // The dissolve has ended: the frame is the title alone.
    Surface* expected = create_surface(320, 240, 32);
    clear_surface(expected);
    draw_image(expected, title_picture, 160 - title_picture->width / 2, 120 - title_picture->height / 2);
    for (int i = 0; i < 320 * 240; ++i)
        pixels(expected)[i] &= 0x00FFFFFFu;
    EXPECT_EQ(0, std::memcmp(pixels(expected), pixels(frame_surface), 320 * 240 * 4));
    destroy_surface(expected);

    // A cue keeps it running until the quit flag ends it.
    begin(3);
    script.numbers = { { 2, 250 } };
    set_quit_flag();
    wall_scene();
    EXPECT_EQ(current_scene_number(), 3u);
}
} // namespace
