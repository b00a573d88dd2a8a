// stars.h -- the star field: points on a sphere, turned by the camera, splatted sub-pixel.
#pragma once

#include <cstdint>

#include "render3d/matrix.h"

struct Surface;

// One allocation: the record, then the base array, then the working array. Each star is
// (x, y, z, brightness 0-255).
struct StarField {
    int32_t count;
    Vec4* base;
    Vec4* working;
};

constexpr double STAR_SPHERE_RADIUS = 8000.0;

// Null when out of memory or count is negative.
StarField* create_star_field(int32_t count);
void free_star_field(StarField* field);
// Working array = matrix · base array.
void transform_stars(StarField* field, const Matrix* matrix);
void draw_stars(const StarField* field, Surface* surface);
// Blends colour into the up to four pixels around (x, y) by their bilinear weights.
void splat_point(Surface* surface, float x, float y, uint32_t colour);
