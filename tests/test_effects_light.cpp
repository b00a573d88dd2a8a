// test_effects_light.cpp -- reported rectangles and hostile arguments. Every lit pixel of the three
// shapes, at every intensity, is checked against per-pixel definitions in test_pixel_loops_reference.
#include <gtest/gtest.h>

#include <limits>

#include "effects/light.h"
#include "surface_fixture.h"

TEST(Light, DiscReportsItsRectangleEvenWithoutPeak)
{
    auto s = make_surface(48, 48);
    set_surface_flags(s.get(), SURFACE_TRACK_UPDATES);
    draw_soft_disc(s.get(), 10, 10, 4, 0x80FF4020u);
    draw_soft_disc(s.get(), 30, 30, 5, 0x00FFFFFFu); // no peak: nothing lit
    EXPECT_EQ(count_not(s.get(), 0), 45); // every (dx, dy) with dx² + dy² < 16
    EXPECT_EQ(corners(s->updates.entries[1]), (std::array { 6, 6, 15, 15 }));
    EXPECT_EQ(corners(s->updates.entries[2]), (std::array { 25, 25, 36, 36 }));
}

TEST(Light, OffSurfaceNanInfiniteAndEmptyShapesLightNothing)
{
    auto s = make_surface(48, 48);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float args[][3] = { { -1000, -1000, 50 }, { nan, 10, 5 }, { 10, nan, 5 }, { 10, 10, nan }, { inf, 10, 5 },
        { 10, 10, inf }, { 3e9f, 3e9f, 1e9f }, { 10, 10, -5 }, { 10, 10, 3e38f } };
    for (const auto& a : args) {
        draw_soft_disc(s.get(), a[0], a[1], a[2], 0xFFFFFFFFu);
        draw_glow(s.get(), a[0], a[1], a[2], a[2], 0xFFFFFFFFu);
        draw_ring(s.get(), a[0], a[1], a[2], 3, 0xFFFFFFFFu);
        draw_ring(s.get(), a[0], a[1], 5, a[2], 0xFFFFFFFFu);
    }
    draw_ring(s.get(), 20, 20, 5, 0, 0xFFFFFFFFu); // zero width
    draw_glow(s.get(), 20, 20, 0, 5, 0xFFFFFFFFu); // zero size
    EXPECT_EQ(count_not(s.get(), 0), 0);
}
