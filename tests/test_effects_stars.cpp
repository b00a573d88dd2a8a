// test_effects_stars.cpp -- splat weights and edges, star creation from the rand stream, turning, projection.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "display/demo_rand.h"
#include "effects/stars.h"
#include "surface_fixture.h"

TEST(Stars, SplatWeightsRoundTowardsTheOldColour)
{
    const struct {
        uint32_t fill;
        float x, y;
        uint32_t colour;
        std::array<uint32_t, 4> around; // (5, 5), (6, 5), (5, 6), (6, 6)
    } cases[] = {
        // Whole position: the pixel takes the colour; weight-0 neighbours only lose their top byte.
        { 0x11223344u, 5, 5, 0x00808080u, { 0x00808080u, 0x00223344u, 0x00223344u, 0x00223344u } },
        // fx = 128, fy = 64, o = 32: weights 96, 96, 32, 32; floor(200 * 96 / 256) = 75.
        { 0, 5.5f, 5.25f, 0x00C8C8C8u, { 0x004B4B4Bu, 0x004B4B4Bu, 0x00191919u, 0x00191919u } },
        // Towards a darker colour: 100 + floor(-37.5) = 62, 100 + floor(-12.5) = 87.
        { 0x00646464u, 5.5f, 5.25f, 0, { 0x003E3E3Eu, 0x003E3E3Eu, 0x00575757u, 0x00575757u } },
    };
    for (const auto& c : cases) {
        auto s = make_surface(32, 24, c.fill);
        splat_point(s.get(), c.x, c.y, c.colour);
        Surface* p = s.get();
        EXPECT_EQ((std::array { pixel(p, 5, 5), pixel(p, 6, 5), pixel(p, 5, 6), pixel(p, 6, 6) }), c.around)
            << c.x << "," << c.y;
        EXPECT_EQ(count_not(s.get(), c.fill), 4) << c.x << "," << c.y;
    }
}

TEST(Stars, SplatEdges)
{
    auto s = make_surface(32, 24);
    splat_point(s.get(), -0.5f, 3, 0x00FFFFFFu); // only column 0, weight 128
    splat_point(s.get(), 31.5f, 5, 0x00FFFFFFu); // only the last column
    EXPECT_EQ(pixel(s.get(), 0, 3), 0x007F7F7Fu);
    EXPECT_EQ(pixel(s.get(), 31, 5), 0x007F7F7Fu);
    EXPECT_EQ(count_not(s.get(), 0), 2);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    // The last is accepted, but its only pixel on the surface has weight 0.
    for (auto [x, y] : { std::pair { -1.01f, 3.0f }, { 32.0f, 3.0f }, { 3.0f, 24.0f }, { nan, 3.0f }, { 3.0f, nan },
             { inf, 3.0f }, { -inf, -inf }, { -1.0f, -1.0f } })
        splat_point(s.get(), x, y, 0x00FFFFFFu);
    EXPECT_EQ(count_not(s.get(), 0), 2);
}

TEST(Stars, CreationTurningAndDrawing)
{
    demo_srand(1234);
    StarField* field = create_star_field(50);
    ASSERT_NE(field, nullptr);
    const int next = demo_rand();
    // Star 0 from the first four values: polar angle pi r1 u narrowed to single precision,
    // azimuth 2 pi r2 u, on the sphere of radius 8000; brightness r4 u x float(r3 u) x 255.
    demo_srand(1234);
    int r[4];
    for (int& v : r)
        v = demo_rand();
    for (int i = 4; i < 4 * 50; ++i)
        demo_rand();
    EXPECT_EQ(next, demo_rand()); // four rand calls per star
    const double u = double(3.0518509e-5f);
    const float polar = float(double(r[0]) * u * 3.141592653589793);
    const double azimuth = double(r[1]) * u * (2.0 * 3.141592653589793);
    const Vec4& star = field->base[0];
    EXPECT_EQ(star.x, std::cos(azimuth) * std::sin(double(polar)) * 8000.0);
    EXPECT_EQ(star.y, std::sin(azimuth) * std::sin(double(polar)) * 8000.0);
    EXPECT_EQ(star.z, std::cos(double(polar)) * 8000.0);
    EXPECT_EQ(star.w, double(r[3]) * u * double(float(double(r[2]) * u)) * 255.0);
    EXPECT_EQ(field->working[49].z, field->base[49].z);

    // A turn starts again from the base array and leaves the brightness alone.
    Matrix m;
    mat_identity(&m);
    m.m[0] = -1;
    transform_stars(field, &m);
    transform_stars(field, &m);
    EXPECT_EQ(field->working[7].x, -field->base[7].x);
    EXPECT_EQ(field->working[7].w, field->base[7].w);
    free_star_field(field);

    // Hand-placed stars: (x 150 / z + 160, y 150 / z + 120) = (10, 7) exactly, and one at z = 0.
    field = create_star_field(2);
    field->working[0] = { -150, -113, 150, 200.7 };
    field->working[1] = { 10, 10, 0, 255 };
    auto s = make_surface(32, 24, 0x77777777u);
    draw_stars(field, s.get());
    EXPECT_EQ(pixel(s.get(), 10, 7), 0x00C8C8C8u); // grey 200 into that one pixel
    EXPECT_EQ(pixel(s.get(), 11, 7), 0x00777777u);
    EXPECT_EQ(count_not(s.get(), 0x77777777u), 4);
    free_star_field(field);
    EXPECT_EQ(create_star_field(-1), nullptr);
}
