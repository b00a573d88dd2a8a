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
    const uint32_t cases[][3] = { { 0x00F0F0F0u, GLOW, 0x00FFFFF0u }, { 0x01020304u, 0x10203040u, 0x11223344u },
        { 0x80808080u, 0x80808080u, 0xFFFFFFFFu }, // the top byte saturates too
        { 0x00FF0000u, 0x00010000u, 0x00FF0000u } }; // no carry into the top byte
    for (const auto& c : cases)
        EXPECT_EQ(add_saturate(c[0], c[1]), c[2]) << std::hex << c[0];
}

TEST(DrawRibbon, StacksItsFiveSpansAndSwaysAlongItsSinePeriods)
{
    GuardedBuffer straight;
    Ribbon ribbon = straight_ribbon(9, 120); // h = 4, q = 2, e = 1
    draw_ribbon(&ribbon, 100, 10, straight.pixels());
    GuardedBuffer sway;
    Ribbon swaying = straight_ribbon(9, 4);
    swaying.waves = 1.0f; // a quarter period per row
    draw_ribbon(&swaying, 160, 0, sway.pixels());
    // Straight: column 100 gets all five spans, 101 the four glow spans, 102-103 the wide ones,
    // rows 10 to 130. Swaying, row 1 (sin 1): spans at +4 (4 wide), +2 (2), -4 (4), -2 (2), core
    // at +1; row 3 (sin -1) mirrored, the core one column left.
    const struct {
        GuardedBuffer* buffer;
        int x, y;
        uint32_t colour;
    } cases[] = { { &straight, 100, 10, 0xFFFFFFFFu }, { &straight, 101, 10, 0x00FFC000u },
        { &straight, 103, 10, 0x00C06000u }, { &straight, 104, 10, 0 }, { &straight, 99, 10, 0 },
        { &straight, 101, 130, 0x00FFC000u }, { &straight, 101, 131, 0 }, { &straight, 101, 9, 0 },
        { &sway, 161, 1, 0xFFFFFFFFu }, { &sway, 160, 1, 0 }, { &sway, 156, 1, GLOW }, { &sway, 158, 1, 0x00C06000u },
        { &sway, 164, 1, GLOW }, { &sway, 168, 1, 0 }, { &sway, 159, 3, 0xFFFFFFFFu }, { &sway, 160, 3, 0 },
        { &sway, 167, 3, GLOW } };
    for (const auto& c : cases)
        EXPECT_EQ(c.buffer->at(c.x, c.y), c.colour) << c.x << "," << c.y;
    EXPECT_EQ(straight.drawn_rows(), 121);
}

TEST(DrawRibbon, ClipsRowsAndSpansToTheBuffer)
{
    // (start column, start row, width, rows, waves) -> rows drawn; a pixel drawn, one not.
    const struct {
        int column, row, width, rows;
        float waves;
        int drawn;
        int on_x, on_y, off_x, off_y;
    } cases[] = {
        { 100, 240, 9, 120, 0, 0, -1, -1, 100, 239 }, // below the buffer: nothing
        { 100, -50, 9, 120, 0, 71, 100, 70, 100, 71 }, // above the top: rows 0 to 70
        { 100, 200, 9, 120, 0, 40, 100, 239, 100, 199 }, // off the bottom: rows 200 to 239
        { 160, 200, 9, 120, 1, 40, 166, 210, 167, 210 }, // swaying over the 39 rows left: row 210 at 10/39 turn
        { 100, -200, 9, 120, 1, 1, 100, 0, 100, 1 }, // nothing left after the top clip: row 0 at angle 0
        { 200, 239, 9, 0, 1, 1, 200, 239, 201, 238 }, // no rows at all: row y0 alone
        { 310, 5, 40, 0, 0, 1, 319, 5, 0, 6 }, // a wide span at the right edge stops at column 319
        { -10, 5, 40, 0, 0, 1, 9, 5, 319, 4 }, // and at the left edge at column 0
        { 0, 0, -1, 239, 0, 240, 319, 239, -1, -1 }, // a negative width is huge unsigned: rows fill
    };
    for (const auto& c : cases) {
        GuardedBuffer buffer;
        Ribbon ribbon = straight_ribbon(c.width, c.rows);
        ribbon.waves = c.waves;
        draw_ribbon(&ribbon, c.column, c.row, buffer.pixels());
        EXPECT_EQ(buffer.drawn_rows(), c.drawn) << c.column << "," << c.row;
        if (c.on_x >= 0)
            EXPECT_NE(buffer.at(c.on_x, c.on_y), 0u) << c.column << "," << c.row;
        if (c.off_x >= 0)
            EXPECT_EQ(buffer.at(c.off_x, c.off_y), 0u) << c.column << "," << c.row;
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

TEST_F(WallScene, EventsSetFlagsAndVelocitiesAndConsume4And240Only)
{
    WallState state = WALL_START;
    for (uint32_t n : { 4u, 240u }) {
        scene_number.store(n);
        take_wall_event(&state, n);
        EXPECT_EQ(current_scene_number(), 255u) << n;
    }
    EXPECT_EQ(state.closing + state.rising, 2);
    scene_number.store(7); // a sync that arrives between the read and the write is kept
    take_wall_event(&state, 240);
    EXPECT_EQ(current_scene_number(), 7u);
    // Caption and title cues, not consumed: (cue, d1, d2, title) after each.
    const int cues[][4] = { { 241, -4, 0, 0 }, { 242, 4, 0, 0 }, { 244, 4, 4, 0 }, { 243, 0, -4, 0 }, { 245, 0, -4, 1 } };
    WallState cued = WALL_START;
    for (const auto& c : cues) {
        scene_number.store(uint32_t(c[0]));
        take_wall_event(&cued, uint32_t(c[0]));
        EXPECT_EQ(cued.caption_d1, c[1]) << c[0];
        EXPECT_EQ(cued.caption_d2, c[2]) << c[0];
        EXPECT_EQ(cued.title, c[3]) << c[0];
        EXPECT_EQ(current_scene_number(), uint32_t(c[0]));
    }
    EXPECT_EQ(cued.closing + cued.rising, 0);
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

// The layers with a black wall and stand-ins: an opaque 4 x 4 credits picture, an 8 x 6 upsbot.
class WallLayers : public WallScene {
protected:
    void SetUp() override
    {
        WallScene::SetUp();
        saved_credits_ = credits_picture;
        saved_upsbot_ = upsbot_surface;
        credits_picture = solid_picture(4, 4, 0xFF0000FFu);
        upsbot_surface = create_surface(8, 6, 32);
        fill(upsbot_surface, 0xFF00FF00u);
        fill(work_surface_2, 0);
        state_ = WALL_START;
        state_.column_count = 0; // no wall
        state_.credits_x = 50;
        state_.credits_y = 100.7f;
        state_.upsbot_scale = 256;
        state_.ribbon_row = 100;
        state_.ribbon2_column = 40;
        state_.ribbon2_row = 20;
        state_.ribbon3_column = 280;
        state_.ribbon3_row = 20;
    }
    void TearDown() override
    {
        destroy_image(credits_picture);
        destroy_surface(upsbot_surface);
        credits_picture = saved_credits_;
        upsbot_surface = saved_upsbot_;
        WallScene::TearDown();
    }
    uint32_t at(int x, int y) { return pixels(work_surface_1)[y * 320 + x]; }
    WallState state_;
    Image* saved_credits_ = nullptr;
    Surface* saved_upsbot_ = nullptr;
};

TEST_F(WallLayers, CreditsAndUpsbotSitOnTheRibbonAndCloseCuesTheOtherRibbons)
{
    fill(work_surface_1, 0);
    draw_wall_layers(&state_);
    EXPECT_EQ(at(50, 100), 0xFF0000FFu); // credits at (x, trunc y)
    EXPECT_EQ(at(53, 103), 0xFF0000FFu);
    EXPECT_EQ(at(49, 100) | at(50, 99) | at(54, 100), 0u);
    // Upsbot centred on the ribbon column, standing on its row: (160 - 4, 100 - 6) at scale 1.
    EXPECT_EQ(at(156, 94), 0xFF00FF00u);
    EXPECT_EQ(at(163, 99), 0xFF00FF00u);
    EXPECT_EQ(at(155, 94) | at(164, 94) | at(156, 93), 0u);
    EXPECT_EQ(at(40, 25) | at(280, 25), 0u); // ribbons 2 and 3 wait for the closing phase
    state_.rising = 1;
    draw_wall_layers(&state_);
    EXPECT_EQ(at(40, 25) | at(280, 25), 0u);

    state_.closing = 1;
    state_.upsbot_scale = 512; // twice the size: (160 - 8, 100 - 12)
    draw_wall_layers(&state_); // closing clears the layer first
    EXPECT_EQ(at(152, 88), 0xFF00FF00u);
    EXPECT_EQ(at(151, 88) | at(152, 87), 0u);
    EXPECT_NE(at(40, 25), 0u);
    EXPECT_NE(at(280, 25), 0u);
}

TEST_F(WallLayers, UpsbotOnlyBelowRowZero)
{
    for (int row : { 0, 1 }) {
        fill(work_surface_1, 0);
        state_.ribbon_row = row;
        state_.upsbot_scale = 1024; // 32 x 24: row 1 shows its bottom row
        draw_wall_layers(&state_);
        EXPECT_EQ(at(160, 0) == 0xFF00FF00u, row == 1) << row;
    }
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
