// test_scene34.cpp -- warped wall scenes: ribbon clipping, the events, the layers (credits, upsbot,
// closing ribbons). The ribbons' spans and sway, the wall, the captions, the title dissolve and the
// scene's run are pinned by the scene 3 golden frames.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "gfx2d/blit.h"
#include "scene_script.h"
#include "scenes/scene34_wall.h"

namespace {
using namespace scene_script;

// A 320 x 240 buffer between guard words that must stay untouched.
struct GuardedBuffer {
    std::vector<uint32_t> words = std::vector<uint32_t>(320 * 240 + 128, 0xA5A5A5A5u);
    GuardedBuffer() { std::fill_n(pixels(), 320 * 240, 0u); }
    uint32_t* pixels() { return words.data() + 64; }
    uint32_t at(int x, int y) { return pixels()[y * 320 + x]; }
    bool guards_intact() const { return std::count(words.begin(), words.end(), 0xA5A5A5A5u) == 128; }
    int drawn_rows()
    {
        int count = 0;
        for (int y = 0; y < 240; ++y)
            count += std::any_of(pixels() + y * 320, pixels() + y * 320 + 320, [](uint32_t p) { return p != 0; });
        return count;
    }
};

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
        SCOPED_TRACE(testing::Message() << c.column << "," << c.row);
        GuardedBuffer buffer;
        Ribbon ribbon { 0xFFFFFFFFu, 0x00603000u, c.width, c.rows, c.waves, 1.0f, { 0, 0 } };
        draw_ribbon(&ribbon, c.column, c.row, buffer.pixels());
        EXPECT_EQ(buffer.drawn_rows(), c.drawn);
        EXPECT_TRUE(c.on_x < 0 || buffer.at(c.on_x, c.on_y) != 0) << "pixel " << c.on_x << "," << c.on_y;
        EXPECT_TRUE(c.off_x < 0 || buffer.at(c.off_x, c.off_y) == 0) << "pixel " << c.off_x << "," << c.off_y;
        EXPECT_TRUE(buffer.guards_intact());
    }
}

// The shared surfaces under the scripted clock; the scene's ribbons at their entry values.
class WallScene : public ::testing::Test {
protected:
    void SetUp() override
    {
        begin(3);
        ribbons = records;
        reset_ribbons(ribbons);
    }
    void TearDown() override
    {
        ribbons = nullptr;
        end();
    }
    Ribbon records[RIBBON_COUNT] {};
};

TEST_F(WallScene, EventsSetFlagsAndVelocitiesAndConsume4And240Only)
{
    WallState state = WALL_START;
    // (scene number, closing, rising, caption d1, d2, title, number afterwards)
    const int cases[][7] = { { 241, 0, 0, -4, 0, 0, 241 }, { 242, 0, 0, 4, 0, 0, 242 }, { 244, 0, 0, 4, 4, 0, 244 },
        { 243, 0, 0, 0, -4, 0, 243 }, { 245, 0, 0, 0, -4, 1, 245 }, { 4, 1, 0, 0, -4, 1, 255 },
        { 240, 1, 1, 0, -4, 1, 255 } };
    for (const auto& c : cases) {
        scene_number.store(uint32_t(c[0]));
        take_wall_event(&state, uint32_t(c[0]));
        const int got[] = { state.closing, state.rising, state.caption_d1, state.caption_d2, state.title,
            int(current_scene_number()) };
        EXPECT_TRUE(std::equal(got, got + 6, c + 1)) << "scene number " << c[0];
    }
    scene_number.store(7); // a sync that arrives between the read and the write is kept
    take_wall_event(&state, 240);
    EXPECT_EQ(current_scene_number(), 7u);
}

TEST_F(WallScene, CreditsAndUpsbotSitOnTheRibbonAndClosingCuesTheOtherRibbons)
{
    // Stand-ins (nothing loads the real ones here): an opaque 4 x 4 credits picture and an 8 x 6
    // upsbot over a black wall.
    credits_picture = solid_picture(4, 4, 0xFF0000FFu);
    upsbot_surface = create_surface(8, 6, 32);
    fill(upsbot_surface, 0xFF00FF00u);
    fill(work_surface_1, 0);
    fill(work_surface_2, 0);
    // Rising, no wall columns; credits at (0, 100.7), ribbon 1 and upsbot at (160, 100) scale 1,
    // ribbon 2 at (40, 20), ribbon 3 at (280, 20).
    WallState state = { 0, 0, 120, 0, 0, 100.7f, 160, 100, 256, 40, 20, 280, 20, 320, 0, 0, 255, 1, 0, 0 };
    draw_wall_layers(&state);
    auto at = [](int x, int y) { return pixels(work_surface_1)[y * 320 + x]; };
    // Credits at (x, trunc y); the upsbot centred on the ribbon column, standing on its row:
    // (160 - 4, 100 - 6) at scale 1. Ribbons 2 and 3 wait for the closing phase.
    const std::tuple<int, int, uint32_t> cases[]
        = { { 0, 100, 0xFF0000FFu }, { 3, 103, 0xFF0000FFu }, { 0, 99, 0 }, { 4, 100, 0 }, { 156, 94, 0xFF00FF00u },
              { 163, 99, 0xFF00FF00u }, { 155, 94, 0 }, { 164, 94, 0 }, { 156, 93, 0 }, { 40, 25, 0 }, { 280, 25, 0 } };
    for (const auto& [x, y, colour] : cases)
        EXPECT_EQ(at(x, y), colour) << x << "," << y;

    state.closing = 1;
    state.upsbot_scale = 512; // twice the size: (160 - 8, 100 - 12)
    draw_wall_layers(&state); // closing clears the layer first
    EXPECT_EQ(at(152, 88), 0xFF00FF00u);
    EXPECT_EQ(at(151, 88) | at(152, 87), 0u);
    EXPECT_NE(at(40, 25), 0u);
    EXPECT_NE(at(280, 25), 0u);

    // Only a ribbon row below 0 keeps it off: at row 1 the 32 x 24 picture shows its bottom row.
    state.upsbot_scale = 1024;
    for (int row : { 0, 1 }) {
        state.ribbon_row = row;
        draw_wall_layers(&state);
        EXPECT_EQ(at(160, 0) == 0xFF00FF00u, row == 1) << row;
    }
    destroy_image(credits_picture);
    destroy_surface(upsbot_surface);
    credits_picture = nullptr;
    upsbot_surface = nullptr;
}

} // namespace
