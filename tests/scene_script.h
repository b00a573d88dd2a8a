// scene_script.h -- test support for scene functions: a fake clock that plays a script of scene
// numbers and stalls, shared Surfaces, small meshes, pictures and animation streams made in memory, a camera
// reference for 3D scenes, and a temporary data folder to run scenes in.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "app/clock.h"
#include "app/demo.h"
#include "app/window.h"
#include "display/surface.h"
#include "gfx2d/anim.h"
#include "gfx2d/image.h"
#include "render3d/mesh.h"
#include "tools/formats/acg_writer.h"
#include "tools/formats/anim_writer.h"
#include "tools/formats/ma_writer.h"

namespace scene_script {

struct Script {
    uint32_t now_ms = 0;
    uint32_t waits = 0; // sleep calls (one or more per wait_tick)
    std::vector<std::pair<uint32_t, uint32_t>> numbers; // (tick, scene number from that tick)
    std::vector<std::pair<uint32_t, uint32_t>> stalls; // (tick, extra ticks to jump from it)
    void (*on_tick)(uint32_t tick) = nullptr; // called as each scripted change is applied
};
inline Script script;
inline WindowRecord record;

inline void advance(uint32_t ms)
{
    const uint32_t before = script.now_ms >> 5;
    script.now_ms += ms;
    for (const auto& [at, extra] : script.stalls)
        if (at > before && at <= (script.now_ms >> 5))
            script.now_ms += extra * 32;
    const uint32_t tick = script.now_ms >> 5;
    for (const auto& [at, number] : script.numbers)
        if (at > before && at <= tick)
            scene_number.store(number, std::memory_order_relaxed);
    if (script.on_tick && tick > before)
        script.on_tick(tick);
}
inline uint32_t now(void*)
{
    return script.now_ms;
}
inline void sleep(void*, uint32_t ms)
{
    ++script.waits;
    advance(ms);
}
inline void spin(void*)
{
    advance(1);
}
inline uint32_t tick()
{
    return script.now_ms >> 5;
}

// Installs the scripted clock at tick 0, a fresh window record (quit clear), the scene number,
// and the four shared Surfaces (cleared).
inline void begin(uint32_t first_scene)
{
    script = Script {};
    record = WindowRecord {};
    window_record = &record;
    set_demo_clock(DemoClock { now, sleep, spin, nullptr });
    reset_tick_timer();
    scene_number.store(first_scene, std::memory_order_relaxed);
    screen_width = 320;
    screen_height = 240;
    Surface** shared[] = { &frame_surface, &work_surface_1, &work_surface_2, &work_surface_3 };
    for (Surface** s : shared) {
        if (!*s)
            *s = create_surface(320, 240, 32);
        std::fill_n(reinterpret_cast<uint32_t*>((*s)->pixels), 320 * 240, 0x12345678u);
    }
}

inline void end()
{
    set_demo_clock(real_clock());
    window_record = nullptr;
}

inline uint32_t* pixels(Surface* s)
{
    return reinterpret_cast<uint32_t*>(s->pixels);
}

// Runs `scene` (a scene function) from the tick the clock is at, with these numbers and stalls.
inline void play(void (*scene)(), std::vector<std::pair<uint32_t, uint32_t>> numbers,
    std::vector<std::pair<uint32_t, uint32_t>> stalls = {})
{
    script.numbers = std::move(numbers);
    script.stalls = std::move(stalls);
    scene();
}

inline Mesh* mesh_of(const MaMesh& ma)
{
    std::vector<uint8_t> bytes;
    return encode_ma(&ma, &bytes) ? load_ma_bytes(bytes.data(), bytes.size()) : nullptr;
}

// One still triangle (its step count long enough to count steps with).
inline Mesh* triangle_mesh(MaVertex a, MaVertex b, MaVertex c, uint32_t steps = 1000)
{
    MaMesh ma;
    ma.keyframes.push_back(MaKeyframe { { a, b, c }, steps });
    ma.faces.push_back(MaFace { 0, 1, 2 });
    return mesh_of(ma);
}

// A width x height picture of one colour.
inline Image* solid_picture(int width, int height, uint32_t colour)
{
    std::vector<uint32_t> words(size_t(width) * height, colour);
    std::vector<uint8_t> bytes;
    return encode_acg(words.data(), width, height, &bytes) ? load_acg_memory(bytes.data(), bytes.size()) : nullptr;
}

inline void fill(Surface* s, uint32_t colour)
{
    std::fill_n(pixels(s), size_t(s->width) * s->height, colour);
}

// An animation stream of `frames` frames; frame k (1-based) is filled with palette index k.
inline std::vector<uint8_t> numbered_stream(int frames)
{
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> indices(RLM_FRAME_PIXELS);
    for (int k = 1; k <= frames; ++k) {
        std::fill(indices.begin(), indices.end(), uint8_t(k));
        encode_rlm_frame(indices.data(), RLM_FRAME_PIXELS, &bytes);
    }
    return bytes;
}

// Camera space as the 3D scenes describe their cameras: move the world point by the camera's
// offsets, turn it about y by the heading, then roll it about the view axis. Written out one
// rotation at a time, apart from the engine's matrices.
struct Point3 {
    double x, y, z;
};
inline Point3 to_camera(Point3 p, Point3 offset, double heading, double roll)
{
    p = { p.x + offset.x, p.y + offset.y, p.z + offset.z };
    const Point3 h = { p.x * std::cos(heading) - p.z * std::sin(heading), p.y,
        p.x * std::sin(heading) + p.z * std::cos(heading) };
    return { h.x * std::cos(roll) + h.y * std::sin(roll), h.y * std::cos(roll) - h.x * std::sin(roll), h.z };
}
// The heading that faces a target from a camera at these offsets (atan2 of the moved target).
inline double heading_to(Point3 target, Point3 offset)
{
    return std::atan2(target.x + offset.x, target.z + offset.z);
}

// A temporary folder with a data/ subfolder; the working directory moves into it while alive.
struct TempDataFolder {
    std::filesystem::path root;
    std::filesystem::path previous;

    explicit TempDataFolder(const std::string& tag)
    {
        previous = std::filesystem::current_path();
        root = std::filesystem::temp_directory_path() / ("mw_" + tag + "_" + std::to_string(getpid()));
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / "data");
        std::filesystem::current_path(root);
    }
    ~TempDataFolder()
    {
        std::error_code ignored;
        std::filesystem::current_path(previous, ignored);
        std::filesystem::remove_all(root, ignored);
    }
    // Copies these files from the build's generated data folder.
    void copy_from_build(const std::vector<std::string>& names) const
    {
        for (const std::string& name : names)
            std::filesystem::copy_file(std::filesystem::path(MW_BINARY_DIR) / "data" / name, root / "data" / name,
                std::filesystem::copy_options::overwrite_existing);
    }
    // Writes these bytes as data/<name>.
    void write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        std::ofstream(root / "data" / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
};

} // namespace scene_script
