// content_maps.cpp -- bump map, fractal landscape and planet maps for the content generator.
#include "tools/content/content_maps.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double PI = 3.14159265358979323846;
}

bool make_bump_map(uint64_t seed, ContentRaw* out)
{
    const int w = 320, h = 240;
    out->name = "bump.raw";
    out->width = w;
    out->height = h;
    out->channels = 1;
    out->bytes.assign(size_t(w) * size_t(h), 0);
    Mask text;
    mask_init(&text, w, h);
    Font font;
    if (!font_open(&font, "DejaVuSans-Bold.ttf", 58))
        return false;
    int tw = text_width(&font, "morrowick", 0);
    text_to_mask(&font, "morrowick", 0, (w - tw) / 2, 140, &text);
    font_close(&font);
    mask_blur(&text, 4);
    const uint32_t noise_seed = seed_for(seed, 0xB0B0u);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            double v = 110 + 28 * fbm2(noise_seed, x / 50.0, y / 50.0, 4, 0.5, 0, 0);
            // Hexagonal field of domes, radius 17 on a 40-pixel lattice.
            double row = std::floor(y / 34.0);
            for (int dr = -1; dr <= 1; dr++) {
                double r = row + dr;
                double off = (int(r) & 1) ? 20 : 0;
                double cy = r * 34 + 17;
                double cxb = std::floor((x - off) / 40.0) * 40 + off + 20;
                for (int dc = -1; dc <= 1; dc++) {
                    double cx = cxb + dc * 40;
                    double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / 17.0;
                    if (d < 1)
                        v += 42 * std::pow(1 - d * d, 1.5);
                }
            }
            v += 70 * text.a[size_t(y) * size_t(w) + size_t(x)];
            out->bytes[size_t(y) * size_t(w) + size_t(x)] = uint8_t(std::clamp(int(std::lround(v)), 0, 255));
        }
    return true;
}

void make_landscape(uint64_t seed, ContentRaw* heights, ContentRaw* colours)
{
    const int n = LANDSCAPE_SIZE;
    heights->name = "vheight.raw";
    colours->name = "vcol.raw";
    heights->width = colours->width = n;
    heights->height = colours->height = n;
    heights->channels = 1;
    colours->channels = 3;
    std::vector<double> hf(size_t(n) * size_t(n));
    const uint32_t s1 = seed_for(seed, 0x1A4Du), s2 = seed_for(seed, 0x2B5Eu), s3 = seed_for(seed, 0x3C6Fu);
    // Base cells of 160 pixels, periods of 5 cells: the maps wrap seamlessly.
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            double u = x / 160.0, v = y / 160.0;
            double base = fbm2(s1, u, v, 6, 0.5, 5, 5);
            double ridge = 1 - std::fabs(fbm2(s2, u * 2, v * 2, 5, 0.5, 10, 10));
            double hgt = 0.42 + 0.9 * base + 0.35 * ridge * ridge * smoothstep(0.0, 0.3, base);
            hf[size_t(y) * size_t(n) + size_t(x)] = clamp01(hgt);
        }
    heights->bytes.resize(size_t(n) * size_t(n));
    colours->bytes.resize(size_t(n) * size_t(n) * 3);
    auto H = [&](int x, int y) {
        x = ((x % n) + n) % n;
        y = ((y % n) + n) % n;
        return hf[size_t(y) * size_t(n) + size_t(x)] * 230.0;
    };
    const RampStop land[] = {
        { 0.00, { 0.82, 0.74, 0.50 } }, // sand
        { 0.06, { 0.40, 0.62, 0.20 } }, // grass
        { 0.35, { 0.20, 0.45, 0.14 } }, // forest
        { 0.60, { 0.45, 0.38, 0.30 } }, // rock
        { 0.80, { 0.55, 0.52, 0.50 } },
        { 0.90, { 0.95, 0.96, 1.00 } }, // snow
        { 1.00, { 1.00, 1.00, 1.00 } },
    };
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++) {
            double hgt = H(x, y);
            double gx = (H(x + 1, y) - H(x - 1, y)) * 0.5, gy = (H(x, y + 1) - H(x, y - 1)) * 0.5;
            double slope = std::hypot(gx, gy);
            double grain = fbm2(s3, x / 8.0, y / 8.0, 3, 0.5, 100, 100);
            Rgb col;
            uint8_t stored;
            if (hgt < LANDSCAPE_WATER) {
                double depth = clamp01((LANDSCAPE_WATER - hgt) / 50.0);
                col = rgb_mix({ 0.15, 0.45, 0.6 }, { 0.02, 0.1, 0.3 }, depth);
                col = rgb_mix(col, { 0.5, 0.7, 0.8 }, 0.1 + 0.1 * grain);
                stored = LANDSCAPE_WATER;
            } else {
                double t = (hgt - LANDSCAPE_WATER) / (230.0 - LANDSCAPE_WATER) + grain * 0.05;
                col = ramp_eval(land, 7, t);
                // Steep ground shows bare rock.
                col = rgb_mix(col, { 0.38, 0.33, 0.28 }, smoothstep(2.2, 4.5, slope) * (t < 0.85 ? 1 : 0.3));
                double lam = std::clamp(0.9 + (-gx * 0.7 - gy * 0.5) * 0.07, 0.45, 1.15);
                col = { clamp01(col.r * lam), clamp01(col.g * lam), clamp01(col.b * lam) };
                stored = uint8_t(std::clamp(int(std::lround(hgt)), 0, 255));
            }
            size_t i = size_t(y) * size_t(n) + size_t(x);
            heights->bytes[i] = stored;
            colours->bytes[i * 3 + 0] = uint8_t(std::lround(clamp01(col.r) * 255));
            colours->bytes[i * 3 + 1] = uint8_t(std::lround(clamp01(col.g) * 255));
            colours->bytes[i * 3 + 2] = uint8_t(std::lround(clamp01(col.b) * 255));
        }
}

void make_planet_maps(uint64_t seed, std::vector<ContentPicture>* out)
{
    const int w = 256, h = 153;
    Canvas world, clouds, light;
    canvas_init(&world, w, h);
    canvas_init(&clouds, w, h);
    canvas_init(&light, w, h);
    const uint32_t s_land = seed_for(seed, 0x7E77u), s_cloud = seed_for(seed, 0xC10Du);
    const RampStop sea[] = { { 0.0, { 0.02, 0.06, 0.25 } }, { 1.0, { 0.08, 0.35, 0.6 } } };
    const RampStop land[] = {
        { 0.00, { 0.75, 0.7, 0.45 } },
        { 0.08, { 0.25, 0.5, 0.15 } },
        { 0.40, { 0.45, 0.4, 0.2 } },
        { 0.70, { 0.5, 0.35, 0.25 } },
        { 1.00, { 0.9, 0.9, 0.9 } },
    };
    // The sun stands over longitude 45 degrees, a little north of the equator: the front
    // half of the map (the columns the globe shows) is lit on one side and dark on the other.
    const double sun_lon = 45 * PI / 180, sun_lat = 0.2;
    const double sx = std::cos(sun_lat) * std::cos(sun_lon), sy = std::sin(sun_lat),
                 sz = std::cos(sun_lat) * std::sin(sun_lon);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            double lat = (y + 0.5) / h * PI - PI / 2, lon = (x + 0.5) / w * 2 * PI;
            double px = std::cos(lat) * std::cos(lon), py = std::sin(lat), pz = std::cos(lat) * std::sin(lon);
            double e = fbm3(s_land, px * 1.7 + 5, py * 1.7, pz * 1.7, 6, 0.55);
            double ice = smoothstep(0.78, 0.9, std::fabs(py) + e * 0.2);
            Rgb col = e < -0.03 ? ramp_eval(sea, 2, clamp01((e + 0.5) / 0.47))
                                : ramp_eval(land, 5, clamp01((e + 0.03) * 2.2));
            col = rgb_mix(col, { 0.92, 0.95, 1.0 }, ice);
            canvas_blend(&world, x, y, col, 1);

            double swirl = fbm3(s_cloud + 1, px * 1.2, py * 3, pz * 1.2, 3, 0.5);
            double cl = fbm3(s_cloud, px * 2.5 + swirl, py * 5.0, pz * 2.5 - swirl, 5, 0.55);
            double cover = smoothstep(-0.06, 0.22, cl) * 0.95;
            canvas_blend(&clouds, x, y, rgb_mix({ 0.75, 0.78, 0.85 }, { 1, 1, 1 }, cover), cover);

            double lit = px * sx + py * sy + pz * sz;
            double night = smoothstep(0.15, -0.2, lit) * 0.88;
            if (night > 0)
                canvas_blend(&light, x, y, { 0.01, 0.015, 0.06 }, night);
            double glint = std::exp(-(1 - lit) / 0.02) * 0.45;
            if (glint > 0.002)
                canvas_add_light(&light, x, y, { 1.0, 0.95, 0.85 }, glint);
        }
    out->push_back(picture_from_canvas("world.acg", &world));
    out->push_back(picture_from_canvas("clouds.acg", &clouds));
    out->push_back(picture_from_canvas("light.acg", &light));
}
