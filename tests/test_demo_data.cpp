// test_demo_data.cpp -- demo data set-up: what it makes, its order, and every failure it must report.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>

#include "app/demo_data.h"
#include "display/present.h"
#include "gfx2d/anim.h"
#include "scene_script.h"
#include "scenes/scene8_running.h"
#include "scenes/scene_data.h"

namespace {
using scene_script::TempDataFolder;
namespace fs = std::filesystem;

// Every file set-up reads, in the order it reads them.
const std::vector<std::string> SETUP_FILES
    = { "bump.raw", "ringface.acg", "bottle.acg", "credits.acg", "crd1.acg", "crd2.acg", "bricks.acg", "upsbot.acg",
          "title.acg", "warper.acg", "bottlemosh.ma", "blam1.acg", "blam2.acg", "blam3.acg", "footpath.ma", "box1.ma",
          "box2.ma", "road.ma", "conerow.ma", "chickcone.ma", "roadline.ma", "face1.acg", "face2.acg", "face3.acg",
          "world.acg", "clouds.acg", "light.acg", "riptlt.acg", "quenvask.acg", "endtext1.acg", "boxflame.pal",
          "vheight.raw", "vcol.raw", "greets.acg", "run.pal", "dtitle.acg", "dq.acg", "da.acg", "dlast.acg" };

// Forgets what an earlier set-up in this process made, so each run is seen on its own.
void forget_demo_data()
{
    ring_table = nullptr;
    bump_heights = nullptr;
    ringface_picture = bottle_picture = nullptr;
    credits_picture = crd1_picture = crd2_picture = bricks_picture = title_picture = nullptr;
    upsbot_surface = warper_surface = nullptr;
    balls = nullptr;
    flash_light = nullptr;
    run_surface = nullptr;
}

std::vector<uint8_t> read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}
void write_file(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class DemoData : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = std::make_unique<TempDataFolder>("demo_data");
        folder->copy_from_build(SETUP_FILES);
        forget_demo_data();
    }
    void TearDown() override { folder.reset(); }
    fs::path data(const std::string& name) const { return folder->root / "data" / name; }
    std::unique_ptr<TempDataFolder> folder;
};

TEST_F(DemoData, SetUpMakesEveryRecordAndTable)
{
    ASSERT_EQ(setup_demo_data(), 1);

    for (int i = 0; i < RING_COUNT; ++i) {
        ASSERT_NE(ring_table[i], nullptr);
        EXPECT_EQ(ring_table[i]->x, 258.0);
        EXPECT_EQ(ring_table[i]->y, 165.0);
        EXPECT_EQ(ring_table[i]->radius, 30.0);
        EXPECT_EQ(ring_colours[i], 0xFFFFFFFFu);
    }
    const std::vector<uint8_t> bump = read_file(data("bump.raw"));
    ASSERT_EQ(bump.size(), 76800u);
    EXPECT_EQ(std::memcmp(bump_heights, bump.data(), 76800), 0);

    for (int i = 0; i < RIBBON_COUNT; ++i)
        EXPECT_EQ(ribbons[i].span_width | ribbons[i].rows | ribbons[i].core_colour, 0u);

    // The upsbot Surface has the picture's size; the warper Surface is always 320 x 480.
    Image* upsbot = load_acg_file("./data/upsbot.acg");
    ASSERT_NE(upsbot, nullptr);
    EXPECT_EQ(upsbot_surface->width, upsbot->width);
    EXPECT_EQ(upsbot_surface->height, upsbot->height);
    destroy_image(upsbot);
    EXPECT_EQ(warper_surface->width, WARPER_WIDTH);
    EXPECT_EQ(warper_surface->height, WARPER_HEIGHT);

    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(shared_matrix->m[i], i % 5 == 0 ? 1.0 : 0.0) << i;

    // The first ball's texture: blam1 over black in its first 8192 words, zeros after them.
    Surface* canvas = create_surface(128, 64, 32);
    clear_surface(canvas);
    Image* blam1 = load_acg_file("./data/blam1.acg");
    ASSERT_NE(blam1, nullptr);
    draw_image(canvas, blam1, 0, 0);
    for (int i = 0; i < BALL_COUNT; ++i) {
        EXPECT_EQ(balls[i].texture_width, 128);
        EXPECT_EQ(balls[i].texture_height, 64);
    }
    int nonzero = 0;
    for (int i = 0; i < 8192; ++i) {
        ASSERT_EQ(balls[0].texture[i], surface_row32(canvas, i / 128)[i % 128]) << i;
        nonzero += balls[0].texture[i] != 0;
    }
    EXPECT_GT(nonzero, 1000);
    for (int i = 8192; i < BALL_TEXTURE_WORDS; ++i)
        ASSERT_EQ(balls[0].texture[i], 0u) << i;
    EXPECT_NE(std::memcmp(balls[1].texture, balls[0].texture, 8192 * 4), 0);
    destroy_surface(canvas);
    destroy_image(blam1);

    EXPECT_EQ(flash_light->intensity, 0.0);
    EXPECT_EQ(swarm_particles[PARTICLE_COUNT - 1].colour, PARTICLE_START_COLOUR);
    EXPECT_NE(depth_buffer, nullptr);

    release_demo_data();
    EXPECT_EQ(ring_table, nullptr);
    EXPECT_EQ(bump_heights, nullptr);
    EXPECT_EQ(bump_u, nullptr);
}

TEST_F(DemoData, MissingFilesFailInOrder)
{
    // Without the bump map nothing else is read: no picture is loaded.
    fs::remove(data("bump.raw"));
    EXPECT_EQ(setup_demo_data(), 0);
    EXPECT_EQ(ringface_picture, nullptr);
    folder->copy_from_build({ "bump.raw" });

    // Without crd2 the pictures before it are loaded and those after it are not.
    forget_demo_data();
    fs::remove(data("crd2.acg"));
    EXPECT_EQ(setup_demo_data(), 0);
    EXPECT_NE(crd1_picture, nullptr);
    EXPECT_EQ(bricks_picture, nullptr);
}

TEST_F(DemoData, ShortBumpMapLoadsWithZerosAfterIt)
{
    std::vector<uint8_t> bump = read_file(data("bump.raw"));
    bump.resize(1000);
    bump[999] = 77;
    write_file(data("bump.raw"), bump);
    ASSERT_EQ(setup_demo_data(), 1);
    EXPECT_EQ(std::memcmp(bump_heights, bump.data(), 1000), 0);
    for (int i = 1000; i < 76800; ++i)
        ASSERT_EQ(bump_heights[i], 0) << i;
}

TEST_F(DemoData, FailingLastLoaderFailsSetUp)
{
    // Every file is read and every earlier loader has run, yet the depth buffer's failure counts.
    SceneLoader saved = scene_loaders[SCENE_LOADER_COUNT - 1];
    scene_loaders[SCENE_LOADER_COUNT - 1] = [] { return 0; };
    EXPECT_EQ(setup_demo_data(), 0);
    scene_loaders[SCENE_LOADER_COUNT - 1] = saved;
    EXPECT_NE(run_surface, nullptr);
    EXPECT_EQ(swarm_particles[0].colour, PARTICLE_START_COLOUR);
}

} // namespace
