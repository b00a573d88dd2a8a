// content_common.cpp -- PRNG, noise, canvases, masks and FreeType text for the content generator.
#include "tools/content/content_common.h"

#include "tools/formats/png_io.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>

// ---- PRNG: splitmix64 ----

void rng_seed(ContentRng* rng, uint64_t seed)
{
    rng->state = seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull;
}

uint32_t rng_next(ContentRng* rng)
{
    uint64_t z = (rng->state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return uint32_t((z ^ (z >> 31)) >> 32);
}

double rng_unit(ContentRng* rng)
{
    return rng_next(rng) / 4294967296.0;
}
double rng_range(ContentRng* rng, double lo, double hi)
{
    return lo + (hi - lo) * rng_unit(rng);
}
int rng_int(ContentRng* rng, int n)
{
    return n <= 0 ? 0 : int(rng_next(rng) % uint32_t(n));
}

// ---- Noise ----

static uint32_t hash_lattice(uint32_t seed, int32_t x, int32_t y, int32_t z)
{
    uint32_t h = seed ^ (uint32_t(x) * 0x8DA6B343u) ^ (uint32_t(y) * 0xD8163841u) ^ (uint32_t(z) * 0xCB1AB31Fu);
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

static double fade(double t)
{
    return t * t * t * (t * (t * 6.0 - 15.0) + 10.0);
}

static int wrap_cell(int i, int period)
{
    if (period <= 0)
        return i;
    int m = i % period;
    return m < 0 ? m + period : m;
}

static double grad2(uint32_t seed, int ix, int iy, double fx, double fy)
{
    // 16 directions around the circle.
    static const double dirs[16][2]
        = { { 1, 0 }, { 0.92388, 0.38268 }, { 0.70711, 0.70711 }, { 0.38268, 0.92388 }, { 0, 1 }, { -0.38268, 0.92388 },
              { -0.70711, 0.70711 }, { -0.92388, 0.38268 }, { -1, 0 }, { -0.92388, -0.38268 }, { -0.70711, -0.70711 },
              { -0.38268, -0.92388 }, { 0, -1 }, { 0.38268, -0.92388 }, { 0.70711, -0.70711 }, { 0.92388, -0.38268 } };
    const double* d = dirs[hash_lattice(seed, ix, iy, 0) & 15];
    return d[0] * fx + d[1] * fy;
}

double noise2(uint32_t seed, double x, double y, int period_x, int period_y)
{
    double flx = std::floor(x), fly = std::floor(y);
    int ix = int(flx), iy = int(fly);
    double fx = x - flx, fy = y - fly;
    int x0 = wrap_cell(ix, period_x), x1 = wrap_cell(ix + 1, period_x);
    int y0 = wrap_cell(iy, period_y), y1 = wrap_cell(iy + 1, period_y);
    double n00 = grad2(seed, x0, y0, fx, fy);
    double n10 = grad2(seed, x1, y0, fx - 1, fy);
    double n01 = grad2(seed, x0, y1, fx, fy - 1);
    double n11 = grad2(seed, x1, y1, fx - 1, fy - 1);
    double u = fade(fx), v = fade(fy);
    double a = n00 + (n10 - n00) * u;
    double b = n01 + (n11 - n01) * u;
    return (a + (b - a) * v) * 1.41421356;
}

static double grad3(uint32_t seed, int ix, int iy, int iz, double fx, double fy, double fz)
{
    switch (hash_lattice(seed, ix, iy, iz) % 12) {
    case 0:
        return fx + fy;
    case 1:
        return -fx + fy;
    case 2:
        return fx - fy;
    case 3:
        return -fx - fy;
    case 4:
        return fx + fz;
    case 5:
        return -fx + fz;
    case 6:
        return fx - fz;
    case 7:
        return -fx - fz;
    case 8:
        return fy + fz;
    case 9:
        return -fy + fz;
    case 10:
        return fy - fz;
    default:
        return -fy - fz;
    }
}

double noise3(uint32_t seed, double x, double y, double z)
{
    double flx = std::floor(x), fly = std::floor(y), flz = std::floor(z);
    int ix = int(flx), iy = int(fly), iz = int(flz);
    double fx = x - flx, fy = y - fly, fz = z - flz;
    double u = fade(fx), v = fade(fy), w = fade(fz);
    double c[2][2][2];
    for (int k = 0; k < 2; k++)
        for (int j = 0; j < 2; j++)
            for (int i = 0; i < 2; i++)
                c[k][j][i] = grad3(seed, ix + i, iy + j, iz + k, fx - i, fy - j, fz - k);
    double x00 = c[0][0][0] + (c[0][0][1] - c[0][0][0]) * u;
    double x10 = c[0][1][0] + (c[0][1][1] - c[0][1][0]) * u;
    double x01 = c[1][0][0] + (c[1][0][1] - c[1][0][0]) * u;
    double x11 = c[1][1][0] + (c[1][1][1] - c[1][1][0]) * u;
    double y0 = x00 + (x10 - x00) * v;
    double y1 = x01 + (x11 - x01) * v;
    return (y0 + (y1 - y0) * w) * 0.9;
}

double fbm2(uint32_t seed, double x, double y, int octaves, double gain, int period_x, int period_y)
{
    double sum = 0, amp = 1, norm = 0, f = 1;
    for (int o = 0; o < octaves; o++) {
        int px = period_x > 0 ? period_x << o : 0;
        int py = period_y > 0 ? period_y << o : 0;
        sum += amp * noise2(seed + uint32_t(o) * 7919u, x * f, y * f, px, py);
        norm += amp;
        amp *= gain;
        f *= 2;
    }
    return sum / norm;
}

double fbm3(uint32_t seed, double x, double y, double z, int octaves, double gain)
{
    double sum = 0, amp = 1, norm = 0, f = 1;
    for (int o = 0; o < octaves; o++) {
        sum += amp * noise3(seed + uint32_t(o) * 7919u, x * f, y * f, z * f);
        norm += amp;
        amp *= gain;
        f *= 2;
    }
    return sum / norm;
}

// ---- Colours ----

double clamp01(double v)
{
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

double smoothstep(double e0, double e1, double v)
{
    double t = clamp01((v - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

Rgb rgb_mix(Rgb a, Rgb b, double t)
{
    return { a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t };
}

Rgb rgb_hex(uint32_t rgb)
{
    return { ((rgb >> 16) & 255) / 255.0, ((rgb >> 8) & 255) / 255.0, (rgb & 255) / 255.0 };
}

Rgb ramp_eval(const RampStop* stops, int count, double t)
{
    if (t <= stops[0].t)
        return stops[0].colour;
    for (int i = 1; i < count; i++)
        if (t <= stops[i].t) {
            double span = stops[i].t - stops[i - 1].t;
            return rgb_mix(stops[i - 1].colour, stops[i].colour, span > 0 ? (t - stops[i - 1].t) / span : 1);
        }
    return stops[count - 1].colour;
}

// ---- Canvas ----

void canvas_init(Canvas* c, int width, int height)
{
    c->width = width;
    c->height = height;
    c->px.assign(size_t(width) * size_t(height) * 4, 0.0f);
}

float* canvas_at(Canvas* c, int x, int y)
{
    return &c->px[(size_t(y) * size_t(c->width) + size_t(x)) * 4];
}

void canvas_blend(Canvas* c, int x, int y, Rgb colour, double a)
{
    if (x < 0 || y < 0 || x >= c->width || y >= c->height || a <= 0)
        return;
    a = std::min(a, 1.0);
    float* p = canvas_at(c, x, y);
    double k = 1 - a;
    p[0] = float(colour.r * a + p[0] * k);
    p[1] = float(colour.g * a + p[1] * k);
    p[2] = float(colour.b * a + p[2] * k);
    p[3] = float(a + p[3] * k);
}

void canvas_add_light(Canvas* c, int x, int y, Rgb colour, double amount)
{
    if (x < 0 || y < 0 || x >= c->width || y >= c->height || amount <= 0)
        return;
    float* p = canvas_at(c, x, y);
    p[0] = float(std::min(1.0, p[0] + colour.r * amount));
    p[1] = float(std::min(1.0, p[1] + colour.g * amount));
    p[2] = float(std::min(1.0, p[2] + colour.b * amount));
    double m = std::max({ double(p[0]), double(p[1]), double(p[2]) });
    p[3] = float(std::max(double(p[3]), m));
}

void canvas_fill(Canvas* c, Rgb colour, double a)
{
    for (int y = 0; y < c->height; y++)
        for (int x = 0; x < c->width; x++)
            canvas_blend(c, x, y, colour, a);
}

void canvas_vertical_gradient(Canvas* c, const RampStop* stops, int count)
{
    for (int y = 0; y < c->height; y++) {
        Rgb col = ramp_eval(stops, count, c->height > 1 ? double(y) / (c->height - 1) : 0);
        for (int x = 0; x < c->width; x++)
            canvas_blend(c, x, y, col, 1.0);
    }
}

void canvas_draw(Canvas* dst, const Canvas* src, int x, int y)
{
    for (int sy = 0; sy < src->height; sy++) {
        int dy = y + sy;
        if (dy < 0 || dy >= dst->height)
            continue;
        for (int sx = 0; sx < src->width; sx++) {
            int dx = x + sx;
            if (dx < 0 || dx >= dst->width)
                continue;
            const float* s = &src->px[(size_t(sy) * size_t(src->width) + size_t(sx)) * 4];
            float* d = canvas_at(dst, dx, dy);
            float k = 1 - s[3];
            for (int i = 0; i < 4; i++)
                d[i] = s[i] + d[i] * k;
        }
    }
}

void canvas_glow(Canvas* c, double cx, double cy, double radius, Rgb colour, double strength)
{
    int x0 = std::max(0, int(cx - radius) - 1), x1 = std::min(c->width - 1, int(cx + radius) + 1);
    int y0 = std::max(0, int(cy - radius) - 1), y1 = std::min(c->height - 1, int(cy + radius) + 1);
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / radius;
            if (d >= 1)
                continue;
            double f = (1 - d) * (1 - d);
            canvas_add_light(c, x, y, colour, f * strength);
        }
}

void canvas_disc(Canvas* c, double cx, double cy, double radius, Rgb colour, double a)
{
    int x0 = std::max(0, int(cx - radius) - 2), x1 = std::min(c->width - 1, int(cx + radius) + 2);
    int y0 = std::max(0, int(cy - radius) - 2), y1 = std::min(c->height - 1, int(cy + radius) + 2);
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            double cov = clamp01(radius - d + 0.5);
            if (cov > 0)
                canvas_blend(c, x, y, colour, cov * a);
        }
}

void canvas_capsule(Canvas* c, double x0, double y0, double x1, double y1, double radius, Rgb colour, double a)
{
    int bx0 = std::max(0, int(std::min(x0, x1) - radius) - 2);
    int bx1 = std::min(c->width - 1, int(std::max(x0, x1) + radius) + 2);
    int by0 = std::max(0, int(std::min(y0, y1) - radius) - 2);
    int by1 = std::min(c->height - 1, int(std::max(y0, y1) + radius) + 2);
    double dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    for (int y = by0; y <= by1; y++)
        for (int x = bx0; x <= bx1; x++) {
            double px = x + 0.5 - x0, py = y + 0.5 - y0;
            double t = len2 > 0 ? clamp01((px * dx + py * dy) / len2) : 0;
            double d = std::hypot(px - t * dx, py - t * dy);
            double cov = clamp01(radius - d + 0.5);
            if (cov > 0)
                canvas_blend(c, x, y, colour, cov * a);
        }
}

std::vector<uint32_t> canvas_to_argb(const Canvas* c)
{
    std::vector<uint32_t> out(size_t(c->width) * size_t(c->height));
    for (size_t i = 0; i < out.size(); i++) {
        const float* p = &c->px[i * 4];
        uint32_t a = uint32_t(std::lround(clamp01(p[3]) * 255.0));
        uint32_t ch[3];
        for (int k = 0; k < 3; k++)
            ch[k] = std::min(a, uint32_t(std::lround(clamp01(p[k]) * 255.0)));
        out[i] = (a << 24) | (ch[0] << 16) | (ch[1] << 8) | ch[2];
    }
    return out;
}

bool argb_write_preview(const uint32_t* argb, int width, int height, const std::string& path)
{
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint32_t p = argb[size_t(y) * size_t(width) + size_t(x)];
            uint32_t a = p >> 24;
            uint32_t bg = ((x >> 3) + (y >> 3)) & 1 ? 60 : 90;
            uint8_t* o = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
            for (int k = 0; k < 3; k++) {
                uint32_t s = (p >> (16 - 8 * k)) & 255;
                o[k] = uint8_t(std::min(255u, s + bg * (255 - a) / 255));
            }
            o[3] = 255;
        }
    return write_png_rgba(path, width, height, rgba.data());
}

bool canvas_write_preview(const Canvas* c, const std::string& path)
{
    std::vector<uint32_t> argb = canvas_to_argb(c);
    return argb_write_preview(argb.data(), c->width, c->height, path);
}

ContentPicture picture_from_canvas(const char* name, const Canvas* c)
{
    ContentPicture p;
    p.name = name;
    p.width = c->width;
    p.height = c->height;
    p.argb = canvas_to_argb(c);
    return p;
}

// ---- Masks ----

void mask_init(Mask* m, int width, int height)
{
    m->width = width;
    m->height = height;
    m->a.assign(size_t(width) * size_t(height), 0.0f);
}

float mask_get(const Mask* m, int x, int y)
{
    if (x < 0 || y < 0 || x >= m->width || y >= m->height)
        return 0;
    return m->a[size_t(y) * size_t(m->width) + size_t(x)];
}

static void box_pass(std::vector<float>* v, int count, int stride, int start, int radius, std::vector<float>* tmp)
{
    tmp->resize(size_t(count));
    double sum = 0;
    double inv = 1.0 / (2 * radius + 1);
    auto at = [&](int i) -> float { return (i < 0 || i >= count) ? 0.0f : (*v)[size_t(start + i * stride)]; };
    for (int i = -radius; i <= radius; i++)
        sum += at(i);
    for (int i = 0; i < count; i++) {
        (*tmp)[size_t(i)] = float(sum * inv);
        sum += at(i + radius + 1) - at(i - radius);
    }
    for (int i = 0; i < count; i++)
        (*v)[size_t(start + i * stride)] = (*tmp)[size_t(i)];
}

void mask_blur(Mask* m, int radius)
{
    if (radius <= 0)
        return;
    std::vector<float> tmp;
    int r = std::max(1, radius / 2);
    for (int pass = 0; pass < 3; pass++) {
        for (int y = 0; y < m->height; y++)
            box_pass(&m->a, m->width, 1, y * m->width, r, &tmp);
        for (int x = 0; x < m->width; x++)
            box_pass(&m->a, m->height, m->width, x, r, &tmp);
    }
}

void mask_dilate(Mask* m, int radius)
{
    if (radius <= 0)
        return;
    std::vector<float> out(m->a.size(), 0.0f);
    for (int y = 0; y < m->height; y++)
        for (int x = 0; x < m->width; x++) {
            float best = 0;
            for (int dy = -radius; dy <= radius; dy++)
                for (int dx = -radius; dx <= radius; dx++) {
                    double d = std::sqrt(double(dx * dx + dy * dy));
                    double w = clamp01(radius + 0.5 - d);
                    if (w <= 0)
                        continue;
                    float v = float(mask_get(m, x + dx, y + dy) * w);
                    best = std::max(best, v);
                }
            out[size_t(y) * size_t(m->width) + size_t(x)] = best;
        }
    m->a.swap(out);
}

// ---- Fonts ----

bool font_open(Font* font, const char* file_name, int pixel_size)
{
    font->library = nullptr;
    font->face = nullptr;
    font->pixel_size = pixel_size;
    FT_Library lib;
    if (FT_Init_FreeType(&lib) != 0)
        return false;
    std::string path = std::string("/usr/share/fonts/truetype/dejavu/") + file_name;
    FT_Face face;
    if (FT_New_Face(lib, path.c_str(), 0, &face) != 0) {
        FT_Done_FreeType(lib);
        return false;
    }
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixel_size));
    font->library = lib;
    font->face = face;
    return true;
}

void font_close(Font* font)
{
    if (font->face)
        FT_Done_Face(FT_Face(font->face));
    if (font->library)
        FT_Done_FreeType(FT_Library(font->library));
    font->face = nullptr;
    font->library = nullptr;
}

int font_ascent(const Font* font)
{
    return int(FT_Face(font->face)->size->metrics.ascender >> 6);
}
int font_line_height(const Font* font)
{
    return int(FT_Face(font->face)->size->metrics.height >> 6);
}

// Walks the glyphs of a line; calls draw for each rendered bitmap when it is given.
template <typename Draw> static double walk_text(Font* font, const char* text, double tracking, Draw draw)
{
    FT_Face face = FT_Face(font->face);
    double pen = 0;
    FT_UInt prev = 0;
    for (const unsigned char* s = reinterpret_cast<const unsigned char*>(text); *s; s++) {
        FT_UInt index = FT_Get_Char_Index(face, *s);
        if (prev && index && FT_HAS_KERNING(face)) {
            FT_Vector k;
            if (FT_Get_Kerning(face, prev, index, FT_KERNING_DEFAULT, &k) == 0)
                pen += k.x / 64.0;
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0)
            continue;
        FT_GlyphSlot g = face->glyph;
        draw(g, pen);
        pen += g->advance.x / 64.0 + tracking;
        prev = index;
    }
    return pen - tracking;
}

int text_width(Font* font, const char* text, double tracking)
{
    return int(std::ceil(walk_text(font, text, tracking, [](FT_GlyphSlot, double) {})));
}

void text_to_mask(Font* font, const char* text, double tracking, int x, int baseline, Mask* mask)
{
    walk_text(font, text, tracking, [&](FT_GlyphSlot g, double pen) {
        int gx = x + int(std::lround(pen)) + g->bitmap_left;
        int gy = baseline - g->bitmap_top;
        for (unsigned r = 0; r < g->bitmap.rows; r++)
            for (unsigned col = 0; col < g->bitmap.width; col++) {
                int mx = gx + int(col), my = gy + int(r);
                if (mx < 0 || my < 0 || mx >= mask->width || my >= mask->height)
                    continue;
                float v = g->bitmap.buffer[r * unsigned(g->bitmap.pitch) + col] / 255.0f;
                float& d = mask->a[size_t(my) * size_t(mask->width) + size_t(mx)];
                d = std::max(d, v);
            }
    });
}

void draw_text(Canvas* c, Font* font, const char* text, int x, int baseline, const TextStyle* style)
{
    Mask fill;
    mask_init(&fill, c->width, c->height);
    text_to_mask(font, text, style->tracking, x, baseline, &fill);
    int asc = font_ascent(font);
    int top = baseline - asc, bottom = baseline + asc / 4;

    if (style->shadow_dx || style->shadow_dy) {
        Mask shadow;
        mask_init(&shadow, c->width, c->height);
        text_to_mask(font, text, style->tracking, x + style->shadow_dx, baseline + style->shadow_dy, &shadow);
        mask_dilate(&shadow, style->outline_width);
        mask_blur(&shadow, 2);
        for (int y = 0; y < c->height; y++)
            for (int xx = 0; xx < c->width; xx++)
                canvas_blend(c, xx, y, { 0, 0, 0 }, mask_get(&shadow, xx, y) * style->shadow_alpha);
    }
    Mask outline = fill;
    if (style->outline_width > 0)
        mask_dilate(&outline, style->outline_width);
    if (style->glow_radius > 0) {
        Mask glow = outline;
        mask_dilate(&glow, 1);
        mask_blur(&glow, style->glow_radius);
        for (int y = 0; y < c->height; y++)
            for (int xx = 0; xx < c->width; xx++) {
                double g = mask_get(&glow, xx, y) * style->glow_strength;
                if (g > 0)
                    canvas_blend(c, xx, y, style->glow, std::min(1.0, g));
            }
    }
    if (style->outline_width > 0)
        for (int y = 0; y < c->height; y++)
            for (int xx = 0; xx < c->width; xx++)
                canvas_blend(c, xx, y, style->outline, mask_get(&outline, xx, y));
    for (int y = 0; y < c->height; y++) {
        double t = clamp01(double(y - top) / double(std::max(1, bottom - top)));
        Rgb col = style->ramp ? ramp_eval(style->ramp, style->ramp_count, t) : rgb_mix(style->top, style->bottom, t);
        for (int xx = 0; xx < c->width; xx++)
            canvas_blend(c, xx, y, col, mask_get(&fill, xx, y));
    }
}

void draw_text_centred(Canvas* c, Font* font, const char* text, int cx, int baseline, const TextStyle* style)
{
    draw_text(c, font, text, cx - text_width(font, text, style->tracking) / 2, baseline, style);
}

uint32_t seed_for(uint64_t seed, uint32_t salt)
{
    ContentRng rng;
    rng_seed(&rng, seed ^ (uint64_t(salt) << 32) ^ salt);
    return rng_next(&rng);
}
