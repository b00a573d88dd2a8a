// fuzz_setup.cpp -- the whole data set-up, every loader in its order, from a data folder with one
// file patched, truncated or replaced; then a few frames of every scene on what it made.
//
// Input: file index, mode, offset (u32 LE), patch bytes. Mode bit 0 cuts the file after the patch,
// bit 1 replaces the whole file with the patch. Runs in a temporary copy of the build's data.
#include <cstdlib>

#include "../scene_script.h"
#include "../test_capture_child.h"
#include "app/demo_data.h"
#include "app/sequencer.h"
#include "display/bytes.h"
#include "scenes/globe.h"
#include "scenes/landscape.h"
#include "scenes/scene14_zoom.h"
#include "scenes/scene16_flames.h"
#include "scenes/scene8_running.h"
#include "scenes/scene_data.h"
#include "scenes/scene_table.h"

namespace {
namespace fs = std::filesystem;

// Frees each block with `free_one` and forgets it.
template <typename F, typename... T> void release(F free_one, T*&... blocks)
{
    (free_one(blocks), ...);
    ((blocks = nullptr), ...);
}
void free_block(void* block)
{
    std::free(block);
}

// Everything set-up makes (the falloff table and depth buffer are made once and kept).
void release_everything()
{
    release_demo_data();
    release(destroy_image, ringface_picture, bottle_picture, credits_picture, crd1_picture, crd2_picture,
        bricks_picture, title_picture, riptlt_picture, quenvask_picture, endtext_picture, greets_picture,
        dtitle_picture, dq_picture, da_picture, dlast_picture);
    for (Image*& face : face_set.faces)
        release(destroy_image, face);
    release(free_block, face_set.stream_a, face_set.stream_b, face_set.draw_a, face_set.draw_b, face_set.sizes,
        face_set.colours);
    release(destroy_surface, upsbot_surface, warper_surface, globe_surface_map, globe_clouds, globe_light_map,
        flame_surface, run_surface);
    release(free_mesh, bottle_mesh, footpath_mesh, box1_mesh, box2_mesh, road_mesh, conerow_mesh, chickcone_mesh,
        roadline_mesh);
    for (int i = 0; balls && i < BALL_COUNT; ++i)
        std::free(balls[i].texture);
    if (globe)
        std::free(globe->texture);
    if (landscape_field) {
        std::free(landscape_field->heights);
        destroy_surface(landscape_field->colour_map);
    }
    release(free_block, ring_colours, ribbons, twist_u, twist_v, lens_u, lens_v, shared_matrix, balls, flash_light,
        globe, globe_stars, flame_palette, run_palette, landscape_field);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The loaders read ./data/: work in the folder only for each run (the fuzzer's own paths are
    // relative to where it was started).
    static scene_script::TempDataFolder folder("fuzz_setup");
    static std::vector<std::string> originals;
    if (originals.empty()) {
        folder.copy_from_build(DATA_FILES);
        for (const std::string& name : DATA_FILES)
            originals.push_back(read_whole_file(folder.root / "data" / name));
        create_scene_table();
        fs::current_path(folder.previous);
    }
    if (size < 6)
        return 0;
    const size_t index = data[0] % DATA_FILES.size();
    const uint8_t mode = data[1];
    const std::string patch(reinterpret_cast<const char*>(data) + 6, size - 6);
    std::string file = patch;
    if (!(mode & 2)) {
        file = originals[index];
        const size_t at = file.empty() ? 0 : load_u32(data + 2) % (file.size() + 1);
        file.replace(at, patch.size(), patch);
        if (mode & 1)
            file.resize(at + patch.size());
    }
    fs::current_path(folder.root);
    const fs::path path = fs::path("data") / DATA_FILES[index];
    write_whole_file(path, file);
    // A few frames of every scene: the scripted clock sets quit at tick 4, and every scene returns on quit.
    const bool made = setup_demo_data();
    for (uint32_t scene = 0; made && scene < SCENE_COUNT; ++scene) {
        scene_script::begin(scene);
        scene_script::script.on_tick = [](uint32_t tick) {
            if (tick >= 4)
                set_quit_flag();
        };
        scene_function_for(scene)();
        scene_script::end();
    }
    release_everything();
    write_whole_file(path, originals[index]);
    fs::current_path(folder.previous);
    return 0;
}
