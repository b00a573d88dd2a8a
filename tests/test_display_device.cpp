// test_display_device.cpp -- display records per format, what reaches the screen, full-screen switching,
// and (under X11 with a window manager) screenshots of the window and of full screen.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/input.h"
#include "app/window.h"
#include "display/display_device.h"
#include "display/present.h"
#include "display/surface.h"

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
    // Brings the display up in full screen at the given depth.
    static void full_screen_at(int bits)
    {
        window_record->full_screen = 1;
        ASSERT_EQ(display_set_mode(320, 240, bits), 0);
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

TEST_F(DisplayDevice, RecordsDescribeEachFormatWithItsOwnPitch)
{
    const struct {
        int bits, record_bits, bytes, depth;
        uint32_t r, g, b;
    } formats[] = {
        { 8, 8, 1, 8, 0xE0, 0x1C, 0x03 },
        { 15, 16, 2, 15, 0x7C00, 0x03E0, 0x001F },
        { 16, 16, 2, 16, 0xF800, 0x07E0, 0x001F },
        { 24, 24, 3, 24, 0xFF0000, 0x00FF00, 0x0000FF },
        { 32, 32, 4, 24, 0xFF0000, 0x00FF00, 0x0000FF },
    };
    for (const auto& f : formats) {
        SCOPED_TRACE(f.bits);
        full_screen_at(f.bits);
        ASSERT_EQ(display_record_count, 2);
        const Surface& rec = display_records[0];
        EXPECT_EQ(current_display_record, &display_records[0]);
        EXPECT_EQ(rec.width, 320);
        EXPECT_EQ(rec.height, 240);
        EXPECT_EQ(rec.bits_per_pixel, f.record_bits);
        EXPECT_EQ(rec.bytes_per_pixel, f.bytes);
        EXPECT_EQ(rec.depth, f.depth);
        EXPECT_EQ(rec.mask_r, f.r);
        EXPECT_EQ(rec.mask_g, f.g);
        EXPECT_EQ(rec.mask_b, f.b);
        EXPECT_EQ(rec.pixels, nullptr);
        EXPECT_TRUE(rec.flags & SURFACE_DISPLAY);
        EXPECT_GE(rec.pitch, 320 * f.bytes);
        if (f.bits != 32) {
            EXPECT_NE(rec.pitch, 320 * f.bytes);
        }
        EXPECT_EQ(display_records[1].pitch, rec.pitch);
        EXPECT_EQ(display_records[1].mask_r, rec.mask_r);
        EXPECT_EQ(window_record->mode_bits, f.bits);
        EXPECT_EQ(window_record->requested_bits, f.bits);
    }
    // A depth the display cannot have takes the desktop's; so does any window.
    full_screen_at(12);
    EXPECT_EQ(window_record->mode_bits, 32);
    window_record->full_screen = 0;
    ASSERT_EQ(display_set_mode(320, 240, 16), 0);
    EXPECT_EQ(display_record_count, 1);
    EXPECT_EQ(display_records[0].bits_per_pixel, 32);
    EXPECT_EQ(window_record->requested_bits, 16);
}

TEST_F(DisplayDevice, EightBitPaletteIsThreeThreeTwoWithIdentityMap)
{
    full_screen_at(8);
    EXPECT_EQ(display_palette[0xFF], 0xE0E0C0u);
    EXPECT_EQ(display_palette[0xE0], 0xE00000u);
    EXPECT_EQ(display_palette[0x1C], 0x00E000u);
    EXPECT_EQ(display_palette[0x03], 0x0000C0u);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(palette_index_map[i], i);
}

TEST_F(DisplayDevice, ExpansionToTheScreenKeepsFullIntensity)
{
    uint32_t out[3];
    const uint8_t p16[] = { 0xFF, 0xFF, 0x00, 0xF8, 0xAA, 0x11 };
    display_expand_row(16, p16, out, 3);
    EXPECT_EQ(out[0], 0xFFFFFFu);
    EXPECT_EQ(out[1], 0xFF0000u);
    EXPECT_EQ(out[2], 0x103452u); // 0x11AA: red 2, green 13, blue 10, widened
    const uint8_t p15[] = { 0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00 };
    display_expand_row(15, p15, out, 3);
    EXPECT_EQ(out[0], 0xFF0000u);
    EXPECT_EQ(out[1], 0x00FF00u);
    EXPECT_EQ(out[2], 0x0000FFu);
    const uint8_t p24[] = { 0x56, 0x34, 0x12, 0xFF, 0x00, 0x80 };
    display_expand_row(24, p24, out, 2);
    EXPECT_EQ(out[0], 0x123456u);
    EXPECT_EQ(out[1], 0x8000FFu);
}

TEST_F(DisplayDevice, PresentWritesTheDisplayFormatAtTheLockedPitch)
{
    full_screen_at(16);
    Surface* frame = create_surface(320, 240, 32);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            surface_row32(frame, y)[x] = 0x00123456;
    set_surface_flags(frame, SURFACE_DITHER);
    present(frame, nullptr);
    int pitch = 0;
    const uint8_t* back = display_access.lock_front(320, 240, &pitch);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(pitch, display_records[0].pitch);
    for (int y : { 0, 1, 239 }) {
        const uint8_t* row = back + size_t(y) * size_t(pitch);
        for (int x : { 0, 1, 318, 319 }) {
            const uint16_t v = uint16_t(row[2 * x] | (row[2 * x + 1] << 8));
            EXPECT_EQ(v, ((x + y) & 1) ? 0x11AB : 0x11AA) << x << "," << y;
        }
    }
    display_access.unlock_front();
    show_frame();
    EXPECT_EQ(current_display_record, &display_records[1]); // flipped
    show_frame();
    EXPECT_EQ(current_display_record, &display_records[0]);
    destroy_surface(frame);
}

TEST_F(DisplayDevice, SwitchingRebuildsAndKeepsTheRequestedMode)
{
    ASSERT_EQ(display_set_mode(320, 240, 24), 0);
    EXPECT_EQ(window_record->mode_bits, 32); // windowed
    display_set_fullscreen(true);
    EXPECT_EQ(window_record->full_screen, 1);
    EXPECT_EQ(display_record_count, 2);
    EXPECT_EQ(window_record->mode_bits, 24);
    display_set_fullscreen(false);
    EXPECT_EQ(window_record->full_screen, 0);
    EXPECT_EQ(display_record_count, 1);
    EXPECT_EQ(window_record->mode_bits, 32);
    EXPECT_EQ(window_record->requested_bits, 24);

    // A lost device is rebuilt on the next restore; drawing goes on.
    display_device_lost();
    EXPECT_EQ(display_restore(), 0);
    Surface* frame = pattern_surface();
    present(frame, nullptr);
    show_frame();
    destroy_surface(frame);
}

TEST_F(DisplayDevice, InvisibleDriverCountsOnlyWhenAskedFor)
{
    const char* driver = SDL_GetCurrentVideoDriver();
    ASSERT_NE(driver, nullptr);
    if (std::string(driver) != "dummy")
        GTEST_SKIP() << "runs on the dummy driver";
    EXPECT_TRUE(display_available());
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    EXPECT_FALSE(display_available());
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
    EXPECT_TRUE(display_available());
}

// ---- Screenshots under X11 (run by the Xvfb test with MW_X11_SCREENSHOT=1) ----

struct Screenshot {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB
};

uint32_t big_endian32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// Reads an xwd dump of a 24/32-bit TrueColor screen (ZPixmap).
bool read_xwd(const std::string& path, Screenshot* shot)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    std::vector<uint8_t> data;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        data.insert(data.end(), buffer, buffer + n);
    std::fclose(f);
    if (data.size() < 100)
        return false;
    const uint8_t* h = data.data();
    const uint32_t header_size = big_endian32(h + 0);
    const uint32_t format = big_endian32(h + 8);
    const uint32_t width = big_endian32(h + 16), height = big_endian32(h + 20);
    const uint32_t byte_order = big_endian32(h + 28);
    const uint32_t bits_per_pixel = big_endian32(h + 44);
    const uint32_t bytes_per_line = big_endian32(h + 48);
    const uint32_t red_mask = big_endian32(h + 56);
    const uint32_t ncolors = big_endian32(h + 76);
    // Packed 3-byte pixels (in padded rows) or 4-byte ones.
    const uint32_t step = bits_per_pixel / 8;
    if (format != 2 || (bits_per_pixel != 24 && bits_per_pixel != 32) || (step != 3 && step != 4)
        || red_mask != 0xFF0000)
        return false;
    const size_t offset = size_t(header_size) + size_t(ncolors) * 12;
    if (data.size() < offset + size_t(bytes_per_line) * height)
        return false;
    shot->width = int(width);
    shot->height = int(height);
    shot->pixels.resize(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = data.data() + offset + size_t(y) * bytes_per_line + size_t(x) * step;
            const uint32_t v
                = byte_order ? big_endian32(p) : (uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16));
            shot->pixels[size_t(y) * width + x] = v & 0xFFFFFF;
        }
    return true;
}

void pump_for(int ms)
{
    const Uint32 end = SDL_GetTicks() + Uint32(ms);
    while (SDL_GetTicks() < end) {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            handle_window_event(&e);
        SDL_Delay(10);
    }
}

Screenshot take_screenshot()
{
    const std::string path = std::string(MW_BINARY_DIR) + "/test_display_device_shot.xwd";
    const std::string command = "xwd -root -silent -out '" + path + "'";
    Screenshot shot;
    const int status = std::system(command.c_str());
    if (status != 0 || !read_xwd(path, &shot))
        ADD_FAILURE() << "xwd failed: status " << status;
    return shot;
}

// Counts pixels of the picture at (left, top) scaled by `scale` that differ from the frame.
int differing_pixels(const Screenshot& shot, const Surface* frame, int left, int top, int scale)
{
    int bad = 0;
    for (int y = 0; y < 240 * scale; ++y)
        for (int x = 0; x < 320 * scale; ++x) {
            const int sx = left + x, sy = top + y;
            if (sx < 0 || sy < 0 || sx >= shot.width || sy >= shot.height) {
                ++bad;
                continue;
            }
            const uint32_t want = surface_row32(frame, y / scale)[x / scale] & 0xFFFFFF;
            bad += shot.pixels[size_t(sy) * size_t(shot.width) + size_t(sx)] != want;
        }
    return bad;
}

TEST_F(DisplayDevice, ScreenshotsOfWindowAndFullScreenUnderX11)
{
    if (!std::getenv("MW_X11_SCREENSHOT"))
        GTEST_SKIP() << "run by the Xvfb test";
    ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "x11");
    ASSERT_EQ(display_set_mode(320, 240, 32), 0);
    Surface* frame = pattern_surface();
    present(frame, nullptr);
    show_frame();
    pump_for(1500);
    show_frame();
    pump_for(300);

    int w = 0, h = 0, x = 0, y = 0;
    SDL_GetWindowSize(app_window, &w, &h);
    SDL_GetWindowPosition(app_window, &x, &y);
    EXPECT_EQ(w, 960);
    EXPECT_EQ(h, 720);
    Screenshot shot = take_screenshot();
    EXPECT_EQ(differing_pixels(shot, frame, x, y, 3), 0) << "window at " << x << "," << y;

    // Alt+Enter through the event path: full screen, letterboxed at the largest integer scale.
    SDL_SetModState(KMOD_LALT);
    SDL_Event up {};
    up.type = SDL_KEYUP;
    up.key.keysym.scancode = SDL_SCANCODE_RETURN;
    handle_window_event(&up);
    SDL_SetModState(KMOD_NONE);
    EXPECT_EQ(window_record->full_screen, 1);
    present(frame, nullptr);
    show_frame();
    pump_for(1500);
    present(frame, nullptr);
    show_frame();
    pump_for(300);
    shot = take_screenshot();
    const int scale = std::min(shot.width / 320, shot.height / 240);
    const int left = (shot.width - 320 * scale) / 2, top = (shot.height - 240 * scale) / 2;
    EXPECT_EQ(differing_pixels(shot, frame, left, top, scale), 0) << "full screen at scale " << scale;
    int black_border = 0;
    for (int sx = 0; sx < shot.width; ++sx)
        black_border += shot.pixels[size_t(sx)] == 0 && top > 0;
    if (top > 0) {
        EXPECT_EQ(black_border, shot.width);
    }

    // And back: the window returns at its scale, centred.
    handle_window_event(&up); // no Alt held: nothing happens
    EXPECT_EQ(window_record->full_screen, 1);
    display_set_fullscreen(false);
    present(frame, nullptr);
    show_frame();
    pump_for(1500);
    show_frame();
    pump_for(300);
    SDL_GetWindowSize(app_window, &w, &h);
    SDL_GetWindowPosition(app_window, &x, &y);
    EXPECT_EQ(w, 960);
    EXPECT_EQ(h, 720);
    shot = take_screenshot();
    EXPECT_EQ(differing_pixels(shot, frame, x, y, 3), 0) << "window again at " << x << "," << y;
    destroy_surface(frame);
}

} // namespace
