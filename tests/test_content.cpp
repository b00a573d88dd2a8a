// test_content.cpp -- the generated data set: every file shaped for its scene, and deterministic.
#include "display/surface.h"
#include "gfx2d/anim.h"
#include "gfx2d/byte_stream.h"
#include "gfx2d/image.h"
#include "render3d/mesh.h"
#include "tools/lib/content_generate.h"
#include "tools/lib/content_maps.h"
#include "tools/lib/content_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <vector>

namespace {

// The build's own data set (made by the build rule with the default seed).
const std::string DATA = std::string(MW_BINARY_DIR) + "/data/";

std::vector<uint8_t> read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The pixels of a Surface of the given size, filled with `fill`, after `draw` ran on it (none when
// it fails).
template <typename Draw> std::vector<uint32_t> pixels(int width, int height, uint32_t fill, Draw draw)
{
    Surface* s = create_surface(width, height, 32);
    for (int y = 0; y < height; y++)
        std::fill_n(surface_row32(s, y), width, fill);
    std::vector<uint32_t> px;
    if (draw(s))
        for (int y = 0; y < height; y++)
            px.insert(px.end(), surface_row32(s, y), surface_row32(s, y) + width);
    destroy_surface(s);
    return px;
}

// How a picture must cover what lies under it: anyhow; every pixel; not at its first and last
// pixel; some texels clear, some solid (ball textures); the ringface's window, which shows the
// bottle: transparent where the bottle is drawn, covered elsewhere.
enum Cover { ANY, COVERS_ALL, CLEAR_CORNERS, PART_CLEAR, WINDOW };

TEST(Content, PicturesHaveTheSizesAndTransparencyTheirScenesNeed)
{
    const struct {
        const char* name;
        int min_w, max_w, min_h, max_h;
        Cover cover;
    } wants[] = {
        { "title.acg", 240, 300, 70, 110, CLEAR_CORNERS }, { "ringface.acg", 320, 320, 240, 240, WINDOW },
        { "bottle.acg", 100, 200, 100, 180, COVERS_ALL }, { "bricks.acg", 320, 320, 240, 240, COVERS_ALL },
        { "credits.acg", 180, 240, 300, 400, CLEAR_CORNERS }, { "crd1.acg", 60, 124, 20, 40, ANY },
        { "crd2.acg", 60, 124, 20, 40, ANY }, { "upsbot.acg", 80, 112, 110, 140, CLEAR_CORNERS },
        { "warper.acg", 320, 320, 480, 480, ANY }, { "blam1.acg", 128, 128, 64, 64, PART_CLEAR },
        { "blam2.acg", 128, 128, 64, 64, PART_CLEAR }, { "blam3.acg", 128, 128, 64, 64, PART_CLEAR },
        { "face1.acg", 100, 140, 80, 120, CLEAR_CORNERS }, { "face2.acg", 100, 140, 80, 120, CLEAR_CORNERS },
        { "face3.acg", 100, 140, 80, 120, CLEAR_CORNERS }, { "world.acg", 256, 256, 153, 153, COVERS_ALL },
        { "clouds.acg", 256, 256, 153, 153, ANY }, { "light.acg", 256, 256, 153, 153, ANY },
        { "riptlt.acg", 320, 320, 240, 240, COVERS_ALL }, { "quenvask.acg", 320, 320, 240, 240, COVERS_ALL },
        { "endtext1.acg", 220, 300, 80, 120, CLEAR_CORNERS }, { "greets.acg", 1014, 1014, 10, 10, ANY },
        { "dtitle.acg", 40, 315, 10, 60, CLEAR_CORNERS }, // drawn at (5, 5)
        { "dq.acg", 40, 310, 10, 60, ANY }, // at (10, 30)
        { "da.acg", 40, 320, 10, 80, CLEAR_CORNERS }, // centred
        { "dlast.acg", 40, 320, 10, 40, ANY }, // at row 200, must end above 240
    };
    const uint32_t marker = 0x00123456; // transparent: drawn over, the alpha is the picture's
    for (const auto& w : wants) {
        SCOPED_TRACE(w.name);
        Image* image = load_acg_file((DATA + w.name).c_str());
        ASSERT_NE(image, nullptr);
        EXPECT_GE(image->width, w.min_w);
        EXPECT_LE(image->width, w.max_w);
        EXPECT_GE(image->height, w.min_h);
        EXPECT_LE(image->height, w.max_h);
        const std::vector<uint32_t> px = pixels(image->width, image->height, marker, [&](Surface* s) {
            draw_image(s, image, 0, 0);
            return true;
        });
        const int width = image->width;
        destroy_image(image);
        int uncovered = 0, clear = 0;
        for (uint32_t v : px) {
            uncovered += v == marker;
            clear += (v >> 24) < 200;
        }
        EXPECT_TRUE(w.cover != COVERS_ALL || uncovered == 0) << uncovered;
        EXPECT_TRUE(w.cover != CLEAR_CORNERS || (px.front() == marker && px.back() == marker));
        EXPECT_TRUE(w.cover != PART_CLEAR || (clear > 200 && int(px.size()) - clear > 1000)) << clear;
        EXPECT_TRUE(w.cover != WINDOW
            || (px[150 * width + 220] == marker && px[100 * width + 300] == marker
                && (px[20 * width + 20] & 0xFFFFFF) != marker));
    }
}

TEST(Content, RawMapsHaveTheirSizesAndUsefulRelief)
{
    std::vector<uint8_t> bump = read_bytes(DATA + "bump.raw");
    ASSERT_EQ(bump.size(), 76800u);
    int steep = 0;
    for (size_t i = 0; i + 1 < bump.size(); i++)
        steep += i % 320 != 319 && std::abs(bump[i] - bump[i + 1]) >= 2;
    EXPECT_GT(steep, 76800 / 20); // enough slope to displace the rings by pixels
    EXPECT_EQ(read_bytes(DATA + "vcol.raw").size(), 800u * 800u * 3u);
    // Landscape: water, lowland and peaks all present.
    std::vector<uint8_t> height = read_bytes(DATA + "vheight.raw");
    EXPECT_GT(std::count(height.begin(), height.end(), LANDSCAPE_WATER), 800 * 800 / 20);
    EXPECT_GT(std::count_if(height.begin(), height.end(), [](uint8_t h) { return h > 180; }), 800 * 800 / 100);
}

TEST(Content, AnimationsDecodeFrameForFrameWithTheirPalettes)
{
    uint32_t fire[256], run[256];
    ASSERT_NE(load_pal((DATA + "boxflame.pal").c_str(), fire), 0);
    ASSERT_NE(load_pal((DATA + "run.pal").c_str(), run), 0);
    // Fire ramp: black at 0, white at 255, never darker going up.
    EXPECT_EQ(fire[0], 0u);
    EXPECT_EQ(fire[255], 0x00FFFFFFu);
    auto lum = [](uint32_t c) { return ((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255); };
    for (int i = 1; i < 256; i++)
        EXPECT_GE(lum(fire[i]), lum(fire[i - 1])) << i;

    // Every frame, decoded in turn; a frame must end exactly where the next begins.
    auto frames = [](const std::string& name, const uint32_t* palette) {
        std::vector<std::vector<uint32_t>> out;
        ByteStream stream;
        EXPECT_TRUE(open_byte_stream((DATA + name).c_str(), &stream)) << name;
        while (stream.position < stream.size) {
            std::vector<uint32_t> frame = pixels(
                160, 120, 0, [&](Surface* s) { return decode_rlm_frame(&stream, RLM_FRAME_PIXELS, s, palette) == 0; });
            if (frame.empty())
                break;
            out.push_back(frame);
        }
        EXPECT_EQ(stream.position, stream.size) << name;
        close_byte_stream(&stream);
        return out;
    };
    auto difference = [](const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
        int differ = 0;
        for (size_t i = 0; i < a.size(); i++)
            differ += a[i] != b[i];
        return double(differ) / double(a.size());
    };
    const auto flames = frames("boxflame.rlm", fire);
    ASSERT_EQ(flames.size(), 142u);
    EXPECT_GT(difference(flames.front(), flames.back()), 0.3); // the fire grows from nearly nothing
    // The run loops: the last frame leads into the first like any frame into the next.
    const auto running = frames("run.rlm", run);
    ASSERT_EQ(running.size(), 45u);
    EXPECT_GT(difference(running.back(), running.front()), 0.0);
    EXPECT_LT(difference(running.back(), running.front()), 0.1);
}

TEST(Content, RoadSetRepeatsEvery400UnitsOfZInEveryKeyframe)
{
    for (const char* name : { "footpath.ma", "box1.ma", "box2.ma", "road.ma", "conerow.ma", "roadline.ma" }) {
        SCOPED_TRACE(name);
        Mesh* mesh = load_ma((DATA + name).c_str());
        ASSERT_NE(mesh, nullptr);
        EXPECT_GE(mesh->face_count, 1u);
        for (uint32_t k = 0; k < mesh->frame_count; k++) {
            const Vec4* p = mesh->frames[k]->positions;
            auto key = [](double x, double y, double z) {
                return std::make_tuple(std::lround(x * 64), std::lround(y * 64), std::lround(z * 64));
            };
            std::set<std::tuple<long, long, long>> at;
            double zmax = -1e9, zmin = 1e9;
            for (uint32_t i = 0; i < mesh->vertex_count; i++) {
                at.insert(key(p[i].x, p[i].y, p[i].z));
                zmax = std::max(zmax, p[i].z);
                zmin = std::min(zmin, p[i].z);
            }
            // The world covers what the camera sees from z 600 to 1000, 400 units ahead.
            EXPECT_LE(zmin, 600.0);
            EXPECT_GE(zmax, 1400.0);
            int missing = 0;
            for (uint32_t i = 0; i < mesh->vertex_count; i++)
                missing += p[i].z + 400 <= zmax + 1e-9 && !at.count(key(p[i].x, p[i].y, p[i].z + 400));
            EXPECT_EQ(missing, 0) << "keyframe " << k;
        }
        free_mesh(mesh);
    }
}

// Closed meshes are wound inwards so that the fill draws their front faces: every directed edge
// appears once and its reverse once, and the signed volume is negative in every keyframe.
TEST(Content, ClosedMeshesAreWoundInwards)
{
    std::vector<ContentMesh> meshes;
    make_road_set(CONTENT_DEFAULT_SEED, &meshes);
    std::erase_if(meshes, [](const ContentMesh& m) {
        return m.name != "box1.ma" && m.name != "box2.ma" && m.name != "conerow.ma" && m.name != "chickcone.ma";
    });
    meshes.emplace_back();
    make_bottle_mesh(CONTENT_DEFAULT_SEED, &meshes.back());
    ASSERT_EQ(meshes.size(), 5u);
    for (const ContentMesh& m : meshes) {
        SCOPED_TRACE(m.name);
        std::map<std::pair<uint32_t, uint32_t>, int> edges;
        for (const MaFace& f : m.mesh.faces)
            for (auto e : { std::pair(f.a, f.b), std::pair(f.b, f.c), std::pair(f.c, f.a) })
                edges[e]++;
        int bad = 0;
        for (const auto& [e, n] : edges)
            bad += n != 1 || edges.count({ e.second, e.first }) == 0 || edges[{ e.second, e.first }] != 1;
        EXPECT_EQ(bad, 0);
        for (size_t k = 0; k < m.mesh.keyframes.size(); k++)
            EXPECT_LT(mesh_signed_volume6(&m.mesh, int(k)), 0) << "keyframe " << k;
    }
    const MaMesh& bottle = meshes.back().mesh;
    EXPECT_GE(bottle.faces.size(), 200u);
    EXPECT_LE(bottle.faces.size(), 800u);
    EXPECT_GE(bottle.keyframes.size(), 3u);
}

// A fresh run with the default seed reproduces the build's data byte for byte, every file of the
// set-up list present; another seed gives another landscape and globe.
TEST(Content, GenerationIsDeterministicAndFollowsTheSeed)
{
    const std::string again = std::string(MW_BINARY_DIR) + "/test_content_b/";
    const std::string other = std::string(MW_BINARY_DIR) + "/test_content_c/";
    for (const auto& [dir, seed] :
        { std::pair(again, CONTENT_DEFAULT_SEED), std::pair(other, CONTENT_DEFAULT_SEED + 1) }) {
        mkdir(dir.c_str(), 0755);
        std::vector<ContentFileInfo> written;
        ASSERT_EQ(generate_content(dir, seed, "", &written), 0);
    }
    for (const std::string& name : content_file_names()) {
        EXPECT_FALSE(read_bytes(DATA + name).empty()) << name;
        EXPECT_TRUE(read_bytes(DATA + name) == read_bytes(again + name)) << name;
    }
    EXPECT_FALSE(read_bytes(DATA + "vheight.raw") == read_bytes(other + "vheight.raw"));
    EXPECT_FALSE(read_bytes(DATA + "world.acg") == read_bytes(other + "world.acg"));
}

} // namespace
