// bench_scenes_effects.cpp -- frame times of the rings scene (0/1) and the field-lines scene (2).
//
// Each iteration draws one frame as the scene does after its tick wait. The counters give the
// median and 99th percentile of the per-frame CPU time over the run, in milliseconds. The rings
// scene uses the generated pictures and bump map from the build's data/ when it finds them.
#include <benchmark/benchmark.h>

#include "bench/scene_bench.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "display/demo_rand.h"
#include "display/surface.h"
#include "gfx2d/tables.h"
#include "scenes/scene01_rings.h"
#include "scenes/scene2_field_lines.h"

namespace {

constexpr int PIXELS = 320 * 240;

// 400 ticks of the scene, one per frame: positions 2 and 3 with the rows running through a
// pattern every 192 ticks, and a noise burst from tick 250 (so about a third of the frames
// carry noise, as in a run with one sync number 1).
void BM_RingsSceneFrame(benchmark::State& state)
{
    const std::string dir = find_data_dir("bump.raw");
    std::vector<uint8_t> heights(PIXELS, 0);
    Image* ringface = nullptr;
    Image* bottle = nullptr;
    if (!dir.empty()) {
        if (FILE* f = std::fopen((dir + "/bump.raw").c_str(), "rb")) {
            const size_t got = std::fread(heights.data(), 1, heights.size(), f);
            (void)got; // a short file leaves the rest flat
            std::fclose(f);
        }
        ringface = load_acg_file((dir + "/ringface.acg").c_str());
        bottle = load_acg_file((dir + "/bottle.acg").c_str());
    }
    if (!ringface || !bottle) {
        state.SkipWithError("generated data not found (build the data set first)");
        return;
    }
    std::vector<uint16_t> u(PIXELS), v(PIXELS);
    make_bump_tables(heights.data(), u.data(), v.data(), 1);
    Surface* frame = create_surface(320, 240, 32);
    Surface* rings_surface = create_surface(320, 240, 32);
    Surface* refracted = create_surface(320, 240, 32);
    Ring records[RING_COUNT];
    Ring* pointers[RING_COUNT];
    uint32_t colours[RING_COUNT];
    for (int j = 0; j < RING_COUNT; ++j)
        pointers[j] = &records[j];
    reset_rings(pointers, colours);
    RingsFrame f { pointers, colours, u.data(), v.data(), bottle, ringface, frame, rings_surface, refracted };
    RingsRun run {};
    demo_srand(1);
    std::vector<double> times;
    int tick = 0;
    for (auto _ : state) {
        const uint32_t position = 2 + uint32_t(tick / 192) % 2;
        const uint32_t row = uint32_t(tick / 3) % 64;
        if (tick == 250) {
            run.noise_on = 1;
            run.noise_amplitude = NOISE_START_AMPLITUDE;
        }
        const double start = thread_ms();
        run.ring_count = ring_count_for_song(position, row, run.ring_count);
        run.smear = smear_for_row(row);
        std::memset(rings_surface->pixels, 0, PIXELS * sizeof(uint32_t));
        advance_rings_tick(&run, pointers, colours);
        draw_rings_frame(&run, &f);
        benchmark::ClobberMemory();
        times.push_back(thread_ms() - start);
        if (++tick == 400) {
            tick = 0;
            reset_rings(pointers, colours);
            run = RingsRun {};
        }
    }
    report(state, &times);
    destroy_surface(frame);
    destroy_surface(rings_surface);
    destroy_surface(refracted);
    destroy_image(ringface);
    destroy_image(bottle);
}
BENCHMARK(BM_RingsSceneFrame)->Unit(benchmark::kMillisecond)->Iterations(2000);

void BM_FieldLinesSceneFrame(benchmark::State& state)
{
    std::vector<uint32_t> lines(PIXELS), frame(PIXELS);
    demo_srand(1);
    std::vector<double> times;
    for (auto _ : state) {
        const double start = thread_ms();
        draw_field_lines_frame(lines.data(), frame.data());
        benchmark::ClobberMemory();
        times.push_back(thread_ms() - start);
    }
    report(state, &times);
}
BENCHMARK(BM_FieldLinesSceneFrame)->Unit(benchmark::kMillisecond)->Iterations(2000);

// The parts of the field-lines frame on their own.
void BM_BlurInPlace(benchmark::State& state)
{
    std::vector<uint32_t> p(PIXELS);
    for (int i = 0; i < PIXELS; ++i)
        p[i] = (i % 7 == 0) ? 0xFFFFFFFFu : 0u;
    for (auto _ : state) {
        blur_in_place(p.data(), p.data(), PIXELS);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BlurInPlace)->Unit(benchmark::kMicrosecond);

void BM_ChromaticSpread(benchmark::State& state)
{
    std::vector<uint32_t> src(PIXELS, 0x00808080u), dst(PIXELS);
    for (auto _ : state) {
        chromatic_spread(src.data(), dst.data(), 2);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ChromaticSpread)->Unit(benchmark::kMicrosecond);

} // namespace
