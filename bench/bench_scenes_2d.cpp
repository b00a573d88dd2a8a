// bench_scenes_2d.cpp -- frame times of the warped wall scene (3/4) and the landscape scene (13).
//
// Each iteration draws one frame as the scene does, one tick per frame, with the generated data
// from the build's data/ folder. The counters give the median and 99th percentile of the
// per-frame CPU time over the run, in milliseconds.
#include <benchmark/benchmark.h>

#include "bench/scene_bench.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "app/demo.h"
#include "display/present.h"
#include "gfx2d/tables.h"
#include "scenes/landscape.h"
#include "scenes/scene34_wall.h"

namespace {

void make_shared_surfaces()
{
    Surface** shared[] = { &frame_surface, &work_surface_1, &work_surface_2, &work_surface_3 };
    for (Surface** s : shared)
        if (!*s) {
            *s = create_surface(320, 240, 32);
            clear_surface(*s);
        }
}

int load_wall_data(const std::string& dir)
{
    auto load = [&](const char* name) { return load_acg_file((dir + "/" + name).c_str()); };
    credits_picture = load("credits.acg");
    crd1_picture = load("crd1.acg");
    crd2_picture = load("crd2.acg");
    bricks_picture = load("bricks.acg");
    title_picture = load("title.acg");
    Image* upsbot = load("upsbot.acg");
    if (!credits_picture || !crd1_picture || !crd2_picture || !bricks_picture || !title_picture || !upsbot)
        return 0;
    upsbot_surface = create_surface(upsbot->width, upsbot->height, 32);
    clear_surface(upsbot_surface);
    draw_image(upsbot_surface, upsbot, 0, 0);
    destroy_image(upsbot);
    ribbons = static_cast<Ribbon*>(std::calloc(RIBBON_COUNT, sizeof(Ribbon)));
    twist_u = static_cast<uint16_t*>(std::calloc(TABLE_SIZE, sizeof(uint16_t)));
    twist_v = static_cast<uint16_t*>(std::calloc(TABLE_SIZE, sizeof(uint16_t)));
    make_twist_tables(twist_u, twist_v, 2.5e-5f, 320, 240);
    return 1;
}

// 600 ticks through every phase: sway, rise at 100, captions from 150, closing at 250, the
// title dissolve from 500; then the run starts again.
uint32_t wall_cue_at(int tick)
{
    switch (tick) {
    case 100:
        return 240;
    case 150:
        return 241;
    case 220:
        return 243;
    case 250:
        return 4;
    case 500:
        return 245;
    default:
        return 3;
    }
}

void BM_WallSceneFrame(benchmark::State& state)
{
    const std::string dir = find_data_dir("vheight.raw");
    if (dir.empty() || !load_wall_data(dir)) {
        state.SkipWithError("generated data not found (build the data set first)");
        return;
    }
    make_shared_surfaces();
    reset_ribbons(ribbons);
    draw_image(work_surface_2, bricks_picture, 0, 0);
    WallState wall = WALL_START;
    std::vector<double> times;
    int tick = 0;
    for (auto _ : state) {
        const double start = thread_ms();
        take_wall_event(&wall, wall_cue_at(tick));
        draw_wall_layers(&wall);
        step_wall(&wall, ribbons);
        finish_wall_frame(&wall);
        benchmark::ClobberMemory();
        times.push_back(thread_ms() - start);
        if (++tick == 600) {
            tick = 0;
            reset_ribbons(ribbons);
            wall = WALL_START;
        }
    }
    report(state, &times);
}
BENCHMARK(BM_WallSceneFrame)->Unit(benchmark::kMillisecond)->Iterations(2000);

// 800 ticks: greetings scrolling for the first 581, the fade from tick 700.
void BM_LandscapeSceneFrame(benchmark::State& state)
{
    const std::string dir = find_data_dir("vheight.raw");
    if (dir.empty()) {
        state.SkipWithError("generated data not found (build the data set first)");
        return;
    }
    const std::string previous = std::filesystem::current_path();
    if (chdir((dir + "/..").c_str()) != 0 || !load_landscape()) {
        state.SkipWithError("landscape data did not load");
        return;
    }
    if (chdir(previous.c_str()) != 0)
        return;
    make_shared_surfaces();
    clear_surface(frame_surface);
    clear_surface(work_surface_1);
    LandscapeState landscape = LANDSCAPE_START;
    std::vector<double> times;
    int tick = 0;
    for (auto _ : state) {
        const double start = thread_ms();
        step_landscape(&landscape, tick >= 700 ? 255 : 13);
        draw_landscape_frame(&landscape, 1);
        benchmark::ClobberMemory();
        times.push_back(thread_ms() - start);
        if (++tick == 800) {
            tick = 0;
            landscape = LANDSCAPE_START;
        }
    }
    report(state, &times);
}
BENCHMARK(BM_LandscapeSceneFrame)->Unit(benchmark::kMillisecond)->Iterations(2000);

void BM_RenderLandscape(benchmark::State& state)
{
    if (!landscape_field) {
        state.SkipWithError("landscape data not loaded");
        return;
    }
    make_shared_surfaces();
    for (auto _ : state) {
        for (int y = 30; y < 210; ++y)
            std::fill_n(surface_row32(frame_surface, y), 320, LANDSCAPE_MARKER);
        render_landscape(frame_surface, landscape_field);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RenderLandscape)->Unit(benchmark::kMicrosecond);

} // namespace
