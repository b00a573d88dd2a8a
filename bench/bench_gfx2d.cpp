// bench_gfx2d.cpp -- per-pixel cost of picture drawing, the scaled blit, cross-fade and the warps.
#include <benchmark/benchmark.h>

#include <vector>

#include "gfx2d/blit.h"
#include "gfx2d/image.h"
#include "gfx2d/tables.h"
#include "tools/formats/acg_writer.h"

namespace {

uint32_t mix(uint32_t v)
{
    v ^= v >> 15;
    v *= 0x2C1B3C6Du;
    v ^= v >> 12;
    return v;
}

// A full-screen picture of one kind of run: 0 opaque literal, 1 opaque fills, 2 blended
// literal, 3 blended fills, 4 mixed bands.
Image* make_picture(int kind)
{
    std::vector<uint32_t> px(320 * 240);
    for (int i = 0; i < 320 * 240; ++i) {
        const int k = kind == 4 ? (i / 320 / 8) % 4 : kind;
        const uint32_t noise = mix(uint32_t(i)) & 0x3F3F3F;
        const uint32_t flat = 0x204060u + uint32_t(i / 320 / 8);
        switch (k) {
        case 0:
            px[size_t(i)] = 0xFF000000u | noise;
            break;
        case 1:
            px[size_t(i)] = 0xFF000000u | flat;
            break;
        case 2:
            px[size_t(i)] = 0x40000000u | noise;
            break;
        default:
            px[size_t(i)] = 0x40000000u | (flat & 0x3F3F3F);
            break;
        }
    }
    std::vector<uint8_t> file;
    encode_acg(px.data(), 320, 240, &file);
    return load_acg_memory(file.data(), file.size());
}

void BM_draw_image(benchmark::State& state)
{
    Image* image = make_picture(int(state.range(0)));
    Surface* s = create_surface(320, 240, 32);
    for (auto _ : state) {
        draw_image(s, image, 0, 0);
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_pixel"] = benchmark::Counter(
        double(state.iterations()) * 76800, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    destroy_surface(s);
    destroy_image(image);
}
BENCHMARK(BM_draw_image)->ArgName("kind")->DenseRange(0, 4);

void BM_draw_surface_scaled_2x(benchmark::State& state)
{
    Surface* src = create_surface(160, 120, 32);
    Surface* dst = create_surface(320, 240, 32);
    for (int i = 0; i < 160 * 120; ++i)
        reinterpret_cast<uint32_t*>(src->pixels)[i] = mix(uint32_t(i)) & 0xFFFFFF;
    for (auto _ : state) {
        draw_surface_scaled(dst, src, 0, 0, 512, 512);
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_pixel"] = benchmark::Counter(
        double(state.iterations()) * 76800, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    destroy_surface(src);
    destroy_surface(dst);
}
BENCHMARK(BM_draw_surface_scaled_2x);

void BM_cross_fade(benchmark::State& state)
{
    std::vector<uint32_t> a(76800), b(76800);
    for (int i = 0; i < 76800; ++i)
        a[size_t(i)] = mix(uint32_t(i));
    int level = 0;
    for (auto _ : state) {
        cross_fade(a.data(), b.data(), level++);
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_pixel"] = benchmark::Counter(
        double(state.iterations()) * 76800, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_cross_fade);

void BM_warp(benchmark::State& state)
{
    const bool columns = state.range(0) != 0;
    std::vector<uint16_t> u(TABLE_SIZE), v(TABLE_SIZE);
    std::vector<uint32_t> src(320 * 480), dst(TABLE_SIZE);
    make_lens_tables(u.data(), v.data(), 1.4f, 5.0f, 7.0f, 320, 480);
    int a = -1000;
    for (auto _ : state) {
        if (columns)
            warp_screen_columns(a, 17, u.data(), v.data(), src.data(), dst.data(), 320, 240, 320);
        else
            warp_screen(a, 240, u.data(), v.data(), src.data(), dst.data(), 320, 480);
        a += 7;
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_pixel"] = benchmark::Counter(
        double(state.iterations()) * 76800, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_warp)->ArgName("columns")->Arg(0)->Arg(1);

} // namespace
