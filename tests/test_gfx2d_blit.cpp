// test_gfx2d_blit.cpp -- scaled blit stepping and clipping, cross-fade weights, RLM and PAL decoding.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gfx2d/anim.h"
#include "gfx2d/blit.h"
#include "tools/formats/acg_writer.h"

namespace {

Surface* make(int w, int h, uint32_t fill)
{
    Surface* s = create_surface(w, h, 32);
    for (int i = 0; i < w * h; ++i)
        reinterpret_cast<uint32_t*>(s->pixels)[i] = fill;
    return s;
}

uint32_t& px(Surface* s, int x, int y)
{
    return surface_row32(s, y)[x];
}

} // namespace

TEST(ScaledBlit, DoublingFillsTheScreenInTwoByTwoBlocks)
{
    Surface* src = make(160, 120, 0);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            px(src, x, y) = uint32_t(y << 8 | x);
    Surface* dst = make(320, 240, 0);
    draw_surface_scaled(dst, src, 0, 0, 512, 512);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(px(dst, x, y), uint32_t((y / 2) << 8 | (x / 2))) << x << "," << y;
    destroy_surface(src);
    destroy_surface(dst);
}

TEST(ScaledBlit, ShrinkingWithLeftClipAndTheBlend)
{
    // 100x4 source at scale 128 drawn at x = -10: W' = 50, L = 10, 40 columns from source
    // column 10 stepping 2 at a time; H' = 2 rows: source rows 0 and 2.
    Surface* src = make(100, 4, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 100; ++x)
            px(src, x, y) = uint32_t(y << 8 | x);
    Surface* dst = make(320, 240, 0xAA000000u);
    set_surface_flags(dst, SURFACE_TRACK_UPDATES);
    reset_update_list(&dst->updates);
    draw_surface_scaled(dst, src, -10, 0, 128, 128);
    for (int c = 0; c < 40; ++c) {
        ASSERT_EQ(px(dst, c, 0), uint32_t(10 + 2 * c)) << c; // the destination's top byte is dropped
        ASSERT_EQ(px(dst, c, 1), uint32_t(2 << 8 | (10 + 2 * c))) << c;
    }
    EXPECT_EQ(px(dst, 40, 0), 0xAA000000u);
    EXPECT_EQ(px(dst, 0, 2), 0xAA000000u);
    EXPECT_EQ(dst->updates.entries[0].right, 50); // (x, y) to (x + W', y + H'), x after clipping
    EXPECT_EQ(dst->updates.entries[0].bottom, 2);

    // Scale 256 with a translucent source: D's channels scaled by (256 - 64) / 256, no saturation.
    Surface* one = make(2, 1, 0x40102030u);
    Surface* d2 = make(4, 1, 0x55C86432u);
    draw_surface_scaled(d2, one, 1, 0, 256, 256);
    EXPECT_EQ(px(d2, 1, 0), 0x40A66B55u);
    EXPECT_EQ(px(d2, 2, 0), 0x40A66B55u);
    EXPECT_EQ(px(d2, 0, 0), 0x55C86432u);
    EXPECT_EQ(blend_blit_pixel(0x00FFFFFFu, 0x00010101u), 0x01010100u); // carries, no clamp
    destroy_surface(one);
    destroy_surface(d2);
    destroy_surface(src);
    destroy_surface(dst);
}

TEST(ScaledBlit, DegenerateScalesAndFarClipping)
{
    Surface* src = make(320, 240, 0x00010203u);
    Surface* dst = make(320, 240, 0x00000000u);
    set_surface_flags(dst, SURFACE_TRACK_UPDATES);
    reset_update_list(&dst->updates);
    draw_surface_scaled(dst, src, 5, 5, 1, 1); // W' = 1, H' = 0: nothing, an empty rectangle
    EXPECT_EQ(dst->updates.entries[0].in_use, 0);
    draw_surface_scaled(dst, src, 0, 0, -256, 256);
    draw_surface_scaled(dst, src, 321, 0, 256, 256);
    draw_surface_scaled(dst, src, -321, 0, 256, 256);
    for (int i = 0; i < 320 * 240; ++i)
        ASSERT_EQ(reinterpret_cast<uint32_t*>(dst->pixels)[i], 0u);

    // Large scales with a clipped left and top edge step past the source: reads are clamped.
    Surface* small = make(10, 10, 0);
    for (int x = 0; x < 10; ++x)
        px(small, x, 9) = uint32_t(x);
    draw_surface_scaled(dst, small, -150, -150, 4096, 4096); // W' = H' = 160, L = T = 150
    EXPECT_EQ(px(dst, 0, 0), 9u);
    EXPECT_EQ(px(dst, 9, 9), 9u);
    EXPECT_EQ(px(dst, 10, 0), 0u);
    destroy_surface(small);
    destroy_surface(src);
    destroy_surface(dst);
}

TEST(CrossFade, WeightsAndLevels)
{
    std::vector<uint32_t> in(CROSS_FADE_PIXELS, 0xFFC86432u), dst(CROSS_FADE_PIXELS, 0x7F123456u);
    cross_fade(in.data(), dst.data(), 255);
    EXPECT_EQ(dst[0], 0x00C86432u);
    std::fill(dst.begin(), dst.end(), 0x7F123456u);
    cross_fade(in.data(), dst.data(), 0);
    EXPECT_EQ(dst[76799], 0x00123456u);
    std::fill(dst.begin(), dst.end(), 0x7F123456u);
    cross_fade(in.data(), dst.data(), 256); // only the low 8 bits count
    EXPECT_EQ(dst[5], 0x00123456u);
    // Level 128: red 255*129/256 -> 128 plus 32*128/256 = 16, green 64 + 32, blue 32 + 48.
    std::fill(in.begin(), in.end(), 0x00FF8040u);
    std::fill(dst.begin(), dst.end(), 0x00204060u);
    cross_fade(in.data(), dst.data(), 128);
    EXPECT_EQ(dst[100], 0x00906050u);
    // White into white never exceeds 255.
    std::fill(in.begin(), in.end(), 0xFFFFFFFFu);
    std::fill(dst.begin(), dst.end(), 0xFFFFFFFFu);
    cross_fade(in.data(), dst.data(), 128);
    EXPECT_EQ(dst[0], 0x00FFFFFFu);
}

TEST(Pal, EntryOrderShortAndMissingFiles)
{
    std::vector<uint8_t> bytes(768, 0);
    bytes[0] = 255; // first triple: entry 255 pure red
    bytes[765] = 1; // last triple: entry 0
    bytes[766] = 2;
    bytes[767] = 3;
    const std::string path = std::string(MW_BINARY_DIR) + "/test_gfx2d_blit.pal";
    ASSERT_TRUE(write_file_bytes(path, bytes.data(), bytes.size()));
    uint32_t palette[256];
    ASSERT_EQ(load_pal(path.c_str(), palette), 1);
    EXPECT_EQ(palette[255], 0x00FF0000u);
    EXPECT_EQ(palette[0], 0x00010203u);
    ASSERT_TRUE(write_file_bytes(path, bytes.data(), 4)); // short: the rest reads as 0
    std::fill(palette, palette + 256, 0xCCCCCCCCu);
    ASSERT_EQ(load_pal(path.c_str(), palette), 1);
    EXPECT_EQ(palette[255], 0x00FF0000u);
    EXPECT_EQ(palette[254], 0x00000000u);
    EXPECT_EQ(palette[0], 0u);
    EXPECT_EQ(load_pal((path + ".missing").c_str(), palette), 0);
}

TEST(Rlm, RunKindsZeroLengthsAndBadStreams)
{
    uint32_t palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = 0x00010000u * uint32_t(i);
    Surface* s = make(160, 120, 0xEEEEEEEEu);
    const uint32_t* p = reinterpret_cast<uint32_t*>(s->pixels);
    ByteStream st;

    // 16383 + 2817 covers a frame.
    const uint8_t flat[] = { 0xBF, 0xFF, 9, 0x8B, 0x01, 4 };
    init_byte_stream(&st, flat, sizeof flat);
    ASSERT_EQ(decode_rlm_frame(&st, RLM_FRAME_PIXELS, s, palette), 0);
    EXPECT_EQ(p[16382], palette[9]);
    EXPECT_EQ(p[16383], palette[4]);
    EXPECT_EQ(p[19199], palette[4]);
    EXPECT_EQ(st.position, 6u);

    // Literal of 0 reads nothing; repeat of 0 reads its index and writes nothing.
    const uint8_t zero[] = { 0x40, 0x00, 5, 0x42, 7, 8, 0x01, 3 };
    init_byte_stream(&st, zero, sizeof zero);
    ASSERT_EQ(decode_rlm_frame(&st, 3, s, palette), 0);
    EXPECT_EQ(p[0], palette[7]);
    EXPECT_EQ(p[1], palette[8]);
    EXPECT_EQ(p[2], palette[3]);
    EXPECT_EQ(p[3], palette[9]); // beyond the 3 pixels: untouched

    // A run past the frame's end writes what fits and reports the end.
    Surface* tiny = make(2, 2, 0);
    const uint8_t overlong[] = { 0x8A, 0x00, 6 };
    init_byte_stream(&st, overlong, sizeof overlong);
    EXPECT_EQ(decode_rlm_frame(&st, 4, tiny, palette), 1);
    EXPECT_EQ(surface_row32(tiny, 1)[1], palette[6]);
    // A pixel count beyond the target never writes past its pixels.
    init_byte_stream(&st, flat, sizeof flat);
    EXPECT_EQ(decode_rlm_frame(&st, RLM_FRAME_PIXELS, tiny, palette), 0);

    // A stream ending inside a frame stops with the end indication; later calls read nothing.
    const uint8_t cut[] = { 0x03, 1, 0x45, 2, 2 };
    init_byte_stream(&st, cut, sizeof cut);
    EXPECT_EQ(decode_rlm_frame(&st, 100, s, palette), 1);
    EXPECT_TRUE(st.at_end);
    EXPECT_EQ(p[4], palette[2]);
    EXPECT_EQ(decode_rlm_frame(&st, 100, s, palette), 1);
    // Seeking back to the start clears the flag.
    seek_byte_stream(&st, 0);
    EXPECT_FALSE(st.at_end);
    EXPECT_EQ(decode_rlm_frame(&st, 3, s, palette), 0);
    destroy_surface(tiny);
    destroy_surface(s);
}
