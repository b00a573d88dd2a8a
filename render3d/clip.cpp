// clip.cpp -- building screen triangles and clipping them against the surface rectangle.
#include <cmath>

#include "display/numeric.h"
#include "display/surface.h"
#include "render3d/triangle.h"

namespace {

constexpr double EPSILON = 2.220446049250313e-16;
// Corners further out than this can survive clipping through float rounding near 2^31;
// such a triangle is not drawn.
constexpr double COORDINATE_LIMIT = 1048576.0;

enum Stage { STAGE_TOP, STAGE_RIGHT, STAGE_BOTTOM, STAGE_LEFT, STAGE_DONE };

struct ClipRect {
    float xmin, ymin, xmax, ymax;
};

struct Crossing {
    int edge;
    int outside; // index of the corner on the far side of the line
    ScreenVertex point;
};

void clip_stage(ScreenTriangle* t, Surface* surface, const ClipRect* rect, int stage);

// Cuts the three edges at the stage's line; returns the number of crossings kept (at most
// two: float deltas can make a far corner give a third, which is ignored).
int find_crossings(const ScreenTriangle* t, const ClipRect* rect, int stage, Crossing out[2])
{
    int found = 0;
    for (int k = 0; k < 3 && found < 2; ++k) {
        ScreenVertex p;
        int side;
        switch (stage) {
        case STAGE_TOP:
            side = cut_edge_horizontal(t, k, rect->ymin, &p);
            break;
        case STAGE_RIGHT:
            side = cut_edge_vertical(t, k, rect->xmax, &p);
            break;
        case STAGE_BOTTOM:
            side = cut_edge_horizontal(t, k, rect->ymax, &p);
            break;
        default:
            side = cut_edge_vertical(t, k, rect->xmin, &p);
            break;
        }
        if (side == 0)
            continue;
        const int from = k, to = (k + 1) % 3;
        // Top and left keep what lies beyond the line's high side; right and bottom the low.
        const bool from_outside = (stage == STAGE_TOP || stage == STAGE_LEFT) ? side < 0 : side > 0;
        out[found].edge = k;
        out[found].outside = from_outside ? from : to;
        out[found].point = p;
        ++found;
    }
    return found;
}

bool stage_rejects(const ScreenTriangle* t, const ClipRect* r, int stage)
{
    switch (stage) {
    case STAGE_TOP:
        return r->ymin >= t->max_y;
    case STAGE_RIGHT:
        return r->xmax <= t->min_x;
    case STAGE_BOTTOM:
        return r->ymax <= t->min_y;
    default:
        return r->xmin >= t->max_x;
    }
}

bool stage_needed(const ScreenTriangle* t, const ClipRect* r, int stage)
{
    switch (stage) {
    case STAGE_TOP:
        return t->min_y < r->ymin;
    case STAGE_RIGHT:
        return t->max_x > r->xmax;
    case STAGE_BOTTOM:
        return t->max_y > r->ymax;
    default:
        return t->min_x < r->xmin;
    }
}

void clip_stage(ScreenTriangle* t, Surface* surface, const ClipRect* rect, int stage)
{
    for (; stage < STAGE_DONE; ++stage) {
        if (stage_rejects(t, rect, stage))
            return;
        if (!stage_needed(t, rect, stage))
            continue;
        Crossing c[2];
        const int found = find_crossings(t, rect, stage, c);
        if (found == 2 && c[0].outside == c[1].outside) {
            // One corner outside: the rest is a quadrilateral, drawn as two triangles.
            const int k = c[0].outside;
            const int ending = (k + 2) % 3; // the edge that ends at k
            const ScreenVertex p_in = c[0].edge == ending ? c[0].point : c[1].point;
            const ScreenVertex p_out = c[0].edge == ending ? c[1].point : c[0].point;
            ScreenTriangle t2;
            t2.vertices[k] = p_in;
            t2.vertices[(k + 1) % 3] = p_out;
            t2.vertices[(k + 2) % 3] = t->vertices[(k + 1) % 3];
            t2.colour = t->colour;
            t2.draw = t->draw;
            update_triangle_bounds(&t2);
            link_triangle_edges(&t2);
            t->vertices[k] = p_in;
            update_triangle_bounds(t);
            update_triangle_deltas(t);
            clip_stage(&t2, surface, rect, stage + 1);
        } else if (found == 2) {
            t->vertices[c[0].outside] = c[0].point;
            t->vertices[c[1].outside] = c[1].point;
            update_triangle_bounds(t);
            update_triangle_deltas(t);
        } else if (found == 1) {
            // The third corner lies on the line.
            t->vertices[c[0].outside] = c[0].point;
            update_triangle_bounds(t);
            update_triangle_deltas(t);
        }
    }
    draw_clipped(t, surface);
}

} // namespace

void update_triangle_bounds(ScreenTriangle* t)
{
    t->min_x = t->max_x = t->vertices[0].x;
    t->min_y = t->max_y = t->vertices[0].y;
    for (int k = 1; k < 3; ++k) {
        const double x = t->vertices[k].x, y = t->vertices[k].y;
        if (y < t->min_y)
            t->min_y = y;
        else if (y > t->max_y)
            t->max_y = y;
        if (x < t->min_x)
            t->min_x = x;
        else if (x > t->max_x)
            t->max_x = x;
    }
}

void update_triangle_deltas(ScreenTriangle* t)
{
    for (int k = 0; k < 3; ++k) {
        ScreenEdge* e = &t->edges[k];
        const ScreenVertex* from = &t->vertices[e->from];
        const ScreenVertex* to = &t->vertices[e->to];
        e->dx = to->x - from->x;
        e->dy = to->y - from->y;
        e->dz = to->z - from->z;
    }
}

void link_triangle_edges(ScreenTriangle* t)
{
    for (int k = 0; k < 3; ++k) {
        t->edges[k].from = k;
        t->edges[k].to = (k + 1) % 3;
    }
    update_triangle_deltas(t);
}

int cut_edge_horizontal(const ScreenTriangle* t, int edge, float line, ScreenVertex* point)
{
    const ScreenEdge* e = &t->edges[edge];
    const ScreenVertex* from = &t->vertices[e->from];
    const double u = (double(line) - from->y) / e->dy;
    if (!(u > 0.0 && u < 1.0))
        return 0;
    point->x = single(from->x + u * e->dx);
    point->y = line;
    point->z = single(from->z + u * e->dz);
    return from->y < line ? -1 : 1;
}

int cut_edge_vertical(const ScreenTriangle* t, int edge, float line, ScreenVertex* point)
{
    const ScreenEdge* e = &t->edges[edge];
    const ScreenVertex* from = &t->vertices[e->from];
    const double u = (double(line) - from->x) / e->dx;
    if (!(u > 0.0 && u < 1.0))
        return 0;
    point->x = line;
    point->y = single(from->y + u * e->dy);
    point->z = single(from->z + u * e->dz);
    return from->x < line ? -1 : 1;
}

void submit_triangle(double x0, double y0, double z0, double x1, double y1, double z1, double x2, double y2, double z2,
    Surface* surface, uint32_t colour, int outline)
{
    if (!surface)
        return;
    ScreenTriangle t;
    t.vertices[0] = { float(trunc_i32(x0)), float(trunc_i32(y0)), float(trunc_i32(z0)) };
    t.vertices[1] = { float(trunc_i32(x1)), float(trunc_i32(y1)), float(trunc_i32(z1)) };
    t.vertices[2] = { float(trunc_i32(x2)), float(trunc_i32(y2)), float(trunc_i32(z2)) };
    t.draw = outline ? wire_triangle : fill_triangle;
    t.colour = colour;
    update_triangle_bounds(&t);
    link_triangle_edges(&t);
    clip_triangle(&t, surface, 0.0f, 0.0f, float(surface->width - 1), float(surface->height - 1));
}

void clip_triangle(ScreenTriangle* t, Surface* surface, float xmin, float ymin, float xmax, float ymax)
{
    if (xmin <= t->min_x && t->max_x <= xmax && ymin <= t->min_y && t->max_y <= ymax) {
        draw_clipped(t, surface);
        return;
    }
    const ClipRect rect = { xmin, ymin, xmax, ymax };
    clip_stage(t, surface, &rect, STAGE_TOP);
}

void draw_clipped(ScreenTriangle* t, Surface* surface)
{
    for (const ScreenVertex& v : t->vertices) {
        if (!(std::fabs(std::trunc(double(v.x))) <= COORDINATE_LIMIT)
            || !(std::fabs(std::trunc(double(v.y))) <= COORDINATE_LIMIT))
            return;
    }
    int m = 0;
    for (int k = 1; k < 3; ++k)
        if (t->vertices[k].y < t->vertices[m].y)
            m = k;
    const int before = (m + 2) % 3;
    if (std::fabs(double(t->vertices[before].y) - t->vertices[m].y) < EPSILON)
        m = before;
    if (m != 0) {
        const ScreenVertex v[3] = { t->vertices[m], t->vertices[(m + 1) % 3], t->vertices[(m + 2) % 3] };
        t->vertices[0] = v[0];
        t->vertices[1] = v[1];
        t->vertices[2] = v[2];
        link_triangle_edges(t);
    }
    if (t->draw)
        t->draw(t, surface);
}
