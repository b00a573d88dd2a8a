// content_preview.cpp -- PNG review images of animations, meshes and raw maps.
#include "tools/content/content_preview.h"

#include "tools/formats/png_io.h"

#include <algorithm>
#include <cmath>
#include <vector>

bool preview_animation(const ContentAnimation* anim, const std::string& path)
{
    const int count = int(anim->frames.size());
    const int step = std::max(1, count / 8);
    const int shown = (count + step - 1) / step;
    const int w = ANIM_WIDTH * shown, h = ANIM_HEIGHT;
    std::vector<uint32_t> px(size_t(w) * size_t(h));
    for (int i = 0; i < shown; i++) {
        const std::vector<uint8_t>& f = anim->frames[size_t(i * step)];
        for (int y = 0; y < h; y++)
            for (int x = 0; x < ANIM_WIDTH; x++)
                px[size_t(y) * size_t(w) + size_t(i * ANIM_WIDTH + x)]
                    = anim->palette[f[size_t(y) * ANIM_WIDTH + size_t(x)]];
    }
    return write_png_xrgb(path, w, h, px.data(), w);
}

static void line(std::vector<uint32_t>* px, int w, int h, int x0, int y0, int x1, int y1, uint32_t colour)
{
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1, err = dx + dy;
    for (int guard = 0; guard < 4096; guard++) {
        if (x0 >= 0 && y0 >= 0 && x0 < w && y0 < h)
            (*px)[size_t(y0) * size_t(w) + size_t(x0)] = colour;
        if (x0 == x1 && y0 == y1)
            break;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

bool preview_mesh(const MaMesh* mesh, const std::string& path)
{
    const int cell = 240, keys = int(mesh->keyframes.size());
    const int w = cell * keys, h = cell;
    std::vector<uint32_t> px(size_t(w) * size_t(h), 0x101018);
    // Frame the first keyframe's bounding box.
    double lo[3] = { 1e30, 1e30, 1e30 }, hi[3] = { -1e30, -1e30, -1e30 };
    for (const MaVertex& v : mesh->keyframes[0].vertices) {
        const double c[3] = { v.x, v.y, v.z };
        for (int i = 0; i < 3; i++) {
            lo[i] = std::min(lo[i], c[i]);
            hi[i] = std::max(hi[i], c[i]);
        }
    }
    double centre[3] = { (lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2 };
    double size = std::max({ hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2], 1.0 });
    for (int k = 0; k < keys; k++) {
        const std::vector<MaVertex>& v = mesh->keyframes[size_t(k)].vertices;
        auto project = [&](const MaVertex& p, int* sx, int* sy) {
            // Turn 35 degrees about y, tilt 25 degrees down, look from 2 sizes away.
            double x = p.x - centre[0], y = p.y - centre[1], z = p.z - centre[2];
            double ca = std::cos(0.6), sa = std::sin(0.6), cb = std::cos(0.45), sb = std::sin(0.45);
            double x1 = x * ca - z * sa, z1 = x * sa + z * ca;
            double y2 = y * cb - z1 * sb, z2 = y * sb + z1 * cb;
            double d = z2 + size * 1.6;
            double f = cell * 0.9 / std::max(d, 1e-3) * size * 0.9 / size;
            *sx = k * cell + cell / 2 + int(x1 * f);
            *sy = cell / 2 - int(y2 * f);
        };
        for (const MaFace& f : mesh->faces) {
            int ax, ay, bx, by, cx, cy;
            project(v[f.a], &ax, &ay);
            project(v[f.b], &bx, &by);
            project(v[f.c], &cx, &cy);
            line(&px, w, h, ax, ay, bx, by, 0x80E0FF);
            line(&px, w, h, bx, by, cx, cy, 0x80E0FF);
            line(&px, w, h, cx, cy, ax, ay, 0x80E0FF);
        }
    }
    return write_png_xrgb(path, w, h, px.data(), w);
}

bool preview_raw(const uint8_t* bytes, int width, int height, int channels, const std::string& path)
{
    std::vector<uint32_t> px(size_t(width) * size_t(height));
    for (size_t i = 0; i < px.size(); i++) {
        if (channels == 1)
            px[i] = uint32_t(bytes[i]) * 0x010101u;
        else
            px[i] = (uint32_t(bytes[i * 3]) << 16) | (uint32_t(bytes[i * 3 + 1]) << 8) | bytes[i * 3 + 2];
    }
    return write_png_xrgb(path, width, height, px.data(), width);
}
