// bench_present.cpp -- time present() of a 320x240 frame into every display format.
#include <benchmark/benchmark.h>

#include "display/demo_rand.h"
#include "display/present.h"
#include "display/surface.h"

namespace {

struct Format {
    int bits;
    uint32_t r, g, b;
    bool dither;
};

void run_present(benchmark::State& state, Format f)
{
    Surface* frame = create_surface(320, 240, 32);
    Surface* target = create_surface(320, 240, f.bits);
    if (f.r | f.g | f.b)
        set_pixel_format(target, f.r, f.g, f.b);
    set_surface_flags(frame, f.dither ? SURFACE_DITHER : 0);
    demo_srand(7);
    auto* px = reinterpret_cast<uint32_t*>(frame->pixels);
    for (int i = 0; i < 320 * 240; ++i)
        px[i] = uint32_t(demo_rand()) << 9 ^ uint32_t(demo_rand());
    for (auto _ : state) {
        present(frame, target);
        benchmark::DoNotOptimize(target->pixels);
        benchmark::ClobberMemory();
    }
    state.counters["pixel"] = benchmark::Counter(320.0 * 240.0,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    destroy_surface(target);
    destroy_surface(frame);
}

} // namespace

BENCHMARK_CAPTURE(run_present, straight32, Format { 32, 0, 0, 0, true });
BENCHMARK_CAPTURE(run_present, swapped32, Format { 32, 0x0000FF, 0x00FF00, 0xFF0000, true });
BENCHMARK_CAPTURE(run_present, bgr24, Format { 24, 0, 0, 0, true });
BENCHMARK_CAPTURE(run_present, rgb565_plain, Format { 16, 0, 0, 0, false });
BENCHMARK_CAPTURE(run_present, rgb565_dither, Format { 16, 0, 0, 0, true });
BENCHMARK_CAPTURE(run_present, rgb555_dither, Format { 16, 0x7C00, 0x03E0, 0x001F, true });
BENCHMARK_CAPTURE(run_present, rgb332_dither, Format { 8, 0, 0, 0, true });
