// test_render3d.cpp -- matrices, camera aiming, MA writing/loading, keyframe morphing, face colours;
// screen triangle clipping, depth-tested fill, outlines, lines and mesh renders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <ostream>
#include <vector>

#include "display/bytes.h"
#include "display/surface.h"
#include "gfx2d/depth_buffer.h"
#include "render3d/matrix.h"
#include "render3d/mesh.h"
#include "render3d/triangle.h"
#include "tools/formats/ma_writer.h"

namespace {

constexpr double PI = std::numbers::pi;

Mesh* load_from(const MaMesh& m)
{
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(encode_ma(&m, &bytes));
    return load_ma_bytes(bytes.data(), bytes.size());
}

MaMesh one_vertex_morph(MaVertex k0, uint32_t s0, MaVertex k1, uint32_t s1)
{
    MaMesh m;
    m.keyframes.push_back({ { k0 }, s0 });
    m.keyframes.push_back({ { k1 }, s1 });
    return m;
}

void expect_vertex(const Vec4& v, double x, double y, double z)
{
    EXPECT_NEAR(v.x, x, 1e-12);
    EXPECT_NEAR(v.y, y, 1e-12);
    EXPECT_NEAR(v.z, z, 1e-12);
    EXPECT_EQ(v.w, 1.0);
}

struct Corner {
    float x, y;
    bool operator==(const Corner&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Corner& c)
{
    return out << "(" << c.x << "," << c.y << ")";
}
using Piece = std::vector<Corner>;

std::vector<Piece> recorded;

void record_draw(ScreenTriangle* t, Surface*)
{
    recorded.push_back({ { t->vertices[0].x, t->vertices[0].y }, { t->vertices[1].x, t->vertices[1].y },
        { t->vertices[2].x, t->vertices[2].y } });
}

ScreenTriangle make_triangle(Corner a, Corner b, Corner c, TriangleDraw draw)
{
    ScreenTriangle t = { { { a.x, a.y, 150 }, { b.x, b.y, 150 }, { c.x, c.y, 150 } }, {}, 0, 0, 0, 0, 0, draw };
    update_triangle_bounds(&t);
    link_triangle_edges(&t);
    return t;
}

// The pieces clipping to the 320 x 240 screen hands to the draw operation.
std::vector<Piece> clip(Corner a, Corner b, Corner c)
{
    recorded.clear();
    ScreenTriangle t = make_triangle(a, b, c, record_draw);
    clip_triangle(&t, nullptr, 0, 0, 319, 239);
    return recorded;
}

class Raster : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void reset()
    {
        ASSERT_TRUE(allocate_depth_buffer());
        std::memset(surface->pixels, 0, size_t(surface->pitch) * 240);
        clear_depth();
    }
    uint32_t at(int x, int y) { return surface_row32(surface, y)[x]; }
    int count_set()
    {
        const uint32_t* p = surface_row32(surface, 0);
        return int(320 * 240 - std::count(p, p + 320 * 240, 0u));
    }
    static inline Surface* const surface = create_surface(320, 240, 32);
};

} // namespace

TEST(Matrix, RotationDirectionsOrderTranslationAndAliasing)
{
    // m = Rz x Ry x Rx: a point is turned about x first. z = pi/2 rolls x onto -y and y onto x,
    // y = pi/2 turns x onto z and z onto -x; (0,1,0) goes to (0,0,-1) about x and stays there.
    const struct {
        double x, y, z;
        Vec4 from, to;
    } turns[] = { { 0, 0, PI, { 3, 4, 5, 1 }, { -3, -4, 5, 1 } }, { 0, 0, PI / 2, { 1, 1, 0, 1 }, { 1, -1, 0, 1 } },
        { 0, PI / 2, 0, { 1, 0, 1, 1 }, { -1, 0, 1, 1 } }, { PI / 2, 0, PI / 2, { 0, 1, 0, 1 }, { 0, 0, -1, 1 } } };
    Matrix m;
    for (const auto& t : turns) {
        SCOPED_TRACE(testing::Message() << "angles " << t.x << " " << t.y << " " << t.z);
        const Camera c = { t.x, t.y, t.z, 0, 0, 0, 0 };
        mat_identity(&m);
        mat_rotate(&m, &c);
        Vec4 p = t.from;
        transform_points(&m, &p, 1);
        expect_vertex(p, t.to.x, t.to.y, t.to.z);
    }
    // Translation in column 3 moves points with w = 1; multiplying into an operand gives the
    // same as into a separate matrix. m is still the last turn.
    Matrix t, d;
    mat_identity(&t);
    t.m[3] = 10;
    t.m[11] = -2;
    mat_multiply(&d, &t, &m);
    mat_multiply(&t, &t, &m);
    EXPECT_TRUE(std::equal(t.m, t.m + 16, d.m));
    Vec4 r = { 0, 1, 0, 1 };
    transform_points(&t, &r, 1);
    expect_vertex(r, 10, 0, -3);
}

TEST(Matrix, AimCameraTurnsTheHeadingTowardsTheMovedTarget)
{
    const struct {
        double offset_x, offset_z, x, z, heading;
    } cases[] = { { 0, 0, 0, 100, 0.0 }, { 0, 0, 10, 10, PI / 4 }, { 0, 0, -10, -10, -3 * PI / 4 },
        { 0, 0, 10, -10, 3 * PI / 4 }, { 10, -10, 0, 0, 3 * PI / 4 }, { 10, -10, -10, 10, 0.0 } }; // last: above
    for (const auto& c : cases) {
        Camera cam = { 0, 1.0, 0, 0, c.offset_x, 0, c.offset_z };
        const Vec4 target = { c.x, 7, c.z, 1 };
        aim_camera(&cam, &target);
        EXPECT_NEAR(cam.angle_y, c.heading, 1e-12) << c.x << "," << c.z;
    }
}

TEST(MaFormat, WriterLoaderRoundTripAndRefusals)
{
    MaMesh m = one_vertex_morph({ 1, 2, 3 }, 3, { 4, -5, 6 }, 1);
    m.spare = 77;
    m.keyframes[0].vertices.push_back({ 0, 0, 0 });
    m.keyframes[1].vertices.push_back({ 0, 0, 0 });
    m.faces.push_back({ 0, 1, 1, 9 });
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(encode_ma(&m, &bytes));
    ASSERT_EQ(bytes.size(), 16u + 2 * (2 * 32 + 4) + 16); // header, keyframes, face
    Mesh* mesh = load_ma_bytes(bytes.data(), bytes.size());
    ASSERT_NE(mesh, nullptr);
    EXPECT_TRUE(mesh->frame_count == 2 && mesh->vertex_count == 2 && mesh->face_count == 1 && mesh->spare == 77);
    const Face f = mesh->faces[0]; // the file's (a, b, c, d) is stored reversed
    EXPECT_TRUE(f.i0 == 1 && f.i1 == 1 && f.i2 == 0 && f.spare == 9);
    // Render vertices start at the origin, work vertices at keyframe 0.
    expect_vertex(mesh->render_vertices[0], 0, 0, 0);
    expect_vertex(mesh->work_vertices[0], 1, 2, 3);
    free_mesh(mesh);

    // Refused: a face index not below the vertex count, a coordinate that is not a number, a face
    // with no vertex to name. No keyframe and oversized counts are the loader-limits test's.
    std::vector<uint8_t> bad_index = bytes, nan = bytes, no_vertices(16);
    store_u32(&bad_index[bytes.size() - 12], 2);
    store_f64(&nan[16 + 8], std::numeric_limits<double>::quiet_NaN());
    store_u32(&no_vertices[0], 1);
    store_u32(&no_vertices[12], 1);
    for (const auto* b : { &bad_index, &nan, &no_vertices })
        EXPECT_EQ(load_ma_bytes(b->data(), b->size()), nullptr) << b - &bad_index;

    // A file cut inside keyframe 0's second vertex reads zeros for the rest (step counts,
    // keyframe 1, the face); with S = 0 everywhere a step wraps without faults.
    Mesh* cut = load_ma_bytes(bytes.data(), 16 + 32 + 8);
    ASSERT_NE(cut, nullptr);
    expect_vertex(cut->frames[0]->positions[0], 1, 2, 3);
    expect_vertex(cut->frames[1]->positions[0], 0, 0, 0);
    EXPECT_TRUE(cut->frames[0]->step_count == 0 && cut->faces[0].i0 == 0);
    mesh_step(cut);
    free_mesh(cut);
}

TEST(MeshStep, KeyframeWalkAndWrap)
{
    // K0 (S = 4), K1 (S = 2): d0 = (2, 1, 0.5), d1 = (-4, -2, -1); each step shows the shape
    // before the step, arriving at a keyframe shows it exactly.
    Mesh* mesh = load_from(one_vertex_morph({ 0, 0, 0 }, 4, { 8, 4, 2 }, 2));
    ASSERT_NE(mesh, nullptr);
    for (double s : { 0, 1, 2, 4, 4, 0, 0, 1, 2, 4 }) {
        mesh_step(mesh);
        expect_vertex(mesh->render_vertices[0], 2 * s, s, 0.5 * s);
    }
    free_mesh(mesh);
    // S = 0 wraps on every call: the tick ends on the next keyframe, deltas stay finite; a frame
    // index written past the end by a caller restarts the animation.
    mesh = load_from(one_vertex_morph({ 0, 0, 0 }, 0, { 6, 6, 6 }, 3));
    ASSERT_NE(mesh, nullptr);
    for (double s : { 6, 6, 4, 0 }) {
        mesh_step(mesh);
        expect_vertex(mesh->render_vertices[0], s, s, s);
    }
    mesh->current_frame = 9;
    mesh->step = 0;
    mesh_step(mesh);
    expect_vertex(mesh->render_vertices[0], 6, 6, 6);
    free_mesh(mesh);
}

TEST(FaceColour, LightingAndDistanceFade)
{
    const Vec4 a = { 0, 0, 100, 1 }, b = { 10, 0, 100, 1 }, c = { 0, 10, 100, 1 }, side = { 0, 0, 110, 1 };
    const Vec4 far = { 0, 0, 450, 1 };
    const struct {
        const Vec4 *v0, *v1, *v2;
        uint32_t base, want;
    } cases[] = {
        // Head-on at z = 100: green 127 + 127 = 254, faded trunc(254 x 300 x 0.0025) = 190; the
        // top byte never reaches it; odd channels lose 1 to the two halvings, 64 x 0.75 = 48.
        { &a, &b, &c, 0xFF00FF00u, 0x0000BE00u },
        { &a, &b, &c, 0x00FF0140u, (190u << 16) | 48u },
        { &a, &c, &side, 0x0000FF00u, 95u << 8 }, // normal along x: 0 + 127, x 0.75 = 95.25
        { &a, &a, &a, 0x0000FF00u, 0x0000BE00u }, // degenerate: lit head-on
        // Fade by the first corner's |z| only; black at 400 and beyond.
        { &far, &b, &c, 0x00FFFFFFu, 0u },
    };
    for (const auto& k : cases)
        EXPECT_EQ(face_colour(k.v0, k.v1, k.v2, k.base), k.want) << &k - cases;
}

// ---- screen triangles ----

TEST(Clip, PassRejectAndCut)
{
    const struct {
        Corner a, b, c;
        std::vector<Piece> pieces;
    } cases[] = {
        // Touching the borders from inside: drawn as it is; from outside: dropped (top, right).
        { { 0, 0 }, { 319, 239 }, { 0, 239 }, { { { 0, 0 }, { 319, 239 }, { 0, 239 } } } },
        { { 10, -20 }, { 20, 0 }, { 0, 0 }, {} },
        { { 319, 10 }, { 330, 20 }, { 319, 30 }, {} },
        // One corner above: a quadrilateral in two triangles, the new one first.
        { { 10, -10 }, { 20, 10 }, { 0, 10 },
            { { { 5, 0 }, { 15, 0 }, { 20, 10 } }, { { 5, 0 }, { 20, 10 }, { 0, 10 } } } },
        // Two corners above: one smaller triangle, rotated so the flat top is on vertices 0, 1.
        { { 10, 10 }, { 20, -10 }, { 0, -10 }, { { { 15, 0 }, { 5, 0 }, { 10, 10 } } } },
        // A corner on the line: the only crossing replaces the corner above it.
        { { 0, 0 }, { 10, -10 }, { 10, 10 }, { { { 0, 0 }, { 10, 0 }, { 10, 10 } } } },
        // Inside, corners 0 and 2 tie for the top: drawn from corner 2, so the order is 2, 0, 1.
        { { 1, 5 }, { 2, 9 }, { 3, 5 }, { { { 3, 5 }, { 1, 5 }, { 2, 9 } } } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(clip(c.a, c.b, c.c), c.pieces) << "triangle from " << c.a;

    // Over the top-left corner: cut by two stages into pieces covering exactly the visible
    // pentagon (0,0), (50/3,0), (30,5), (5,30), (0,50/3), of area 3125/6. Over the whole screen:
    // pieces covering the whole rectangle.
    const struct {
        Corner a, b, c;
        double area, tolerance;
    } covers[] = { { { -10, -10 }, { 30, 5 }, { 5, 30 }, 3125.0 / 6, 0.01 },
        { { -1000, -1000 }, { 3000, -900 }, { -900, 3000 }, 319.0 * 239.0, 0.5 } };
    for (const auto& c : covers) {
        double total = 0;
        for (const Piece& t : clip(c.a, c.b, c.c)) {
            total += std::fabs((t[1].x - t[0].x) * (t[2].y - t[0].y) - (t[2].x - t[0].x) * (t[1].y - t[0].y)) / 2;
            for (const Corner& k : t)
                EXPECT_TRUE(k.x >= 0 && k.x <= 319 && k.y >= 0 && k.y <= 239) << k;
        }
        EXPECT_NEAR(total, c.area, c.tolerance);
    }
    // Corners that float rounding let through from far away are not drawn.
    recorded.clear();
    ScreenTriangle far = make_triangle({ 0, 0 }, { 2e7f, 5 }, { 3, 5 }, record_draw);
    draw_clipped(&far, nullptr);
    EXPECT_TRUE(recorded.empty());
}

// At z = 150 the projection is (x + 160, y + 120): the file order a, b, c lands at (10,10), (20,20),
// (0,20), clockwise, rows 10 to 20 with row y covering x = 20 - y .. y; the mesh stores i0 = c,
// i1 = b, i2 = a. Head-on at D = 250: red 254 -> 158, green 128 -> 80, blue 64 -> 40.
TEST_F(Raster, MeshFacesProjectAndFillByWindingAndDepth)
{
    Vec4 vertices[] = { { -150, -110, 150, 1 }, { -140, -100, 150, 1 }, { -160, -100, 150, 1 } };
    const Face face = { 2, 1, 0, 0 }, reversed = { 0, 1, 2, 0 };
    render_mesh(&face, vertices, 1, surface, 0xFFFF8040u, 0);
    EXPECT_EQ(count_set(), 121);
    for (int y = 10; y <= 20; ++y)
        EXPECT_TRUE(at(20 - y, y) == 0x009E5028u && at(y, y) == 0x009E5028u && at(y + 1, y) == 0) << y;
    // Equal depth is not drawn, a nearer triangle is.
    submit_triangle(10, 10, 150, 20, 20, 150, 0, 20, 150, surface, 0x00000002u, 0);
    EXPECT_EQ(at(10, 15), 0x009E5028u);
    submit_triangle(10, 10, 149, 20, 20, 149, 0, 20, 149, surface, 0x00000003u, 0);
    EXPECT_EQ(at(10, 15), 3u);

    // Wound the other way: only the top corner. A corner at z = 0 (filled or outlined), the far
    // depth, or corners on a line: nothing.
    reset();
    render_mesh(&reversed, vertices, 1, surface, 0xFFFF8040u, 0);
    EXPECT_NE(at(10, 10), 0u);
    vertices[0].z = 0;
    render_mesh(&face, vertices, 1, surface, 0xFFFF8040u, 0);
    render_mesh(&face, vertices, 1, surface, 0xFFFF8040u, 1);
    submit_triangle(10, 10, 400, 20, 20, 400, 0, 20, 400, surface, 0x00FFFFFFu, 0);
    submit_triangle(10, 10, 100, 20, 20, 100, 30, 30, 100, surface, 0x00FFFFFFu, 0);
    EXPECT_EQ(count_set(), 1);

    // The depth plane: 100 at (0,0) and (0,10), 110 at (10,0) gives 100 + x; a flat triangle at
    // 104 then covers only where the plane lies beyond 104. Along y from a corner off row 0:
    // 100 at (5,10) and (15,10), 110 at (5,20).
    reset();
    submit_triangle(0, 0, 100, 10, 0, 110, 0, 10, 100, surface, 0x00FF0000u, 0);
    EXPECT_EQ(depth_buffer[5 * 320 + 3], 103.0f);
    submit_triangle(0, 0, 104, 10, 0, 104, 0, 10, 104, surface, 0x0000FF00u, 0);
    EXPECT_EQ(at(4, 2), 0x00FF0000u);
    EXPECT_EQ(at(5, 2), 0x0000FF00u);
    submit_triangle(5, 10, 100, 15, 10, 100, 5, 20, 110, surface, 0x000000FFu, 0);
    EXPECT_EQ(depth_buffer[15 * 320 + 5], 105.0f);
    EXPECT_EQ(depth_buffer[12 * 320 + 6], 102.0f);
}

TEST_F(Raster, LinesAndOutlines)
{
    // Lines run from the upper end with the top byte forced; the steep line's error term gives
    // (0,0), (0,1), (1,2), (1,3), (2,4).
    const struct {
        int x0, y0, x1, y1;
        std::vector<std::pair<int, int>> pixels;
    } lines[] = { { 0, 0, 3, 0, { { 0, 0 }, { 1, 0 }, { 2, 0 }, { 3, 0 } } },
        { 3, 0, 0, 3, { { 3, 0 }, { 2, 1 }, { 1, 2 }, { 0, 3 } } },
        { 2, 4, 0, 0, { { 0, 0 }, { 0, 1 }, { 1, 2 }, { 1, 3 }, { 2, 4 } } } };
    for (const auto& l : lines) {
        reset();
        plot_line(surface, l.x0, l.y0, l.x1, l.y1, 0x00010203u);
        EXPECT_EQ(count_set(), int(l.pixels.size())) << l.x0 << "," << l.y0;
        for (const auto& [x, y] : l.pixels)
            EXPECT_EQ(at(x, y), 0xFF010203u) << x << "," << y;
    }
    // Outlines ignore depth and draw the three sides whatever the winding.
    reset();
    submit_triangle(10, 10, 500, 0, 20, 500, 20, 20, 500, surface, 0x00102030u, 1);
    for (auto [x, y] : { std::pair { 10, 10 }, { 0, 20 }, { 20, 20 }, { 10, 20 } })
        EXPECT_EQ(at(x, y), 0xFF102030u) << x << "," << y;
    EXPECT_EQ(count_set(), 10 + 10 + 21 - 1);
}

// Wild coordinates are the MA fuzz replays'; a surface smaller than the depth buffer is drawn
// within its own pixels, all of them.
TEST_F(Raster, SmallSurfaceIsDrawnWithinItsPixels)
{
    Surface* small = create_surface(8, 8, 32);
    std::memset(small->pixels, 0, 8 * 8 * 4);
    submit_triangle(-20, -20, 50, 40, -10, 50, -10, 40, 50, small, 0x00FFFFFFu, 0);
    EXPECT_EQ(std::count(surface_row32(small, 0), surface_row32(small, 0) + 64, 0x00FFFFFFu), 64);
    destroy_surface(small);
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
        std::vector<int> first, last; // the columns of rows 10, 11, ...
    } cases[] = {
        // Top edge dy 0.6 (flat); snapped (10,10) (20,10) (12,20); left slope -1.6 / -10.4, middle
        // edge -8.1 / round(9.8).
        { { 10.7f, 10.2f }, { 20.4f, 10.8f }, { 12.3f, 20.6f }, { 10, 10, 10, 10, 10, 11, 11, 11, 11, 11, 11 },
            { 20, 20, 19, 18, 18, 17, 16, 15, 14, 14, 13 } },
        // Middle edge dy 0.5: snapped (15,10) (20,18) (8,19); left slope 6.6 / -9.2, right
        // 5.6 / 8.7; row 18 ends at the middle corner; row 19 is 13 pixels (8 to 20) from 9.
        { { 15.0f, 10.0f }, { 20.6f, 18.7f }, { 8.4f, 19.2f }, { 15, 14, 14, 13, 12, 11, 11, 10, 9, 9 },
            { 15, 16, 16, 17, 18, 18, 19, 20, 20, 21 } },
        // Top edge dy 0.3 over a row: snapped (10,10) (20,11) (13,20); row 10 already runs from
        // the left side to the middle corner; middle edge -6.7 / round(9.3), left 3.2 / 9.6.
        { { 10.4f, 10.9f }, { 20.3f, 11.2f }, { 13.6f, 20.5f }, { 10, 10, 10, 11, 11, 11, 12, 12, 12, 13, 13 },
            { 20, 20, 20, 19, 19, 18, 17, 16, 16, 15, 14 } },
    };
    for (const auto& c : cases) {
        reset();
        ScreenTriangle t = make_triangle(c.a, c.b, c.c, fill_triangle);
        t.colour = 0x00ABCDEFu;
        fill_triangle(&t, surface);
        int expected = 0;
        for (size_t i = 0; i < c.first.size(); ++i) {
            const int row = 10 + int(i);
            for (int x = c.first[i] - 1; x <= c.last[i] + 1; ++x)
                EXPECT_EQ(at(x, row) != 0, x >= c.first[i] && x <= c.last[i]) << "row " << row << " column " << x;
            expected += c.last[i] - c.first[i] + 1;
        }
        EXPECT_EQ(count_set(), expected);
    }
}
