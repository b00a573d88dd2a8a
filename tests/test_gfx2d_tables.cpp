// test_gfx2d_tables.cpp -- wrap_index, warps, the coordinate table generators, falloff, particle starts, faces.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "display/demo_rand.h"
#include "gfx2d/tables.h"
#include "surface_fixture.h"
#include "tools/formats/acg_writer.h"

namespace {

struct TablePair {
    std::vector<uint16_t> u = std::vector<uint16_t>(TABLE_SIZE), v = std::vector<uint16_t>(TABLE_SIZE);
    // Entries worked out by hand, each {x, y, U, V}.
    void expect(std::initializer_list<std::array<int, 4>> entries) const
    {
        for (const auto& e : entries) {
            EXPECT_EQ(u[size_t(e[1] * 320 + e[0])], e[2]) << "U at " << e[0] << "," << e[1];
            EXPECT_EQ(v[size_t(e[1] * 320 + e[0])], e[3]) << "V at " << e[0] << "," << e[1];
        }
    }
};

} // namespace

TEST(Warp, WrapIndexRuleAndTheLookupFormulaForAnyOffset)
{
    const int cases[][3] = { { -1, 320, 318 }, { -320, 320, 319 }, { 320, 320, 0 }, { -321, 320, 318 },
        { -640, 320, 319 }, { -2, 240, 237 }, { 645, 320, 5 }, { 0, 1, 0 }, { -7, 1, 0 }, { 5, 0, 0 } };
    for (const auto& c : cases)
        EXPECT_EQ(wrap_index(c[0], c[1]), c[2]) << c[0] << " wrapped to " << c[1];

    // Source 320x480; entries up to 65535 and offsets on both sides of zero.
    const int W = 320, H = 480;
    std::vector<uint32_t> source(size_t(W) * H), out(TABLE_SIZE), columns(TABLE_SIZE, 0xABCDEF01u);
    std::iota(source.begin(), source.end(), 0u);
    TablePair t;
    for (int i = 0; i < TABLE_SIZE; ++i) {
        t.u[size_t(i)] = uint16_t(i % 7 == 0 ? mix(uint32_t(i)) : mix(uint32_t(i)) % 320);
        t.v[size_t(i)] = uint16_t(i % 5 == 0 ? mix(uint32_t(i) + 9) : mix(uint32_t(i) + 9) % 480);
    }
    const int offsets[][2]
        = { { 0, 0 }, { -1, -1 }, { -640, 240 }, { -100000, 7 }, { 99999, -481 }, { INT32_MIN, INT32_MAX } };
    for (const auto& ab : offsets) {
        const int a = ab[0], b = ab[1];
        warp_screen(a, b, t.u.data(), t.v.data(), source.data(), out.data(), W, H);
        for (int i = 0; i < TABLE_SIZE; ++i) {
            const int64_t col = wrap_index(int64_t(a) + t.u[size_t(i)], W);
            const int64_t row = wrap_index(int64_t(b) + t.v[size_t(i)], H);
            ASSERT_EQ(out[size_t(i)], uint32_t(row * W + col)) << "pixel " << i << " a " << a << " b " << b;
        }
    }
    // Columns: only the first n of each row change (out holds the whole warp at the last
    // offsets); 0 columns leaves everything.
    warp_screen_columns(-3, 5, t.u.data(), t.v.data(), source.data(), columns.data(), W, H, 0);
    EXPECT_EQ(columns, std::vector<uint32_t>(TABLE_SIZE, 0xABCDEF01u));
    warp_screen_columns(INT32_MIN, INT32_MAX, t.u.data(), t.v.data(), source.data(), columns.data(), W, H, 17);
    for (int y = 0; y < 240; ++y) {
        EXPECT_EQ(columns[size_t(y * 320 + 16)], out[size_t(y * 320 + 16)]);
        EXPECT_EQ(columns[size_t(y * 320 + 17)], 0xABCDEF01u);
    }
}

TEST(Tables, BumpTwistLensAndFalloffEntries)
{
    std::vector<uint8_t> heights(TABLE_SIZE, 77);
    TablePair t;
    make_bump_tables(heights.data(), t.u.data(), t.v.data(), 1);
    std::vector<uint32_t> source(TABLE_SIZE), out(TABLE_SIZE);
    for (int i = 0; i < TABLE_SIZE; ++i)
        source[size_t(i)] = mix(uint32_t(i));
    warp_screen(0, 0, t.u.data(), t.v.data(), source.data(), out.data(), 320, 240);
    EXPECT_EQ(out, source);

    // Heights rising to the right by 1 per column and down by 2 per row, scale 3.
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            heights[size_t(y * 320 + x)] = uint8_t((x + 2 * y) & 0xFF);
    // U = x + 3 * (-1) and V = y + 3 * (-2), clamped; the last column and row compare with
    // themselves; where the byte wraps (x + 2y = 255 -> 256 = 0) the slopes are +255 and +254.
    make_bump_tables(heights.data(), t.u.data(), t.v.data(), 3);
    t.expect({ { 10, 5, 7, 0 }, { 10, 50, 7, 44 }, { 319, 5, 319, 0 }, { 10, 239, 7, 239 }, { 0, 0, 0, 0 },
        { 255, 0, 319, 239 } });

    make_twist_tables(t.u.data(), t.v.data(), 2.5e-5f, 320, 240);
    // Twist (0, 0): B * dy = -691.19998 -> -691 -> 268; dx * A = -518.39999 -> -518 -> 201.
    // (37, 200): 392.498 -> 392 -> 72; -78.72 -> -78 -> 161. On the axes through the centre one
    // of them is 0: (9, 120): dx * A = -151 * 1.44 -> -217 -> 22; (160, 7): -113 * 2.56 -> -289 -> 30.
    t.expect({ { 0, 0, 268, 201 }, { 319, 239, 77, 58 }, { 37, 200, 72, 161 }, { 9, 120, 0, 22 }, { 160, 7, 30, 0 } });
    make_lens_tables(t.u.data(), t.v.data(), 1.4f, 5.0f, 7.0f, 320, 480);
    // Lens (0, 0): -169.40 -> -169 -> 150 and -181.50 -> -181 -> 298; (300, 17): V -161.71 -> -161 -> 318.
    t.expect({ { 160, 120, 0, 0 }, { 0, 0, 150, 298 }, { 300, 17, 153, 318 } });

    // Falloff: 255 / max(distance, 0.5) in single precision, 720 entries a column.
    ASSERT_TRUE(make_falloff_table());
    EXPECT_EQ(falloff(0, 0), 510.0f);
    EXPECT_EQ(falloff(3, 4), 51.0f);
    EXPECT_EQ(falloff(3, 5), 43.732139587402344f);
    EXPECT_EQ(falloff(959, 719), 0.2127481997013092f);
    EXPECT_EQ(falloff(700, 5), falloff_table[700 * 720 + 5]);
}

TEST(ParticleStarts, TwoRandsPerRecordInOrder)
{
    std::vector<Particle> p(3);
    std::memset(p.data(), 0xEE, 3 * sizeof(Particle));
    demo_srand(1); // rand stream 41, 18467, 6334, 26500, 19169
    make_particle_starts(p.data(), 2);
    EXPECT_EQ(p[1].colour, 0x2CFF3F0Cu);
    EXPECT_EQ(p[1].speed, 0.08f);
    EXPECT_EQ(p[1].z, 150.0f);
    for (float f : { p[1].x, p[1].y, p[1].spiral_radius, p[1].growth_left, p[1].direction_z, p[1].growth_rate })
        EXPECT_EQ(f, 0.0f);
    // Exactly, in single precision where the record is: size 1 + 14 r1 u, target angle 2 pi r2 u
    // (u the single-precision 1/32767), target (240 sin, 180 cos), unit direction towards it.
    const int rands[2][2] = { { 41, 18467 }, { 6334, 26500 } };
    for (int n = 0; n < 2; ++n) {
        const double u = double(3.0518509e-5f), t = 6.283185307179586 * (rands[n][1] * u);
        const float tx = float(240.0 * std::sin(t)), ty = float(180.0 * std::cos(t));
        const double length = std::sqrt(double(tx) * tx + double(ty) * ty);
        EXPECT_EQ(p[n].size, float(1.0 + 14.0 * (rands[n][0] * u))) << n;
        EXPECT_EQ(p[n].distance_left, float(length)) << n;
        EXPECT_EQ(p[n].direction_x, float(tx / length)) << n;
        EXPECT_EQ(p[n].direction_y, float(ty / length)) << n;
    }
    uint32_t untouched;
    std::memcpy(&untouched, &p[2], 4);
    EXPECT_EQ(untouched, 0xEEEEEEEEu);
    EXPECT_EQ(demo_rand(), 19169); // the fifth value: exactly four were drawn
}

TEST(Faces, LoadOnlyWithAllThreePicturesAndStartDownTheStream)
{
    const std::string dir = std::string(MW_BINARY_DIR) + "/test_gfx2d_faces_";
    const uint32_t px[2] = { 0xFF112233u, 0 };
    const std::string p[3] = { dir + "1.acg", dir + "2.acg", dir + "3.acg" };
    const char* paths[3] = { p[0].c_str(), p[1].c_str(), p[2].c_str() };
    ASSERT_TRUE(write_acg_file(p[0], px, 2, 1));
    ASSERT_TRUE(write_acg_file(p[1], px, 1, 2));
    std::remove(paths[2]);
    FaceSet set {}, ok {};
    EXPECT_EQ(load_faces(&set, paths), 0); // all three must load
    ASSERT_TRUE(write_acg_file(p[2], px, 2, 1));
    ASSERT_EQ(load_faces(&ok, paths), 1);
    EXPECT_EQ(ok.faces[1]->height, 2);
    // Particle i starts at (0, 4 i, 0, 1) in both streams and both drawn copies, size 2, dark red.
    for (const auto* records : { ok.stream_a, ok.stream_b, ok.draw_a, ok.draw_b })
        EXPECT_EQ(std::vector<double>(records[19], records[19] + 4), (std::vector<double> { 0, 76, 0, 1 }));
    EXPECT_EQ(ok.sizes[5], 2.0);
    EXPECT_EQ(ok.colours[19], 0xFF480000u); // the records live until exit, as in the demo
}
