// bench_render3d.cpp -- render_mesh of a 2000-face mesh, filled and outlined.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "display/surface.h"
#include "gfx2d/depth_buffer.h"
#include "render3d/mesh.h"
#include "render3d/triangle.h"

namespace {

// A 40 x 25 grid folded into a wavy sheet in front of the camera: 2000 faces.
struct Sheet {
    std::vector<Vec4> vertices;
    std::vector<Face> faces;
};

Sheet make_sheet()
{
    Sheet s;
    const int cols = 40, rows = 25;
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= cols; ++c)
            s.vertices.push_back(
                { (c - cols / 2) * 8.0, (r - rows / 2) * 8.0, 200 + 20 * std::sin(c * 0.3 + r * 0.2), 1 });
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const uint32_t a = r * (cols + 1) + c, b = a + 1, d = a + cols + 1, e = d + 1;
            s.faces.push_back({ d, b, a, 0 }); // file order a, b, d: clockwise on the screen
            s.faces.push_back({ d, e, b, 0 });
        }
    return s;
}

void render(benchmark::State& state, int outline)
{
    allocate_depth_buffer();
    Surface* surface = create_surface(320, 240, 32);
    std::memset(surface->pixels, 0, 320 * 240 * 4);
    const Sheet sheet = make_sheet();
    for (auto _ : state) {
        clear_depth();
        render_mesh(
            sheet.faces.data(), sheet.vertices.data(), uint32_t(sheet.faces.size()), surface, 0xFF00C000u, outline);
        benchmark::ClobberMemory();
    }
    state.counters["faces"] = double(sheet.faces.size());
    destroy_surface(surface);
}

void BM_RenderMeshFilled(benchmark::State& state)
{
    render(state, 0);
}
void BM_RenderMeshOutlined(benchmark::State& state)
{
    render(state, 1);
}

} // namespace

BENCHMARK(BM_RenderMeshFilled)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderMeshOutlined)->Unit(benchmark::kMicrosecond);
