// matrix.h -- double-precision 4x4 matrices, points and the camera record.
#pragma once

#include <cstdint>

// 16 doubles, row-major: element (r, c) at index 4r + c. Points are column vectors (M·v),
// so the translation sits in column 3.
struct Matrix {
    double m[16];
};

// A point; w is 1.0 for every mesh or particle point so that column 3 translates it.
struct Vec4 {
    double x, y, z, w;
};

// Two Vec4s in layout: the three angles (radians) and a spare, then the offset that is
// added to every world point before rotating (the camera sits at minus the offset).
struct Camera {
    double angle_x, angle_y, angle_z, spare;
    double offset_x, offset_y, offset_z;
};

void mat_identity(Matrix* m);
// d = a × b, built in a temporary first so d may alias a or b.
void mat_multiply(Matrix* d, const Matrix* a, const Matrix* b);
// m = m × Rz(angle z) × Ry(angle y) × Rx(angle x).
void mat_rotate(Matrix* m, const Camera* cam);
// Each point v becomes m·v (all four components).
void transform_points(const Matrix* m, Vec4* points, int64_t count);
// Sets cam's angle y so that the target lies straight ahead in the horizontal plane.
void aim_camera(Camera* cam, const Vec4* target);
