// test_effects_light.cpp -- soft discs, glows and rings: intensities, spans, saturation, reported rectangles.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "display/surface.h"
#include "effects/light.h"

namespace {

class Light : public ::testing::Test {
protected:
    void SetUp() override
    {
        s = create_surface(48, 48, 32);
        ASSERT_NE(s, nullptr);
        fill(0);
    }
    void TearDown() override { destroy_surface(s); }
    void fill(uint32_t v)
    {
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x)
                surface_row32(s, y)[x] = v;
    }
    uint32_t at(int x, int y) { return surface_row32(s, y)[x]; }
    int count_not(uint32_t v)
    {
        int n = 0;
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x)
                n += at(x, y) != v;
        return n;
    }
    const UpdateEntry& last_rect() { return s->updates.entries[s->updates.highest_used]; }
    Surface* s = nullptr;
};

} // namespace

TEST(LightAdd, PerByteSaturation)
{
    EXPECT_EQ(add_light(0, 0x80FF4020u, 128), 0x407F2010u);
    EXPECT_EQ(add_light(0xFFFFFFFFu, 0x01010101u, 256), 0xFFFFFFFFu);
    EXPECT_EQ(add_light(0x00F00010u, 0x00200020u, 256), 0x00FF0030u);
    // Large intensities: each product in its own field, clamped at 255.
    EXPECT_EQ(add_light(0x11223344u, 0x00010200u, 65536), 0x11FFFF44u);
    EXPECT_EQ(add_light(0, 0x00000001u, 4096), 0x00000010u);
}

TEST_F(Light, SoftDiscFalloffAndRim)
{
    set_surface_flags(s, SURFACE_TRACK_UPDATES);
    // Peak 128, r = 4: k = 8. Centre q = 16 -> I = 128; one pixel right q = 15 -> I = 120.
    draw_soft_disc(s, 10, 10, 4, 0x80FF4020u);
    EXPECT_EQ(at(10, 10), 0x407F2010u);
    EXPECT_EQ(at(11, 10), 0x3C771E0Fu);
    EXPECT_EQ(at(9, 10), 0x3C771E0Fu);
    EXPECT_EQ(at(14, 10), 0u); // rim: q = 0
    EXPECT_EQ(at(10, 6), 0u);
    EXPECT_EQ(at(13, 13), 0u); // outside the circle
    // Lit pixels: every (dx, dy) with dx² + dy² < 16.
    EXPECT_EQ(count_not(0), 45);
    const UpdateEntry& r = last_rect();
    EXPECT_EQ(r.left, 6);
    EXPECT_EQ(r.top, 6);
    EXPECT_EQ(r.right, 15);
    EXPECT_EQ(r.bottom, 15);

    // No peak: nothing changes, the rectangle is still reported.
    fill(0x01020304u);
    const int before = s->updates.highest_used;
    draw_soft_disc(s, 30, 30, 5, 0x00FFFFFFu);
    EXPECT_EQ(count_not(0x01020304u), 0);
    EXPECT_EQ(s->updates.highest_used, before + 1);

    // White stays white.
    fill(0xFFFFFFFFu);
    draw_soft_disc(s, 20, 20, 8, 0xFFFFFFFFu);
    EXPECT_EQ(count_not(0xFFFFFFFFu), 0);
}

TEST_F(Light, GlowCentreAndFalloff)
{
    // s = 2, g = 16: E = 64. Centre saturates each byte whose colour byte is non-zero.
    fill(0x11223344u);
    draw_glow(s, 10, 10, 2, 16, 0x00010200u);
    EXPECT_EQ(at(10, 10), 0x11FFFF44u);
    fill(0);
    draw_glow(s, 10, 10, 2, 16, 0xFF804020u);
    EXPECT_EQ(at(11, 10), 0x3F201008u); // d2 = 1: I = 64
    EXPECT_EQ(at(14, 10), 0x03020100u); // d2 = 16: I = 4
    EXPECT_EQ(at(18, 10), 0x00000000u); // d2 = 64: I = 1, every product below 1
    EXPECT_EQ(at(10, 19), 0u); // outside the row range
    // Near but not at the centre small colour bytes need not saturate: E = 4096, d2 = 1.
    fill(0);
    draw_glow(s, 24, 24, 16, 16, 0x00000001u);
    EXPECT_EQ(at(25, 24), 0x00000010u);
    EXPECT_EQ(at(24, 24), 0x000000FFu);
}

TEST_F(Light, RingProfileAndDoubleVisits)
{
    // r = 10, w = 4: F = 64.
    draw_ring(s, 20, 20, 10, 4, 0x80402010u);
    EXPECT_EQ(at(30, 20), 0x80402010u); // on the circle: I = 256
    EXPECT_EQ(at(32, 20), 0x40201008u); // e = 2: I = 128
    EXPECT_EQ(at(34, 20), 0u); // e = w: I = 0
    EXPECT_EQ(at(20, 20), 0u); // centre lies between the spans
    EXPECT_EQ(at(20, 10), 0x80402010u);

    // r < w: the row through the centre skips pixels that lie within w of the circle, and
    // where the inner spans meet (hi = 0) a pixel on the circle gets the colour twice.
    fill(0);
    draw_ring(s, 20, 20, 2, 4, 0x10101010u);
    EXPECT_EQ(at(20, 20), 0u);
    EXPECT_EQ(at(19, 20), 0u);
    EXPECT_EQ(at(18, 20), 0x10101010u); // on the circle, visited once
    EXPECT_EQ(at(20, 22), 0x20202020u);
    EXPECT_EQ(at(20, 18), 0x20202020u);
}

TEST_F(Light, OffSurfaceAndHostileArguments)
{
    set_surface_flags(s, SURFACE_TRACK_UPDATES);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float args[][3] = { { -1000, -1000, 50 }, { nan, 10, 5 }, { 10, nan, 5 }, { 10, 10, nan }, { inf, 10, 5 },
        { 10, 10, inf }, { 3e9f, 3e9f, 1e9f }, { 10, 10, -5 }, { 10, 10, 3e38f } };
    for (const auto& a : args) {
        draw_soft_disc(s, a[0], a[1], a[2], 0xFFFFFFFFu);
        draw_glow(s, a[0], a[1], a[2], a[2], 0xFFFFFFFFu);
        draw_ring(s, a[0], a[1], a[2], 3, 0xFFFFFFFFu);
        draw_ring(s, a[0], a[1], 5, a[2], 0xFFFFFFFFu);
    }
    EXPECT_EQ(count_not(0), 0);
    draw_ring(s, 20, 20, 5, 0, 0xFFFFFFFFu); // zero width
    draw_glow(s, 20, 20, 0, 5, 0xFFFFFFFFu); // zero size
    EXPECT_EQ(count_not(0), 0);
    // Partly off the surface: only the inside is lit.
    draw_glow(s, -2, 47.5f, 4, 16, 0x00FFFFFFu);
    EXPECT_GT(count_not(0), 0);
}
