// test_scene14.cpp -- picture cross-fade and zoom: the three phases, the zoom's end and the fade out.
#include <gtest/gtest.h>

#include "gfx2d/blit.h"
#include "scene_script.h"
#include "scenes/scene14_zoom.h"

namespace {
using namespace scene_script;

// Per-channel incoming x (level + 1) / 256 + base x (256 - level) / 256.
uint32_t mix(uint32_t incoming, uint32_t base, int level)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t a = (incoming >> shift) & 0xFF, b = (base >> shift) & 0xFF;
        out |= (((a * uint32_t(level + 1)) >> 8) + ((b * uint32_t(256 - level)) >> 8)) << shift;
    }
    return out;
}

// Pictures A and B drawn at full size; the scripted clock at tick 0 in scene 14.
class PictureZoom : public ::testing::Test {
protected:
    void SetUp() override
    {
        riptlt_picture = riptlt_picture ? riptlt_picture : load_acg_file(MW_BINARY_DIR "/data/riptlt.acg");
        quenvask_picture = quenvask_picture ? quenvask_picture : load_acg_file(MW_BINARY_DIR "/data/quenvask.acg");
        ASSERT_TRUE(riptlt_picture && quenvask_picture);
        begin(14);
        for (auto [surface, picture] : { std::pair { a, riptlt_picture }, std::pair { b, quenvask_picture } }) {
            fill(surface, 0);
            draw_image(surface, picture, 0, 0);
        }
    }
    void TearDown() override
    {
        destroy_surface(a);
        destroy_surface(b);
        end();
    }
    Surface* a = create_surface(320, 240, 32);
    Surface* b = create_surface(320, 240, 32);
};

TEST_F(PictureZoom, ZoomStartsAfterTheFadeInAndSpeedsUp)
{
    PictureZoomState state = PICTURE_ZOOM_START;
    for (int t = 0; t < 255; ++t)
        step_picture_zoom(&state, 14);
    EXPECT_EQ(state.zoom, 256.0f);
    step_picture_zoom(&state, 14);
    EXPECT_EQ(state.zoom, 255.75f); // 0.25 the first tick, 0.0001 more every tick after
    // Z passes below 1.0 after about 870 zoom ticks (n: 0.25 n + 0.0001 n^2 / 2 = 255), then stays.
    int zoom_ticks = 1;
    for (; state.zoom > 1.0f; ++zoom_ticks)
        step_picture_zoom(&state, 14);
    EXPECT_GT(zoom_ticks, 850);
    EXPECT_LT(zoom_ticks, 890);
    const float stopped = state.zoom;
    step_picture_zoom(&state, 14);
    EXPECT_EQ(state.zoom, stopped);
}

TEST_F(PictureZoom, ShrunkPictureIsCentred)
{
    PictureZoomState state = PICTURE_ZOOM_START;
    state.fade_in = 255;
    state.zoom = 128.9f; // s = 128: half size at (80, 60) to (239, 179)
    draw_picture_zoom(&state);
    const uint32_t* frame = pixels(frame_surface);
    for (int i : { 0, 59 * 320 + 80, 60 * 320 + 79, 180 * 320 + 240, 179 * 320 + 240 })
        EXPECT_EQ(frame[i], 0u) << i;
    EXPECT_EQ(frame[60 * 320 + 80], pixels(a)[0]);
    EXPECT_EQ(frame[179 * 320 + 239], pixels(a)[238 * 320 + 318]);
}

TEST_F(PictureZoom, EntryFadesAIntoBAndACueDimsThePictureFromTheZoomOn)
{
    // Six ticks into the fade-in of A over B; cues keep the scene running.
    play(picture_zoom_scene, { { 3, 250 }, { 6, 15 } });
    EXPECT_EQ(tick(), 6u);
    for (int i = 0; i < 320 * 240; i += 101)
        ASSERT_EQ(pixels(frame_surface)[i], mix(pixels(a)[i], pixels(b)[i], 6)) << i;
    // 241 arrives at tick 101 and stays: H falls from then on, but the picture keeps fading in
    // until tick 255. At tick 256: G = 255, Z = 255.75 (s = 255, drawn at (1, 1)), H = 99.
    begin(14);
    play(picture_zoom_scene, { { 101, 241 }, { 256, 13 } });
    EXPECT_EQ(pixels(frame_surface)[0], 0u);
    const uint32_t scaled = pixels(work_surface_1)[321];
    EXPECT_EQ(pixels(frame_surface)[321], mix(scaled, 0, 99));
    EXPECT_NE(scaled & 0x00FFFFFFu, 0u);
}
} // namespace
