// test_render3d_raster.cpp -- screen triangle clipping, depth-tested fill, outlines, lines, mesh renders.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "display/surface.h"
#include "gfx2d/depth_buffer.h"
#include "render3d/mesh.h"
#include "render3d/triangle.h"

namespace {

struct Corner {
    float x, y;
};

std::vector<std::vector<Corner>> recorded;

void record_draw(ScreenTriangle* t, Surface*)
{
    recorded.push_back({ { t->vertices[0].x, t->vertices[0].y }, { t->vertices[1].x, t->vertices[1].y },
        { t->vertices[2].x, t->vertices[2].y } });
}

ScreenTriangle make_triangle(Corner a, Corner b, Corner c, TriangleDraw draw, float z = 150)
{
    ScreenTriangle t = {};
    t.vertices[0] = { a.x, a.y, z };
    t.vertices[1] = { b.x, b.y, z };
    t.vertices[2] = { c.x, c.y, z };
    t.draw = draw;
    update_triangle_bounds(&t);
    link_triangle_edges(&t);
    return t;
}

std::vector<std::vector<Corner>> clip(Corner a, Corner b, Corner c)
{
    recorded.clear();
    ScreenTriangle t = make_triangle(a, b, c, record_draw);
    clip_triangle(&t, nullptr, 0, 0, 319, 239);
    return recorded;
}

void expect_corners(const std::vector<Corner>& got, std::initializer_list<Corner> want)
{
    ASSERT_EQ(got.size(), want.size());
    size_t i = 0;
    for (const Corner& w : want) {
        EXPECT_EQ(got[i].x, w.x) << "corner " << i;
        EXPECT_EQ(got[i].y, w.y) << "corner " << i;
        ++i;
    }
}

double area(const std::vector<Corner>& t)
{
    return std::fabs((t[1].x - t[0].x) * (t[2].y - t[0].y) - (t[2].x - t[0].x) * (t[1].y - t[0].y)) / 2;
}

class Raster : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(allocate_depth_buffer());
        clear_depth();
        surface = create_surface(320, 240, 32);
        ASSERT_NE(surface, nullptr);
        std::memset(surface->pixels, 0, size_t(surface->pitch) * 240);
    }
    void TearDown() override { destroy_surface(surface); }
    uint32_t at(int x, int y) { return surface_row32(surface, y)[x]; }
    int count_set()
    {
        int n = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x)
                n += at(x, y) != 0;
        return n;
    }
    Surface* surface = nullptr;
};

} // namespace

TEST(Clip, PassRejectAndCut)
{
    // Touching the borders from inside: drawn as it is.
    expect_corners(clip({ 0, 0 }, { 319, 239 }, { 0, 239 }).at(0), { { 0, 0 }, { 319, 239 }, { 0, 239 } });
    // Touching from outside: dropped by the top and the right stage.
    EXPECT_TRUE(clip({ 10, -20 }, { 20, 0 }, { 0, 0 }).empty());
    EXPECT_TRUE(clip({ 319, 10 }, { 330, 20 }, { 319, 30 }).empty());

    // One corner above: a quadrilateral in two triangles, the new one first.
    auto quad = clip({ 10, -10 }, { 20, 10 }, { 0, 10 });
    ASSERT_EQ(quad.size(), 2u);
    expect_corners(quad[0], { { 5, 0 }, { 15, 0 }, { 20, 10 } });
    expect_corners(quad[1], { { 5, 0 }, { 20, 10 }, { 0, 10 } });

    // Two corners above: one smaller triangle, rotated so the flat top is on vertices 0, 1.
    auto two = clip({ 10, 10 }, { 20, -10 }, { 0, -10 });
    ASSERT_EQ(two.size(), 1u);
    expect_corners(two[0], { { 15, 0 }, { 5, 0 }, { 10, 10 } });

    // A corner on the line: the only crossing replaces the corner above it.
    auto on_line = clip({ 0, 0 }, { 10, -10 }, { 10, 10 });
    ASSERT_EQ(on_line.size(), 1u);
    expect_corners(on_line[0], { { 0, 0 }, { 10, 0 }, { 10, 10 } });

    // Over the top-left corner: cut by two stages into several pieces that cover exactly the
    // visible pentagon (0,0), (50/3,0), (30,5), (5,30), (0,50/3) of area 3125/6.
    auto corner = clip({ -10, -10 }, { 30, 5 }, { 5, 30 });
    EXPECT_GE(corner.size(), 2u);
    EXPECT_LE(corner.size(), 16u);
    double total = 0;
    for (const auto& t : corner) {
        total += area(t);
        for (const Corner& c : t) {
            EXPECT_GE(c.x, 0);
            EXPECT_GE(c.y, 0);
        }
    }
    EXPECT_NEAR(total, 3125.0 / 6, 1e-2);

    // A triangle over the whole screen stays within the rectangle and covers all of it.
    auto big = clip({ -1000, -1000 }, { 3000, -900 }, { -900, 3000 });
    double big_total = 0;
    for (const auto& t : big) {
        big_total += area(t);
        for (const Corner& c : t) {
            EXPECT_TRUE(c.x >= 0 && c.x <= 319 && c.y >= 0 && c.y <= 239);
        }
    }
    EXPECT_NEAR(big_total, 319.0 * 239.0, 0.5);
}

TEST(Clip, EdgeCutsAndTopCorner)
{
    ScreenTriangle t = make_triangle({ 0, 0 }, { 10, 20 }, { -10, 20 }, record_draw);
    ScreenVertex p;
    EXPECT_EQ(cut_edge_horizontal(&t, 0, 0, &p), 0); // starts on the line: t = 0
    EXPECT_EQ(cut_edge_horizontal(&t, 2, 0, &p), 0); // ends on the line: t = 1
    EXPECT_EQ(cut_edge_horizontal(&t, 1, 20, &p), 0); // along the line: no crossing
    EXPECT_EQ(cut_edge_horizontal(&t, 0, 5, &p), -1);
    EXPECT_EQ(p.x, 2.5f);
    EXPECT_EQ(cut_edge_vertical(&t, 1, 5, &p), 1);
    EXPECT_EQ(p.y, 20.0f);

    // Corners with y = 5, 9, 5: corners 0 and 2 tie and the order becomes 2, 0, 1.
    recorded.clear();
    ScreenTriangle tie = make_triangle({ 1, 5 }, { 2, 9 }, { 3, 5 }, record_draw);
    draw_clipped(&tie, nullptr);
    ASSERT_EQ(recorded.size(), 1u);
    expect_corners(recorded[0], { { 3, 5 }, { 1, 5 }, { 2, 9 } });
    EXPECT_EQ(tie.edges[0].from, 0);
    EXPECT_EQ(tie.edges[0].dx, -2.0f);
    EXPECT_EQ(tie.edges[1].dy, 4.0f);

    // Corners that float rounding let through from far away are not drawn.
    recorded.clear();
    ScreenTriangle far = make_triangle({ 0, 0 }, { 2e7f, 5 }, { 3, 5 }, record_draw);
    draw_clipped(&far, nullptr);
    EXPECT_TRUE(recorded.empty());
}

TEST_F(Raster, FillWindingSpansAndDepth)
{
    // Clockwise on the screen: rows 10 to 20, row y covering x = 20 - y .. y.
    submit_triangle(10, 10, 150, 20, 20, 150, 0, 20, 150, surface, 0xAB123456u, 0);
    EXPECT_EQ(count_set(), 121);
    for (int y = 10; y <= 20; ++y) {
        EXPECT_EQ(at(20 - y, y), 0xAB123456u) << y;
        EXPECT_EQ(at(y, y), 0xAB123456u) << y;
        EXPECT_EQ(at(19 - y < 0 ? 21 : 19 - y, y), 0u) << y;
    }
    EXPECT_EQ(depth_buffer[15 * 320 + 15], 150.0f);

    // The same corners wound the other way: only the top corner.
    std::memset(surface->pixels, 0, size_t(surface->pitch) * 240);
    clear_depth();
    submit_triangle(10, 10, 150, 0, 20, 150, 20, 20, 150, surface, 0x00123456u, 0);
    EXPECT_EQ(count_set(), 1);
    EXPECT_EQ(at(10, 10), 0x00123456u);

    // Equal depth is not drawn; a nearer triangle is, and the top bytes add up to 255.
    std::memset(surface->pixels, 0, size_t(surface->pitch) * 240);
    clear_depth();
    submit_triangle(10, 10, 150, 20, 20, 150, 0, 20, 150, surface, 0x80000001u, 0);
    submit_triangle(10, 10, 150, 20, 20, 150, 0, 20, 150, surface, 0x80000002u, 0);
    EXPECT_EQ(at(10, 15), 0x80000001u);
    submit_triangle(10, 10, 149, 20, 20, 149, 0, 20, 149, surface, 0x90000003u, 0);
    EXPECT_EQ(at(10, 15), 0xFF000003u);

    // Nothing at the far value or beyond is drawn after a clear; three corners on a line draw nothing.
    std::memset(surface->pixels, 0, size_t(surface->pitch) * 240);
    clear_depth();
    submit_triangle(10, 10, 400, 20, 20, 400, 0, 20, 400, surface, 0x00FFFFFFu, 0);
    submit_triangle(10, 10, 100, 20, 20, 100, 30, 30, 100, surface, 0x00FFFFFFu, 0);
    EXPECT_EQ(count_set(), 0);
}

TEST_F(Raster, FillDepthPlaneFollowsCorners)
{
    // Depth 100 at (0,0), 110 at (10,0) and 100 at (0,10): depth = 100 + x; a = -1, b = 0.
    submit_triangle(0, 0, 100, 10, 0, 110, 0, 10, 100, surface, 0x00FF0000u, 0);
    EXPECT_EQ(depth_buffer[0], 100.0f);
    EXPECT_EQ(depth_buffer[5 * 320 + 3], 103.0f);
    EXPECT_EQ(depth_buffer[10 * 320 + 0], 100.0f);
    // A flat triangle at 104 covers only the pixels whose plane depth is above 104.
    submit_triangle(0, 0, 104, 10, 0, 104, 0, 10, 104, surface, 0x0000FF00u, 0);
    EXPECT_EQ(at(4, 2), 0x00FF0000u); // 104 is not below 104
    EXPECT_EQ(at(5, 2), 0x0000FF00u);
    // Depth along y from a top corner off row 0: 100 at (5,10) and (15,10), 110 at (5,20).
    submit_triangle(5, 10, 100, 15, 10, 100, 5, 20, 110, surface, 0x000000FFu, 0);
    EXPECT_EQ(depth_buffer[15 * 320 + 5], 105.0f);
    EXPECT_EQ(depth_buffer[12 * 320 + 6], 102.0f);
}

TEST_F(Raster, LinesAndOutlines)
{
    plot_line(surface, 5, 5, 5, 5, 0x00010203u);
    EXPECT_EQ(count_set(), 1);
    EXPECT_EQ(at(5, 5), 0xFF010203u); // top byte forced
    plot_line(surface, 0, 0, 3, 0, 1);
    for (int x = 0; x <= 3; ++x)
        EXPECT_EQ(at(x, 0), 0xFF000001u);
    EXPECT_EQ(at(4, 0), 0u);

    // Steep line (0,0) to (2,4): the error term gives (0,0), (0,1), (1,2), (1,3), (2,4).
    std::memset(surface->pixels, 0, size_t(surface->pitch) * 240);
    plot_line(surface, 2, 4, 0, 0, 7);
    EXPECT_EQ(count_set(), 5);
    for (auto [x, y] : { std::pair { 0, 0 }, { 0, 1 }, { 1, 2 }, { 1, 3 }, { 2, 4 } })
        EXPECT_EQ(at(x, y), 0xFF000007u) << x << "," << y;

    // Both directions hit the same pixels.
    std::vector<uint32_t> first(surface->pixels == nullptr ? 0 : 320 * 240);
    std::memset(surface->pixels, 0, size_t(surface->pitch) * 240);
    plot_line(surface, 0, 10, 10, 0, 9);
    std::memcpy(first.data(), surface->pixels, first.size() * 4);
    std::memset(surface->pixels, 0, size_t(surface->pitch) * 240);
    plot_line(surface, 10, 0, 0, 10, 9);
    EXPECT_EQ(std::memcmp(first.data(), surface->pixels, first.size() * 4), 0);
    EXPECT_EQ(count_set(), 11);

    // No column clipping: past the right edge the line goes on at the start of the next row;
    // indices outside the surface are skipped.
    std::memset(surface->pixels, 0, size_t(surface->pitch) * 240);
    plot_line(surface, 318, 0, 322, 0, 1);
    EXPECT_EQ(at(318, 0), 0xFF000001u);
    EXPECT_EQ(at(319, 0), 0xFF000001u);
    EXPECT_EQ(at(0, 1), 0xFF000001u);
    EXPECT_EQ(at(2, 1), 0xFF000001u);
    plot_line(surface, -5, -5, 330, 250, 1);
    plot_line(surface, INT32_MIN, 3, INT32_MIN + 50, 3, 1);

    // Outlines ignore depth and draw the three sides whatever the winding.
    std::memset(surface->pixels, 0, size_t(surface->pitch) * 240);
    clear_depth();
    submit_triangle(10, 10, 500, 0, 20, 500, 20, 20, 500, surface, 0x00102030u, 1);
    EXPECT_EQ(at(10, 10), 0xFF102030u);
    EXPECT_EQ(at(0, 20), 0xFF102030u);
    EXPECT_EQ(at(20, 20), 0xFF102030u);
    EXPECT_EQ(at(10, 20), 0xFF102030u);
    EXPECT_EQ(at(10, 15), 0u);
    EXPECT_EQ(count_set(), 10 + 10 + 21 - 1);
}

TEST_F(Raster, HostileCoordinatesStayInside)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (int outline = 0; outline < 2; ++outline) {
        submit_triangle(nan, 0, 10, 5, 5, 10, 0, 9, 10, surface, 0xFFFFFFu, outline);
        submit_triangle(inf, -inf, 10, 5, 5, 10, 0, 9, 10, surface, 0xFFFFFFu, outline);
        submit_triangle(-1e12, -1e12, 10, 1e12, 5, 10, 0, 1e12, 10, surface, 0xFFFFFFu, outline);
        submit_triangle(-5e8, 100, 10, 3e9, 120, 10, 160, -2e9, 10, surface, 0xFFFFFFu, outline);
    }
    // A surface smaller than the depth buffer is drawn within its own pixels.
    Surface* small = create_surface(8, 8, 32);
    ASSERT_NE(small, nullptr);
    std::memset(small->pixels, 0, 8 * 8 * 4);
    submit_triangle(-20, -20, 50, 40, -10, 50, -10, 40, 50, small, 0x00FFFFFFu, 0);
    int lit = 0;
    for (int i = 0; i < 64; ++i)
        lit += reinterpret_cast<uint32_t*>(small->pixels)[i] != 0;
    EXPECT_EQ(lit, 64);
    destroy_surface(small);
}

TEST_F(Raster, MeshRenderPixelExact)
{
    // At z = 150 the projection is (x + 160, y + 120). File order a, b, c lands on the
    // screen at (10,10), (20,20), (0,20); the mesh stores i0 = c, i1 = b, i2 = a.
    const Vec4 vertices[] = { { -150, -110, 150, 1 }, { -140, -100, 150, 1 }, { -160, -100, 150, 1 } };
    const Face face = { 2, 1, 0, 0 };
    // Head-on, D = 250: red 254 -> 158, green 128 -> 80, blue 64 -> 40.
    render_mesh(&face, vertices, 1, surface, 0xFFFF8040u, 0);
    EXPECT_EQ(count_set(), 121);
    EXPECT_EQ(at(10, 10), 0x009E5028u);
    EXPECT_EQ(at(0, 20), 0x009E5028u);

    // The other winding draws only its top corner when filled.
    std::memset(surface->pixels, 0, size_t(surface->pitch) * 240);
    clear_depth();
    const Face reversed = { 0, 1, 2, 0 };
    render_mesh(&reversed, vertices, 1, surface, 0xFFFF8040u, 0);
    EXPECT_EQ(count_set(), 1);

    // A corner at z = 0 drops the whole face.
    std::memset(surface->pixels, 0, size_t(surface->pitch) * 240);
    clear_depth();
    Vec4 touching[3] = { vertices[0], vertices[1], vertices[2] };
    touching[0].z = 0;
    render_mesh(&face, touching, 1, surface, 0xFFFF8040u, 0);
    render_mesh(&face, touching, 1, surface, 0xFFFF8040u, 1);
    EXPECT_EQ(count_set(), 0);
}

// Clipped triangles reach the fill with fractional corners and the edge deltas measured before
// the corners are truncated. Worked by hand, row by row, from the fill's rules: x and y truncate;
// slopes are the unsnapped dx / dy; a top edge whose dy truncates to 0 counts as flat (the right
// side starts at the middle corner along the middle edge); below the middle row the middle edge
// steps by dx over the rounded dy; a middle edge whose dy truncates to 0 fills the last rows as
// runs as wide as from the bottom to the middle corner, starting at the left side's column.
TEST_F(Raster, FractionalCornersFillRowByRow)
{
    const struct {
        Corner a, b, c;
        std::vector<std::array<int, 3>> spans; // row, first column, last column
    } cases[] = {
        // Top edge dy 0.6 (flat); snapped (10,10) (20,10) (12,20); left slope -1.6 / -10.4, middle
        // edge -8.1 / round(9.8).
        { { 10.7f, 10.2f }, { 20.4f, 10.8f }, { 12.3f, 20.6f },
            { { 10, 10, 20 }, { 11, 10, 20 }, { 12, 10, 19 }, { 13, 10, 18 }, { 14, 10, 18 }, { 15, 11, 17 },
                { 16, 11, 16 }, { 17, 11, 15 }, { 18, 11, 14 }, { 19, 11, 14 }, { 20, 11, 13 } } },
        // Middle edge dy 0.5: snapped (15,10) (20,18) (8,19); left slope 6.6 / -9.2, right
        // 5.6 / 8.7; row 18 ends at the middle corner; row 19 is 13 pixels (8 to 20) from 9.
        { { 15.0f, 10.0f }, { 20.6f, 18.7f }, { 8.4f, 19.2f },
            { { 10, 15, 15 }, { 11, 14, 16 }, { 12, 14, 16 }, { 13, 13, 17 }, { 14, 12, 18 }, { 15, 11, 18 },
                { 16, 11, 19 }, { 17, 10, 20 }, { 18, 9, 20 }, { 19, 9, 21 } } },
        // Top edge dy 0.3 over a row: snapped (10,10) (20,11) (13,20); row 10 already runs from
        // the left side to the middle corner; middle edge -6.7 / round(9.3), left 3.2 / 9.6.
        { { 10.4f, 10.9f }, { 20.3f, 11.2f }, { 13.6f, 20.5f },
            { { 10, 10, 20 }, { 11, 10, 20 }, { 12, 10, 20 }, { 13, 11, 19 }, { 14, 11, 19 }, { 15, 11, 18 },
                { 16, 12, 17 }, { 17, 12, 16 }, { 18, 12, 16 }, { 19, 13, 15 }, { 20, 13, 14 } } },
    };
    for (const auto& c : cases) {
        std::memset(surface->pixels, 0, size_t(surface->pitch) * 240);
        clear_depth();
        ScreenTriangle t = make_triangle(c.a, c.b, c.c, fill_triangle);
        t.colour = 0x00ABCDEFu;
        fill_triangle(&t, surface);
        int expected = 0;
        for (const auto& [row, first, last] : c.spans) {
            for (int x = first - 1; x <= last + 1; ++x)
                EXPECT_EQ(at(x, row) != 0, x >= first && x <= last) << "row " << row << " column " << x;
            expected += last - first + 1;
        }
        EXPECT_EQ(count_set(), expected);
    }
}
