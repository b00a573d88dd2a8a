// test_scene16.cpp -- closing flames: frame stepping, the end of the stream, the fade and the quit.
#include <gtest/gtest.h>

#include "scene_script.h"
#include "scenes/scene16_flames.h"

namespace {
using namespace scene_script;

// Palette entry i: distinct for every index.
uint32_t palette_colour(int i)
{
    return (uint32_t(i) << 16) | (uint32_t(255 - i) << 8) | uint32_t(i);
}

class ClosingFlames : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!flame_surface)
            flame_surface = create_surface(RLM_FRAME_WIDTH, RLM_FRAME_HEIGHT, 32);
        static uint32_t palette[PAL_ENTRIES];
        for (int i = 0; i < PAL_ENTRIES; ++i)
            palette[i] = palette_colour(i);
        flame_palette = palette;
        if (!endtext_picture)
            endtext_picture = load_acg_file(MW_BINARY_DIR "/data/endtext1.acg");
        ASSERT_NE(endtext_picture, nullptr);
        begin(16);
    }
    void TearDown() override { end(); }

    // Runs the scene in a temporary folder holding this stream as boxflame.rlm.
    static void run_scene(int frames, std::vector<std::pair<uint32_t, uint32_t>> numbers = {})
    {
        TempDataFolder folder("flames");
        folder.write("boxflame.rlm", numbered_stream(frames));
        script.numbers = std::move(numbers);
        closing_flames_scene();
    }
};

TEST_F(ClosingFlames, FramesEveryThirdTickThenFadeAndCountdown)
{
    std::vector<uint8_t> bytes = numbered_stream(FLAME_FRAME_COUNT);
    ByteStream stream {};
    init_byte_stream(&stream, bytes.data(), bytes.size());
    ClosingFlamesState state {};
    // A frame on ticks 3, 6, 9, ...: tick 426 decodes frame 142; tick 429 finds the count full
    // and starts the fade.
    for (int t = 1; t <= 428; ++t)
        step_closing_flames(&state, &stream);
    EXPECT_EQ(state.finished, 0);
    EXPECT_EQ(surface_row32(flame_surface, 119)[159], palette_colour(142));
    step_closing_flames(&state, &stream);
    EXPECT_EQ(state.finished, 1);
    EXPECT_EQ(state.fade_level, 0);
    // Fade level and countdown rise together by one a tick; the level stops at 255.
    for (int t = 1; t <= 200; ++t)
        step_closing_flames(&state, &stream);
    EXPECT_EQ(state.fade_level, 200);
    EXPECT_EQ(state.quit_countdown, 200u);
    for (int t = 1; t <= 100; ++t)
        step_closing_flames(&state, &stream);
    EXPECT_EQ(state.fade_level, 255);
    EXPECT_EQ(state.frames_decoded, 142);
}

TEST_F(ClosingFlames, QuitsWhenTheCountdownReaches255AfterTheEnd)
{
    // Full stream: the fade starts on tick 429, the quit comes on tick 429 + 255.
    run_scene(FLAME_FRAME_COUNT);
    EXPECT_TRUE(quit_flag());
    EXPECT_EQ(tick(), 684u);
    // Fully faded in: the frame is the closing picture on black, the flames gone.
    for (int i = 0; i < 320 * 240; ++i)
        ASSERT_EQ(pixels(frame_surface)[i], pixels(work_surface_1)[i] & 0x00FFFFFFu) << i;
    // A 10-frame stream ends when the 11th decode finds no data: fade from tick 33, quit on 288.
    begin(16);
    run_scene(10);
    EXPECT_TRUE(quit_flag());
    EXPECT_EQ(tick(), 288u);
}

TEST_F(ClosingFlames, StallDecodesSeveralFramesAndShowsTheLastAndOtherScenesEndIt)
{
    // The first wait returns 10 ticks: frames 1-3 are decoded, frame 3 is drawn, doubled, and
    // at fade level 0 the closing picture's black leaves the animation alone. A cue keeps it
    // running; another scene number ends it without quitting.
    script.stalls = { { 1, 9 } };
    run_scene(FLAME_FRAME_COUNT, { { 10, 250 }, { 11, 13 } });
    EXPECT_FALSE(quit_flag());
    EXPECT_EQ(tick(), 11u);
    EXPECT_EQ(pixels(frame_surface)[0], palette_colour(3));
    EXPECT_EQ(pixels(frame_surface)[239 * 320 + 319], palette_colour(3));
}

} // namespace
