// content_anims.cpp -- fire simulation and running-figure animation for the content generator.
#include "tools/content/content_anims.h"

#include "tools/content/content_common.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;

uint32_t pack(Rgb c)
{
    auto ch = [](double v) { return uint32_t(std::lround(clamp01(v) * 255)); };
    return (ch(c.r) << 16) | (ch(c.g) << 8) | ch(c.b);
}

// Fills palette entries first..last with a ramp.
void palette_ramp(uint32_t* palette, int first, int last, const RampStop* stops, int count)
{
    for (int i = first; i <= last; i++)
        palette[i] = pack(ramp_eval(stops, count, last > first ? double(i - first) / (last - first) : 0));
}

} // namespace

void make_fire(uint64_t seed, ContentAnimation* out)
{
    out->name = "boxflame.rlm";
    out->palette_name = "boxflame.pal";
    const RampStop ramp[] = {
        { 0.00, { 0.0, 0.0, 0.0 } },
        { 0.12, { 0.25, 0.0, 0.02 } },
        { 0.35, { 0.85, 0.1, 0.0 } },
        { 0.55, { 1.0, 0.5, 0.0 } },
        { 0.75, { 1.0, 0.9, 0.2 } },
        { 1.00, { 1.0, 1.0, 1.0 } },
    };
    palette_ramp(out->palette, 0, 255, ramp, 6);

    ContentRng rng;
    rng_seed(&rng, seed ^ 0xF1AEull);
    const int w = ANIM_WIDTH, h = ANIM_HEIGHT + 2; // two hidden fuel rows below the frame
    std::vector<int> heat(size_t(w) * size_t(h), 0), next(heat.size());
    auto at = [&](std::vector<int>& v, int x, int y) -> int& { return v[size_t(y) * size_t(w) + size_t(x)]; };
    out->frames.clear();
    for (int frame = 0; frame < FIRE_FRAMES; frame++) {
        // The fire catches over the first 30 frames.
        double strength = std::min(1.0, (frame + 4) / 34.0);
        for (int step = 0; step < 2; step++) {
            for (int x = 0; x < w; x++) {
                int fuel = rng_int(&rng, 100) < int(62 * strength) ? 255 : rng_int(&rng, 60);
                at(heat, x, h - 1) = fuel;
                at(heat, x, h - 2) = (at(heat, x, h - 2) + fuel) / 2;
            }
            // A glowing box outline in the lower middle keeps feeding the flames.
            for (int x = 50; x < 110; x++)
                for (int y : { 78, 79 })
                    if (rng_int(&rng, 100) < int(70 * strength))
                        at(heat, x, y) = std::max(at(heat, x, y), 200 + rng_int(&rng, 56));
            for (int y = 80; y < 110; y++)
                for (int x : { 50, 51, 108, 109 })
                    if (rng_int(&rng, 100) < int(60 * strength))
                        at(heat, x, y) = std::max(at(heat, x, y), 180 + rng_int(&rng, 76));
            for (int y = 0; y < h - 2; y++)
                for (int x = 0; x < w; x++) {
                    int l = at(heat, std::max(0, x - 1), y + 1), r = at(heat, std::min(w - 1, x + 1), y + 1);
                    int sum = l + at(heat, x, y + 1) + r + at(heat, x, y + 2);
                    int cool = 1 + (y < 40 ? 2 : 0);
                    at(next, x, y) = std::max(0, sum / 4 - cool);
                }
            for (int y = 0; y < h - 2; y++)
                for (int x = 0; x < w; x++)
                    at(heat, x, y) = at(next, x, y);
        }
        std::vector<uint8_t> idx(size_t(ANIM_WIDTH) * size_t(ANIM_HEIGHT));
        for (int y = 0; y < ANIM_HEIGHT; y++)
            for (int x = 0; x < w; x++)
                idx[size_t(y) * size_t(w) + size_t(x)] = uint8_t(std::min(255, at(heat, x, y)));
        out->frames.push_back(std::move(idx));
    }
}

void make_runner(uint64_t seed, ContentAnimation* out)
{
    out->name = "run.rlm";
    out->palette_name = "run.pal";
    // Palette layout: 0-95 sky, 96-159 road, 160-223 figure shading, 224-255 sun and glow.
    const RampStop sky[] = {
        { 0.0, { 0.05, 0.03, 0.18 } },
        { 0.6, { 0.55, 0.2, 0.45 } },
        { 1.0, { 1.0, 0.6, 0.35 } },
    };
    const RampStop road[] = { { 0.0, { 0.25, 0.12, 0.2 } }, { 1.0, { 0.05, 0.03, 0.08 } } };
    const RampStop body[]
        = { { 0.0, { 0.02, 0.02, 0.06 } }, { 0.6, { 0.1, 0.35, 0.75 } }, { 1.0, { 0.6, 0.95, 1.0 } } };
    const RampStop glow[] = { { 0.0, { 1.0, 0.55, 0.3 } }, { 1.0, { 1.0, 1.0, 0.85 } } };
    palette_ramp(out->palette, 0, 95, sky, 3);
    palette_ramp(out->palette, 96, 159, road, 2);
    palette_ramp(out->palette, 160, 223, body, 3);
    palette_ramp(out->palette, 224, 255, glow, 2);
    (void)seed;

    const int w = ANIM_WIDTH, h = ANIM_HEIGHT, horizon = 76;
    out->frames.clear();
    for (int f = 0; f < RUN_FRAMES; f++) {
        double phase = 2 * PI * f / RUN_FRAMES;
        std::vector<uint8_t> idx(size_t(w) * size_t(h));
        std::vector<double> shade(size_t(w) * size_t(h), -1); // figure shading 0..1, -1 empty
        // Sky with a setting sun; road with stripes rushing towards the viewer (3 stripes per loop).
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                uint8_t v;
                if (y < horizon) {
                    double d = std::hypot(x - 80.0, (y - horizon) * 1.3);
                    v = uint8_t(std::clamp(int(y * 95 / horizon), 0, 95));
                    if (d < 22)
                        v = uint8_t(224 + std::clamp(int((22 - d) * 2), 0, 31));
                } else {
                    double z = 40.0 / (y - horizon + 1); // distance of this road row
                    double stripe = std::fmod(z * 2 + 3.0 * f / RUN_FRAMES, 1.0);
                    int base = 96 + std::clamp(int((y - horizon) * 63 / (h - horizon)), 0, 63);
                    double lane = std::fabs(x - 80.0) / (y - horizon + 1);
                    if (lane < 0.08 && stripe < 0.5)
                        base = 224 + std::clamp(int(31 - z), 0, 31) / 2;
                    v = uint8_t(base);
                }
                idx[size_t(y) * size_t(w) + size_t(x)] = v;
            }
        // The figure: limbs as capsules drawn far side first, shaded by depth and a rim light.
        double bounce = -std::fabs(std::sin(phase)) * 4;
        double hipx = 80, hipy = 70 + bounce;
        double neckx = hipx + 4, necky = hipy - 26;
        auto capsule = [&](double x0, double y0, double x1, double y1, double r, double tone) {
            for (int y = std::max(0, int(std::min(y0, y1) - r - 1));
                 y <= std::min(h - 1, int(std::max(y0, y1) + r + 1)); y++)
                for (int x = std::max(0, int(std::min(x0, x1) - r - 1));
                     x <= std::min(w - 1, int(std::max(x0, x1) + r + 1)); x++) {
                    double dx = x1 - x0, dy = y1 - y0, l2 = dx * dx + dy * dy;
                    double px = x + 0.5 - x0, py = y + 0.5 - y0;
                    double t = l2 > 0 ? clamp01((px * dx + py * dy) / l2) : 0;
                    double ex = px - t * dx, ey = py - t * dy;
                    double d = std::hypot(ex, ey);
                    if (d > r)
                        continue;
                    double lit = clamp01(0.5 + 0.5 * (-ex - ey) / (r + 0.001)); // light from upper left
                    shade[size_t(y) * size_t(w) + size_t(x)] = tone * (0.45 + 0.55 * lit);
                }
        };
        auto limb = [&](double ax, double ay, double a1, double a2, double l1, double l2, double r, double tone) {
            double kx = ax + std::sin(a1) * l1, ky = ay + std::cos(a1) * l1;
            double ex = kx + std::sin(a1 + a2) * l2, ey = ky + std::cos(a1 + a2) * l2;
            capsule(ax, ay, kx, ky, r, tone);
            capsule(kx, ky, ex, ey, r * 0.85, tone);
            return std::pair<double, double>(ex, ey);
        };
        for (int side = 0; side < 2; side++) {
            double p = phase + side * PI;
            double tone = side == 0 ? 0.55 : 1.0; // far limbs darker
            auto leg = [&]() {
                double thigh = 0.75 * std::sin(p);
                double knee = -0.9 * std::max(0.0, std::sin(p + 1.4)) - 0.15;
                auto foot = limb(hipx, hipy, thigh, knee, 16, 16, 3.2, tone);
                capsule(foot.first, foot.second, foot.first + 5, foot.second + 0.5, 2.2, tone);
            };
            auto arm = [&]() {
                double upper = -0.8 * std::sin(p);
                double fore = 1.3 + 0.3 * std::sin(p);
                limb(neckx, necky + 3, upper, fore, 12, 11, 2.4, tone);
            };
            if (side == 0) {
                arm();
                leg();
            } else {
                leg();
                capsule(hipx, hipy, neckx, necky, 5.5, 0.9); // torso between far and near limbs
                capsule(neckx + 1, necky - 3, neckx + 2, necky - 9, 5.5, 1.0); // head
                arm();
            }
        }
        for (size_t i = 0; i < shade.size(); i++)
            if (shade[i] >= 0)
                idx[i] = uint8_t(160 + std::clamp(int(shade[i] * 63), 0, 63));
        out->frames.push_back(std::move(idx));
    }
}
