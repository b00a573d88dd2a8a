// bench_scenes_space.cpp -- frame times of the globe (9), shells (10) and swarm (11) scenes.
//
// Each iteration draws one frame as the scene does after its tick wait, one tick per frame,
// with the generated data set from the build's data/. The counters give the median and 99th
// percentile of the per-frame CPU time over the run, in milliseconds.
#include <benchmark/benchmark.h>

#include "bench/scene_bench.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "app/demo.h"
#include "display/demo_rand.h"
#include "display/present.h"
#include "effects/stars.h"
#include "gfx2d/image.h"
#include "gfx2d/tables.h"
#include "scenes/globe.h"
#include "scenes/scene10_shells.h"
#include "scenes/scene11_swarm.h"
#include "scenes/scene_data.h"

namespace {

Matrix bench_matrix;
Ball bench_balls[BALL_COUNT];
FlashLight bench_flash;
std::vector<uint32_t> ball_textures[BALL_COUNT];

// The shared Surfaces and the records these scenes read, made as set-up makes them.
bool prepare()
{
    static int ready = -1;
    if (ready >= 0)
        return ready == 1;
    ready = 0;
    const std::string parent = find_data_parent("world.acg");
    if (parent.empty() || chdir(parent.c_str()) != 0)
        return false;
    frame_surface = create_surface(320, 240, 32);
    work_surface_1 = create_surface(320, 240, 32);
    work_surface_2 = create_surface(320, 240, 32);
    work_surface_3 = create_surface(320, 240, 32);
    shared_matrix = &bench_matrix;
    mat_identity(shared_matrix);
    demo_srand(1);
    if (!make_falloff_table() || !load_globe_assets())
        return false;
    static const char* const paths[BALL_COUNT] = { "./data/blam1.acg", "./data/blam2.acg", "./data/blam3.acg" };
    Surface* canvas = create_surface(BALL_TEXTURE_WIDTH, BALL_TEXTURE_HEIGHT, 32);
    for (int i = 0; i < BALL_COUNT; ++i) {
        Image* picture = load_acg_file(paths[i]);
        if (!picture)
            return false;
        clear_surface(canvas);
        draw_image(canvas, picture, 0, 0);
        destroy_image(picture);
        ball_textures[i].assign(BALL_TEXTURE_WORDS, 0u);
        for (int y = 0; y < BALL_TEXTURE_HEIGHT; ++y)
            std::memcpy(ball_textures[i].data() + y * BALL_TEXTURE_WIDTH, surface_row32(canvas, y),
                BALL_TEXTURE_WIDTH * sizeof(uint32_t));
        bench_balls[i] = Ball {};
        bench_balls[i].texture = ball_textures[i].data();
        bench_balls[i].texture_width = BALL_TEXTURE_WIDTH;
        bench_balls[i].texture_height = BALL_TEXTURE_HEIGHT;
    }
    destroy_surface(canvas);
    balls = bench_balls;
    flash_light = &bench_flash;
    make_particle_starts(swarm_particles, PARTICLE_COUNT);
    ready = 1;
    return true;
}

// Runs `frames_per_run` frames from the scene's entry, over and over.
template <typename Start, typename Frame>
void run_scene(benchmark::State& state, int frames_per_run, Start start, Frame frame)
{
    if (!prepare()) {
        state.SkipWithError("generated data not found (build the data set first)");
        return;
    }
    std::vector<double> times;
    int n = 0;
    start();
    for (auto _ : state) {
        const double begin = thread_ms();
        frame();
        benchmark::ClobberMemory();
        times.push_back(thread_ms() - begin);
        if (++n == frames_per_run) {
            n = 0;
            start();
        }
    }
    report(state, &times);
}

void BM_GlobeSceneFrame(benchmark::State& state)
{
    GlobeRun run;
    run_scene(
        state, 400, [&] { start_globe_run(&run); }, [&] { globe_frame(&run, 1); });
}
BENCHMARK(BM_GlobeSceneFrame)->Unit(benchmark::kMillisecond)->Iterations(1200);

void BM_ShellsSceneFrame(benchmark::State& state)
{
    ShellsRun run;
    run_scene(
        state, 400,
        [&] {
            leave_globe_scene(); // the stars as the background
            start_shells_run(&run);
        },
        [&] { shells_frame(&run, 1); });
}
BENCHMARK(BM_ShellsSceneFrame)->Unit(benchmark::kMillisecond)->Iterations(1200);

// A whole swarm run: whiten, sparks, spiral, ring and beyond (700 frames), from the start values.
void BM_SwarmSceneFrame(benchmark::State& state)
{
    SwarmRun run;
    run_scene(
        state, 700,
        [&] {
            demo_srand(1);
            make_particle_starts(swarm_particles, PARTICLE_COUNT);
            swarm_phase = 0;
            run = SwarmRun {};
        },
        [&] { swarm_frame(&run, 1); });
}
BENCHMARK(BM_SwarmSceneFrame)->Unit(benchmark::kMillisecond)->Iterations(1400);

} // namespace
