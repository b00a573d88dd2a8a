// content_meshes.cpp -- road set and bottle meshes for the content generator.
#include "tools/content/content_meshes.h"

#include "tools/content/content_common.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;

// Builds one keyframe's vertices and the shared faces together; later keyframes are made by
// running the same builder with other parameters, so the vertex order always matches.
struct Builder {
    std::vector<MaVertex> v;
    std::vector<MaFace> f;
    uint32_t add(double x, double y, double z)
    {
        v.push_back({ x, y, z });
        return uint32_t(v.size() - 1);
    }
    void tri(uint32_t a, uint32_t b, uint32_t c) { f.push_back({ a, b, c, 0 }); }
    // Quad with corners in order; split along a-c.
    void quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
    {
        tri(a, b, c);
        tri(a, c, d);
    }
    // Axis-aligned box from (x0, y0, z0) to (x1, y1, z1): 8 vertices, 12 faces.
    void box(double x0, double y0, double z0, double x1, double y1, double z1)
    {
        uint32_t b = uint32_t(v.size());
        for (int i = 0; i < 8; i++)
            add(i & 1 ? x1 : x0, i & 2 ? y1 : y0, i & 4 ? z1 : z0);
        const uint32_t q[6][4]
            = { { 0, 1, 3, 2 }, { 4, 6, 7, 5 }, { 0, 4, 5, 1 }, { 2, 3, 7, 6 }, { 0, 2, 6, 4 }, { 1, 5, 7, 3 } };
        for (const auto& s : q)
            quad(b + s[0], b + s[1], b + s[2], b + s[3]);
    }
    // Cone of n sides standing on y0 with its tip at height ht: n + 2 vertices, 2n faces.
    void cone(double cx, double y0, double cz, double radius, double ht, int n)
    {
        uint32_t tip = add(cx, y0 + ht, cz);
        uint32_t centre = add(cx, y0, cz);
        uint32_t first = uint32_t(v.size());
        for (int i = 0; i < n; i++) {
            double a = 2 * PI * i / n;
            add(cx + radius * std::cos(a), y0, cz + radius * std::sin(a));
        }
        for (int i = 0; i < n; i++) {
            uint32_t p = first + uint32_t(i), q = first + uint32_t((i + 1) % n);
            tri(tip, q, p);
            tri(centre, p, q);
        }
    }
};

MaMesh finish(std::vector<Builder>* frames, std::vector<uint32_t> steps)
{
    MaMesh m;
    m.faces = (*frames)[0].f;
    for (size_t i = 0; i < frames->size(); i++) {
        MaKeyframe k;
        k.vertices = (*frames)[i].v;
        k.step_count = steps[i];
        m.keyframes.push_back(std::move(k));
    }
    // Closed pieces: wind every face so its (b - a) x (c - a) points inwards.
    if (mesh_signed_volume6(&m, 0) > 0)
        for (MaFace& f : m.faces)
            std::swap(f.b, f.c);
    return m;
}

void add_mesh(std::vector<ContentMesh>* out, const char* name, MaMesh mesh)
{
    ContentMesh c;
    c.name = name;
    c.mesh = std::move(mesh);
    out->push_back(std::move(c));
}

int periods()
{
    return int((ROAD_Z_END - ROAD_Z_START) / ROAD_PERIOD);
}

} // namespace

double mesh_signed_volume6(const MaMesh* mesh, int keyframe)
{
    const std::vector<MaVertex>& v = mesh->keyframes[size_t(keyframe)].vertices;
    double sum = 0;
    for (const MaFace& f : mesh->faces) {
        const MaVertex &a = v[f.a], &b = v[f.b], &c = v[f.c];
        sum += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
    }
    return sum;
}

void make_road_set(uint64_t seed, std::vector<ContentMesh>* out)
{
    ContentRng rng;
    rng_seed(&rng, seed ^ 0x60ADull);
    const int np = periods();
    const double seg = 40; // length of one road segment: short, so near faces drop out one at a time

    // Footpaths: kerb faces and raised tops on both sides.
    {
        Builder b;
        for (double z = ROAD_Z_START; z < ROAD_Z_END; z += seg)
            for (int side = -1; side <= 1; side += 2) {
                double xi = 40 * side, xo = 62 * side;
                uint32_t k0 = b.add(xi, 0, z), k1 = b.add(xi, 0, z + seg);
                uint32_t t0 = b.add(xi, 4, z), t1 = b.add(xi, 4, z + seg);
                uint32_t o0 = b.add(xo, 4, z), o1 = b.add(xo, 4, z + seg);
                b.quad(k0, k1, t1, t0);
                b.quad(t0, t1, o1, o0);
            }
        MaMesh m;
        m.faces = b.f;
        m.keyframes.push_back({ b.v, 1 });
        add_mesh(out, "footpath.ma", std::move(m));
    }
    // Boxes: blocks beside the footpaths that pump in height; the layout of one period is
    // chosen once and repeated, so every 400 units look the same.
    for (int which = 0; which < 2; which++) {
        double side = which == 0 ? -1 : 1;
        struct Block {
            double z0, len, width, height;
        };
        std::vector<Block> layout;
        for (double z = 0; z < ROAD_PERIOD - 60; z += rng_range(&rng, 90, 140)) {
            double len = rng_range(&rng, 40, 70);
            if (z + len > ROAD_PERIOD - 10)
                break;
            layout.push_back({ z, len, rng_range(&rng, 30, 60), rng_range(&rng, 30, 90) });
        }
        std::vector<Builder> frames(2);
        for (int k = 0; k < 2; k++)
            for (int p = 0; p < np; p++)
                for (const Block& bl : layout) {
                    double pump = (k == 0) == (which == 0) ? 1.0 : 1.45;
                    double x0 = side * 80, x1 = side * (80 + bl.width);
                    double z0 = ROAD_Z_START + p * ROAD_PERIOD + bl.z0;
                    frames[size_t(k)].box(std::min(x0, x1), 0, z0, std::max(x0, x1), bl.height * pump, z0 + bl.len);
                }
        add_mesh(out, which == 0 ? "box1.ma" : "box2.ma", finish(&frames, { 8, 8 }));
    }
    // Road surface: a grid of four lanes.
    {
        Builder b;
        for (double z = ROAD_Z_START; z < ROAD_Z_END; z += seg)
            for (int lane = 0; lane < 4; lane++) {
                double x0 = -40 + lane * 20, x1 = x0 + 20;
                uint32_t a = b.add(x0, 0, z), c = b.add(x1, 0, z), d = b.add(x1, 0, z + seg), e = b.add(x0, 0, z + seg);
                b.quad(a, e, d, c);
            }
        MaMesh m;
        m.faces = b.f;
        m.keyframes.push_back({ b.v, 1 });
        add_mesh(out, "road.ma", std::move(m));
    }
    // Cones along the right kerb that hop in turn.
    {
        std::vector<Builder> frames(2);
        for (int k = 0; k < 2; k++)
            for (int p = 0; p < np; p++)
                for (int i = 0; i < 4; i++) {
                    double hop = (k == 1 && (i & 1)) || (k == 0 && !(i & 1)) ? 6 : 0;
                    frames[size_t(k)].cone(34, 4 + hop, ROAD_Z_START + p * ROAD_PERIOD + i * 100 + 50, 4, 14, 8);
                }
        add_mesh(out, "conerow.ma", finish(&frames, { 6, 6 }));
    }
    // The chickcone: a traffic cone (keyframe 0) that turns into a chick (keyframe 1).
    {
        const int segs = 10, rings = 8;
        std::vector<Builder> frames(2);
        for (int k = 0; k < 2; k++) {
            Builder& b = frames[size_t(k)];
            uint32_t bottom = b.add(0, k == 0 ? 0 : 4, 0);
            for (int r = 0; r <= rings; r++)
                for (int s = 0; s < segs; s++) {
                    double t = double(r) / rings, a = 2 * PI * s / segs;
                    double x, y, z;
                    if (k == 0) {
                        double rad = 9 * (1 - t) + 1;
                        x = rad * std::cos(a);
                        z = rad * std::sin(a);
                        y = t * 30;
                    } else {
                        // Body ellipsoid for the lower rings, head sphere above, beak towards -z.
                        if (t < 0.6) {
                            double lat = -PI / 2 + (t / 0.6) * PI * 0.9;
                            x = 11 * std::cos(lat) * std::cos(a);
                            z = 13 * std::cos(lat) * std::sin(a);
                            y = 14 + 10 * std::sin(lat);
                        } else {
                            double lat = -PI / 2 + ((t - 0.6) / 0.4) * PI * 0.95;
                            x = 7 * std::cos(lat) * std::cos(a);
                            z = 7 * std::cos(lat) * std::sin(a) - 5;
                            y = 31 + 7 * std::sin(lat);
                            if (s == segs * 3 / 4 && r == rings - 2)
                                z -= 8; // beak
                        }
                    }
                    b.add(x, y, z);
                }
            uint32_t top = b.add(0, k == 0 ? 31 : 38, k == 0 ? 0 : -5);
            auto ring = [&](int r, int s) { return uint32_t(1 + r * segs + ((s + segs) % segs)); };
            for (int s = 0; s < segs; s++) {
                b.tri(bottom, ring(0, s), ring(0, s + 1));
                for (int r = 0; r < rings; r++)
                    b.quad(ring(r, s), ring(r + 1, s), ring(r + 1, s + 1), ring(r, s + 1));
                b.tri(top, ring(rings, s + 1), ring(rings, s));
            }
        }
        add_mesh(out, "chickcone.ma", finish(&frames, { 30, 30 }));
    }
    // Road markings: dashed centre line and two solid edge lines, just above the surface.
    {
        Builder b;
        auto strip = [&](double x, double w, double z0, double z1) {
            uint32_t a = b.add(x - w, 0.2, z0), c = b.add(x + w, 0.2, z0);
            uint32_t d = b.add(x + w, 0.2, z1), e = b.add(x - w, 0.2, z1);
            b.quad(a, e, d, c);
        };
        for (int p = 0; p < np; p++) {
            double base = ROAD_Z_START + p * ROAD_PERIOD;
            for (int i = 0; i < 4; i++)
                strip(0, 1.5, base + i * 100 + 20, base + i * 100 + 70);
        }
        for (double z = ROAD_Z_START; z < ROAD_Z_END; z += seg) {
            strip(-37, 1, z, z + seg);
            strip(37, 1, z, z + seg);
        }
        MaMesh m;
        m.faces = b.f;
        m.keyframes.push_back({ b.v, 1 });
        add_mesh(out, "roadline.ma", std::move(m));
    }
}

void make_bottle_mesh(uint64_t seed, ContentMesh* out)
{
    (void)seed;
    // Profile of the bottle: (height, radius) from the base up to the lip.
    const double profile[][2] = { { 0, 26 }, { 3, 30 }, { 15, 31 }, { 35, 31 }, { 55, 31 }, { 66, 30 }, { 74, 26 },
        { 81, 18 }, { 88, 12 }, { 95, 10 }, { 108, 9.5 }, { 120, 9.5 }, { 123, 11 }, { 128, 11 } };
    const int rings = int(sizeof profile / sizeof profile[0]);
    const int segs = 16;
    const int keys = 4;
    std::vector<Builder> frames(keys);
    for (int k = 0; k < keys; k++) {
        Builder& b = frames[size_t(k)];
        double ph = 2 * PI * k / keys;
        uint32_t bottom = b.add(8 * std::sin(ph) * 0, 0, 0);
        for (int r = 0; r < rings; r++) {
            double y = profile[r][0], rad = profile[r][1];
            double t = y / 128.0;
            // Wobble: the belly bulges in two lobes that turn round, the neck sways.
            double sway = 14 * std::sin(ph) * t * t;
            double swayz = 10 * std::cos(ph) * t * t;
            for (int s = 0; s < segs; s++) {
                double a = 2 * PI * s / segs;
                double bulge = 1 + 0.16 * std::sin(2 * a + ph * 2) * std::sin(PI * std::min(1.0, t * 1.6));
                double squash = 1 + 0.06 * std::cos(ph * 2);
                b.add(rad * bulge * std::cos(a) + sway, y * squash, rad * bulge * std::sin(a) + swayz);
            }
        }
        double t = 1.0;
        uint32_t top = b.add(14 * std::sin(ph) * t, 128 * (1 + 0.06 * std::cos(ph * 2)), 10 * std::cos(ph) * t);
        auto ring = [&](int r, int s) { return uint32_t(1 + r * segs + ((s + segs) % segs)); };
        for (int s = 0; s < segs; s++) {
            b.tri(bottom, ring(0, s), ring(0, s + 1));
            for (int r = 0; r + 1 < rings; r++)
                b.quad(ring(r, s), ring(r + 1, s), ring(r + 1, s + 1), ring(r, s + 1));
            b.tri(top, ring(rings - 1, s + 1), ring(rings - 1, s));
        }
    }
    out->name = "bottlemosh.ma";
    out->mesh = finish(&frames, { 12, 12, 12, 12 });
}
