// triangle.h -- screen triangles: submission, clipping to the surface, fill, outline, lines.
#pragma once

#include <cstdint>

struct Surface;

struct ScreenVertex {
    float x, y, z; // screen pixels; z is the camera-space depth
};

// Edge k runs from vertex k to vertex (k + 1) mod 3. from/to are indices into the same
// record's vertices, so a copied triangle stays consistent; the deltas are to − from.
struct ScreenEdge {
    int32_t from, to;
    float dx, dy, dz;
};

struct ScreenTriangle;
using TriangleDraw = void (*)(ScreenTriangle* triangle, Surface* surface);

struct ScreenTriangle {
    ScreenVertex vertices[3];
    ScreenEdge edges[3];
    uint32_t colour;
    double min_x, max_x, min_y, max_y;
    TriangleDraw draw; // fill_triangle or wire_triangle
};

// Truncates the nine numbers to whole values, then clips against the whole surface.
void submit_triangle(double x0, double y0, double z0, double x1, double y1, double z1, double x2, double y2, double z2,
    Surface* surface, uint32_t colour, int outline);
void clip_triangle(ScreenTriangle* triangle, Surface* surface, float xmin, float ymin, float xmax, float ymax);
// Brings the top corner to vertex 0 and calls the triangle's draw operation.
void draw_clipped(ScreenTriangle* triangle, Surface* surface);

// Supporting operations.
void update_triangle_bounds(ScreenTriangle* triangle);
void link_triangle_edges(ScreenTriangle* triangle);
void update_triangle_deltas(ScreenTriangle* triangle);
// Crossing of an edge with y = line (or x = line): 0 for none, else -1 when the edge starts
// on the low side of the line and +1 otherwise; *point receives the crossing.
int cut_edge_horizontal(const ScreenTriangle* triangle, int edge, float line, ScreenVertex* point);
int cut_edge_vertical(const ScreenTriangle* triangle, int edge, float line, ScreenVertex* point);

// The depth buffer's far value.
constexpr float DEPTH_FAR = 400.0f;
// Sets every depth to 400.
void clear_depth();
// Flat fill with depth test; snaps the triangle's corners to whole pixels.
void fill_triangle(ScreenTriangle* triangle, Surface* surface);
// The three sides with plot_line, no depth test.
void wire_triangle(ScreenTriangle* triangle, Surface* surface);
// Line from the upper end down; a line leaving the surface sideways wraps to the next row.
void plot_line(Surface* surface, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour);
