// faces.cpp -- the face pictures and particle records of the twin glow scene.
#include <cstdlib>
#include <cstring>

#include "gfx2d/tables.h"

const char* const FACE_PICTURE_PATHS[3] = { "./data/face1.acg", "./data/face2.acg", "./data/face3.acg" };

int load_faces(FaceSet* set, const char* const paths[3])
{
    if (!set || !paths)
        return 0;
    for (int i = 0; i < 3; ++i) {
        set->faces[i] = load_acg_file(paths[i]);
        if (!set->faces[i])
            return 0;
    }
    set->stream_a = static_cast<double(*)[4]>(std::calloc(FACE_PARTICLES, sizeof(double[4])));
    set->stream_b = static_cast<double(*)[4]>(std::calloc(FACE_PARTICLES, sizeof(double[4])));
    set->draw_a = static_cast<double(*)[4]>(std::calloc(FACE_PARTICLES, sizeof(double[4])));
    set->draw_b = static_cast<double(*)[4]>(std::calloc(FACE_PARTICLES, sizeof(double[4])));
    set->sizes = static_cast<double*>(std::calloc(FACE_PARTICLES, sizeof(double)));
    set->colours = static_cast<uint32_t*>(std::calloc(FACE_PARTICLES, sizeof(uint32_t)));
    if (!set->stream_a || !set->stream_b || !set->draw_a || !set->draw_b || !set->sizes || !set->colours)
        return 0;
    for (int i = 0; i < FACE_PARTICLES; ++i) {
        const double start[4] = { 0.0, 4.0 * i, 0.0, 1.0 };
        std::memcpy(set->stream_a[i], start, sizeof start);
        std::memcpy(set->stream_b[i], start, sizeof start);
        set->sizes[i] = 2.0;
        set->colours[i] = 0xFF480000u;
    }
    std::memcpy(set->draw_a, set->stream_a, FACE_PARTICLES * sizeof(double[4]));
    std::memcpy(set->draw_b, set->stream_b, FACE_PARTICLES * sizeof(double[4]));
    return 1;
}
