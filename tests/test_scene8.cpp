// test_scene8.cpp -- running animation: frame clock, the 44/45-frame loop, caption flags, drawing.
#include <gtest/gtest.h>

#include <fstream>

#include "gfx2d/anim.h"
#include "gfx2d/blit.h"
#include "scene_script.h"
#include "scenes/scene8_running.h"
#include "scenes/scene_data.h"
#include "tools/formats/anim_writer.h"

namespace {
using namespace scene_script;

// Frame k (1-based) of the stream is filled with palette index k.
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

class RunningAnimation : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!run_surface)
            run_surface = create_surface(RLM_FRAME_WIDTH, RLM_FRAME_HEIGHT, 32);
        static uint32_t palette[PAL_ENTRIES];
        for (int i = 0; i < PAL_ENTRIES; ++i)
            palette[i] = uint32_t(i) * 0x010101u; // entry i is grey level i
        run_palette = palette;
        Image** pictures[] = { &dtitle_picture, &dq_picture, &da_picture, &dlast_picture, &title_picture };
        const char* names[] = { "dtitle", "dq", "da", "dlast", "title" };
        for (int i = 0; i < 5; ++i)
            if (!*pictures[i])
                *pictures[i] = load_acg_file((std::string(MW_BINARY_DIR "/data/") + names[i] + ".acg").c_str());
        for (Image** p : pictures)
            ASSERT_NE(*p, nullptr);
    }
    void TearDown() override { end(); }

    // The frame number shown: the grey level of the animation surface.
    static int shown() { return int(surface_row32(run_surface, 60)[80] & 0xFF); }
};

TEST_F(RunningAnimation, FrameClockDecodesOnTheFourthTickAfterARewind)
{
    std::vector<uint8_t> bytes = numbered_stream(50);
    ByteStream stream {};
    init_byte_stream(&stream, bytes.data(), bytes.size());
    RunningAnimationState state {};
    clear_surface(run_surface);

    // 0.9, 1.8, 2.7: nothing; 3.6 crosses 3.0, frame 1 with i = 1 and c = 0.6 left over.
    for (int t = 0; t < 3; ++t)
        step_running_animation(&state, &stream, 8);
    EXPECT_EQ(shown(), 0);
    step_running_animation(&state, &stream, 8);
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(state.frame_number, 1);
    EXPECT_NEAR(state.frame_clock, 0.6f, 1e-6f);

    // Count decodes over many ticks: one per 3 / 0.9 ticks on average.
    int changes = 0;
    int last = shown();
    int ticks = 4;
    while (state.frame_number < RUN_LOOP_LAST_FRAME) {
        step_running_animation(&state, &stream, 8);
        ++ticks;
        if (shown() != last)
            ++changes;
        last = shown();
    }
    // The first pass shows frames 1-44 of the file.
    EXPECT_EQ(changes, 43);
    EXPECT_EQ(shown(), 44);
    EXPECT_NEAR(ticks, 44 * 3.0 / 0.9, 2.0);

    // The next step that crosses 3.0 rewinds by seeking and decodes the first frame with i = 0;
    // the clock restarts from 0, so the following frame comes exactly 4 ticks later.
    while (shown() == 44)
        step_running_animation(&state, &stream, 8);
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(state.frame_number, 0);
    EXPECT_EQ(state.frame_clock, 0.0f);
    for (int t = 0; t < 3; ++t)
        step_running_animation(&state, &stream, 8);
    EXPECT_EQ(shown(), 1);
    step_running_animation(&state, &stream, 8);
    EXPECT_EQ(shown(), 2);
}

TEST_F(RunningAnimation, LaterPassesShow45Frames)
{
    std::vector<uint8_t> bytes = numbered_stream(50);
    ByteStream stream {};
    init_byte_stream(&stream, bytes.data(), bytes.size());
    RunningAnimationState state {};
    std::vector<int> sequence; // every frame shown, in order
    int last = -1;
    clear_surface(run_surface);
    while (sequence.size() < 44 + 45 + 45 + 1) {
        step_running_animation(&state, &stream, 8);
        if (shown() != last && shown() != 0)
            sequence.push_back(shown());
        last = shown();
    }
    std::vector<int> expected;
    for (int k = 1; k <= 44; ++k)
        expected.push_back(k);
    for (int pass = 0; pass < 2; ++pass)
        for (int k = 1; k <= 45; ++k)
            expected.push_back(k);
    expected.push_back(1);
    EXPECT_EQ(sequence, expected);
}

TEST_F(RunningAnimation, CaptionFlagsFollowTheCues)
{
    ByteStream stream {};
    init_byte_stream(&stream, nullptr, 0);
    RunningAnimationState state {};
    for (uint32_t cue : { 241u, 8u, 243u, 250u, 242u })
        step_running_animation(&state, &stream, cue);
    EXPECT_EQ(state.show_dtitle, 1);
    EXPECT_EQ(state.show_dq, 1);
    EXPECT_EQ(state.show_da, 1);
    EXPECT_EQ(state.show_dlast, 0);
    EXPECT_EQ(state.show_title, 0);

    // 245 clears the captions and shows the title; 241 afterwards adds dtitle again.
    step_running_animation(&state, &stream, 244);
    step_running_animation(&state, &stream, 245);
    EXPECT_EQ(state.show_dtitle + state.show_dq + state.show_da + state.show_dlast, 0);
    EXPECT_EQ(state.show_title, 1);
    step_running_animation(&state, &stream, 241);
    step_running_animation(&state, &stream, 8);
    EXPECT_EQ(state.show_dtitle, 1);
    EXPECT_EQ(state.show_title, 1);
    EXPECT_EQ(state.show_dq + state.show_da + state.show_dlast, 0);
}

TEST_F(RunningAnimation, SceneDrawsTheCuedPicturesOverTheDoubledAnimation)
{
    TempDataFolder folder("running");
    const std::vector<uint8_t> bytes = numbered_stream(50);
    std::ofstream(folder.root / "data" / "run.rlm", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

    begin(8);
    script.numbers = { { 3, 242 }, { 5, 245 }, { 8, 241 }, { 9, 9 } };
    running_animation_scene();
    EXPECT_EQ(tick(), 9u);
    EXPECT_FALSE(quit_flag());

    // Nine ticks decode frames 1 and 2 (ticks 4 and 7); the cues leave the title and dtitle on.
    Surface* expected = create_surface(320, 240, 32);
    clear_surface(expected);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            surface_row32(expected, y)[x] = 0x020202u;
    draw_image(expected, dtitle_picture, 5, 5);
    draw_image(expected, title_picture, 160 - (title_picture->width >> 1), 120 - (title_picture->height >> 1));
    for (int i = 0; i < 320 * 240; ++i)
        ASSERT_EQ(pixels(frame_surface)[i], pixels(expected)[i]) << i;
    destroy_surface(expected);

    // Missing stream: returns without waiting.
    std::filesystem::remove(folder.root / "data" / "run.rlm");
    begin(8);
    running_animation_scene();
    EXPECT_EQ(script.waits, 0u);
}
} // namespace
