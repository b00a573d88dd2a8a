// test_gfx2d_blit.cpp -- scaled blit stepping, clipping and blend; the cross-fade; RLM decoding.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "gfx2d/anim.h"
#include "gfx2d/blit.h"
#include "surface_fixture.h"

namespace {

// A surface whose pixel (x, y) holds y << 8 | x.
SurfacePtr numbered(int w, int h)
{
    auto s = make_surface(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixel(s.get(), x, y) = uint32_t(y << 8 | x);
    return s;
}

} // namespace

TEST(ScaledBlit, DoublingShrinkingClippingDegenerateScalesAndTheBlend)
{
    auto src = numbered(160, 120);
    auto dst = make_surface(320, 240);
    draw_surface_scaled(dst.get(), src.get(), 0, 0, 512, 512);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(pixel(dst.get(), x, y), uint32_t((y / 2) << 8 | (x / 2))) << x << "," << y;

    // Shrinking: a 100x4 source at scale 128 drawn at x = -10: W' = 50, L = 10, 40 columns from
    // source column 10 stepping 2 at a time; H' = 2 rows: source rows 0 and 2.
    src = numbered(100, 4);
    fill_surface(dst.get(), 0xAA000000u);
    set_surface_flags(dst.get(), SURFACE_TRACK_UPDATES);
    draw_surface_scaled(dst.get(), src.get(), -10, 0, 128, 128);
    for (int c = 0; c < 40; ++c) {
        ASSERT_EQ(pixel(dst.get(), c, 0), uint32_t(10 + 2 * c)) << c; // the destination's top byte is dropped
        ASSERT_EQ(pixel(dst.get(), c, 1), uint32_t(2 << 8 | (10 + 2 * c))) << c;
    }
    EXPECT_EQ(count_not(dst.get(), 0xAA000000u), 80);
    // (x, y) to (x + W', y + H'), x after clipping
    EXPECT_EQ(corners(dst->updates.entries[1]), (std::array { 0, 0, 50, 2 }));

    // Scale 256 with a translucent source: D's channels scaled by (256 - 64) / 256, no saturation.
    auto one = make_surface(2, 1, 0x40102030u);
    auto d2 = make_surface(4, 1, 0x55C86432u);
    draw_surface_scaled(d2.get(), one.get(), 1, 0, 256, 256);
    EXPECT_EQ(pixel(d2.get(), 1, 0), 0x40A66B55u);
    EXPECT_EQ(pixel(d2.get(), 2, 0), 0x40A66B55u);
    EXPECT_EQ(count_not(d2.get(), 0x55C86432u), 2);
    EXPECT_EQ(blend_blit_pixel(0x00FFFFFFu, 0x00010101u), 0x01010100u); // carries, no clamp

    // Degenerate scales and far clipping.
    src = make_surface(320, 240, 0x00010203u);
    dst = make_surface(320, 240);
    set_surface_flags(dst.get(), SURFACE_TRACK_UPDATES);
    draw_surface_scaled(dst.get(), src.get(), 5, 5, 1, 1); // W' = 1, H' = 0: nothing, an empty rectangle
    EXPECT_EQ(dst->updates.next_free, 1);
    draw_surface_scaled(dst.get(), src.get(), 0, 0, -256, 256);
    draw_surface_scaled(dst.get(), src.get(), 321, 0, 256, 256);
    draw_surface_scaled(dst.get(), src.get(), -321, 0, 256, 256);
    EXPECT_EQ(count_not(dst.get(), 0), 0);

    // Large scales with a clipped left and top edge step past the source: reads are clamped.
    auto small = make_surface(10, 10);
    for (int x = 0; x < 10; ++x)
        pixel(small.get(), x, 9) = uint32_t(x);
    draw_surface_scaled(dst.get(), small.get(), -150, -150, 4096, 4096); // W' = H' = 160, L = T = 150
    EXPECT_EQ(pixel(dst.get(), 0, 0), 9u);
    EXPECT_EQ(pixel(dst.get(), 9, 9), 9u);
    EXPECT_EQ(pixel(dst.get(), 10, 0), 0u);
}

TEST(CrossFade, MatchesPerChannelFormulaAtEveryLevel)
{
    std::mt19937 rng(777);
    std::vector<uint32_t> incoming(CROSS_FADE_PIXELS), destination(CROSS_FADE_PIXELS), before(CROSS_FADE_PIXELS);
    for (int level = -2; level <= 257; ++level) {
        for (int i = 0; i < 64; ++i) {
            incoming[size_t(i)] = rng();
            destination[size_t(i)] = rng();
        }
        // Extremes at the far end, past the four-pixel blocks' start.
        incoming[CROSS_FADE_PIXELS - 1] = 0xFFFFFFFFu;
        destination[CROSS_FADE_PIXELS - 1] = 0xFFFFFFFFu;
        before = destination;
        cross_fade(incoming.data(), destination.data(), level);
        const uint32_t l = uint32_t(level) & 0xFF;
        for (int i : { 0, 1, 2, 3, 5, 17, 63, CROSS_FADE_PIXELS - 1 }) {
            uint32_t want = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                const uint32_t p = (incoming[size_t(i)] >> shift) & 0xFF, d = (before[size_t(i)] >> shift) & 0xFF;
                want |= (p * (l + 1) / 256 + d * (256 - l) / 256) << shift;
            }
            ASSERT_EQ(destination[size_t(i)], want) << "level " << level << " pixel " << i;
        }
    }
}

TEST(Rlm, RunKindsZeroLengthsAndBadStreams)
{
    uint32_t palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = 0x00010000u * uint32_t(i);
    auto s = make_surface(160, 120, 0xEEEEEEEEu);
    const uint32_t* p = surface_row32(s.get(), 0);
    ByteStream st;

    // 16383 + 2817 covers a frame.
    const uint8_t flat[] = { 0xBF, 0xFF, 9, 0x8B, 0x01, 4 };
    init_byte_stream(&st, flat, sizeof flat);
    ASSERT_EQ(decode_rlm_frame(&st, RLM_FRAME_PIXELS, s.get(), palette), 0);
    EXPECT_EQ((std::array { p[16382], p[16383], p[19199] }), (std::array { palette[9], palette[4], palette[4] }));
    EXPECT_EQ(st.position, 6u);

    // Literal of 0 reads nothing; repeat of 0 reads its index and writes nothing.
    const uint8_t zero[] = { 0x40, 0x00, 5, 0x42, 7, 8, 0x01, 3 };
    init_byte_stream(&st, zero, sizeof zero);
    ASSERT_EQ(decode_rlm_frame(&st, 3, s.get(), palette), 0);
    EXPECT_EQ((std::array { p[0], p[1], p[2], p[3] }), (std::array { palette[7], palette[8], palette[3], palette[9] }));
    // A run past the frame's end writes what fits and reports the end.
    const uint8_t overlong[] = { 0x8A, 0x00, 6 };
    init_byte_stream(&st, overlong, sizeof overlong);
    EXPECT_EQ(decode_rlm_frame(&st, 4, s.get(), palette), 1);
    EXPECT_EQ(p[3], palette[6]);
    // A stream ending inside a frame stops with the end indication; later calls read nothing.
    const uint8_t cut[] = { 0x03, 1, 0x45, 2, 2 };
    init_byte_stream(&st, cut, sizeof cut);
    EXPECT_EQ(decode_rlm_frame(&st, 100, s.get(), palette), 1);
    EXPECT_EQ(p[4], palette[2]);
    EXPECT_EQ(decode_rlm_frame(&st, 100, s.get(), palette), 1);
    seek_byte_stream(&st, 0); // seeking back to the start clears the end indication
    EXPECT_EQ(decode_rlm_frame(&st, 3, s.get(), palette), 0);
}
