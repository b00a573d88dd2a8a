// fuzz_setup.cpp -- the whole data set-up, every loader in its order, from a data folder with one
// file patched, truncated or replaced; then a few frames of every scene on what it made.
//
// Input: file index, mode, offset (u32 LE), patch bytes. Mode bit 0 cuts the file after the patch,
// bit 1 replaces the whole file with the patch. Runs in a temporary copy of the build's data.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/clock.h"
#include "app/demo.h"
#include "app/demo_data.h"
#include "app/sequencer.h"
#include "app/window.h"
#include "display/bytes.h"
#include "display/surface.h"
#include "render3d/mesh.h"
#include "scenes/globe.h"
#include "scenes/landscape.h"
#include "scenes/scene14_zoom.h"
#include "scenes/scene16_flames.h"
#include "scenes/scene8_running.h"
#include "scenes/scene_data.h"
#include "scenes/scene_table.h"

namespace {
namespace fs = std::filesystem;

const char* const FILES[] = { "bump.raw", "ringface.acg", "bottle.acg", "credits.acg", "crd1.acg", "crd2.acg",
    "bricks.acg", "upsbot.acg", "title.acg", "warper.acg", "bottlemosh.ma", "blam1.acg", "blam2.acg", "blam3.acg",
    "footpath.ma", "box1.ma", "box2.ma", "road.ma", "conerow.ma", "chickcone.ma", "roadline.ma", "face1.acg",
    "face2.acg", "face3.acg", "world.acg", "clouds.acg", "light.acg", "riptlt.acg", "quenvask.acg", "endtext1.acg",
    "boxflame.pal", "vheight.raw", "vcol.raw", "greets.acg", "run.pal", "dtitle.acg", "dq.acg", "da.acg", "dlast.acg",
    "boxflame.rlm", "run.rlm" };
constexpr size_t FILE_COUNT = sizeof FILES / sizeof FILES[0];

std::vector<std::vector<uint8_t>> originals;
fs::path data_root; // the temporary folder holding data/
WindowRecord record;
uint32_t fake_now = 0;
uint32_t end_tick = 0;

uint32_t now(void*)
{
    return fake_now;
}
void advance(uint32_t ms)
{
    fake_now += ms;
    if ((fake_now >> 5) >= end_tick)
        set_quit_flag(); // every scene returns on quit
}
void sleep_ms(void*, uint32_t ms)
{
    advance(ms);
}
void spin(void*)
{
    advance(1);
}

void write_file(const fs::path& path, const uint8_t* data, size_t size)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

void prepare_folder()
{
    const fs::path root = fs::temp_directory_path() / ("mw_fuzz_setup_" + std::to_string(getpid()));
    data_root = root;
    fs::create_directories(root / "data");
    for (const char* name : FILES) {
        std::ifstream in(fs::path(MW_BINARY_DIR) / "data" / name, std::ios::binary);
        originals.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        write_file(root / "data" / name, originals.back().data(), originals.back().size());
    }
    create_scene_table();
    screen_width = 320;
    screen_height = 240;
    Surface** shared[] = { &frame_surface, &work_surface_1, &work_surface_2, &work_surface_3 };
    for (Surface** s : shared)
        *s = create_surface(320, 240, 32);
}

template <typename T> void release(T*& p)
{
    std::free(p);
    p = nullptr;
}
void release_image(Image*& image)
{
    destroy_image(image);
    image = nullptr;
}
void release_surface(Surface*& surface)
{
    destroy_surface(surface);
    surface = nullptr;
}
void release_mesh(Mesh*& mesh)
{
    free_mesh(mesh);
    mesh = nullptr;
}

// Everything set-up makes (the falloff table and depth buffer are made once and kept).
void release_everything()
{
    release_demo_data();
    release(ring_colours);
    for (Image** image : { &ringface_picture, &bottle_picture, &credits_picture, &crd1_picture, &crd2_picture,
             &bricks_picture, &title_picture, &riptlt_picture, &quenvask_picture, &endtext_picture, &greets_picture,
             &dtitle_picture, &dq_picture, &da_picture, &dlast_picture })
        release_image(*image);
    for (Image*& face : face_set.faces)
        release_image(face);
    release(face_set.stream_a);
    release(face_set.stream_b);
    release(face_set.draw_a);
    release(face_set.draw_b);
    release(face_set.sizes);
    release(face_set.colours);
    for (Surface** surface : { &upsbot_surface, &warper_surface, &globe_surface_map, &globe_clouds, &globe_light_map,
             &flame_surface, &run_surface })
        release_surface(*surface);
    for (Mesh** mesh : { &bottle_mesh, &footpath_mesh, &box1_mesh, &box2_mesh, &road_mesh, &conerow_mesh,
             &chickcone_mesh, &roadline_mesh })
        release_mesh(*mesh);
    release(ribbons);
    release(twist_u);
    release(twist_v);
    release(lens_u);
    release(lens_v);
    release(shared_matrix);
    if (balls)
        for (int i = 0; i < BALL_COUNT; ++i)
            std::free(balls[i].texture);
    release(balls);
    release(flash_light);
    if (globe)
        std::free(globe->texture);
    release(globe);
    release(globe_stars);
    release(flame_palette);
    release(run_palette);
    if (landscape_field) {
        std::free(landscape_field->heights);
        destroy_surface(landscape_field->colour_map);
    }
    release(landscape_field);
}

// A few frames of every scene on the data just made.
void run_scenes()
{
    window_record = &record;
    set_demo_clock(DemoClock { now, sleep_ms, spin, nullptr });
    for (uint32_t scene = 0; scene < SCENE_COUNT; ++scene) {
        record = WindowRecord {};
        reset_tick_timer();
        end_tick = (fake_now >> 5) + 4;
        scene_number.store(scene, std::memory_order_relaxed);
        scene_function_for(scene)();
    }
    set_demo_clock(real_clock());
    window_record = nullptr;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (originals.empty())
        prepare_folder();
    if (size < 6)
        return 0;
    const size_t index = data[0] % FILE_COUNT;
    const uint8_t mode = data[1];
    const uint32_t offset = load_u32(data + 2);
    const uint8_t* patch = data + 6;
    const size_t patch_size = size - 6;
    std::vector<uint8_t> file;
    if (mode & 2) {
        file.assign(patch, patch + patch_size);
    } else {
        file = originals[index];
        const size_t at = file.empty() ? 0 : offset % (file.size() + 1);
        if (at + patch_size > file.size())
            file.resize(at + patch_size);
        std::memcpy(file.data() + at, patch, patch_size);
        if (mode & 1)
            file.resize(at + patch_size);
    }
    // The loaders read ./data/: work in the folder only for this run (the fuzzer's own paths
    // are relative to where it was started).
    const fs::path previous = fs::current_path();
    fs::current_path(data_root);
    const fs::path path = fs::path("data") / FILES[index];
    write_file(path, file.data(), file.size());
    if (setup_demo_data())
        run_scenes();
    release_everything();
    write_file(path, originals[index].data(), originals[index].size());
    fs::current_path(previous);
    return 0;
}
