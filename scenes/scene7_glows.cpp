// scene7_glows.cpp -- scene 7: glow orbit, particle streams, camera ellipse and roll, face cues.
#include "scenes/scene7_glows.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "app/demo.h"
#include "display/numeric.h"
#include "effects/light.h"
#include "gfx2d/image.h"
#include "gfx2d/tables.h"
#include "scenes/scene_data.h"

namespace {

constexpr double TWO_PI = 2.0 * std::numbers::pi;
constexpr double FOCAL = 150.0;

static_assert(sizeof(Vec4) == 4 * sizeof(double));

struct ScreenPoint {
    float x, y;
};

// The depth is rounded to single precision before the divide; the results are single too.
ScreenPoint project(const Vec4& v)
{
    const double z = single(v.z);
    return ScreenPoint { single(v.x * FOCAL / z + 160.0), single(v.y * FOCAL / z + 120.0) };
}

void set_xyz(double* record, const Vec4& v)
{
    record[0] = v.x;
    record[1] = v.y;
    record[2] = v.z;
}

bool glow_data_ready()
{
    return shared_matrix && frame_surface && face_set.stream_a && face_set.stream_b && face_set.sizes
        && face_set.colours && face_set.faces[0] && face_set.faces[1] && face_set.faces[2];
}

} // namespace

void start_glow_run(GlowRun* run)
{
    *run = GlowRun {};
    run->p = Vec4 { 0.0, 0.0, 0.0, 1.0 };
    run->q = Vec4 { 0.0, 0.0, 0.0, 1.0 };
    run->target = Vec4 { 0.0, 0.0, GLOW_CENTRE_Z, 1.0 };
}

void glow_tick(GlowRun* run, FaceSet* set)
{
    run->a += GLOW_PHASE_A_STEP;
    if (run->a >= TWO_PI)
        run->a = 0.0;
    run->b += GLOW_PHASE_B_STEP;
    if (run->b >= TWO_PI)
        run->b = 0.0;
    const double b = run->b;
    const double opposite = b + std::numbers::pi;
    run->p = Vec4 { GLOW_ORBIT * std::cos(b), 0.0, GLOW_ORBIT * std::sin(b) + GLOW_CENTRE_Z, 1.0 };
    run->q = Vec4 { GLOW_ORBIT * std::cos(opposite), 0.0, GLOW_ORBIT * std::sin(opposite) + GLOW_CENTRE_Z, 1.0 };

    for (int i = 0; i < FACE_PARTICLES; ++i) {
        set->stream_a[i][1] += PARTICLE_RISE;
        set->stream_b[i][1] += PARTICLE_RISE;
        set->sizes[i] += PARTICLE_GROWTH;
        set->colours[i] -= PARTICLE_FADE;
        // Stream A decides for both: particle i of B is reborn with particle i of A.
        if (set->stream_a[i][1] >= PARTICLE_REBIRTH_Y) {
            set_xyz(set->stream_a[i], run->p);
            set_xyz(set->stream_b[i], run->q);
            set->sizes[i] = PARTICLE_START_SIZE;
            set->colours[i] = PARTICLE_START_COLOUR_RED;
        }
    }
}

int glow_face_for(uint32_t number)
{
    if (number >= GLOW_CUE_FACE1 && number <= GLOW_CUE_FACE3)
        return int(number - GLOW_CUE_FACE1);
    return -1;
}

void glow_draw(GlowRun* run, FaceSet* set, uint32_t number)
{
    clear_surface(frame_surface);

    Camera& camera = run->camera;
    camera.offset_x = GLOW_CAMERA_X * std::cos(run->a);
    camera.offset_z = GLOW_CAMERA_Z * std::sin(run->a) - GLOW_CENTRE_Z;
    camera.angle_z = run->a;
    // Per-frame camera-space copies of the two streams.
    Vec4 drawn_a[FACE_PARTICLES];
    Vec4 drawn_b[FACE_PARTICLES];
    std::memcpy(drawn_a, set->stream_a, sizeof drawn_a);
    std::memcpy(drawn_b, set->stream_b, sizeof drawn_b);

    Matrix* m = shared_matrix;
    mat_identity(m);
    m->m[0 * 4 + 3] = camera.offset_x;
    m->m[2 * 4 + 3] = camera.offset_z;
    aim_camera(&camera, &run->target);
    transform_points(m, &run->p, 1);
    transform_points(m, &run->q, 1);
    transform_points(m, drawn_a, FACE_PARTICLES);
    transform_points(m, drawn_b, FACE_PARTICLES);
    mat_identity(m);
    mat_rotate(m, &camera);
    transform_points(m, &run->p, 1);
    transform_points(m, &run->q, 1);
    transform_points(m, drawn_a, FACE_PARTICLES);
    transform_points(m, drawn_b, FACE_PARTICLES);

    for (const Vec4* glow : { &run->p, &run->q }) {
        const ScreenPoint s = project(*glow);
        draw_glow(frame_surface, s.x, s.y, single(1500.0 / glow->z), GLOW_GAIN, GLOW_COLOUR);
    }
    for (int i = 0; i < FACE_PARTICLES; ++i) {
        const ScreenPoint sa = project(drawn_a[i]);
        draw_soft_disc(frame_surface, sa.x, sa.y, single(set->sizes[i] * FOCAL / drawn_a[i].z), set->colours[i]);
        const ScreenPoint sb = project(drawn_b[i]);
        draw_soft_disc(frame_surface, sb.x, sb.y, single(set->sizes[i] * FOCAL / drawn_b[i].z), set->colours[i]);
    }

    const int face = glow_face_for(number);
    if (face >= 0) {
        const Image* picture = set->faces[face];
        draw_image(frame_surface, picture, 160 - (picture->width >> 1), 240 - picture->height);
    }
}

void glows_scene()
{
    if (!glow_data_ready())
        return;
    GlowRun run;
    start_glow_run(&run);
    while (scene_keeps_running(7, 7)) {
        const uint32_t ticks = wait_tick();
        elapsed_ticks = ticks - 1;
        for (uint32_t i = 0; i < ticks; ++i)
            glow_tick(&run, &face_set);
        glow_draw(&run, &face_set, current_scene_number());
        present(frame_surface, nullptr);
        show_frame();
        poll_messages();
    }
}
