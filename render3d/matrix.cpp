// matrix.cpp -- identity, multiply, rotation, point transform and camera aiming.
#include "render3d/matrix.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "display/trig.h"

namespace {
constexpr Matrix IDENTITY = { { 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1 } };
}

void mat_identity(Matrix* m)
{
    *m = IDENTITY;
}

void mat_multiply(Matrix* d, const Matrix* a, const Matrix* b)
{
    Matrix t;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += a->m[4 * r + k] * b->m[4 * k + c];
            t.m[4 * r + c] = sum;
        }
    *d = t;
}

void mat_rotate(Matrix* m, const Camera* cam)
{
    Matrix r;
    const double a = cam->angle_z, b = cam->angle_y, c = cam->angle_x;

    mat_identity(&r);
    r.m[0] = trig_cos(a);
    r.m[1] = trig_sin(a);
    r.m[4] = -trig_sin(a);
    r.m[5] = trig_cos(a);
    mat_multiply(m, m, &r);

    mat_identity(&r);
    r.m[0] = trig_cos(b);
    r.m[2] = -trig_sin(b);
    r.m[8] = trig_sin(b);
    r.m[10] = trig_cos(b);
    mat_multiply(m, m, &r);

    mat_identity(&r);
    r.m[5] = trig_cos(c);
    r.m[6] = trig_sin(c);
    r.m[9] = -trig_sin(c);
    r.m[10] = trig_cos(c);
    mat_multiply(m, m, &r);
}

void transform_points(const Matrix* m, Vec4* points, int64_t count)
{
    const double* e = m->m;
    for (int64_t i = 0; i < count; ++i) {
        const Vec4 v = points[i];
        points[i].x = e[0] * v.x + e[1] * v.y + e[2] * v.z + e[3] * v.w;
        points[i].y = e[4] * v.x + e[5] * v.y + e[6] * v.z + e[7] * v.w;
        points[i].z = e[8] * v.x + e[9] * v.y + e[10] * v.z + e[11] * v.w;
        points[i].w = e[12] * v.x + e[13] * v.y + e[14] * v.z + e[15] * v.w;
    }
}

void aim_camera(Camera* cam, const Vec4* target)
{
    const double x = target->x + cam->offset_x;
    const double z = target->z + cam->offset_z;
    const double r = std::sqrt(x * x + z * z);
    // Straight above or below (r = 0) the heading is undefined: keep looking ahead.
    if (!(r > 0.0)) {
        cam->angle_y = 0.0;
        return;
    }
    double angle;
    if (z >= 0.0)
        angle = trig_asin(x / r);
    else if (x < 0.0)
        angle = trig_asin(-x / r) - std::numbers::pi;
    else
        angle = trig_asin(-x / r) + std::numbers::pi;
    cam->angle_y = angle;
}
