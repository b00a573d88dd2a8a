// make_icon -- draws the program's icon with the demo's own light primitives: make_icon OUT_DIR
// writes OUT_DIR/morrowick_N.png for N = 48, 128, 256 (RGBA, a rounded square of glowing rings).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "display/surface.h"
#include "effects/light.h"
#include "tools/formats/png_io.h"

namespace {

// Coverage of the rounded square (corner radius r) at the pixel centre (x, y) of an n by n
// image: 1 inside, 0 outside, a one-pixel ramp at the edge.
double rounded_square_cover(int n, double r, int x, int y)
{
    const double px = x + 0.5, py = y + 0.5;
    const double cx = std::clamp(px, r, n - r), cy = std::clamp(py, r, n - r);
    const double outside = std::hypot(px - cx, py - cy) - r;
    return std::clamp(0.5 - outside, 0.0, 1.0);
}

bool write_icon(int n, const std::string& path)
{
    Surface* s = create_surface(n, n, 32);
    if (!s)
        return false;
    // A deep violet ground, darker towards the bottom.
    for (int y = 0; y < n; ++y) {
        uint32_t* row = surface_row32(s, y);
        const int shade = 40 - 28 * y / n;
        for (int x = 0; x < n; ++x)
            row[x] = uint32_t(shade / 2) << 16 | uint32_t(shade / 4) << 8 | uint32_t(shade);
    }
    const float k = float(n) / 256.0f, c = float(n) / 2.0f;
    draw_glow(s, c, c, 18.0f * k, 200.0f, 0xFF6020C0);
    draw_ring(s, c, c, 92.0f * k, 10.0f * k, 0xFFE0409E);
    draw_ring(s, c, c, 62.0f * k, 8.0f * k, 0xFFFF9A30);
    draw_ring(s, c, c, 34.0f * k, 6.0f * k, 0xFFFFE070);
    draw_soft_disc(s, c, c, 22.0f * k, 0xFFFFFFE0);

    std::vector<uint8_t> rgba(size_t(n) * size_t(n) * 4);
    for (int y = 0; y < n; ++y) {
        const uint32_t* row = surface_row32(s, y);
        for (int x = 0; x < n; ++x) {
            uint8_t* p = &rgba[(size_t(y) * size_t(n) + size_t(x)) * 4];
            p[0] = uint8_t(row[x] >> 16);
            p[1] = uint8_t(row[x] >> 8);
            p[2] = uint8_t(row[x]);
            p[3] = uint8_t(std::lround(255.0 * rounded_square_cover(n, n / 6.0, x, y)));
        }
    }
    destroy_surface(s);
    return write_png_rgba(path, n, n, rgba.data());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUT_DIR\n");
        return 2;
    }
    for (int n : { 48, 128, 256 }) {
        const std::string path = std::string(argv[1]) + "/morrowick_" + std::to_string(n) + ".png";
        if (!write_icon(n, path)) {
            std::fprintf(stderr, "make_icon: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
