// content_pictures.cpp -- logos, captions, credits, illustrations and textures of the demo, drawn procedurally.
#include "tools/content/content_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double PI = 3.14159265358979323846;
uint64_t g_seed = 0; // the run's seed, set by make_pictures

struct Fonts {
    Font logo; // big bold title letters
    Font heading; // captions and roles
    Font body; // smaller lines
    Font serif; // closing text
    Font tiny; // greetings strip
};

// Picks the largest size (from start downwards) at which the text fits the width.
bool open_fitting(Font* font, const char* file, int start, const char* text, int max_width, double tracking)
{
    for (int size = start; size >= 6; size--) {
        if (!font_open(font, file, size))
            return false;
        if (text_width(font, text, tracking) <= max_width)
            return true;
        font_close(font);
    }
    return font_open(font, file, 6);
}

TextStyle plain_style(Rgb top, Rgb bottom)
{
    TextStyle s;
    std::memset(&s, 0, sizeof s);
    s.top = top;
    s.bottom = bottom;
    return s;
}

// Chrome letters: sky above the horizon line, warm ground below it.
const RampStop CHROME[] = {
    { 0.00, { 0.55, 0.75, 1.00 } },
    { 0.40, { 0.97, 0.98, 1.00 } },
    { 0.52, { 0.22, 0.14, 0.20 } },
    { 0.70, { 0.85, 0.45, 0.18 } },
    { 1.00, { 1.00, 0.90, 0.55 } },
};

TextStyle chrome_style()
{
    TextStyle s = plain_style({ 1, 1, 1 }, { 1, 1, 1 });
    s.ramp = CHROME;
    s.ramp_count = 5;
    s.outline = { 0.05, 0.03, 0.12 };
    s.outline_width = 2;
    s.glow = { 0.35, 0.55, 1.0 };
    s.glow_radius = 8;
    s.glow_strength = 0.9;
    return s;
}

TextStyle caption_style(Rgb top, Rgb bottom, Rgb glow)
{
    TextStyle s = plain_style(top, bottom);
    s.outline = { 0.02, 0.02, 0.06 };
    s.outline_width = 1;
    s.glow = glow;
    s.glow_radius = 5;
    s.glow_strength = 0.8;
    return s;
}

// Small four-pointed star sparkle, added as light.
void sparkle(Canvas* c, double cx, double cy, double size, Rgb colour)
{
    for (int y = int(cy - size); y <= int(cy + size); y++)
        for (int x = int(cx - size); x <= int(cx + size); x++) {
            double dx = std::fabs(x + 0.5 - cx), dy = std::fabs(y + 0.5 - cy);
            double ray = std::max(0.0, 1 - dx / size) * std::max(0.0, 1 - dy * 4 / size)
                + std::max(0.0, 1 - dy / size) * std::max(0.0, 1 - dx * 4 / size);
            double core = std::max(0.0, 1 - std::hypot(dx, dy) / (size * 0.3));
            canvas_add_light(c, x, y, colour, std::min(1.0, ray + core));
        }
}

// Horizontal light streak, brightest in the middle.
void streak(Canvas* c, double cx, double cy, double half_length, double thickness, Rgb colour, double strength)
{
    for (int y = 0; y < c->height; y++)
        for (int x = 0; x < c->width; x++) {
            double dx = (x + 0.5 - cx) / half_length, dy = (y + 0.5 - cy) / thickness;
            double f = std::max(0.0, 1 - dx * dx) * std::exp(-dy * dy);
            canvas_add_light(c, x, y, colour, f * strength);
        }
}

Canvas make_title(Fonts* f)
{
    Canvas c;
    canvas_init(&c, 280, 90);
    streak(&c, 140, 50, 140, 3.5, { 0.3, 0.5, 1.0 }, 0.9);
    streak(&c, 140, 50, 90, 1.2, { 0.9, 0.95, 1.0 }, 0.8);
    TextStyle s = chrome_style();
    draw_text_centred(&c, &f->logo, "morrowick", 140, 64, &s);
    sparkle(&c, 52, 22, 9, { 0.8, 0.9, 1.0 });
    sparkle(&c, 236, 66, 7, { 1.0, 0.9, 0.7 });
    return c;
}

void shade_pixel_lit(Canvas* c, int x, int y, double nx, double ny, double nz, Rgb base, double specular, double a)
{
    const double lx = -0.45, ly = -0.6, lz = 0.66;
    double lam = std::max(0.0, nx * lx + ny * ly + nz * lz);
    double hz = nz * 2 * (nx * lx + ny * ly + nz * lz) - lz; // reflected light towards the viewer
    double spec = std::pow(std::max(0.0, hz), 24) * specular;
    double rim = std::pow(1 - nz, 3) * 0.25;
    Rgb col = { base.r * (0.22 + 0.78 * lam) + spec + rim * 0.4, base.g * (0.22 + 0.78 * lam) + spec + rim * 0.5,
        base.b * (0.22 + 0.78 * lam) + spec + rim * 0.9 };
    col = { clamp01(col.r), clamp01(col.g), clamp01(col.b) };
    canvas_blend(c, x, y, col, a);
}

Canvas make_ringface(ContentRng* rng, Fonts* f)
{
    (void)rng;
    Canvas c;
    canvas_init(&c, 320, 240);
    const uint32_t seed = seed_for(g_seed, 0x51A7u);
    // Deep violet backdrop with a soft nebula texture; the window region stays transparent.
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++) {
            double n = fbm2(seed, x / 70.0, y / 70.0, 5, 0.55, 0, 0);
            double t = y / 239.0;
            Rgb col = rgb_mix({ 0.05, 0.04, 0.16 }, { 0.16, 0.05, 0.22 }, t);
            col = rgb_mix(col, { 0.10, 0.18, 0.35 }, clamp01(0.5 + n) * 0.45);
            // Window: x 120..319, y 60..239, corners rounded, soft edge.
            double qx = std::max(0.0, std::max(128.0 - (x + 0.5), (x + 0.5) - 312.0));
            double qy = std::max(0.0, std::max(68.0 - (y + 0.5), (y + 0.5) - 232.0));
            double d = std::hypot(qx, qy) - 8.0; // <0 inside the rounded window
            double cover = clamp01(d + 0.5);
            if (cover > 0)
                canvas_blend(&c, x, y, col, cover);
            // Thin glowing frame around the window.
            double line = std::exp(-((d - 3) * (d - 3)) / 2.5);
            if (d > -1)
                canvas_add_light(&c, x, y, { 0.45, 0.6, 1.0 }, line * 0.7);
        }
    // Emblem in the lower left: a lit sphere inside a glowing ring.
    canvas_glow(&c, 60, 150, 55, { 0.3, 0.2, 0.6 }, 0.6);
    for (int y = 90; y < 210; y++)
        for (int x = 0; x < 120; x++) {
            double d = std::hypot(x + 0.5 - 60, y + 0.5 - 150);
            double ring = std::exp(-((d - 38) * (d - 38)) / 3.0);
            canvas_add_light(&c, x, y, { 0.6, 0.7, 1.0 }, ring * 0.8);
        }
    shade_blob(&c, 60, 150, 26, 26, 2, { 0.55, 0.3, 0.85 }, 0.9, 1.0);
    TextStyle s = caption_style({ 0.95, 0.95, 1.0 }, { 0.55, 0.65, 1.0 }, { 0.3, 0.3, 0.9 });
    draw_text_centred(&c, &f->heading, "morrowick", 60, 226, &s);
    return c;
}

// Surface of revolution profile of the still-life bottle: radius at height y (0 = base).
double bottle_radius(double y)
{
    if (y < 0 || y > 128)
        return -1;
    if (y < 68)
        return 31 - std::max(0.0, 4 - y) * 0.8;
    if (y < 92) {
        double t = (y - 68) / 24.0;
        return 9 + 22 * (1 - t * t * (3 - 2 * t));
    }
    if (y < 120)
        return 9;
    return 10.5; // lip
}

Canvas make_bottle(Fonts* f)
{
    Canvas c;
    canvas_init(&c, 200, 180);
    const uint32_t seed = seed_for(g_seed, 0xB0771Eu);
    // Backdrop: warm studio light falling off to the corners.
    for (int y = 0; y < 180; y++)
        for (int x = 0; x < 200; x++) {
            double d = std::hypot((x - 70) / 160.0, (y - 40) / 140.0);
            Rgb col = rgb_mix({ 0.55, 0.38, 0.22 }, { 0.10, 0.05, 0.06 }, clamp01(d));
            double n = fbm2(seed, x / 30.0, y / 30.0, 4, 0.5, 0, 0) * 0.04;
            canvas_blend(&c, x, y, { clamp01(col.r + n), clamp01(col.g + n), clamp01(col.b + n) }, 1);
        }
    // Table top with wood grain.
    for (int y = 138; y < 180; y++)
        for (int x = 0; x < 200; x++) {
            double grain = std::sin(x / 6.0 + fbm2(seed + 9, x / 40.0, y / 8.0, 4, 0.5, 0, 0) * 6.0);
            double t = (y - 138) / 42.0;
            Rgb col = rgb_mix({ 0.42, 0.24, 0.12 }, { 0.25, 0.12, 0.06 }, t);
            col = rgb_mix(col, { 0.55, 0.32, 0.16 }, 0.2 + 0.2 * grain);
            canvas_blend(&c, x, y, col, 1);
        }
    for (int x = 0; x < 200; x++)
        canvas_add_light(&c, x, 138, { 0.6, 0.45, 0.3 }, 0.5);
    // Shadows of bottle and apple on the table.
    for (int y = 138; y < 180; y++)
        for (int x = 0; x < 200; x++) {
            double s1 = std::hypot((x - 112) / 46.0, (y - 146) / 7.0);
            double s2 = std::hypot((x - 160) / 22.0, (y - 150) / 5.0);
            double a = std::max(clamp01(1 - s1) * 0.55, clamp01(1 - s2) * 0.5);
            canvas_blend(&c, x, y, { 0.05, 0.02, 0.02 }, a);
        }
    // The bottle: green glass, lit from the upper left, label with the demo's name.
    const double cx = 90, base = 146;
    for (int y = 0; y < 180; y++) {
        double h = base - (y + 0.5);
        double r = bottle_radius(h);
        if (r <= 0)
            continue;
        for (int x = 0; x < 200; x++) {
            double dx = x + 0.5 - cx;
            double cover = clamp01(r - std::fabs(dx) + 0.5);
            if (cover <= 0)
                continue;
            double nx = std::clamp(dx / r, -1.0, 1.0);
            double nz = std::sqrt(std::max(0.0, 1 - nx * nx));
            Rgb glass = { 0.08, 0.42, 0.18 };
            // Glass: dark core, brighter rim where the light passes more glass.
            double thick = 0.55 + 0.45 * (1 - nz);
            Rgb col = { glass.r * thick, glass.g * thick, glass.b * thick };
            bool label = h > 14 && h < 50;
            if (label) {
                double lam = clamp01(0.3 + 0.7 * (nz * 0.8 - nx * 0.5));
                col = { 0.92 * lam, 0.85 * lam, 0.66 * lam };
                if (h > 16 && h < 19)
                    col = { 0.6 * lam, 0.12 * lam, 0.1 * lam };
                if (h > 45 && h < 48)
                    col = { 0.6 * lam, 0.12 * lam, 0.1 * lam };
            }
            canvas_blend(&c, x, y, col, cover);
            double spec = std::exp(-((nx + 0.55) * (nx + 0.55)) / 0.006) * (label ? 0.35 : 0.9);
            double spec2 = std::exp(-((nx - 0.7) * (nx - 0.7)) / 0.004) * 0.25;
            canvas_add_light(&c, x, y, { 1, 1, 0.95 }, (spec + spec2) * cover);
        }
    }
    // Label text.
    {
        Canvas label;
        canvas_init(&label, 200, 180);
        TextStyle s = plain_style({ 0.35, 0.08, 0.06 }, { 0.2, 0.04, 0.04 });
        draw_text_centred(&label, &f->tiny, "morrowick", int(cx), int(base - 28), &s);
        canvas_draw(&c, &label, 0, 0);
    }
    // Apple beside the bottle.
    shade_blob(&c, 158, 134, 15, 14, 2, { 0.75, 0.1, 0.06 }, 0.8, 1.0);
    canvas_capsule(&c, 158, 120, 160, 114, 1.2, { 0.25, 0.15, 0.05 }, 1);
    canvas_glow(&c, 40, 30, 60, { 0.3, 0.22, 0.12 }, 0.25);
    return c;
}

Canvas make_bricks(ContentRng* rng)
{
    Canvas c;
    canvas_init(&c, 320, 240);
    const uint32_t seed = seed_for(g_seed, 0xB41Cu);
    const int bw = 40, bh = 20; // 8 bricks per row, so the wall tiles every 320 columns
    double tint[12][8][3];
    for (auto& row : tint)
        for (auto& b : row) {
            double v = rng_range(rng, -0.09, 0.09);
            b[0] = 0.55 + v + rng_range(rng, -0.05, 0.05);
            b[1] = 0.22 + v * 0.6 + rng_range(rng, -0.03, 0.03);
            b[2] = 0.14 + v * 0.4;
        }
    auto height = [&](int x, int y) -> double {
        x = ((x % 320) + 320) % 320;
        y = std::clamp(y, 0, 239);
        int row = y / bh;
        int shift = (row & 1) ? bw / 2 : 0;
        int lx = ((x + shift) % 320) % bw, ly = y % bh;
        double ex = std::min(lx, bw - 1 - lx), ey = std::min(ly, bh - 1 - ly);
        double e = std::min(ex, ey);
        double h = smoothstep(0.5, 3.5, e);
        double n = fbm2(seed, x / 16.0, y / 16.0, 4, 0.5, 20, 0);
        return h * (1.0 + 0.08 * n) + 0.05 * fbm2(seed + 3, x / 4.0, y / 4.0, 2, 0.5, 80, 0);
    };
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++) {
            double h = height(x, y);
            double gx = height(x + 1, y) - height(x - 1, y);
            double gy = height(x, y + 1) - height(x, y - 1);
            double nx = -gx * 2, ny = -gy * 2, nz = 1;
            double len = std::sqrt(nx * nx + ny * ny + nz * nz);
            double lam = std::max(0.0, (nx * -0.5 + ny * -0.6 + nz * 0.62) / len);
            int row = y / bh;
            int shift = (row & 1) ? bw / 2 : 0;
            int col = ((x + shift) % 320) / bw;
            const double* t = tint[row % 12][col % 8];
            double grit = fbm2(seed + 7, x / 3.0, y / 3.0, 2, 0.5, 107, 0) * 0.06;
            Rgb brick = { t[0] + grit, t[1] + grit, t[2] + grit };
            Rgb mortar = { 0.42, 0.40, 0.37 };
            Rgb base = rgb_mix(mortar, brick, clamp01(h));
            double light = 0.35 + 0.85 * lam;
            canvas_blend(&c, x, y, { clamp01(base.r * light), clamp01(base.g * light), clamp01(base.b * light) }, 1);
        }
    return c;
}

void draw_lines_block(Canvas* c, Font* font, const char* const* lines, int count, int cx, int* baseline,
    const TextStyle* style, int spacing)
{
    for (int i = 0; i < count; i++) {
        draw_text_centred(c, font, lines[i], cx, *baseline, style);
        *baseline += spacing;
    }
}

Canvas make_credits(Fonts* f)
{
    Canvas c;
    canvas_init(&c, 220, 360);
    int y = 50;
    TextStyle title = chrome_style();
    title.glow_radius = 6;
    Font big;
    open_fitting(&big, "DejaVuSans-Bold.ttf", 40, "morrowick", 200, 0);
    draw_text_centred(&c, &big, "morrowick", 110, y, &title);
    font_close(&big);
    y += 36;
    struct Role {
        const char* role;
        const char* what;
    };
    const Role roles[] = {
        { "code", "software renderer" },
        { "music", "tracker module" },
        { "graphics", "generated at build time" },
        { "3d objects", "keyframed meshes" },
        { "design", "the morrowick team" },
    };
    TextStyle role = caption_style({ 1.0, 0.85, 0.45 }, { 1.0, 0.45, 0.15 }, { 0.6, 0.2, 0.0 });
    TextStyle what = caption_style({ 0.85, 0.92, 1.0 }, { 0.55, 0.7, 1.0 }, { 0.1, 0.2, 0.6 });
    what.glow_radius = 3;
    for (const Role& r : roles) {
        draw_text_centred(&c, &f->heading, r.role, 110, y, &role);
        y += 20;
        draw_text_centred(&c, &f->body, r.what, 110, y, &what);
        y += 34;
    }
    const char* tail[] = { "thanks for watching" };
    draw_lines_block(&c, &f->body, tail, 1, 110, &y, &role, 16);
    return c;
}

Canvas make_caption_plate(Fonts* f, const char* big, const char* small, Rgb accent)
{
    Canvas c;
    canvas_init(&c, 124, 40);
    // Rounded glass plate, open on the right where it leaves the screen.
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 124; x++) {
            double qx = std::max(0.0, 8.0 - (x + 0.5));
            double qy = std::max(0.0, std::max(8.0 - (y + 0.5), (y + 0.5) - 32.0));
            double d = std::hypot(qx, qy) - 6.0;
            double cover = clamp01(0.5 - d);
            Rgb col = rgb_mix({ 0.05, 0.07, 0.2 }, { 0.02, 0.02, 0.08 }, y / 39.0);
            canvas_blend(&c, x, y, col, cover * 0.8);
            if (y == 3 || y == 36)
                canvas_add_light(&c, x, y, accent, cover * 0.8 * std::min(1.0, x / 40.0));
        }
    TextStyle s = caption_style({ 1, 1, 1 }, accent, accent);
    s.glow_radius = 3;
    draw_text(&c, &f->heading, big, 10, 21, &s);
    TextStyle t = plain_style({ 0.8, 0.85, 1.0 }, { 0.6, 0.7, 0.9 });
    draw_text(&c, &f->tiny, small, 11, 32, &t);
    return c;
}

void shade_robot_limb(Canvas* c, double x0, double y0, double x1, double y1, double r)
{
    canvas_capsule(c, x0, y0, x1, y1, r, { 0.28, 0.3, 0.36 }, 1);
    canvas_capsule(c, x0 - r * 0.3, y0, x1 - r * 0.3, y1, r * 0.35, { 0.7, 0.74, 0.8 }, 0.6);
}

Canvas make_upsbot()
{
    Canvas c;
    canvas_init(&c, 96, 128);
    // Wheels and legs.
    shade_robot_limb(&c, 36, 88, 34, 110, 5);
    shade_robot_limb(&c, 60, 88, 62, 110, 5);
    shade_blob(&c, 34, 116, 12, 10, 2.5, { 0.15, 0.15, 0.18 }, 0.5, 1);
    shade_blob(&c, 62, 116, 12, 10, 2.5, { 0.15, 0.15, 0.18 }, 0.5, 1);
    // Arms, waving up.
    shade_robot_limb(&c, 22, 62, 10, 44, 4.5);
    shade_robot_limb(&c, 10, 44, 12, 30, 3.5);
    shade_robot_limb(&c, 74, 62, 86, 78, 4.5);
    shade_blob(&c, 12, 27, 5, 5, 2, { 0.85, 0.55, 0.1 }, 0.8, 1);
    shade_blob(&c, 86, 81, 5, 5, 2, { 0.85, 0.55, 0.1 }, 0.8, 1);
    // Body: rounded box, orange with a chest light.
    shade_blob(&c, 48, 72, 28, 22, 4, { 0.95, 0.5, 0.12 }, 0.8, 1);
    shade_blob(&c, 48, 74, 13, 9, 4, { 0.12, 0.12, 0.18 }, 0.4, 1);
    canvas_glow(&c, 48, 74, 9, { 0.2, 1.0, 0.5 }, 1.2);
    // Head.
    shade_blob(&c, 48, 32, 26, 19, 3.5, { 0.78, 0.8, 0.86 }, 1.0, 1);
    shade_blob(&c, 48, 34, 19, 10, 4, { 0.06, 0.06, 0.12 }, 0.6, 1);
    for (int i = 0; i < 2; i++) {
        double ex = i ? 57 : 39;
        canvas_glow(&c, ex, 34, 8, { 0.2, 0.8, 1.0 }, 1.3);
        canvas_disc(&c, ex, 34, 2.5, { 0.9, 1, 1 }, 1);
    }
    // Antenna.
    canvas_capsule(&c, 48, 13, 48, 4, 1.2, { 0.6, 0.6, 0.65 }, 1);
    canvas_glow(&c, 48, 4, 7, { 1.0, 0.3, 0.2 }, 1.2);
    canvas_disc(&c, 48, 4, 2.2, { 1, 0.8, 0.7 }, 1);
    return c;
}

Canvas make_warper()
{
    Canvas c;
    canvas_init(&c, 320, 480);
    const uint32_t seed = seed_for(g_seed, 0x3A49u);
    const RampStop ramp[] = {
        { 0.00, { 0.05, 0.02, 0.25 } },
        { 0.18, { 0.45, 0.05, 0.55 } },
        { 0.35, { 0.95, 0.25, 0.35 } },
        { 0.50, { 1.00, 0.75, 0.20 } },
        { 0.62, { 0.95, 1.00, 0.75 } },
        { 0.75, { 0.20, 0.85, 0.75 } },
        { 0.88, { 0.10, 0.35, 0.85 } },
        { 1.00, { 0.05, 0.02, 0.25 } },
    };
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 320; x++) {
            double u = x * 2 * PI / 320.0, v = y * 2 * PI / 480.0;
            // Whole numbers of periods across the picture so it wraps both ways.
            double p = std::sin(3 * u + 2 * std::sin(v)) + std::sin(4 * v + std::cos(2 * u))
                + std::sin(2 * u + 3 * v) * 0.7 + fbm2(seed, x / 40.0, y / 40.0, 4, 0.5, 8, 12) * 1.6;
            double t = p * 0.18 + 0.5;
            t -= std::floor(t);
            Rgb col = ramp_eval(ramp, 8, t);
            double bands = 0.85 + 0.15 * std::sin(p * 9.0);
            canvas_blend(&c, x, y, { col.r * bands, col.g * bands, col.b * bands }, 1);
        }
    return c;
}

// Equirectangular ball textures, 128x64, partly transparent.
Canvas make_blam(int kind)
{
    Canvas c;
    canvas_init(&c, 128, 64);
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 128; x++) {
            double lon = (x + 0.5) / 128.0 * 2 * PI, lat = ((y + 0.5) / 64.0 - 0.5) * PI;
            if (kind == 0) {
                // Beach ball: six coloured gores with clear gaps between them, white caps.
                const Rgb gores[3] = { { 0.95, 0.15, 0.15 }, { 1.0, 0.85, 0.1 }, { 0.15, 0.45, 1.0 } };
                double g = lon / (2 * PI) * 6;
                int gi = int(g) % 6;
                double edge = std::min(g - std::floor(g), std::ceil(g) - g) * 128 / 6.0;
                double a = clamp01(edge - 1.0);
                Rgb col = gores[gi % 3];
                if (gi & 1)
                    col = { 0.95, 0.95, 0.95 };
                double cap = smoothstep(1.1, 1.2, std::fabs(lat));
                col = rgb_mix(col, { 1, 1, 1 }, cap);
                a = std::max(a * 0.95, cap);
                canvas_blend(&c, x, y, col, a);
            } else if (kind == 1) {
                // Marble shell with holes eaten out by noise.
                double px = std::cos(lat) * std::cos(lon), py = std::cos(lat) * std::sin(lon), pz = std::sin(lat);
                double n = fbm3(seed_for(g_seed, 0xB1A2u), px * 2.2, py * 2.2, pz * 2.2, 5, 0.5);
                double vein = 0.5 + 0.5 * std::sin((pz * 4 + n * 5) * PI);
                Rgb col = rgb_mix({ 0.35, 0.1, 0.6 }, { 0.3, 0.95, 1.0 }, vein);
                double a = smoothstep(-0.12, -0.02, n);
                canvas_blend(&c, x, y, col, a);
            } else {
                // Gas giant: soft bands with translucent gaps and a glowing equator.
                double n = fbm2(seed_for(g_seed, 0xB1A3u), x / 16.0, y / 4.0, 4, 0.5, 8, 0);
                double band = std::sin(lat * 9 + n * 2.0);
                Rgb col = rgb_mix({ 0.95, 0.55, 0.2 }, { 1.0, 0.92, 0.75 }, 0.5 + 0.5 * band);
                double a = 0.45 + 0.5 * smoothstep(-0.3, 0.5, band);
                canvas_blend(&c, x, y, col, a);
                double eq = std::exp(-lat * lat / 0.004);
                canvas_add_light(&c, x, y, { 1.0, 0.95, 0.6 }, eq);
            }
        }
    return c;
}

// Faces: shaded heads with simple features, standing on the bottom edge.
Canvas make_face(int kind)
{
    Canvas c;
    canvas_init(&c, 120, 100);
    if (kind == 0) {
        // Round sunny face with dark glasses.
        shade_blob(&c, 60, 54, 44, 44, 2, { 1.0, 0.78, 0.15 }, 0.7, 1);
        shade_blob(&c, 42, 46, 14, 9, 3, { 0.06, 0.06, 0.1 }, 1.0, 1);
        shade_blob(&c, 78, 46, 14, 9, 3, { 0.06, 0.06, 0.1 }, 1.0, 1);
        canvas_capsule(&c, 54, 44, 66, 44, 1.5, { 0.06, 0.06, 0.1 }, 1);
        for (int i = 0; i < 40; i++) {
            double t = (i / 39.0 - 0.5) * 2.2;
            canvas_disc(&c, 60 + std::sin(t) * 24, 66 + std::cos(t) * 10, 2.2, { 0.45, 0.15, 0.05 }, 1);
        }
        sparkle(&c, 37, 43, 6, { 1, 1, 1 });
    } else if (kind == 1) {
        // Green visitor with large almond eyes.
        shade_blob(&c, 60, 46, 40, 45, 2, { 0.35, 0.85, 0.35 }, 0.8, 1);
        shade_blob(&c, 60, 82, 22, 18, 2, { 0.3, 0.75, 0.3 }, 0.5, 1);
        for (int i = 0; i < 2; i++) {
            double ex = i ? 76 : 44;
            for (int y = 30; y < 70; y++)
                for (int x = 20; x < 100; x++) {
                    double dx = (x + 0.5 - ex) * (i ? 1 : -1), dy = y + 0.5 - 50;
                    double rx = dx * 0.8 - dy * 0.6, ry = dx * 0.6 + dy * 0.8;
                    double d = std::hypot(rx / 15, ry / 8);
                    canvas_blend(&c, x, y, { 0.02, 0.03, 0.05 }, clamp01((1 - d) * 10));
                }
            canvas_glow(&c, ex + (i ? 4 : -4), 46, 5, { 0.7, 0.9, 1.0 }, 1);
        }
        canvas_capsule(&c, 54, 76, 66, 76, 1.3, { 0.1, 0.3, 0.1 }, 1);
    } else {
        // Chrome mask with a glowing visor.
        shade_blob(&c, 60, 52, 40, 46, 4, { 0.7, 0.72, 0.8 }, 1.2, 1);
        shade_blob(&c, 60, 44, 32, 8, 5, { 0.02, 0.05, 0.08 }, 0.5, 1);
        for (int x = 30; x < 90; x++)
            canvas_glow(&c, x, 44, 6, { 0.1, 0.9, 1.0 }, 0.12);
        canvas_glow(&c, 50, 44, 10, { 0.6, 1.0, 1.0 }, 0.7);
        for (int i = 0; i < 5; i++)
            canvas_capsule(&c, 46 + i * 7, 72, 46 + i * 7, 82, 1.5, { 0.2, 0.2, 0.25 }, 1);
        canvas_capsule(&c, 60, 6, 60, 0, 1.5, { 0.6, 0.6, 0.7 }, 1);
    }
    return c;
}

// Full-screen picture: a sunset over the sea.
Canvas make_sunset()
{
    Canvas c;
    canvas_init(&c, 320, 240);
    const uint32_t seed = seed_for(g_seed, 0x5E7u);
    const RampStop sky[] = {
        { 0.00, { 0.10, 0.04, 0.22 } },
        { 0.35, { 0.55, 0.12, 0.35 } },
        { 0.60, { 1.00, 0.45, 0.20 } },
        { 0.70, { 1.00, 0.80, 0.45 } },
    };
    const double horizon = 150, sx = 200, sy = 128;
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++) {
            Rgb col;
            if (y < horizon) {
                col = ramp_eval(sky, 4, y / horizon * 0.7);
                double cl = fbm2(seed, x / 60.0, y / 9.0, 5, 0.5, 0, 0);
                double streaks = smoothstep(0.05, 0.4, cl) * smoothstep(20, 60, y) * (1 - smoothstep(110, 145, y));
                col = rgb_mix(col, rgb_mix({ 0.45, 0.1, 0.25 }, { 1.0, 0.55, 0.4 }, y / horizon), streaks * 0.8);
            } else {
                double depth = (y - horizon) / (240 - horizon);
                col = rgb_mix({ 0.35, 0.12, 0.28 }, { 0.04, 0.03, 0.1 }, std::sqrt(depth));
                double ripple = fbm2(seed + 5, x / (6.0 + 30 * depth), y / (1.0 + 3 * depth), 3, 0.5, 0, 0);
                double column = std::exp(-std::pow((x - sx) / (14 + 50 * depth), 2));
                double glint = smoothstep(0.0, 0.35, ripple) * column;
                col = rgb_mix(col, { 1.0, 0.75, 0.4 }, glint);
            }
            canvas_blend(&c, x, y, col, 1);
        }
    canvas_glow(&c, sx, sy, 120, { 1.0, 0.5, 0.25 }, 0.35);
    canvas_glow(&c, sx, sy, 40, { 1.0, 0.8, 0.5 }, 0.6);
    for (int y = 0; y < int(horizon); y++)
        for (int x = 0; x < 320; x++) {
            double d = std::hypot(x + 0.5 - sx, y + 0.5 - sy);
            canvas_blend(&c, x, y, { 1.0, 0.95, 0.75 }, clamp01(18.5 - d));
        }
    // Headland silhouettes on both sides.
    for (int x = 0; x < 320; x++) {
        double left = horizon - 60 * smoothstep(140, 0, x) - 10 * fbm2(seed + 2, x / 25.0, 0.5, 4, 0.5, 0, 0);
        double right = horizon - 25 * smoothstep(260, 320, x) - 6 * fbm2(seed + 3, x / 20.0, 0.5, 4, 0.5, 0, 0);
        double top = std::min(left, right);
        for (int y = 0; y < 240; y++) {
            double cover = clamp01(y + 0.5 - top) * (y < horizon + 8 ? 1.0 : 0.0);
            if (y >= horizon && y < horizon + 8 && top < horizon - 1)
                cover = 1;
            canvas_blend(&c, x, y, { 0.06, 0.02, 0.08 }, cover);
        }
    }
    return c;
}

// Full-screen picture: a ringed planet over an alien ridge at night.
Canvas make_night(ContentRng* rng)
{
    Canvas c;
    canvas_init(&c, 320, 240);
    const uint32_t seed = seed_for(g_seed, 0x9E1u);
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++) {
            double neb = clamp01(0.5 + fbm2(seed, x / 80.0, y / 80.0, 5, 0.55, 0, 0));
            Rgb col = rgb_mix({ 0.01, 0.01, 0.05 }, { 0.08, 0.03, 0.16 }, y / 239.0);
            col = rgb_mix(col, { 0.35, 0.1, 0.45 }, std::pow(neb, 3) * 0.8);
            canvas_blend(&c, x, y, col, 1);
        }
    for (int i = 0; i < 260; i++) {
        double x = rng_range(rng, 0, 320), y = rng_range(rng, 0, 200);
        double b = std::pow(rng_unit(rng), 3);
        canvas_add_light(&c, int(x), int(y), { 0.8, 0.85, 1.0 }, 0.3 + 0.7 * b);
        if (b > 0.6)
            sparkle(&c, x, y, 4, { 0.7, 0.8, 1.0 });
    }
    // Planet with a tilted ring: back half of the ring, the ball, then the front half.
    const double px = 104, py = 76, pr = 42;
    auto ring = [&](bool front) {
        for (int y = 0; y < 240; y++)
            for (int x = 0; x < 320; x++) {
                double dx = x + 0.5 - px, dy = y + 0.5 - py;
                double rx = dx * 0.94 + dy * 0.34, ry = -dx * 0.34 + dy * 0.94;
                double e = std::hypot(rx / 1.0, ry / 0.22);
                if ((ry > 0) != front)
                    continue;
                double band = smoothstep(52, 56, e) * (1 - smoothstep(78, 84, e)) * (0.7 + 0.3 * std::sin(e * 1.3));
                canvas_blend(&c, x, y, { 0.85, 0.75, 0.6 }, band * 0.85);
            }
    };
    ring(false);
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++) {
            double dx = (x + 0.5 - px) / pr, dy = (y + 0.5 - py) / pr;
            double d2 = dx * dx + dy * dy;
            if (d2 > 1.05)
                continue;
            double nz = std::sqrt(std::max(0.0, 1 - d2));
            double lam = clamp01(dx * 0.7 - dy * 0.3 + nz * 0.65);
            double bands = 0.5 + 0.5 * std::sin(dy * 14 + fbm2(seed + 4, dx * 3, dy * 9, 3, 0.5, 0, 0) * 2);
            Rgb base = rgb_mix({ 0.7, 0.45, 0.3 }, { 0.95, 0.8, 0.6 }, bands);
            canvas_blend(
                &c, x, y, { base.r * lam, base.g * lam, base.b * lam }, clamp01((1 - std::sqrt(d2)) * pr + 0.5));
        }
    ring(true);
    // Ridges: three layers of noise mountains, hazier with distance.
    const Rgb layers[3] = { { 0.16, 0.08, 0.25 }, { 0.09, 0.04, 0.15 }, { 0.03, 0.01, 0.05 } };
    for (int l = 0; l < 3; l++)
        for (int x = 0; x < 320; x++) {
            double base = 160 + l * 25;
            double top = base - 40 * (0.5 + fbm2(seed + 10 + uint32_t(l), x / (90.0 - l * 20), l * 3.0, 5, 0.5, 0, 0));
            for (int y = 0; y < 240; y++) {
                double cover = clamp01(y + 0.5 - top);
                if (cover > 0) {
                    double rim = std::exp(-(y - top) / 2.0) * (l == 0 ? 0.35 : 0.15);
                    canvas_blend(&c, x, y, rgb_mix(layers[l], { 0.6, 0.4, 0.9 }, rim), cover);
                }
            }
        }
    return c;
}

Canvas make_endtext(Fonts* f)
{
    Canvas c;
    canvas_init(&c, 260, 100);
    TextStyle s = caption_style({ 1.0, 0.98, 0.8 }, { 1.0, 0.55, 0.1 }, { 0.9, 0.3, 0.0 });
    s.glow_radius = 9;
    s.glow_strength = 1.0;
    s.outline_width = 2;
    s.outline = { 0.15, 0.02, 0.0 };
    Font big;
    open_fitting(&big, "DejaVuSerif-BoldItalic.ttf", 44, "the end", 240, 0);
    draw_text_centred(&c, &big, "the end", 130, 50, &s);
    font_close(&big);
    TextStyle t = caption_style({ 0.9, 0.9, 1.0 }, { 0.6, 0.7, 1.0 }, { 0.2, 0.2, 0.6 });
    draw_text_centred(&c, &f->body, "morrowick  -  thanks for watching", 130, 82, &t);
    return c;
}

Canvas make_greets(Fonts* f)
{
    const char* text = "greetings to every demo group on the scene  *  all tracker musicians  *  pixel artists "
                       "everywhere  *  the coders of tiny intros  *  party organisers  *  and you, watching";
    Canvas c;
    canvas_init(&c, 1014, 10);
    Font font;
    open_fitting(&font, "DejaVuSans.ttf", 10, text, 1006, 0.3);
    int w = text_width(&font, text, 0.3);
    TextStyle s = plain_style({ 1.0, 1.0, 1.0 }, { 0.55, 0.85, 1.0 });
    s.tracking = 0.3;
    draw_text(&c, &font, text, (1014 - w) / 2, 8, &s);
    font_close(&font);
    (void)f;
    return c;
}

// A caption sized to its text, with room for glow.
Canvas make_caption(Font* font, const char* text, const TextStyle* style)
{
    int pad = style->glow_radius + style->outline_width + 2;
    int w = text_width(font, text, style->tracking) + 2 * pad;
    int h = font_line_height(font) + 2 * pad;
    Canvas c;
    canvas_init(&c, w, h);
    draw_text(&c, font, text, pad, pad + font_ascent(font), style);
    return c;
}

} // namespace

void shade_blob(
    Canvas* c, double cx, double cy, double rx, double ry, double power, Rgb base, double specular, double alpha)
{
    int x0 = std::max(0, int(cx - rx) - 2), x1 = std::min(c->width - 1, int(cx + rx) + 2);
    int y0 = std::max(0, int(cy - ry) - 2), y1 = std::min(c->height - 1, int(cy + ry) + 2);
    double rmin = std::min(rx, ry);
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            double u = (x + 0.5 - cx) / rx, v = (y + 0.5 - cy) / ry;
            double r = std::pow(std::pow(std::fabs(u), power) + std::pow(std::fabs(v), power), 1 / power);
            double cover = clamp01((1 - r) * rmin + 0.5);
            if (cover <= 0)
                continue;
            // Normal of a sphere with the same silhouette radius, flattened towards the middle
            // for boxy shapes.
            double rs = std::min(r, 0.999);
            double k = rs > 0 ? std::pow(rs, power / 2) / rs : 0;
            double nx = u * k, ny = v * k;
            double nz = std::sqrt(std::max(0.0, 1 - nx * nx - ny * ny));
            shade_pixel_lit(c, x, y, nx, ny, nz, base, specular, cover * alpha);
        }
}

bool make_pictures(uint64_t seed, std::vector<ContentPicture>* out)
{
    ContentRng rng;
    rng_seed(&rng, seed);
    g_seed = seed;
    Fonts f;
    if (!open_fitting(&f.logo, "DejaVuSans-Bold.ttf", 60, "morrowick", 250, 0)
        || !font_open(&f.heading, "DejaVuSans-Bold.ttf", 15) || !font_open(&f.body, "DejaVuSans.ttf", 11)
        || !font_open(&f.serif, "DejaVuSerif-BoldItalic.ttf", 20) || !font_open(&f.tiny, "DejaVuSans.ttf", 8))
        return false;

    auto add = [&](const char* name, const Canvas& c) { out->push_back(picture_from_canvas(name, &c)); };

    add("ringface.acg", make_ringface(&rng, &f));
    add("bottle.acg", make_bottle(&f));
    add("credits.acg", make_credits(&f));
    add("crd1.acg", make_caption_plate(&f, "code", "software rendering", { 0.4, 0.8, 1.0 }));
    add("crd2.acg", make_caption_plate(&f, "music", "tracker module", { 1.0, 0.6, 0.2 }));
    add("bricks.acg", make_bricks(&rng));
    add("upsbot.acg", make_upsbot());
    add("title.acg", make_title(&f));
    add("warper.acg", make_warper());
    add("blam1.acg", make_blam(0));
    add("blam2.acg", make_blam(1));
    add("blam3.acg", make_blam(2));
    add("face1.acg", make_face(0));
    add("face2.acg", make_face(1));
    add("face3.acg", make_face(2));
    add("riptlt.acg", make_sunset());
    add("quenvask.acg", make_night(&rng));
    add("endtext1.acg", make_endtext(&f));
    add("greets.acg", make_greets(&f));

    TextStyle title = chrome_style();
    title.glow_radius = 5;
    title.outline_width = 1;
    Font mid;
    font_open(&mid, "DejaVuSans-Bold.ttf", 22);
    add("dtitle.acg", make_caption(&mid, "morrowick", &title));
    TextStyle q = caption_style({ 1.0, 1.0, 1.0 }, { 0.7, 0.85, 1.0 }, { 0.1, 0.2, 0.7 });
    add("dq.acg", make_caption(&f.serif, "why does he run?", &q));
    TextStyle a = caption_style({ 1.0, 0.95, 0.6 }, { 1.0, 0.5, 0.15 }, { 0.7, 0.2, 0.0 });
    add("da.acg", make_caption(&mid, "the beat told him to", &a));
    TextStyle last = caption_style({ 0.8, 1.0, 0.8 }, { 0.3, 0.9, 0.5 }, { 0.0, 0.5, 0.2 });
    add("dlast.acg", make_caption(&f.serif, "so keep on running", &last));
    font_close(&mid);

    font_close(&f.logo);
    font_close(&f.heading);
    font_close(&f.body);
    font_close(&f.serif);
    font_close(&f.tiny);
    return true;
}
