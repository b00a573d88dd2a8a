// test_render3d_mesh.cpp -- matrices, camera aiming, MA writing/loading, keyframe morphing, face colours.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <string>

#include "display/bytes.h"
#include "render3d/matrix.h"
#include "render3d/mesh.h"
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
    EXPECT_DOUBLE_EQ(v.x, x);
    EXPECT_DOUBLE_EQ(v.y, y);
    EXPECT_DOUBLE_EQ(v.z, z);
    EXPECT_EQ(v.w, 1.0);
}

} // namespace

TEST(Matrix, RotationOrderAndAliasing)
{
    Matrix m;
    mat_identity(&m);
    Camera still = {};
    Matrix before = m;
    mat_rotate(&m, &still);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m.m[i], before.m[i]);

    // Angle z = pi negates x and y.
    Camera flip = {};
    flip.angle_z = PI;
    mat_rotate(&m, &flip);
    Vec4 p = { 3, 4, 5, 1 };
    transform_points(&m, &p, 1);
    EXPECT_NEAR(p.x, -3, 1e-12);
    EXPECT_NEAR(p.y, -4, 1e-12);
    EXPECT_EQ(p.z, 5);
    EXPECT_EQ(p.w, 1);
    // Angle z = pi/2 turns x onto -y (the roll direction), angle y = pi/2 turns x onto z.
    const struct {
        double z, y;
        Vec4 want;
    } turns[] = { { PI / 2, 0, { 0, -1, 0, 1 } }, { 0, PI / 2, { 0, 0, 1, 1 } } };
    for (const auto& t : turns) {
        Camera c = {};
        c.angle_z = t.z;
        c.angle_y = t.y;
        mat_identity(&m);
        mat_rotate(&m, &c);
        Vec4 x = { 1, 0, 0, 1 };
        transform_points(&m, &x, 1);
        EXPECT_NEAR(x.x, t.want.x, 1e-12);
        EXPECT_NEAR(x.y, t.want.y, 1e-12);
        EXPECT_NEAR(x.z, t.want.z, 1e-12);
    }

    // A point is turned about x first, then about z: (0,1,0) -> (0,0,-1) -> (0,0,-1).
    // The other order would give (1,0,0).
    Camera both = {};
    both.angle_x = PI / 2;
    both.angle_z = PI / 2;
    mat_identity(&m);
    mat_rotate(&m, &both);
    Vec4 q = { 0, 1, 0, 1 };
    transform_points(&m, &q, 1);
    EXPECT_NEAR(q.x, 0, 1e-12);
    EXPECT_NEAR(q.y, 0, 1e-12);
    EXPECT_NEAR(q.z, -1, 1e-12);

    // Translation in column 3 moves points with w = 1; multiplying into an operand gives the
    // same result as into a separate matrix.
    Matrix t, d;
    mat_identity(&t);
    t.m[3] = 10;
    t.m[11] = -2;
    mat_multiply(&d, &t, &m);
    mat_multiply(&t, &t, &m);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(t.m[i], d.m[i]);
    Vec4 r = { 0, 1, 0, 1 };
    transform_points(&t, &r, 1);
    EXPECT_NEAR(r.x, 10, 1e-12);
    EXPECT_NEAR(r.z, -3, 1e-12);
    transform_points(&t, &r, 0); // count 0 touches nothing
    EXPECT_NEAR(r.x, 10, 1e-12);
}

TEST(Matrix, AimCameraCases)
{
    Camera cam = {};
    cam.angle_x = 0.5;
    Vec4 ahead = { 0, 7, 100, 1 };
    aim_camera(&cam, &ahead);
    EXPECT_EQ(cam.angle_y, 0.0);
    EXPECT_EQ(cam.angle_x, 0.5);

    Vec4 back_left = { -10, 7, -10, 1 };
    aim_camera(&cam, &back_left);
    EXPECT_NEAR(cam.angle_y, -3 * PI / 4, 1e-12);
    Vec4 back_right = { 10, 7, -10, 1 };
    aim_camera(&cam, &back_right);
    EXPECT_NEAR(cam.angle_y, 3 * PI / 4, 1e-12);

    // The offset is added to the target; straight above the camera does not fault.
    cam.offset_x = 10;
    cam.offset_z = -10;
    Vec4 origin = { 0, 0, 0, 1 };
    aim_camera(&cam, &origin);
    EXPECT_NEAR(cam.angle_y, 3 * PI / 4, 1e-12);
    Vec4 above = { -10, 50, 10, 1 };
    aim_camera(&cam, &above);
    EXPECT_TRUE(std::isfinite(cam.angle_y));
}

TEST(MaFormat, WriterLayoutAndLoaderRoundTrip)
{
    MaMesh m;
    m.spare = 77;
    MaKeyframe k;
    for (int i = 0; i < 10; ++i)
        k.vertices.push_back({ double(i), -double(i), 0.5 * i });
    k.step_count = 3;
    m.keyframes.push_back(k);
    m.faces.push_back({ 7, 8, 9, 3 });
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(encode_ma(&m, &bytes));
    ASSERT_EQ(bytes.size(), 16u + 10 * 32 + 4 + 16);
    EXPECT_EQ(load_u32(&bytes[0]), 1u);
    EXPECT_EQ(load_u32(&bytes[4]), 77u);
    EXPECT_EQ(load_u32(&bytes[8]), 10u);
    EXPECT_EQ(load_u32(&bytes[12]), 1u);
    EXPECT_EQ(load_f64(&bytes[16 + 32 + 8]), -1.0);
    EXPECT_EQ(load_f64(&bytes[16 + 32 + 24]), 1.0); // w
    EXPECT_EQ(load_u32(&bytes[16 + 320]), 3u);
    EXPECT_EQ(load_u32(&bytes[16 + 324]), 7u);

    const std::string path = std::string(MW_BINARY_DIR) + "/test_render3d_roundtrip.ma";
    ASSERT_TRUE(write_ma_file(path.c_str(), &m));
    Mesh* mesh = load_ma(path.c_str());
    std::remove(path.c_str());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->frame_count, 1u);
    EXPECT_EQ(mesh->spare, 77u);
    EXPECT_EQ(mesh->vertex_count, 10u);
    ASSERT_EQ(mesh->face_count, 1u);
    // The file's (a, b, c, d) is stored reversed.
    EXPECT_EQ(mesh->faces[0].i0, 9u);
    EXPECT_EQ(mesh->faces[0].i1, 8u);
    EXPECT_EQ(mesh->faces[0].i2, 7u);
    EXPECT_EQ(mesh->faces[0].spare, 3u);
    EXPECT_EQ(mesh->frames[0]->step_count, 3u);
    // Render vertices start at the origin, work vertices at keyframe 0.
    expect_vertex(mesh->render_vertices[4], 0, 0, 0);
    expect_vertex(mesh->work_vertices[4], 4, -4, 2);
    // One keyframe morphs towards itself.
    expect_vertex(mesh->frames[0]->deltas[4], 0, 0, 0);
    free_mesh(mesh);

    // The writer refuses what the loader would refuse.
    MaMesh bad = m;
    bad.faces[0].c = 10;
    EXPECT_FALSE(encode_ma(&bad, &bytes));
    bad = m;
    bad.keyframes.push_back({ { { 0, 0, 0 } }, 1 });
    EXPECT_FALSE(encode_ma(&bad, &bytes));
    const MaMesh empty;
    EXPECT_FALSE(encode_ma(&empty, &bytes));
}

TEST(MaFormat, BadFilesAreRefused)
{
    EXPECT_EQ(load_ma("/nonexistent/dir/none.ma"), nullptr);
    EXPECT_EQ(load_ma_bytes(nullptr, 0), nullptr); // no keyframe

    auto header = [](uint32_t f, uint32_t v, uint32_t n) {
        std::vector<uint8_t> b(16);
        store_u32(&b[0], f);
        store_u32(&b[8], v);
        store_u32(&b[12], n);
        return b;
    };
    std::vector<uint8_t> huge = header(0xFFFFFFFFu, 0xFFFFFFFFu, 0);
    EXPECT_EQ(load_ma_bytes(huge.data(), huge.size()), nullptr);
    huge = header(1, 1, 0xF0000000u);
    EXPECT_EQ(load_ma_bytes(huge.data(), huge.size()), nullptr);
    huge = header(0x10000000u, 0, 0); // empty keyframes still cost a record each
    EXPECT_EQ(load_ma_bytes(huge.data(), huge.size()), nullptr);

    // Faces without vertices: the index 0 of a missing face record names no vertex.
    std::vector<uint8_t> no_vertices = header(1, 0, 1);
    EXPECT_EQ(load_ma_bytes(no_vertices.data(), no_vertices.size()), nullptr);

    MaMesh m = one_vertex_morph({ 1, 2, 3 }, 1, { 4, 5, 6 }, 1);
    m.keyframes[0].vertices.push_back({ 0, 0, 0 });
    m.keyframes[1].vertices.push_back({ 0, 0, 0 });
    m.faces.push_back({ 0, 1, 1 });
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(encode_ma(&m, &bytes));
    std::vector<uint8_t> bad_index = bytes;
    store_u32(&bad_index[bad_index.size() - 12], 2); // face b = vertex count
    EXPECT_EQ(load_ma_bytes(bad_index.data(), bad_index.size()), nullptr);
    std::vector<uint8_t> nan = bytes;
    store_f64(&nan[16 + 8], std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(load_ma_bytes(nan.data(), nan.size()), nullptr);
    std::vector<uint8_t> inf_w = bytes;
    store_f64(&inf_w[16 + 24], std::numeric_limits<double>::infinity()); // w is ignored
    Mesh* ok = load_ma_bytes(inf_w.data(), inf_w.size());
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->frames[0]->positions[0].w, 1.0);
    free_mesh(ok);

    // A short file keeps zeros where it ends: vertex 1 of keyframe 0 is cut in half, the rest
    // (step count, keyframe 1, face) reads as zero.
    std::vector<uint8_t> short_file(bytes.begin(), bytes.begin() + 16 + 32 + 8);
    Mesh* cut = load_ma_bytes(short_file.data(), short_file.size());
    ASSERT_NE(cut, nullptr);
    expect_vertex(cut->frames[0]->positions[0], 1, 2, 3);
    expect_vertex(cut->frames[0]->positions[1], 0, 0, 0);
    EXPECT_EQ(cut->frames[0]->step_count, 0u);
    expect_vertex(cut->frames[1]->positions[0], 0, 0, 0);
    EXPECT_EQ(cut->faces[0].i0, 0u);
    mesh_step(cut); // S = 0 everywhere: wraps each tick without faults
    free_mesh(cut);
}

TEST(MeshStep, KeyframeWalk)
{
    // K0 (S = 4), K1 (S = 2): d0 = (2, 1, 0.5), d1 = (-4, -2, -1).
    Mesh* mesh = load_from(one_vertex_morph({ 0, 0, 0 }, 4, { 8, 4, 2 }, 2));
    ASSERT_NE(mesh, nullptr);
    expect_vertex(mesh->frames[0]->deltas[0], 2, 1, 0.5);
    expect_vertex(mesh->frames[1]->deltas[0], -4, -2, -1);
    const double expected[][3] = { { 0, 0, 0 }, { 2, 1, 0.5 }, { 4, 2, 1 }, { 8, 4, 2 }, { 8, 4, 2 }, { 0, 0, 0 },
        { 0, 0, 0 }, { 2, 1, 0.5 }, { 4, 2, 1 }, { 8, 4, 2 } };
    for (const auto& e : expected) {
        mesh_step(mesh);
        expect_vertex(mesh->render_vertices[0], e[0], e[1], e[2]);
    }
    free_mesh(mesh);

    // One keyframe with S = 1 holds still.
    MaMesh still;
    still.keyframes.push_back({ { { 1, 2, 3 } }, 1 });
    mesh = load_from(still);
    ASSERT_NE(mesh, nullptr);
    for (int i = 0; i < 3; ++i) {
        mesh_step(mesh);
        expect_vertex(mesh->render_vertices[0], 1, 2, 3);
        EXPECT_EQ(mesh->step, 0u);
        EXPECT_EQ(mesh->current_frame, 0u);
    }
    free_mesh(mesh);

    // S = 0 wraps on every call: the tick ends on the next keyframe, deltas stay finite.
    mesh = load_from(one_vertex_morph({ 0, 0, 0 }, 0, { 6, 6, 6 }, 3));
    ASSERT_NE(mesh, nullptr);
    expect_vertex(mesh->frames[0]->deltas[0], 0, 0, 0);
    mesh_step(mesh);
    expect_vertex(mesh->render_vertices[0], 6, 6, 6);
    EXPECT_EQ(mesh->current_frame, 1u);
    mesh_step(mesh);
    expect_vertex(mesh->render_vertices[0], 6, 6, 6);
    mesh_step(mesh);
    expect_vertex(mesh->render_vertices[0], 4, 4, 4);
    mesh_step(mesh);
    expect_vertex(mesh->render_vertices[0], 0, 0, 0);
    // A frame index written past the end by a caller restarts the animation.
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
    // Head-on at z = 100: green 127 + 127 = 254, faded trunc(254 * 300 * 0.0025) = 190.
    const Vec4 a = { 0, 0, 100, 1 }, b = { 10, 0, 100, 1 }, c = { 0, 10, 100, 1 };
    EXPECT_EQ(face_colour(&a, &b, &c, 0x0000FF00u), 0x0000BE00u);
    EXPECT_EQ(face_colour(&a, &b, &c, 0xFF00FF00u), 0x0000BE00u); // top byte never reaches it
    // Odd channels lose 1 to the two halvings: 255 -> 254, 1 -> 0; 64 -> 64 * 0.75 = 48.
    EXPECT_EQ(face_colour(&a, &b, &c, 0x00FF0140u), (190u << 16) | 48u);

    // Normal along x: a = 0, b = 1, green 0 + 127 = 127, faded trunc(95.25) = 95.
    const Vec4 side1 = { 0, 10, 100, 1 }, side2 = { 0, 0, 110, 1 };
    EXPECT_EQ(face_colour(&a, &side1, &side2, 0x0000FF00u), 95u << 8);

    // Degenerate faces are lit head-on.
    EXPECT_EQ(face_colour(&a, &a, &a, 0x0000FF00u), 0x0000BE00u);

    // Fade uses the first corner's |z| only; at 400 and beyond everything is black.
    const Vec4 far0 = { 0, 0, 450, 1 }, far1 = { 10, 0, 450, 1 }, far2 = { 0, 10, 450, 1 };
    EXPECT_EQ(face_colour(&far0, &far1, &far2, 0x00FFFFFFu), 0u);
    EXPECT_EQ(face_colour(&far0, &b, &c, 0x00FFFFFFu), 0u);
    EXPECT_NE(face_colour(&a, &far1, &far2, 0x00FFFFFFu), 0u);
}
