// test_effects_light.cpp -- soft discs, glows and rings against their per-pixel definitions, and
// hostile arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "display/numeric.h"
#include "effects/light.h"
#include "surface_fixture.h"

namespace {

// min(255, byte + (colour byte × I) >> 8) for each of the four bytes, I of any size.
uint32_t add_bytes(uint32_t pixel, uint32_t colour, int64_t intensity)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int64_t c = (colour >> shift) & 0xFF, p = (pixel >> shift) & 0xFF;
        out |= uint32_t(std::min<int64_t>(255, p + ((c * intensity) >> 8))) << shift;
    }
    return out;
}

enum class Shape { DISC, GLOW, RING };

// The shapes written straight from their definitions: one pixel at a time, every test spelled out.
void reference_shape(std::vector<uint32_t>* px, int width, int height, Shape shape, float cx_f, float cy_f, float a_f,
    float b_f, uint32_t colour)
{
    const double cx = cx_f, cy = cy_f, a = a_f, b = b_f;
    const double e = double(a_f) * double(a_f) * double(b_f);
    const double outer = shape == Shape::DISC ? a : shape == Shape::GLOW ? std::sqrt(e) : a + b;
    const int32_t y0 = std::max(0, trunc_i32(cy - outer)), y1 = std::min(height, trunc_i32(cy + outer + 1.5));
    auto visit = [&](int y, double dy, double from, double to) {
        const int32_t x0 = std::max(0, trunc_i32(from)), x1 = std::min(width, trunc_i32(to));
        double dx = double(x0) - cx;
        for (int32_t x = x0; x < x1; ++x, dx += 1.0) {
            uint32_t& p = (*px)[size_t(y * width + x)];
            if (shape == Shape::DISC) {
                const double q = a * a - dy * dy - dx * dx;
                if (q > 0.0)
                    p = add_bytes(p, colour, trunc_i32(double(colour >> 24) / (a * a) * q));
            } else if (shape == Shape::GLOW) {
                const double q = e / (dx * dx + dy * dy);
                if (!std::isnan(q))
                    p = add_bytes(p, colour, trunc_i32(std::min(q, 65536.0)));
            } else {
                const double d = std::fabs(std::sqrt(dx * dx + dy * dy) - a);
                const int64_t t = trunc_i32(256.0 / b * d); // NaN for b = 0: nothing lit
                if (d <= b && t >= 0)
                    p = add_bytes(p, colour, 256 - t);
            }
        }
    };
    double dy = double(y0) - cy;
    for (int32_t y = y0; y < y1; ++y, dy += 1.0) {
        const double h = (shape == Shape::GLOW ? e : outer * outer) - dy * dy;
        if (h < 0.0)
            continue;
        const double so = std::sqrt(h);
        const double hi = (a - b) * (a - b) - dy * dy;
        if (shape == Shape::RING && hi >= 0.0) {
            visit(y, dy, cx - so, cx - std::sqrt(hi) + 1.5);
            visit(y, dy, cx + std::sqrt(hi), cx + so + 1.5);
        } else {
            visit(y, dy, cx - so, cx + so + 1.5);
        }
    }
}

} // namespace

// Random centres on, across and beyond the edges of an odd-sized surface full of random
// pixels (so saturation happens), random sizes and colours: every pixel must match.
TEST(Light, ShapesMatchPerPixelDefinitionsAndHostileArgumentsLightNothing)
{
    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> pos(-30.0f, 90.0f), size(0.0f, 40.0f), small(0.0f, 8.0f);
    const int width = 61, height = 47;
    auto surface = make_surface(width, height);
    Surface* s = surface.get();
    for (int round = 0; round < 600; ++round) {
        std::vector<uint32_t> expected(size_t(width * height));
        for (auto& p : expected)
            p = rng() & (round % 2 ? 0xFFFFFFFFu : 0x3F3F3F3Fu);
        std::memcpy(s->pixels, expected.data(), expected.size() * 4); // rows are contiguous
        const Shape shape = Shape(round % 3);
        // Every fourth shape on whole numbers: exact rims, on-circle pixels and distances of exactly w.
        auto pick = [&](std::uniform_real_distribution<float>& d) { return round % 4 ? d(rng) : std::floor(d(rng)); };
        const float cx = pick(pos), cy = pick(pos), a = pick(size) / (shape == Shape::GLOW ? 4 : 1);
        const float b = pick(shape == Shape::GLOW ? size : small);
        const uint32_t colour = rng();
        reference_shape(&expected, width, height, shape, cx, cy, a, b, colour);
        if (shape == Shape::DISC)
            draw_soft_disc(s, cx, cy, a, colour);
        else if (shape == Shape::GLOW)
            draw_glow(s, cx, cy, a, b, colour);
        else
            draw_ring(s, cx, cy, a, b, colour);
        ASSERT_EQ(std::memcmp(s->pixels, expected.data(), expected.size() * 4), 0)
            << "round " << round << " shape " << int(shape) << " at " << cx << "," << cy << " sizes " << a << "," << b
            << " colour " << std::hex << colour;
    }

    // Off the surface, NaN, infinite and empty shapes light nothing.
    auto empty = make_surface(48, 48);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float args[][3] = { { -1000, -1000, 50 }, { nan, 10, 5 }, { 10, nan, 5 }, { 10, 10, nan }, { inf, 10, 5 },
        { 10, 10, inf }, { 3e9f, 3e9f, 1e9f }, { 10, 10, -5 }, { 10, 10, 3e38f } };
    for (const auto& a : args) {
        draw_soft_disc(empty.get(), a[0], a[1], a[2], 0xFFFFFFFFu);
        draw_glow(empty.get(), a[0], a[1], a[2], a[2], 0xFFFFFFFFu);
        draw_ring(empty.get(), a[0], a[1], a[2], 3, 0xFFFFFFFFu);
        draw_ring(empty.get(), a[0], a[1], 5, a[2], 0xFFFFFFFFu);
    }
    draw_ring(empty.get(), 20, 20, 5, 0, 0xFFFFFFFFu); // zero width
    draw_glow(empty.get(), 20, 20, 0, 5, 0xFFFFFFFFu); // zero size
    EXPECT_EQ(count_not(empty.get(), 0), 0);
}
