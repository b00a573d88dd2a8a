// test_content.cpp -- the generated data set: pictures, animations, road and closed meshes shaped for their
// scenes, and generation deterministic.
#include "display/surface.h"
#include "gfx2d/anim.h"
#include "gfx2d/byte_stream.h"
#include "gfx2d/image.h"
#include "render3d/mesh.h"
#include "surface_fixture.h"
#include "tools/content/content_generate.h"
#include "tools/content/content_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
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

// Pictures have the size their scenes place them at, and the coverage they rely on: 'F' covers every
// pixel, 'T' stands on transparency (both corners untouched), 'W' is the ringface whose window shows the
// bottle. Drawn over a marker colour.
TEST(Content, PicturesHaveTheSizeAndCoverageTheirScenesNeed)
{
    struct Want {
        const char* name;
        int min_w, max_w, min_h, max_h;
        char coverage;
    };
    const Want wants[] = {
        { "title.acg", 240, 300, 70, 110, 'T' }, { "ringface.acg", 320, 320, 240, 240, 'W' },
        { "bottle.acg", 100, 200, 100, 180, 'F' }, { "bricks.acg", 320, 320, 240, 240, 'F' },
        { "credits.acg", 180, 240, 300, 400, 'T' }, { "upsbot.acg", 80, 112, 110, 140, 'T' },
        { "warper.acg", 320, 320, 480, 480, '-' }, { "blam1.acg", 128, 128, 64, 64, '-' },
        { "face1.acg", 100, 140, 80, 120, 'T' }, { "world.acg", 256, 256, 153, 153, 'F' },
        { "clouds.acg", 256, 256, 153, 153, '-' }, { "riptlt.acg", 320, 320, 240, 240, 'F' },
        { "quenvask.acg", 320, 320, 240, 240, 'F' }, { "endtext1.acg", 220, 300, 80, 120, 'T' },
        { "greets.acg", 1014, 1014, 10, 10, '-' }, { "dtitle.acg", 40, 315, 10, 60, 'T' }, // drawn at (5, 5)
        { "da.acg", 40, 320, 10, 80, 'T' }, { "dlast.acg", 40, 320, 10, 40, '-' }, // at row 200, ends above 240
    };
    const uint32_t marker = 0x00123456;
    for (const Want& w : wants) {
        SCOPED_TRACE(w.name);
        Image* image = load_acg_file((DATA + w.name).c_str());
        ASSERT_NE(image, nullptr);
        EXPECT_TRUE(image->width >= w.min_w && image->width <= w.max_w) << image->width;
        EXPECT_TRUE(image->height >= w.min_h && image->height <= w.max_h) << image->height;
        SurfacePtr s = make_surface(image->width, image->height, marker);
        draw_image(s.get(), image, 0, 0);
        const int covered = count_not(s.get(), marker);
        EXPECT_TRUE(w.coverage != 'F' || covered == image->width * image->height) << covered;
        EXPECT_TRUE(w.coverage != 'T'
            || (pixel(s.get(), 0, 0) == marker && pixel(s.get(), image->width - 1, image->height - 1) == marker));
        EXPECT_TRUE(w.coverage != 'W' || (pixel(s.get(), 220, 150) == marker && pixel(s.get(), 20, 20) != marker));
        destroy_image(image);
    }
}

// Animations hold the frame counts their scenes play (142 flames, a 45-frame run), each frame ending
// exactly where the next begins.
TEST(Content, AnimationsDecodeFrameForFrame)
{
    for (const auto& [name, count] : { std::pair("boxflame.rlm", 142), std::pair("run.rlm", 45) }) {
        SCOPED_TRACE(name);
        ByteStream stream;
        ASSERT_TRUE(open_byte_stream((DATA + name).c_str(), &stream));
        uint32_t palette[256] = {};
        Surface* surface = create_surface(160, 120, 32);
        int frames = 0;
        while (stream.position < stream.size && decode_rlm_frame(&stream, RLM_FRAME_PIXELS, surface, palette) == 0)
            frames++;
        EXPECT_EQ(frames, count);
        EXPECT_EQ(stream.position, stream.size);
        close_byte_stream(&stream);
        destroy_surface(surface);
    }
}

TEST(Content, RoadSetRepeatsEvery400UnitsOfZInEveryKeyframe)
{
    for (const char* name : { "footpath.ma", "box1.ma", "box2.ma", "road.ma", "conerow.ma", "roadline.ma" }) {
        SCOPED_TRACE(name);
        Mesh* mesh = load_ma((DATA + name).c_str());
        ASSERT_NE(mesh, nullptr);
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

// Closed meshes are wound inwards so that the fill draws their front faces: their signed volume is
// negative in every keyframe.
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
    for (const ContentMesh& m : meshes)
        for (size_t k = 0; k < m.mesh.keyframes.size(); k++)
            EXPECT_LT(mesh_signed_volume6(&m.mesh, int(k)), 0) << m.name << " keyframe " << k;
    EXPECT_GE(meshes.back().mesh.keyframes.size(), 3u); // the bottle morphs
}

// A fresh run with the default seed reproduces the build's data byte for byte, every file of its
// list present; another seed gives another landscape and globe.
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
