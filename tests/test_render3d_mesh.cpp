// test_render3d_mesh.cpp -- matrices, camera aiming, MA writing/loading, keyframe morphing, face colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "display/bytes.h"
#include "render3d/matrix.h"
#include "render3d/mesh.h"
#include "tools/lib/ma_writer.h"

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

} // namespace

TEST(Matrix, RotationDirectionsOrderTranslationAndAliasing)
{
    // m = Rz x Ry x Rx: a point is turned about x first. z = pi/2 rolls x onto -y, y = pi/2
    // turns x onto z; (0,1,0) goes to (0,0,-1) about x and stays there about z.
    const struct {
        double x, y, z;
        Vec4 from, to;
    } turns[] = { { 0, 0, 0, { 3, 4, 5, 1 }, { 3, 4, 5, 1 } }, { 0, 0, PI, { 3, 4, 5, 1 }, { -3, -4, 5, 1 } },
        { 0, 0, PI / 2, { 1, 0, 0, 1 }, { 0, -1, 0, 1 } }, { 0, PI / 2, 0, { 1, 0, 0, 1 }, { 0, 0, 1, 1 } },
        { PI / 2, 0, PI / 2, { 0, 1, 0, 1 }, { 0, 0, -1, 1 } } };
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

    // Refused: a face index not below the vertex count, a coordinate that is not a number, no
    // keyframe, a face with no vertex to name. An infinite w is ignored. Oversized counts are
    // the loader-limits test's.
    std::vector<uint8_t> bad_index = bytes, nan = bytes, inf_w = bytes, no_vertices(16);
    store_u32(&bad_index[bytes.size() - 12], 2);
    store_f64(&nan[16 + 8], std::numeric_limits<double>::quiet_NaN());
    store_f64(&inf_w[16 + 24], std::numeric_limits<double>::infinity());
    store_u32(&no_vertices[0], 1);
    store_u32(&no_vertices[12], 1);
    for (const auto* b : { &bad_index, &nan, &no_vertices })
        EXPECT_EQ(load_ma_bytes(b->data(), b->size()), nullptr) << b - &bad_index;
    EXPECT_EQ(load_ma_bytes(nullptr, 0), nullptr);
    Mesh* ok = load_ma_bytes(inf_w.data(), inf_w.size());
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->frames[0]->positions[0].w, 1.0);
    free_mesh(ok);
    // The writer refuses the same: a face index out of range, keyframes of different sizes.
    m.faces[0].c = 2;
    EXPECT_FALSE(encode_ma(&m, &bytes));
    m.faces[0].c = 1;
    m.keyframes[1].vertices.pop_back();
    EXPECT_FALSE(encode_ma(&m, &bytes));

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
    Mesh empty = {};
    mesh_step(&empty);
    mesh_step(nullptr);
}

TEST(FaceColour, LightingAndDistanceFade)
{
    const Vec4 a = { 0, 0, 100, 1 }, b = { 10, 0, 100, 1 }, c = { 0, 10, 100, 1 }, side = { 0, 0, 110, 1 };
    const Vec4 far0 = { 0, 0, 450, 1 }, far1 = { 10, 0, 450, 1 }, far2 = { 0, 10, 450, 1 };
    const struct {
        const Vec4 *v0, *v1, *v2;
        uint32_t base, want;
    } cases[] = {
        // Head-on at z = 100: green 127 + 127 = 254, faded trunc(254 x 300 x 0.0025) = 190; the
        // top byte never reaches it; odd channels lose 1 to the two halvings, 64 x 0.75 = 48.
        { &a, &b, &c, 0xFF00FF00u, 0x0000BE00u }, { &a, &b, &c, 0x00FF0140u, (190u << 16) | 48u },
        { &a, &c, &side, 0x0000FF00u, 95u << 8 }, // normal along x: 0 + 127, x 0.75 = 95.25
        { &a, &a, &a, 0x0000FF00u, 0x0000BE00u }, // degenerate: lit head-on
        // Fade by the first corner's |z| only; black at 400 and beyond.
        { &far0, &b, &c, 0x00FFFFFFu, 0u },
        { &a, &far1, &far2, 0x00FFFFFFu, 0x005E5E5Eu }, // a = b = 0.5002: 63 + 63, x 0.75
    };
    for (const auto& k : cases)
        EXPECT_EQ(face_colour(k.v0, k.v1, k.v2, k.base), k.want) << &k - cases;
}
