// test_scene16.cpp -- closing flames: frame stepping, the end of the stream, the fade and the quit.
#include <gtest/gtest.h>

#include <fstream>

#include "gfx2d/anim.h"
#include "gfx2d/blit.h"
#include "scene_script.h"
#include "scenes/scene16_flames.h"
#include "tools/formats/anim_writer.h"

namespace {
using namespace scene_script;

// A stream of `frames` frames; frame k (1-based) is filled with palette index k.
std::vector<uint8_t> numbered_stream(int frames)
{
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> indices(RLM_FRAME_PIXELS);
    for (int k = 1; k <= frames; ++k) {
        std::fill(indices.begin(), indices.end(), uint8_t(k));
        encode_rlm_frame(indices.data(), RLM_FRAME_PIXELS, &bytes);
    }
    return bytes;
}

// Palette entry i is 0x00010203 * i truncated to 24 bits; distinct for 1..255.
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
    }
    void TearDown() override { end(); }

    // Writes the stream as ./data/boxflame.rlm of a temporary folder and runs the scene in it.
    void run_scene(const std::vector<uint8_t>& stream)
    {
        TempDataFolder folder("flames");
        std::ofstream(folder.root / "data" / "boxflame.rlm", std::ios::binary)
            .write(reinterpret_cast<const char*>(stream.data()), std::streamsize(stream.size()));
        closing_flames_scene();
    }
};

TEST_F(ClosingFlames, FramesEveryThirdTickThenFadeAndCountdown)
{
    std::vector<uint8_t> bytes = numbered_stream(FLAME_FRAME_COUNT);
    ByteStream stream {};
    init_byte_stream(&stream, bytes.data(), bytes.size());
    ClosingFlamesState state {};

    // A frame on ticks 3, 6, 9, ...: frame k is shown from tick 3k.
    for (int tick = 1; tick <= 8; ++tick)
        step_closing_flames(&state, &stream);
    EXPECT_EQ(state.frames_decoded, 2);
    EXPECT_EQ(state.phase, 2);
    EXPECT_EQ(surface_row32(flame_surface, 0)[0], palette_colour(2));

    // Tick 426 decodes frame 142; tick 429 finds the count full and starts the fade.
    for (int tick = 9; tick <= 428; ++tick)
        step_closing_flames(&state, &stream);
    EXPECT_EQ(state.frames_decoded, 142);
    EXPECT_EQ(state.finished, 0);
    EXPECT_EQ(surface_row32(flame_surface, 119)[159], palette_colour(142));
    step_closing_flames(&state, &stream);
    EXPECT_EQ(state.finished, 1);
    EXPECT_EQ(state.quit_countdown, 0u);
    EXPECT_EQ(state.fade_level, 0);

    // Fade level and countdown rise together; the level stops at 255.
    for (int tick = 430; tick <= 429 + 300; ++tick)
        step_closing_flames(&state, &stream);
    EXPECT_EQ(state.quit_countdown, 300u);
    EXPECT_EQ(state.fade_level, 255);
    EXPECT_EQ(state.frames_decoded, 142);
    EXPECT_EQ(surface_row32(flame_surface, 0)[0], palette_colour(142));
}

TEST_F(ClosingFlames, ShortStreamEndsTheAnimationAtItsEnd)
{
    std::vector<uint8_t> bytes = numbered_stream(10);
    ByteStream stream {};
    init_byte_stream(&stream, bytes.data(), bytes.size());
    ClosingFlamesState state {};
    for (int tick = 1; tick <= 32; ++tick)
        step_closing_flames(&state, &stream);
    EXPECT_EQ(state.finished, 0);
    // The 11th decode finds no data: the fade starts on tick 33, the last frame stays.
    step_closing_flames(&state, &stream);
    EXPECT_EQ(state.finished, 1);
    EXPECT_EQ(state.frames_decoded, 11);
    EXPECT_EQ(surface_row32(flame_surface, 0)[0], palette_colour(10));
}

TEST_F(ClosingFlames, QuitsWhenTheCountdownReaches255AfterTheEnd)
{
    // Full stream: the fade starts on tick 429, the quit comes on tick 429 + 255.
    begin(16);
    run_scene(numbered_stream(FLAME_FRAME_COUNT));
    EXPECT_TRUE(quit_flag());
    EXPECT_EQ(tick(), 684u);
    // Fully faded in: the frame is the closing picture on black, the flames gone.
    for (int i = 0; i < 320 * 240; ++i) {
        const uint32_t expected = pixels(work_surface_1)[i] & 0x00FFFFFFu;
        ASSERT_EQ(pixels(frame_surface)[i], expected) << i;
    }

    // A 10-frame stream: fade from tick 33, quit on tick 288.
    begin(16);
    run_scene(numbered_stream(10));
    EXPECT_TRUE(quit_flag());
    EXPECT_EQ(tick(), 288u);
}

TEST_F(ClosingFlames, StallDecodesSeveralFramesAndShowsTheLast)
{
    begin(16);
    // The first wait returns 10 ticks: frames 1-3 are decoded, frame 3 is drawn, doubled.
    script.stalls = { { 1, 9 } };
    script.numbers = { { 11, 13 } };
    run_scene(numbered_stream(FLAME_FRAME_COUNT));
    EXPECT_FALSE(quit_flag());
    EXPECT_EQ(tick(), 11u);
    EXPECT_EQ(elapsed_ticks, 0u); // the last wait returned 1, stored less one
    // At fade level 0 the frame is the animation, where the closing picture is black.
    EXPECT_EQ(pixels(frame_surface)[0], palette_colour(3));
    EXPECT_EQ(pixels(frame_surface)[239 * 320 + 319], palette_colour(3));
}

TEST_F(ClosingFlames, MissingStreamReturnsAtOnceAndOtherScenesEndIt)
{
    begin(16);
    {
        TempDataFolder folder("flames_missing");
        closing_flames_scene();
    }
    EXPECT_EQ(script.waits, 0u);
    EXPECT_FALSE(quit_flag());

    // A cue keeps it running; another scene number ends it without quitting.
    begin(16);
    script.numbers = { { 2, 250 }, { 5, 17 } };
    run_scene(numbered_stream(FLAME_FRAME_COUNT));
    EXPECT_EQ(tick(), 5u);
    EXPECT_FALSE(quit_flag());
}
} // namespace
