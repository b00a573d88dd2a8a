// test_display_device.cpp -- what each display depth puts on the screen, full-screen switching,
// and (under X11 with a window manager) screenshots of the window and of full screen.
#include <SDL.h>
#include <gtest/gtest.h>


#include "app/input.h"
#include "app/window.h"
#include "display/display_device.h"
#include "display/present.h"
#include "display/surface.h"
#include "test_capture_child.h"

namespace {

class DisplayDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        display_set_window_scale(3);
        ASSERT_EQ(register_app_class(), 0);
        ASSERT_EQ(create_window(), 0);
        ASSERT_NE(app_window, nullptr) << "needs a display or SDL_VIDEODRIVER=dummy";
        ASSERT_EQ(input_init(), 0);
        ASSERT_EQ(display_init(), 0);
    }
    void TearDown() override
    {
        window_record->quit = 1;
        display_shutdown();
        input_release();
        destroy_window();
        unregister_app_class();
    }
    static Surface* pattern_surface()
    {
        Surface* s = create_surface(320, 240, 32);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x)
                surface_row32(s, y)[x] = uint32_t(x * 0x010305 + y * 0x050301) & 0x00FFFFFF;
        return s;
    }
};

// A flat dithered frame at each full-screen depth, read back as the screen shows it: plain where
// column + row is even, biased where odd, on the first and the last row (a back buffer written
// at the wrong pitch leaves the last row black). Worked by hand from the 3:3:2 palette and the
// widening of 5- and 6-bit channels by repeating their top bits.
TEST_F(DisplayDevice, EachDepthShowsItsConvertedPixelsAndFlips)
{
    const struct {
        int bits, record_bits;
        uint32_t colour, plain, biased;
    } cases[] = {
        { 32, 32, 0xAB123456, 0x123456, 0x123456 }, { 24, 24, 0xAB123456, 0x123456, 0x123456 },
        { 16, 16, 0x123456, 0x103452, 0x10345A }, // 0x11AA and 0x11AB
        { 16, 16, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF }, // full intensity stays full
        { 15, 16, 0x123456, 0x103152, 0x10395A }, // 0x08CA and 0x08EB
        { 15, 16, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF },
        { 8, 8, 0x123456, 0x002040, 0x204040 }, // index 0x05; 0x123456 + bias 0x101020 -> 0x29
        { 8, 8, 0xFF8040, 0xE08040, 0xE08040 }, // red saturates: index 0xF1 either way
    };
    Surface* frame = create_surface(320, 240, 32);
    set_surface_flags(frame, SURFACE_DITHER);
    std::vector<uint32_t> shown(320 * 240);
    window_record->full_screen = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits, colour " + std::to_string(c.colour));
        ASSERT_EQ(display_set_mode(320, 240, c.bits), 0);
        ASSERT_EQ(display_record_count, 2);
        EXPECT_EQ(display_records[1].pitch, display_records[0].pitch);
        EXPECT_EQ(current_display_record->bits_per_pixel, c.record_bits);
        EXPECT_EQ(window_record->mode_bits, c.bits);
        for (int y = 0; y < 240; ++y)
            std::fill_n(surface_row32(frame, y), 320, c.colour);
        present(frame, nullptr);
        show_frame();
        EXPECT_EQ(current_display_record, &display_records[1]); // full screen flips
        ASSERT_TRUE(display_read_picture(shown.data(), 320, 240));
        for (int y : { 0, 239 })
            for (int x : { 0, 1 })
                EXPECT_EQ(shown[size_t(y) * 320 + size_t(x)], (x + y) & 1 ? c.biased : c.plain) << x << "," << y;
        show_frame();
        EXPECT_EQ(current_display_record, &display_records[0]);
    }
    destroy_surface(frame);
}

TEST_F(DisplayDevice, SwitchingRebuildsAndKeepsTheRequestedModeAndDriversCount)
{
    ASSERT_EQ(display_set_mode(320, 240, 24), 0);
    EXPECT_EQ(window_record->mode_bits, 32); // a window takes the desktop's depth
    EXPECT_EQ(display_record_count, 1);
    display_set_fullscreen(true);
    EXPECT_EQ(window_record->full_screen, 1);
    EXPECT_EQ(display_record_count, 2);
    EXPECT_EQ(window_record->mode_bits, 24);
    display_set_fullscreen(false);
    EXPECT_EQ(window_record->full_screen, 0);
    EXPECT_EQ(display_record_count, 1);
    EXPECT_EQ(window_record->mode_bits, 32);
    EXPECT_EQ(window_record->requested_bits, 24);
    // So does a depth no display has, even in full screen.
    window_record->full_screen = 1;
    ASSERT_EQ(display_set_mode(320, 240, 12), 0);
    EXPECT_EQ(window_record->mode_bits, 32);
    EXPECT_EQ(window_record->requested_bits, 12);

    // A lost device is rebuilt on the next restore; drawing goes on.
    display_device_lost();
    EXPECT_EQ(display_restore(), 0);
    Surface* frame = pattern_surface();
    present(frame, nullptr);
    show_frame();
    destroy_surface(frame);

    // The invisible driver counts as a display only when asked for.
    if (std::string(SDL_GetCurrentVideoDriver()) != "dummy")
        return;
    EXPECT_TRUE(display_available());
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    EXPECT_FALSE(display_available());
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
    EXPECT_TRUE(display_available());
}

// ---- Screenshots under X11 (run by the Xvfb test with MW_X11_SCREENSHOT=1) ----

// Shows the frame twice with time between for the window manager to place the window.
void show_and_settle(Surface* frame)
{
    for (int settle_ms : { 1500, 300 }) {
        present(frame, nullptr);
        show_frame();
        for (const Uint32 end = SDL_GetTicks() + Uint32(settle_ms); SDL_GetTicks() < end; SDL_Delay(10)) {
            SDL_Event e;
            while (SDL_PollEvent(&e))
                handle_window_event(&e);
        }
    }
}

// Counts the pixels of a screenshot (xwd, decoded by ffmpeg) that differ from the frame scaled
// by `scale` at (left, top), and those of the screen's top row that are not black when the
// picture leaves room above it (full screen letterboxes on black).
int differing_pixels_on_screen(const Surface* frame, int left, int top, int scale)
{
    SDL_DisplayMode screen;
    EXPECT_EQ(SDL_GetDesktopDisplayMode(0, &screen), 0);
    const TempFolder folder("display_shot");
    const std::string shot = (folder.root / "shot").string();
    const std::string command = "xwd -root -silent -out '" + shot + ".xwd' && ffmpeg -loglevel error -i '" + shot
        + ".xwd' -f rawvideo -pix_fmt rgb24 '" + shot + ".rgb'";
    const std::string rgb = std::system(command.c_str()) == 0 ? read_whole_file(shot + ".rgb") : "";
    if (rgb.size() != size_t(screen.w) * size_t(screen.h) * 3) {
        ADD_FAILURE() << "no screenshot of " << screen.w << "x" << screen.h;
        return -1;
    }
    const auto screen_pixel = [&](int sx, int sy) {
        const auto* p = reinterpret_cast<const uint8_t*>(&rgb[(size_t(sy) * size_t(screen.w) + size_t(sx)) * 3]);
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    };
    int bad = 0;
    for (int y = 0; y < 240 * scale; ++y)
        for (int x = 0; x < 320 * scale; ++x) {
            const int sx = left + x, sy = top + y;
            const uint32_t want = surface_row32(frame, y / scale)[x / scale] & 0xFFFFFF;
            bad += sx < 0 || sy < 0 || sx >= screen.w || sy >= screen.h || screen_pixel(sx, sy) != want;
        }
    for (int sx = 0; top > 0 && sx < screen.w; ++sx)
        bad += screen_pixel(sx, 0) != 0;
    return bad;
}

// The window is 3 x 320 by 3 x 240 and shows the frame pixel for pixel where it is.
void expect_window_shows(const Surface* frame)
{
    int w = 0, h = 0, x = 0, y = 0;
    SDL_GetWindowSize(app_window, &w, &h);
    SDL_GetWindowPosition(app_window, &x, &y);
    EXPECT_EQ(w * 10000 + h, 960 * 10000 + 720);
    EXPECT_EQ(differing_pixels_on_screen(frame, x, y, 3), 0) << "window at " << x << "," << y;
}

TEST_F(DisplayDevice, ScreenshotsOfWindowAndFullScreenUnderX11)
{
    if (!std::getenv("MW_X11_SCREENSHOT"))
        GTEST_SKIP() << "run by the Xvfb test";
    ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "x11");
    ASSERT_EQ(display_set_mode(320, 240, 32), 0);
    Surface* frame = pattern_surface();
    show_and_settle(frame);
    expect_window_shows(frame);

    // Alt+Enter through the event path: full screen, letterboxed at the largest integer scale.
    SDL_Event up {};
    up.type = SDL_KEYUP;
    up.key.keysym.scancode = SDL_SCANCODE_RETURN;
    SDL_SetModState(KMOD_LALT);
    handle_window_event(&up);
    SDL_SetModState(KMOD_NONE);
    EXPECT_EQ(window_record->full_screen, 1);
    show_and_settle(frame);
    SDL_DisplayMode screen;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &screen), 0);
    const int scale = std::min(screen.w / 320, screen.h / 240);
    const int left = (screen.w - 320 * scale) / 2, top = (screen.h - 240 * scale) / 2;
    EXPECT_EQ(differing_pixels_on_screen(frame, left, top, scale), 0) << "full screen at scale " << scale;

    // And back: the window returns at its scale, centred.
    handle_window_event(&up); // no Alt held: nothing happens
    EXPECT_EQ(window_record->full_screen, 1);
    display_set_fullscreen(false);
    show_and_settle(frame);
    expect_window_shows(frame);
    destroy_surface(frame);
}

} // namespace
