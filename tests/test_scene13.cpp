// test_scene13.cpp -- landscape: raw maps, loader and tables, the ray caster's spans, restart,
// haze and interpolation, the camera's turn, greetings and fade, and scripted runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <vector>

#include "scene_script.h"
#include "scenes/landscape.h"

namespace {
using namespace scene_script;

constexpr double STEP = 0.0032724922916666666;

void write_file(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

uint32_t hazed_grey(int d)
{
    const uint32_t f = uint32_t(d * 255 / 1000);
    return f * 0x010101u;
}

TEST(LoadRaw, ReadsBytesAndTriplesAndZerosWhatAShortFileLacks)
{
    TempDataFolder folder("raw13");
    write_file("data/h.raw", { 1, 2, 3 });
    std::vector<uint8_t> heights(6, 0xEE);
    ASSERT_EQ(load_raw("data/h.raw", heights.data(), 3, 2, 8), 1);
    EXPECT_EQ(heights, (std::vector<uint8_t> { 1, 2, 3, 0, 0, 0 }));

    // Two whole triples and a partial one: the partial cell and the rest become 0.
    write_file("data/c.raw", { 0x11, 0x22, 0x33, 0xFF, 0x00, 0x80, 0x44, 0x55 });
    std::vector<uint32_t> colours(4, 0xEEEEEEEEu);
    ASSERT_EQ(load_raw("data/c.raw", colours.data(), 2, 2, 32), 1);
    EXPECT_EQ(colours, (std::vector<uint32_t> { 0x00112233u, 0x00FF0080u, 0u, 0u }));

    EXPECT_EQ(load_raw("data/missing.raw", heights.data(), 3, 2, 8), 0);
    EXPECT_EQ(load_raw("data/h.raw", heights.data(), 3, 2, 16), 0);
    EXPECT_EQ(load_raw("data/h.raw", heights.data(), -3, 2, 8), 0);
}

TEST(LoadLandscape, NeedsBothMapsAndTheGreetingsAndResetsTheCamera)
{
    TempDataFolder folder("load13");
    folder.copy_from_build({ "vheight.raw", "greets.acg" });
    EXPECT_EQ(load_landscape(), 0); // vcol.raw missing
    folder.copy_from_build({ "vcol.raw" });
    std::filesystem::remove("data/greets.acg");
    EXPECT_EQ(load_landscape(), 0);
    folder.copy_from_build({ "greets.acg" });
    landscape_camera.heading = 7;
    ASSERT_EQ(load_landscape(), 1);
    ASSERT_NE(landscape_field, nullptr);
    EXPECT_EQ(landscape_field->width, 800);
    EXPECT_EQ(landscape_field->height, 800);
    EXPECT_EQ(landscape_camera.heading, 1590);
    EXPECT_EQ(landscape_camera.x, 350.0);
    EXPECT_EQ(landscape_camera.y, 770.0);
    ASSERT_NE(greets_picture, nullptr);
}

TEST(LandscapeTables, UseTheShortStep)
{
    make_landscape_tables();
    // 480 steps are 1.5707963, 2.68e-8 short of pi/2.
    EXPECT_NEAR(landscape_cos[480], 2.6794896585e-8, 1e-15);
    EXPECT_EQ(landscape_sin[0], 0.0);
    EXPECT_EQ(landscape_cos[0], 1.0);
    EXPECT_EQ(landscape_column_q[159], 1.0);
    EXPECT_EQ(landscape_column_q[160], 1.0);
    EXPECT_EQ(landscape_column_q[0], landscape_column_q[319]);
    EXPECT_NEAR(landscape_column_q[0], 1.1525291487268512, 1e-12);
    EXPECT_EQ(landscape_column_q[0], 1.0 / std::cos(159 * STEP));
}

// A small map of one height and one colour: every lookup gives the same cell.
class Landscape : public ::testing::Test {
protected:
    void SetUp() override
    {
        make_landscape_tables();
        landscape_camera = LANDSCAPE_CAMERA_START;
        field.width = 8;
        field.height = 8;
        heights.assign(64, 0);
        field.heights = heights.data();
        field.colour_map = create_surface(8, 8, 32);
        std::fill_n(pixels(field.colour_map), 64, 0u);
        target = create_surface(320, 240, 32);
        reset_target();
    }
    void reset_target()
    {
        std::fill_n(pixels(target), 320 * 240, 0u);
        for (int y = 30; y < 210; ++y)
            std::fill_n(pixels(target) + y * 320, 320, LANDSCAPE_MARKER);
    }
    void TearDown() override
    {
        destroy_surface(field.colour_map);
        destroy_surface(target);
    }
    void fill(uint8_t height, uint32_t colour)
    {
        std::fill(heights.begin(), heights.end(), height);
        std::fill_n(pixels(field.colour_map), 64, colour);
    }
    uint32_t at(int x, int y) { return pixels(target)[y * 320 + x]; }

    HeightField field {};
    std::vector<uint8_t> heights;
    Surface* target = nullptr;
};

TEST_F(Landscape, FlatGroundDrawsOnePixelPerStepWithHaze)
{
    fill(0, 0x00102030u);
    render_landscape(target, &field);
    // Column 160 (Q = 1, K = 58240): row r is the step at distance 58240 / (r - 16).
    // Row 209: d = 301, f = 76; row 100: d = 693, f = 176.
    EXPECT_EQ(at(160, 209), 0x005C6C7Cu);
    EXPECT_EQ(at(160, 100), 0x00C0D0E0u);
    EXPECT_EQ(at(160, 150), 0x007E8E9Eu); // d = 434, f = 110
    EXPECT_EQ(at(160, 75), 0x00FFFFFFu); // d = 987, f = 251: every channel saturates
    // Row 74 is at d = 1004, beyond the haze distance: the column ends and the marker stays.
    EXPECT_EQ(at(160, 74), LANDSCAPE_MARKER);
    // Haze saturates each channel.
    reset_target();
    fill(0, 0x00F0F0F0u);
    render_landscape(target, &field);
    EXPECT_EQ(at(160, 100), 0x00FFFFFFu);
}

TEST_F(Landscape, OddColumnsAverageAndTheLastColumnIsBlack)
{
    fill(0, 0x00102030u);
    render_landscape(target, &field);
    for (int y : { 30, 74, 120, 209, 210 }) {
        const uint32_t l = at(160, y), r = at(162, y);
        uint32_t expect = 0;
        for (int shift = 0; shift < 24; shift += 8)
            expect |= ((((l >> shift) & 255) + ((r >> shift) & 255)) / 2) << shift;
        EXPECT_EQ(at(161, y), expect) << "row " << y;
        EXPECT_EQ(at(319, y), 0u);
    }
    // Rows outside 30..210 are untouched; row 210 never held the marker.
    EXPECT_EQ(at(161, 210), 0u);
    EXPECT_EQ(at(161, 211), 0u);
    EXPECT_EQ(at(319, 29), 0u);
    EXPECT_EQ(at(161, 40), 0x00FFFFFFu); // two markers average to white without the top byte
}

TEST_F(Landscape, EveryColumnRestartsAtTheNearSteps)
{
    // Tall ground: the bottom row is drawn by the first step after the restart, r = 329, not
    // by r = 240 (d 299 for the outer columns, 260 in the middle).
    fill(255, 0u);
    render_landscape(target, &field);
    for (int x : { 0, 2, 158, 160, 318 }) {
        const int32_t kx = int32_t(landscape_column_q[x] * 58240.0);
        EXPECT_EQ(at(x, 209), hazed_grey(kx / 313)) << "column " << x;
        EXPECT_NE(at(x, 209), hazed_grey(kx / 224)) << "column " << x;
    }
    EXPECT_EQ(at(0, 209), hazed_grey(67123 / 313));
}

TEST_F(Landscape, SpansStopAtTheirTopRowAndAtDrawnPixels)
{
    fill(0, 0x00102030u);
    // Already drawn: a step whose own row is taken draws nothing.
    pixels(target)[150 * 320 + 160] = 0x00ABCDEFu;
    render_landscape(target, &field);
    EXPECT_EQ(at(160, 150), 0x00ABCDEFu);
    EXPECT_EQ(at(160, 149), 0x00102030u + hazed_grey(58240 / 133));

    // A span whose top is above row 30 draws nothing, even where the rest would fit: with a
    // short projection every step of column 160 reaches above row 30 (at r = 30, d = 960 and
    // p = 26), so the column keeps its markers; flat ground there still draws.
    reset_target();
    fill(255, 0u);
    landscape_camera.projection = 60;
    render_landscape(target, &field);
    for (int y = 30; y < 210; ++y)
        ASSERT_EQ(at(160, y), LANDSCAPE_MARKER) << "row " << y;
    reset_target();
    fill(0, 0u);
    render_landscape(target, &field);
    EXPECT_EQ(at(160, 209), hazed_grey(13440 / 193));
}

TEST_F(Landscape, CameraTurnsADegreePerTickAndKeepsHeadingInRange)
{
    LandscapeCamera camera = LANDSCAPE_CAMERA_START;
    turn_landscape_camera(&camera, 1);
    const double theta = 3.14159265358979323846 / 180.0;
    EXPECT_EQ(camera.x, 350.0 * std::cos(theta) + 770.0 * std::sin(theta));
    EXPECT_EQ(camera.y, double(float(770.0 * std::cos(theta) - 350.0 * std::sin(theta))));
    EXPECT_EQ(camera.heading, 1591);
    turn_landscape_camera(&camera, 329);
    EXPECT_EQ(camera.heading, 0);

    // A long stall passes several whole turns of the heading.
    camera.heading = 1590;
    turn_landscape_camera(&camera, 3 * 1920 + 5);
    EXPECT_EQ(camera.heading, 1595);
}

TEST(LandscapeSteps, GreetingsStopAfter581TicksAndTheFadeEndsAt252)
{
    LandscapeState state = LANDSCAPE_START;
    for (int t = 0; t < 580; ++t)
        step_landscape(&state, 13);
    EXPECT_GT(state.greets_x, GREETS_END_X);
    step_landscape(&state, 13);
    const float stopped = state.greets_x;
    EXPECT_LE(stopped, GREETS_END_X);
    step_landscape(&state, 13);
    EXPECT_EQ(state.greets_x, stopped);
    EXPECT_EQ(state.fading, 0);

    step_landscape(&state, 250); // another cue does not fade
    EXPECT_EQ(state.fade, 0);
    for (int t = 0; t < 125; ++t)
        step_landscape(&state, 255);
    EXPECT_EQ(state.fade, 250);
    step_landscape(&state, 13); // fading stays on
    EXPECT_EQ(state.fade, 252);
    step_landscape(&state, 13);
    EXPECT_EQ(state.fade, 252);
}

class LandscapeScene : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (landscape_field)
            return;
        TempDataFolder folder("scene13");
        folder.copy_from_build({ "vheight.raw", "vcol.raw", "greets.acg" });
        load_landscape();
    }
    void SetUp() override { ASSERT_NE(landscape_field, nullptr); }
    void TearDown() override { end(); }
};

TEST_F(LandscapeScene, BottomRowsKeptOnceTheGreetingsHaveGone)
{
    begin(13);
    LandscapeState state = LANDSCAPE_START;
    state.greets_x = -1016.3f;
    for (int y = 230; y < 240; ++y)
        std::fill_n(pixels(frame_surface) + y * 320, 320, 0x00123456u);
    draw_landscape_frame(&state, 1);
    EXPECT_EQ(pixels(frame_surface)[235 * 320 + 100], 0x00123456u);

    state.greets_x = 320.0f; // off to the right but still on: the rows are cleared
    draw_landscape_frame(&state, 1);
    EXPECT_EQ(pixels(frame_surface)[235 * 320 + 100], 0u);
}

TEST_F(LandscapeScene, CameraKeepsItsPlaceAcrossEntriesAndTheCueFadesToBlack)
{
    landscape_camera = LANDSCAPE_CAMERA_START;
    begin(13);
    script.numbers = { { 10, 12 } };
    landscape_scene();
    EXPECT_EQ(landscape_camera.heading, 1600);
    const double x_after_first = landscape_camera.x;

    begin(13);
    script.numbers = { { 5, 255 }, { 200, 14 } };
    landscape_scene();
    EXPECT_EQ(current_scene_number(), 14u);
    EXPECT_EQ(landscape_camera.heading, (1600 + 200) % 1920);
    EXPECT_NE(landscape_camera.x, x_after_first);
    // Faded to level 252 over black: what remains is at most 4/256 of each channel.
    uint32_t brightest = 0;
    for (int i = 0; i < 320 * 240; ++i)
        for (int shift = 0; shift < 32; shift += 8)
            brightest = std::max(brightest, (pixels(frame_surface)[i] >> shift) & 255u);
    EXPECT_LE(brightest, 3u);
}
} // namespace
