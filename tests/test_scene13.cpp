// test_scene13.cpp -- landscape: raw maps and loading, the ray caster's haze, restart and
// interpolation, the camera's turn, scripted runs. Spans and greetings as drawn are pinned by the
// scene 13 golden frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "scene_script.h"
#include "scenes/landscape.h"
#include "surface_fixture.h"

namespace {
using namespace scene_script;

TEST(LoadLandscape, RawMapsZeroWhatAShortFileLacksAndLoadingNeedsEveryFile)
{
    TempDataFolder folder("load13");
    folder.write("h.raw", { 1, 2, 3 });
    std::vector<uint8_t> heights(6, 0xEE);
    ASSERT_EQ(load_raw("data/h.raw", heights.data(), 3, 2, 8), 1);
    EXPECT_EQ(heights, (std::vector<uint8_t> { 1, 2, 3, 0, 0, 0 }));
    // Two whole triples and a partial one: the partial cell and the rest become 0.
    folder.write("c.raw", { 0x11, 0x22, 0x33, 0xFF, 0x00, 0x80, 0x44, 0x55 });
    std::vector<uint32_t> colours(4, 0xEEEEEEEEu);
    ASSERT_EQ(load_raw("data/c.raw", colours.data(), 2, 2, 32), 1);
    EXPECT_EQ(colours, (std::vector<uint32_t> { 0x00112233u, 0x00FF0080u, 0u, 0u }));
    EXPECT_EQ(load_raw("data/h.raw", heights.data(), 3, 2, 16), 0);

    folder.copy_from_build({ "vheight.raw", "greets.acg" });
    EXPECT_EQ(load_landscape(), 0); // vcol.raw missing
    folder.copy_from_build({ "vcol.raw" });
    landscape_camera.heading = 7;
    ASSERT_EQ(load_landscape(), 1);
    EXPECT_EQ(landscape_camera.heading, 1590);
    EXPECT_EQ(landscape_camera.y, 770.0);
}

// A small map of one height and one colour: every lookup gives the same cell.
class Landscape : public ::testing::Test {
protected:
    void SetUp() override
    {
        make_landscape_tables();
        landscape_camera = LANDSCAPE_CAMERA_START;
        field = { 8, 8, heights.data(), colour_map.get() };
        reset(0, 0x00102030u);
    }
    // One height and colour everywhere; the target black with the marker in rows 30 to 209.
    void reset(uint8_t height, uint32_t colour)
    {
        std::fill(heights.begin(), heights.end(), height);
        scene_script::fill(field.colour_map, colour);
        scene_script::fill(target.get(), 0);
        std::fill_n(pixels(target.get()) + 30 * 320, 180 * 320, LANDSCAPE_MARKER);
    }
    uint32_t at(int x, int y) { return pixel(target.get(), x, y); }

    std::vector<uint8_t> heights = std::vector<uint8_t>(64);
    HeightField field {};
    SurfacePtr colour_map = make_surface(8, 8), target = make_surface(320, 240);
};

TEST_F(Landscape, StepsHazeOddColumnsAndTheRestartAtTheNearSteps)
{
    render_landscape(target.get(), &field);
    // Column 160 (Q = 1, K = 58240): row r is the step at distance 58240 / (r - 16), haze
    // 255 d / 1000 added per channel. Row 75 (d = 987) saturates; row 74 is at d = 1004, beyond
    // the haze distance: the column ends and the marker stays.
    const std::pair<int, uint32_t> rows[] = { { 209, 0x005C6C7Cu }, { 150, 0x007E8E9Eu }, { 100, 0x00C0D0E0u },
        { 75, 0x00FFFFFFu }, { 74, LANDSCAPE_MARKER } };
    for (const auto& [y, colour] : rows)
        EXPECT_EQ(at(160, y), colour) << "row " << y;
    // Odd columns average their neighbours without the top byte; the last column is black.
    for (int y : { 30, 74, 120, 209, 210 }) {
        const uint32_t l = at(160, y), r = at(162, y);
        uint32_t expect = 0;
        for (int shift = 0; shift < 24; shift += 8)
            expect |= ((((l >> shift) & 255) + ((r >> shift) & 255)) / 2) << shift;
        EXPECT_EQ(at(161, y), expect) << "row " << y;
        EXPECT_EQ(at(319, y), 0u);
    }
    EXPECT_EQ(at(161, 40), 0x00FFFFFFu); // two markers
    EXPECT_EQ(at(161, 211) | at(319, 29), 0u); // rows outside 30..210 are untouched

    // Every column restarts at the near steps. Tall ground: the bottom row is drawn by the first
    // step after the restart, r = 329, not by r = 240 (d 299 for the outer columns, 260 in the
    // middle), grey haze 255 d / 1000 over black with K = 58240 Q.
    reset(255, 0u);
    render_landscape(target.get(), &field);
    EXPECT_EQ(at(0, 209), uint32_t(67123 / 313 * 255 / 1000) * 0x010101u);
    EXPECT_EQ(at(160, 209), uint32_t(58240 / 313 * 255 / 1000) * 0x010101u);
}

TEST(LandscapeCamera, TurnsADegreePerTickIsKeptAcrossEntriesAndTheCueFadesToBlack)
{
    LandscapeCamera camera = LANDSCAPE_CAMERA_START;
    turn_landscape_camera(&camera, 1);
    const double theta = 3.14159265358979323846 / 180.0;
    EXPECT_EQ(camera.x, 350.0 * std::cos(theta) + 770.0 * std::sin(theta));
    EXPECT_EQ(camera.y, double(float(770.0 * std::cos(theta) - 350.0 * std::sin(theta))));
    EXPECT_EQ(camera.heading, 1591);
    turn_landscape_camera(&camera, 329 + 3 * 1920 + 5); // a long stall: whole turns of the heading
    EXPECT_EQ(camera.heading, 5);

    if (!landscape_field) {
        TempDataFolder folder("scene13");
        folder.copy_from_build({ "vheight.raw", "vcol.raw", "greets.acg" });
        load_landscape();
    }
    ASSERT_NE(landscape_field, nullptr);
    landscape_camera = LANDSCAPE_CAMERA_START;
    begin(13);
    play(landscape_scene, { { 10, 12 } });
    EXPECT_EQ(landscape_camera.heading, 1600);
    begin(13);
    play(landscape_scene, { { 5, 255 }, { 200, 14 } });
    EXPECT_EQ(current_scene_number(), 14u);
    EXPECT_EQ(landscape_camera.heading, (1600 + 200) % 1920);
    // Faded to level 252 over black: what remains is at most 4/256 of each channel.
    uint32_t brightest = 0;
    for (int i = 0; i < 320 * 240; ++i)
        for (int shift = 0; shift < 32; shift += 8)
            brightest = std::max(brightest, (pixels(frame_surface)[i] >> shift) & 255u);
    EXPECT_LE(brightest, 3u);
    end();
}
} // namespace
