// test_scene14.cpp -- picture cross-fade and zoom: the three phases, the zoom's end and the fade out.
#include <gtest/gtest.h>

#include "gfx2d/blit.h"
#include "scene_script.h"
#include "scenes/scene14_zoom.h"

namespace {
using namespace scene_script;

// Per-channel incoming × (level + 1) / 256 + base × (256 − level) / 256.
uint32_t mix(uint32_t incoming, uint32_t base, int level)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t a = (incoming >> shift) & 0xFF;
        const uint32_t b = (base >> shift) & 0xFF;
        out |= (((a * uint32_t(level + 1)) >> 8) + ((b * uint32_t(256 - level)) >> 8)) << shift;
    }
    return out;
}

class PictureZoom : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!riptlt_picture)
            riptlt_picture = load_acg_file(MW_BINARY_DIR "/data/riptlt.acg");
        if (!quenvask_picture)
            quenvask_picture = load_acg_file(MW_BINARY_DIR "/data/quenvask.acg");
        ASSERT_NE(riptlt_picture, nullptr);
        ASSERT_NE(quenvask_picture, nullptr);
        begin(14);
        picture_a = create_surface(320, 240, 32);
        picture_b = create_surface(320, 240, 32);
        clear_surface(picture_a);
        clear_surface(picture_b);
        draw_image(picture_a, riptlt_picture, 0, 0);
        draw_image(picture_b, quenvask_picture, 0, 0);
    }
    void TearDown() override
    {
        destroy_surface(picture_a);
        destroy_surface(picture_b);
        end();
    }
    Surface* picture_a = nullptr;
    Surface* picture_b = nullptr;
};

TEST_F(PictureZoom, ZoomStartsAfterTheFadeInAndSpeedsUp)
{
    PictureZoomState state = PICTURE_ZOOM_START;
    for (int t = 0; t < 255; ++t)
        step_picture_zoom(&state, 14);
    EXPECT_EQ(state.fade_in, 255);
    EXPECT_EQ(state.zoom, 256.0f);
    step_picture_zoom(&state, 14);
    EXPECT_EQ(state.zoom, 255.75f); // 0.25 the first tick, 0.0001 more every tick after
    // Z passes below 1.0 after about 870 zoom ticks (n: 0.25 n + 0.0001 n^2 / 2 = 255), then stays.
    int zoom_ticks = 1;
    while (state.zoom > 1.0f) {
        step_picture_zoom(&state, 14);
        ++zoom_ticks;
    }
    EXPECT_GT(zoom_ticks, 850);
    EXPECT_LT(zoom_ticks, 890);
    const float stopped = state.zoom;
    step_picture_zoom(&state, 14);
    EXPECT_EQ(state.zoom, stopped);
    EXPECT_EQ(state.fade_out, 255); // no cue seen
}

TEST_F(PictureZoom, FadeInMixesBIntoA)
{
    PictureZoomState state = PICTURE_ZOOM_START;
    state.fade_in = 100;
    scene_script::begin(14);
    std::copy_n(pixels(picture_b), 320 * 240, pixels(work_surface_1));
    draw_picture_zoom(&state);
    for (int i = 0; i < 320 * 240; i += 97)
        ASSERT_EQ(pixels(frame_surface)[i], mix(pixels(picture_a)[i], pixels(picture_b)[i], 100)) << i;
}

TEST_F(PictureZoom, ShrunkPictureIsCentredAndVanishesBelowTwo)
{
    PictureZoomState state = PICTURE_ZOOM_START;
    state.fade_in = 255;
    state.zoom = 128.9f; // s = 128: half size at (80, 60)
    draw_picture_zoom(&state);
    EXPECT_EQ(pixels(frame_surface)[0], 0u);
    EXPECT_EQ(pixels(frame_surface)[59 * 320 + 80], 0u);
    EXPECT_EQ(pixels(frame_surface)[60 * 320 + 79], 0u);
    EXPECT_EQ(pixels(frame_surface)[180 * 320 + 240], 0u);
    EXPECT_EQ(pixels(frame_surface)[60 * 320 + 80], pixels(picture_a)[0]);
    EXPECT_EQ(pixels(frame_surface)[179 * 320 + 239], pixels(picture_a)[238 * 320 + 318]);

    // Between 1.0 and 2.0 the scaled picture is 1 pixel wide and 0 high: nothing is drawn.
    state.zoom = 1.75f;
    draw_picture_zoom(&state);
    for (int i = 0; i < 320 * 240; ++i)
        ASSERT_EQ(pixels(frame_surface)[i], 0u) << i;
}

TEST_F(PictureZoom, CueDuringTheFadeInDimsThePictureWhenTheZoomBegins)
{
    // 241 arrives at tick 101 and stays: H falls from then on, but the picture keeps fading in
    // until tick 255; on that frame H is already 255 - 155 = 100.
    script.numbers = { { 101, 241 }, { 256, 13 } };
    std::copy_n(pixels(picture_b), 320 * 240, pixels(work_surface_1));
    picture_zoom_scene();
    EXPECT_EQ(tick(), 256u);
    // At tick 256: G = 255, Z = 255.75 (s = 255, drawn at (1, 1)), H = 99.
    EXPECT_EQ(pixels(frame_surface)[0], 0u);
    const int drawn = 1 * 320 + 1;
    uint32_t scaled = pixels(work_surface_1)[drawn];
    EXPECT_EQ(pixels(frame_surface)[drawn], mix(scaled, 0, 99));
    EXPECT_NE(scaled & 0x00FFFFFFu, 0u);
}

TEST_F(PictureZoom, EntryResetsTheStateAndCuesKeepItRunning)
{
    script.numbers = { { 3, 250 }, { 6, 15 } };
    picture_zoom_scene();
    EXPECT_EQ(tick(), 6u);
    // Six ticks into the fade-in from B (work surface 1 was set up on entry).
    for (int i = 0; i < 320 * 240; i += 101)
        ASSERT_EQ(pixels(frame_surface)[i], mix(pixels(picture_a)[i], pixels(picture_b)[i], 6) & 0x00FFFFFFu) << i;
    begin(14);
    script.numbers = { { 2, 15 } };
    picture_zoom_scene();
    EXPECT_EQ(pixels(frame_surface)[500], mix(pixels(picture_a)[500], pixels(picture_b)[500], 2));
}
} // namespace
