// test_scene8.cpp -- running animation: frame clock, the 44/45-frame loop, caption flags. The
// doubled animation and the captions as drawn are pinned by the scene 8 golden frames.
#include <gtest/gtest.h>

#include "scene_script.h"
#include "scenes/scene8_running.h"

namespace {
using namespace scene_script;

class RunningAnimation : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!run_surface)
            run_surface = create_surface(RLM_FRAME_WIDTH, RLM_FRAME_HEIGHT, 32);
        clear_surface(run_surface);
        static uint32_t palette[PAL_ENTRIES];
        for (int i = 0; i < PAL_ENTRIES; ++i)
            palette[i] = uint32_t(i) * 0x010101u; // entry i is grey level i
        run_palette = palette;
    }
};

TEST_F(RunningAnimation, FrameEvery3Over09TicksFirstPass44FramesThen45)
{
    std::vector<uint8_t> bytes = numbered_stream(50);
    ByteStream stream {};
    init_byte_stream(&stream, bytes.data(), bytes.size());
    RunningAnimationState state {};
    // Every frame shown (its grey level) and the tick it appeared on.
    std::vector<int> shown, ticks;
    for (int t = 1; shown.size() < 44 + 45 + 45 + 1; ++t) {
        step_running_animation(&state, &stream, 8);
        const int now = int(surface_row32(run_surface, 60)[80] & 0xFF);
        if (shown.empty() ? now != 0 : now != shown.back()) {
            shown.push_back(now);
            ticks.push_back(t);
        }
    }
    // The first pass shows frames 1-44 of the file; each rewind decodes frame 1 with i = 0, so
    // later passes show 45.
    std::vector<int> expected;
    for (int pass : { 44, 45, 45, 1 })
        for (int k = 1; k <= pass; ++k)
            expected.push_back(k);
    EXPECT_EQ(shown, expected);
    // 0.9, 1.8, 2.7, 3.6: frame 1 on the fourth tick; the rewind restarts the clock from 0, so
    // the next frame comes exactly 4 ticks after it.
    EXPECT_EQ(ticks[0], 4);
    EXPECT_EQ(ticks[45] - ticks[44], 4);
}

TEST_F(RunningAnimation, CaptionFlagsFollowTheCues)
{
    ByteStream stream {};
    init_byte_stream(&stream, nullptr, 0);
    RunningAnimationState state {};
    // Cue, then the flags dtitle, dq, da, dlast, title after it.
    const int cases[][6]
        = { { 241, 1, 0, 0, 0, 0 }, { 242, 1, 1, 0, 0, 0 }, { 8, 1, 1, 0, 0, 0 }, { 243, 1, 1, 1, 0, 0 },
              { 250, 1, 1, 1, 0, 0 }, { 244, 1, 1, 1, 1, 0 }, { 245, 0, 0, 0, 0, 1 }, { 241, 1, 0, 0, 0, 1 } };
    for (const auto& c : cases) {
        step_running_animation(&state, &stream, uint32_t(c[0]));
        const int flags[] = { state.show_dtitle, state.show_dq, state.show_da, state.show_dlast, state.show_title };
        EXPECT_TRUE(std::equal(flags, flags + 5, c + 1)) << "after cue " << c[0];
    }
}

} // namespace
