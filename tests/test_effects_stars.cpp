// test_effects_stars.cpp -- splat weights and edges, star creation from the rand stream, turning, projection.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "display/demo_rand.h"
#include "display/surface.h"
#include "effects/stars.h"

namespace {

class Stars : public ::testing::Test {
protected:
    void SetUp() override
    {
        s = create_surface(32, 24, 32);
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
    Surface* s = nullptr;
};

} // namespace

TEST_F(Stars, SplatWeights)
{
    // Integer position: the pixel takes the colour, the neighbours (weight 0) keep their
    // colour bytes but lose their top byte.
    fill(0x11223344u);
    splat_point(s, 5, 5, 0x00808080u);
    EXPECT_EQ(at(5, 5), 0x00808080u);
    EXPECT_EQ(at(6, 5), 0x00223344u);
    EXPECT_EQ(at(5, 6), 0x00223344u);
    EXPECT_EQ(at(6, 6), 0x00223344u);
    EXPECT_EQ(at(4, 5), 0x11223344u);

    // x = 5.5, y = 5.25: fx = 128, fy = 64, o = 32; weights 96, 96, 32, 32.
    fill(0);
    splat_point(s, 5.5f, 5.25f, 0x00C8C8C8u);
    EXPECT_EQ(at(5, 5), 0x004B4B4Bu); // floor(200 * 96 / 256) = 75
    EXPECT_EQ(at(6, 5), 0x004B4B4Bu);
    EXPECT_EQ(at(5, 6), 0x00191919u); // 25
    EXPECT_EQ(at(6, 6), 0x00191919u);
    // Towards a darker colour the step rounds down: 100 + floor(-37.5) = 62.
    fill(0x00646464u);
    splat_point(s, 5.5f, 5.25f, 0);
    EXPECT_EQ(at(5, 5), 0x003E3E3Eu);
    EXPECT_EQ(at(6, 6), 0x00575757u); // 100 + floor(-12.5) = 87
}

TEST_F(Stars, SplatEdges)
{
    splat_point(s, -0.5f, 3, 0x00FFFFFFu); // only column 0, weight 128
    EXPECT_EQ(at(0, 3), 0x007F7F7Fu);
    EXPECT_EQ(count_not(0), 1);
    fill(0);
    splat_point(s, 31.5f, 3, 0x00FFFFFFu); // only the last column
    EXPECT_EQ(at(31, 3), 0x007F7F7Fu);
    EXPECT_EQ(count_not(0), 1);
    fill(0);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (auto [x, y] : { std::pair { -1.01f, 3.0f }, { 32.0f, 3.0f }, { 3.0f, 24.0f }, { nan, 3.0f }, { 3.0f, nan },
             { inf, 3.0f }, { -inf, -inf } })
        splat_point(s, x, y, 0x00FFFFFFu);
    EXPECT_EQ(count_not(0), 0);
    splat_point(s, -1.0f, -1.0f, 0x00FFFFFFu); // accepted; its only on-surface pixel has weight 0
    EXPECT_EQ(count_not(0), 0);
}

TEST_F(Stars, CreationTurningAndDrawing)
{
    demo_srand(1234);
    StarField* field = create_star_field(50);
    ASSERT_NE(field, nullptr);
    const int next = demo_rand();
    demo_srand(1234);
    const int r1 = demo_rand();
    for (int i = 1; i < 4 * 50; ++i)
        demo_rand();
    EXPECT_EQ(next, demo_rand()); // four rand calls per star

    // Star 0 from the first four values: polar angle pi r1 u narrowed to single precision,
    // azimuth 2 pi r2 u, on the sphere of radius 8000; brightness r4 u x float(r3 u) x 255.
    demo_srand(1234);
    int r[4];
    for (int& v : r)
        v = demo_rand();
    const double u = double(3.0518509e-5f);
    const float polar = float(double(r[0]) * u * 3.141592653589793);
    const double azimuth = double(r[1]) * u * (2.0 * 3.141592653589793);
    const Vec4& star = field->base[0];
    EXPECT_EQ(star.x, std::cos(azimuth) * std::sin(double(polar)) * 8000.0);
    EXPECT_EQ(star.y, std::sin(azimuth) * std::sin(double(polar)) * 8000.0);
    EXPECT_EQ(star.z, std::cos(double(polar)) * 8000.0);
    EXPECT_EQ(star.w, double(r[3]) * u * double(float(double(r[2]) * u)) * 255.0);
    for (int i = 0; i < field->count; ++i)
        EXPECT_EQ(field->working[i].z, field->base[i].z);

    // Identity: working = base. A turn leaves the brightness alone.
    Matrix m;
    mat_identity(&m);
    transform_stars(field, &m);
    EXPECT_EQ(field->working[7].x, field->base[7].x);
    m.m[0] = -1;
    transform_stars(field, &m);
    EXPECT_EQ(field->working[7].x, -field->base[7].x);
    EXPECT_EQ(field->working[7].w, field->base[7].w);
    free_star_field(field);

    // Hand-placed stars: one projecting onto (10, 7) exactly, one at z = 0.
    field = create_star_field(2);
    ASSERT_NE(field, nullptr);
    field->working[0] = { -150 * 150.0 / 150, -113 * 150.0 / 150, 150, 200.7 };
    field->working[1] = { 10, 10, 0, 255 };
    fill(0x77777777u);
    draw_stars(field, s);
    // (x 150 / z + 160, y 150 / z + 120) = (10, 7): grey 200 into that one pixel.
    EXPECT_EQ(at(10, 7), 0x00C8C8C8u);
    EXPECT_EQ(at(11, 7), 0x00777777u);
    EXPECT_EQ(count_not(0x77777777u), 4);
    free_star_field(field);
    EXPECT_EQ(create_star_field(-1), nullptr);
}
