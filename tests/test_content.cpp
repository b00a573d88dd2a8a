// test_content.cpp -- the generated data set: every file present, loadable by the engine, sized for its scene,
// deterministic.
#include "display/surface.h"
#include "gfx2d/anim.h"
#include "gfx2d/byte_stream.h"
#include "gfx2d/depth_buffer.h"
#include "gfx2d/image.h"
#include "render3d/matrix.h"
#include "render3d/mesh.h"
#include "render3d/triangle.h"
#include "tools/content/content_generate.h"
#include "tools/content/content_maps.h"
#include "tools/content/content_meshes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <vector>

namespace {

// The build's own data set (made by the build rule with the default seed).
const std::string g_dir = std::string(MW_BINARY_DIR) + "/data";

std::vector<uint8_t> read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string make_temp_dir(const char* tag)
{
    std::string dir = std::string(MW_BINARY_DIR) + "/test_content_" + tag;
    mkdir(dir.c_str(), 0755);
    return dir;
}

class Content : public ::testing::Test {
protected:
    static std::string path(const std::string& name) { return g_dir + "/" + name; }
};

struct ImageDeleter {
    void operator()(Image* i) const { destroy_image(i); }
};
using ImagePtr = std::unique_ptr<Image, ImageDeleter>;

ImagePtr load(const std::string& p)
{
    return ImagePtr(load_acg_file(p.c_str()));
}

// Draws a picture onto a Surface filled with a marker colour and returns the pixels.
std::vector<uint32_t> draw_over(const Image* image, uint32_t marker)
{
    Surface* s = create_surface(image->width, image->height, 32);
    std::vector<uint32_t> px(size_t(image->width) * size_t(image->height));
    for (int y = 0; y < image->height; y++)
        for (int x = 0; x < image->width; x++)
            surface_row32(s, y)[x] = marker;
    draw_image(s, image, 0, 0);
    for (int y = 0; y < image->height; y++)
        for (int x = 0; x < image->width; x++)
            px[size_t(y) * size_t(image->width) + size_t(x)] = surface_row32(s, y)[x];
    destroy_surface(s);
    return px;
}

TEST_F(Content, EveryFileOfTheSetUpListIsInTheBuildsDataDirectory)
{
    for (const std::string& name : content_file_names())
        EXPECT_FALSE(read_bytes(path(name)).empty()) << name;
}

TEST_F(Content, PicturesLoadWithTheSizesTheirScenesNeed)
{
    struct Want {
        const char* name;
        int min_w, max_w, min_h, max_h;
    };
    const Want wants[] = {
        { "title.acg", 240, 300, 70, 110 }, { "ringface.acg", 320, 320, 240, 240 },
        { "bottle.acg", 100, 200, 100, 180 }, { "bricks.acg", 320, 320, 240, 240 },
        { "credits.acg", 180, 240, 300, 400 }, { "crd1.acg", 60, 124, 20, 40 }, { "crd2.acg", 60, 124, 20, 40 },
        { "upsbot.acg", 80, 112, 110, 140 }, { "warper.acg", 320, 320, 480, 480 }, { "blam1.acg", 128, 128, 64, 64 },
        { "blam2.acg", 128, 128, 64, 64 }, { "blam3.acg", 128, 128, 64, 64 }, { "face1.acg", 100, 140, 80, 120 },
        { "face2.acg", 100, 140, 80, 120 }, { "face3.acg", 100, 140, 80, 120 }, { "world.acg", 256, 256, 153, 153 },
        { "clouds.acg", 256, 256, 153, 153 }, { "light.acg", 256, 256, 153, 153 }, { "riptlt.acg", 320, 320, 240, 240 },
        { "quenvask.acg", 320, 320, 240, 240 }, { "endtext1.acg", 220, 300, 80, 120 },
        { "greets.acg", 1014, 1014, 10, 10 }, { "dtitle.acg", 40, 315, 10, 60 }, // drawn at (5, 5)
        { "dq.acg", 40, 310, 10, 60 }, // at (10, 30)
        { "da.acg", 40, 320, 10, 80 }, // centred
        { "dlast.acg", 40, 320, 10, 40 }, // at row 200, must end above 240
    };
    for (const Want& w : wants) {
        ImagePtr img = load(path(w.name));
        ASSERT_TRUE(img) << w.name;
        EXPECT_GE(img->width, w.min_w) << w.name;
        EXPECT_LE(img->width, w.max_w) << w.name;
        EXPECT_GE(img->height, w.min_h) << w.name;
        EXPECT_LE(img->height, w.max_h) << w.name;
        // Well-formed: the code words consume exactly the colour table.
        int64_t used = 0;
        for (int i = 0; i < img->code_count; i++) {
            uint32_t op = img->codes[i] >> 10, n = (img->codes[i] & 0x3FFu) + 1;
            if (op == 1 || op == 2)
                used += n;
            else if (op == 4 || op == 5)
                used += 1;
        }
        EXPECT_EQ(used, img->colour_count) << w.name;
        // Premultiplied: no colour channel above its opacity, so blends never carry.
        for (int i = 0; i < img->colour_count; i++) {
            uint32_t c = img->colours[i], a = c >> 24;
            ASSERT_TRUE(((c >> 16) & 255) <= a && ((c >> 8) & 255) <= a && (c & 255) <= a) << w.name << " colour " << i;
        }
    }
}

TEST_F(Content, PicturesHaveTheTransparencyTheirScenesRelyOn)
{
    const uint32_t marker = 0x00123456;
    // The ringface window shows the bottle: transparent where the bottle is drawn, covered elsewhere.
    ImagePtr ring = load(path("ringface.acg"));
    std::vector<uint32_t> px = draw_over(ring.get(), marker);
    EXPECT_EQ(px[size_t(150) * 320 + 220], marker);
    EXPECT_EQ(px[size_t(100) * 320 + 300], marker);
    EXPECT_NE(px[size_t(20) * 320 + 20] & 0xFFFFFF, marker);

    // Full-screen pictures and the wall cover every pixel.
    for (const char* name : { "riptlt.acg", "quenvask.acg", "bricks.acg", "bottle.acg", "world.acg" }) {
        ImagePtr img = load(path(name));
        std::vector<uint32_t> p = draw_over(img.get(), marker);
        int uncovered = 0;
        for (uint32_t v : p)
            uncovered += (v & 0xFFFFFF) == marker;
        EXPECT_EQ(uncovered, 0) << name;
    }
    // Sprites, faces, captions and the title stand on transparency: their corners are untouched.
    for (const char* name : { "title.acg", "upsbot.acg", "face1.acg", "face2.acg", "face3.acg", "credits.acg",
             "endtext1.acg", "dtitle.acg", "da.acg" }) {
        ImagePtr img = load(path(name));
        std::vector<uint32_t> p = draw_over(img.get(), marker);
        EXPECT_EQ(p[0], marker) << name;
        EXPECT_EQ(p.back(), marker) << name;
    }
    // Ball textures are partly transparent: some texels clear, some solid.
    for (const char* name : { "blam1.acg", "blam2.acg", "blam3.acg" }) {
        ImagePtr img = load(path(name));
        std::vector<uint32_t> p = draw_over(img.get(), 0);
        int clear = 0, solid = 0;
        for (uint32_t v : p) {
            clear += (v >> 24) < 200;
            solid += (v >> 24) >= 200;
        }
        EXPECT_GT(clear, 200) << name;
        EXPECT_GT(solid, 1000) << name;
    }
}


TEST_F(Content, RawMapsHaveTheirSizesAndUsefulRelief)
{
    std::vector<uint8_t> bump = read_bytes(path("bump.raw"));
    ASSERT_EQ(bump.size(), 76800u);
    int steep = 0;
    for (int y = 0; y < 240; y++)
        for (int x = 0; x + 1 < 320; x++)
            steep += std::abs(bump[size_t(y) * 320 + size_t(x)] - bump[size_t(y) * 320 + size_t(x) + 1]) >= 2;
    EXPECT_GT(steep, 76800 / 20); // enough slope to displace the rings by pixels
    EXPECT_EQ(read_bytes(path("vcol.raw")).size(), 800u * 800u * 3u);
    // Landscape: water, lowland and peaks all present.
    std::vector<uint8_t> hgt = read_bytes(path("vheight.raw"));
    int water = 0, high = 0;
    for (uint8_t h : hgt) {
        water += h == LANDSCAPE_WATER;
        high += h > 180;
    }
    EXPECT_GT(water, 800 * 800 / 20);
    EXPECT_GT(high, 800 * 800 / 100);
}

int count_frames(
    const std::string& rlm, const uint32_t* palette, std::vector<uint32_t>* first, std::vector<uint32_t>* last)
{
    ByteStream stream;
    if (!open_byte_stream(rlm.c_str(), &stream))
        return -1;
    Surface* s = create_surface(160, 120, 32);
    int frames = 0;
    // A frame must end exactly where the next begins: after the last frame nothing is left.
    while (stream.position < stream.size) {
        if (decode_rlm_frame(&stream, RLM_FRAME_PIXELS, s, palette) != 0)
            break;
        frames++;
        std::vector<uint32_t> px(static_cast<size_t>(RLM_FRAME_PIXELS));
        for (int y = 0; y < 120; y++)
            for (int x = 0; x < 160; x++)
                px[size_t(y) * 160 + size_t(x)] = surface_row32(s, y)[x];
        if (frames == 1)
            *first = px;
        *last = px;
    }
    EXPECT_EQ(stream.position, stream.size);
    destroy_surface(s);
    close_byte_stream(&stream);
    return frames;
}

double frame_difference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.size(); i++)
        sum += a[i] != b[i];
    return sum / double(a.size());
}

TEST_F(Content, AnimationsDecodeFrameForFrameWithTheirPalettes)
{
    uint32_t fire[256], run[256];
    ASSERT_NE(load_pal(path("boxflame.pal").c_str(), fire), 0);
    ASSERT_NE(load_pal(path("run.pal").c_str(), run), 0);
    // Fire ramp: black at 0, white at 255, never darker going up.
    EXPECT_EQ(fire[0], 0u);
    EXPECT_EQ(fire[255], 0x00FFFFFFu);
    for (int i = 1; i < 256; i++) {
        auto lum = [](uint32_t c) { return ((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255); };
        EXPECT_GE(lum(fire[i]), lum(fire[i - 1])) << i;
    }
    std::vector<uint32_t> first, last;
    EXPECT_EQ(count_frames(path("boxflame.rlm"), fire, &first, &last), 142);
    EXPECT_GT(frame_difference(first, last), 0.3); // the fire grows from nearly nothing

    EXPECT_EQ(count_frames(path("run.rlm"), run, &first, &last), 45);
    // The run loops: the last frame leads into the first like any frame into the next.
    double wrap = frame_difference(last, first);
    EXPECT_GT(wrap, 0.0);
    EXPECT_LT(wrap, 0.1);
}

struct MeshDeleter {
    void operator()(Mesh* m) const { free_mesh(m); }
};
using MeshPtr = std::unique_ptr<Mesh, MeshDeleter>;

TEST_F(Content, RoadSetRepeatsEvery400UnitsOfZInEveryKeyframe)
{
    for (const char* name : { "footpath.ma", "box1.ma", "box2.ma", "road.ma", "conerow.ma", "roadline.ma" }) {
        MeshPtr m(load_ma(path(name).c_str()));
        ASSERT_TRUE(m) << name;
        ASSERT_GE(m->face_count, 1u) << name;
        for (uint32_t k = 0; k < m->frame_count; k++) {
            std::set<std::tuple<long, long, long>> at;
            const Vec4* p = m->frames[k]->positions;
            auto key = [](double x, double y, double z) {
                return std::make_tuple(std::lround(x * 64), std::lround(y * 64), std::lround(z * 64));
            };
            double zmax = -1e9, zmin = 1e9;
            for (uint32_t i = 0; i < m->vertex_count; i++) {
                at.insert(key(p[i].x, p[i].y, p[i].z));
                zmax = std::max(zmax, p[i].z);
                zmin = std::min(zmin, p[i].z);
            }
            // The world covers what the camera sees from z 600 to 1000, 400 units ahead.
            EXPECT_LE(zmin, 600.0) << name;
            EXPECT_GE(zmax, 1400.0) << name;
            int missing = 0;
            for (uint32_t i = 0; i < m->vertex_count; i++)
                if (p[i].z + 400 <= zmax + 1e-9 && !at.count(key(p[i].x, p[i].y, p[i].z + 400)))
                    missing++;
            EXPECT_EQ(missing, 0) << name << " keyframe " << k;
        }
    }
}

// Edges of a closed, consistently wound mesh: every directed edge appears once and its reverse once.
void expect_closed_and_consistent(const MaMesh& mesh, const char* name)
{
    std::map<std::pair<uint32_t, uint32_t>, int> edges;
    for (const MaFace& f : mesh.faces)
        for (auto e : { std::make_pair(f.a, f.b), std::make_pair(f.b, f.c), std::make_pair(f.c, f.a) })
            edges[e]++;
    int bad = 0;
    for (const auto& [e, n] : edges)
        bad += n != 1 || edges.count({ e.second, e.first }) == 0 || edges[{ e.second, e.first }] != 1;
    EXPECT_EQ(bad, 0) << name;
}

TEST(ContentMeshes, ClosedMeshesAreWoundInwardsSoTheFillDrawsTheirFrontFaces)
{
    std::vector<ContentMesh> road;
    make_road_set(CONTENT_DEFAULT_SEED, &road);
    ContentMesh bottle;
    make_bottle_mesh(CONTENT_DEFAULT_SEED, &bottle);
    for (const ContentMesh& m : road)
        if (m.name == "box1.ma" || m.name == "box2.ma" || m.name == "conerow.ma" || m.name == "chickcone.ma") {
            expect_closed_and_consistent(m.mesh, m.name.c_str());
            EXPECT_LT(mesh_signed_volume6(&m.mesh, 0), 0) << m.name;
        }
    expect_closed_and_consistent(bottle.mesh, "bottle");
    EXPECT_GE(bottle.mesh.faces.size(), 200u);
    EXPECT_LE(bottle.mesh.faces.size(), 800u);
    EXPECT_GE(bottle.mesh.keyframes.size(), 3u);
    for (size_t k = 0; k < bottle.mesh.keyframes.size(); k++)
        EXPECT_LT(mesh_signed_volume6(&bottle.mesh, int(k)), 0) << "keyframe " << k;
}


TEST_F(Content, GenerationIsDeterministicAndFollowsTheSeed)
{
    // A fresh run with the default seed reproduces the build's data byte for byte.
    std::string again = make_temp_dir("b");
    std::vector<ContentFileInfo> written;
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(generate_content(again, CONTENT_DEFAULT_SEED, "", &written), 0);
    std::printf("second generation in %.2f s\n",
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    for (const std::string& name : content_file_names())
        EXPECT_TRUE(read_bytes(path(name)) == read_bytes(again + "/" + name)) << name;

    std::string other = make_temp_dir("c");
    written.clear();
    ASSERT_EQ(generate_content(other, CONTENT_DEFAULT_SEED + 1, "", &written), 0);
    EXPECT_FALSE(read_bytes(path("vheight.raw")) == read_bytes(other + "/vheight.raw"));
    EXPECT_FALSE(read_bytes(path("world.acg")) == read_bytes(other + "/world.acg"));
}

} // namespace
