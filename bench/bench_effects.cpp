// bench_effects.cpp -- light primitives per visited pixel and the 1500-star field per frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

#include "display/demo_rand.h"
#include "display/surface.h"
#include "effects/light.h"
#include "effects/stars.h"

namespace {

Surface* make_surface()
{
    Surface* s = create_surface(320, 240, 32);
    std::memset(s->pixels, 0, 320 * 240 * 4);
    return s;
}

// Visited pixels are about the bounding square of the shape's rows and spans; the counter
// reports time per pixel of (2R + 1)².
void BM_SoftDisc(benchmark::State& state)
{
    Surface* s = make_surface();
    const float r = float(state.range(0));
    for (auto _ : state) {
        draw_soft_disc(s, 160.3f, 120.6f, r, 0x40FFC080u);
        benchmark::ClobberMemory();
    }
    const double side = 2 * r + 1;
    state.counters["px"] = benchmark::Counter(
        side * side * 0.785, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    destroy_surface(s);
}

void BM_Glow(benchmark::State& state)
{
    Surface* s = make_surface();
    for (auto _ : state) {
        draw_glow(s, 160.3f, 120.6f, 15, 20, 0x00806040u);
        benchmark::ClobberMemory();
    }
    const double side = 2 * std::sqrt(15.0 * 15.0 * 20.0) + 1;
    state.counters["px"] = benchmark::Counter(
        side * side * 0.785, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    destroy_surface(s);
}

void BM_Ring(benchmark::State& state)
{
    Surface* s = make_surface();
    for (auto _ : state) {
        draw_ring(s, 160.3f, 120.6f, 30, 6, 0x00806040u);
        benchmark::ClobberMemory();
    }
    const double annulus = 3.14159265 * (36.0 * 36.0 - 24.0 * 24.0);
    state.counters["px"]
        = benchmark::Counter(annulus, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    destroy_surface(s);
}

void BM_Stars(benchmark::State& state)
{
    Surface* s = make_surface();
    demo_srand(1);
    StarField* field = create_star_field(1500);
    Matrix m;
    mat_identity(&m);
    Camera cam = {};
    cam.angle_y = 0.3;
    cam.angle_x = 0.1;
    mat_rotate(&m, &cam);
    for (auto _ : state) {
        transform_stars(field, &m);
        draw_stars(field, s);
        benchmark::ClobberMemory();
    }
    free_star_field(field);
    destroy_surface(s);
}

} // namespace

BENCHMARK(BM_SoftDisc)->Arg(2)->Arg(10)->Arg(40);
BENCHMARK(BM_Glow);
BENCHMARK(BM_Ring);
BENCHMARK(BM_Stars)->Unit(benchmark::kMicrosecond);
