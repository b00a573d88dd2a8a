// scene_script.h -- test support for scene functions: a fake clock that plays a script of scene
// numbers and stalls, shared Surfaces, and a temporary data folder to run scenes in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "app/clock.h"
#include "app/demo.h"
#include "app/window.h"
#include "display/surface.h"

namespace scene_script {

struct Script {
    uint32_t now_ms = 0;
    uint32_t waits = 0; // sleep calls (one or more per wait_tick)
    std::vector<std::pair<uint32_t, uint32_t>> numbers; // (tick, scene number from that tick)
    std::vector<std::pair<uint32_t, uint32_t>> stalls; // (tick, extra ticks to jump from it)
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
};

} // namespace scene_script
