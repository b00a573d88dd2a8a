// bench_scenes_3d.cpp -- frame times of the road drive (5), the bottle (6) and the twin glows (7).
//
// Each iteration is one frame as the scene draws it after a one-tick wait, with the generated
// meshes and pictures of the build's data/. The counters give the median and 99th percentile
// of the per-frame CPU time in milliseconds. The frames follow the song's course through each
// scene: the road's title fade, ordinary drive, slide cue and stop cue; the glows' faces.
#include <benchmark/benchmark.h>

#include "bench/scene_bench.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "app/demo.h"
#include "gfx2d/tables.h"
#include "render3d/mesh.h"
#include "scenes/scene5_road.h"
#include "scenes/scene6_bottle.h"
#include "scenes/scene7_glows.h"
#include "scenes/scene_data.h"

namespace {

// Loads what the three scenes read, as the demo's set-up does. False when the data is missing.
bool load_scene_data()
{
    static bool tried = false, loaded = false;
    if (tried)
        return loaded;
    tried = true;
    const std::string parent = find_data_parent("bottlemosh.ma");
    if (parent.empty() || chdir(parent.c_str()) != 0)
        return false;
    static Matrix matrix;
    mat_identity(&matrix);
    shared_matrix = &matrix;
    Image* warper = load_acg_file("./data/warper.acg");
    if (!load_road_set() || !(title_picture = load_acg_file("./data/title.acg"))
        || !(bottle_mesh = load_ma("./data/bottlemosh.ma")) || !warper || !load_faces(&face_set, FACE_PICTURE_PATHS)
        || !allocate_depth_buffer())
        return false;
    warper_surface = create_surface(WARPER_WIDTH, WARPER_HEIGHT, 32);
    frame_surface = create_surface(320, 240, 32);
    work_surface_1 = create_surface(320, 240, 32);
    if (!warper_surface || !frame_surface || !work_surface_1)
        return false;
    clear_surface(warper_surface);
    draw_image(warper_surface, warper, 0, 0);
    destroy_image(warper);
    static std::vector<uint16_t> u(TABLE_SIZE), v(TABLE_SIZE);
    make_lens_tables(u.data(), v.data(), 1.4f, 5.0f, 7.0f, WARPER_WIDTH, WARPER_HEIGHT);
    lens_u = u.data();
    lens_v = v.data();
    clear_surface(frame_surface);
    loaded = true;
    return true;
}

// 1440 frames as in the song: 720 ordinary (the first 255 fading in the title), 360 under the
// slide cue, 360 under the stop cue; then the run starts over.
void BM_RoadSceneFrame(benchmark::State& state)
{
    if (!load_scene_data()) {
        state.SkipWithError("generated data not found (build the data set first)");
        return;
    }
    RoadRun run;
    start_road_run(&run);
    std::vector<double> times;
    int frame = 0;
    for (auto _ : state) {
        scene_number.store(frame < 720 ? 5 : frame < 1080 ? ROAD_CUE_SLIDE : ROAD_CUE_STOP, std::memory_order_relaxed);
        const double start = thread_ms();
        road_frame(&run, 1);
        benchmark::ClobberMemory();
        times.push_back(thread_ms() - start);
        if (++frame == 1440) {
            frame = 0;
            start_road_run(&run);
        }
    }
    report(state, &times);
}
BENCHMARK(BM_RoadSceneFrame)->Unit(benchmark::kMillisecond)->Iterations(2880);

// A full circle of the camera and more.
void BM_BottleSceneFrame(benchmark::State& state)
{
    if (!load_scene_data()) {
        state.SkipWithError("generated data not found (build the data set first)");
        return;
    }
    BottleRun run;
    start_bottle_run(&run);
    std::vector<double> times;
    for (auto _ : state) {
        const double start = thread_ms();
        bottle_tick(&run);
        bottle_draw(&run);
        benchmark::ClobberMemory();
        times.push_back(thread_ms() - start);
    }
    report(state, &times);
}
BENCHMARK(BM_BottleSceneFrame)->Unit(benchmark::kMillisecond)->Iterations(1000);

// 480 frames: 120 without a face, then 120 with each face.
void BM_GlowSceneFrame(benchmark::State& state)
{
    if (!load_scene_data()) {
        state.SkipWithError("generated data not found (build the data set first)");
        return;
    }
    GlowRun run;
    start_glow_run(&run);
    std::vector<double> times;
    int frame = 0;
    for (auto _ : state) {
        const uint32_t number = frame < 120 ? 7 : uint32_t(GLOW_CUE_FACE1 + (frame - 120) / 120);
        const double start = thread_ms();
        glow_tick(&run, &face_set);
        glow_draw(&run, &face_set, number);
        benchmark::ClobberMemory();
        times.push_back(thread_ms() - start);
        frame = (frame + 1) % 480;
    }
    report(state, &times);
}
BENCHMARK(BM_GlowSceneFrame)->Unit(benchmark::kMillisecond)->Iterations(1920);

} // namespace
