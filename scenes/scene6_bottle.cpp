// scene6_bottle.cpp -- scene 6: bottle animation, circling camera, lens backdrop, filled faces.
#include "scenes/scene6_bottle.h"

#include <cmath>
#include <numbers>

#include "app/demo.h"
#include "display/numeric.h"
#include "display/trig.h"
#include "gfx2d/tables.h"
#include "render3d/mesh.h"
#include "render3d/triangle.h"
#include "scenes/scene_data.h"

namespace {

constexpr double TWO_PI = 2.0 * std::numbers::pi;

bool bottle_data_ready()
{
    return bottle_mesh && shared_matrix && warper_surface && lens_u && lens_v && depth_buffer && frame_surface
        && warper_surface->width == WARPER_WIDTH && warper_surface->height == WARPER_HEIGHT
        && warper_surface->pitch == WARPER_WIDTH * 4 && frame_surface->width == TABLE_WIDTH
        && frame_surface->height == TABLE_HEIGHT && frame_surface->pitch == TABLE_WIDTH * 4;
}

} // namespace

void start_bottle_run(BottleRun* run)
{
    *run = BottleRun {};
    run->camera.angle_z = std::numbers::pi;
    run->camera.offset_y = BOTTLE_CAMERA_Y;
    run->target = Vec4 { 0.0, 0.0, 0.0, 1.0 };
    run->phase = 0.0;
}

void bottle_tick(BottleRun* run)
{
    mesh_step(bottle_mesh);
    run->phase += BOTTLE_PHASE_STEP;
    if (run->phase >= TWO_PI)
        run->phase = 0.0;
}

int bottle_backdrop_scroll(double angle_y)
{
    return trunc_i32(angle_y * BOTTLE_SCROLL_PER_RADIAN);
}

void bottle_draw(BottleRun* run)
{
    Camera& camera = run->camera;
    camera.offset_x = BOTTLE_RADIUS * trig_cos(run->phase);
    camera.offset_z = BOTTLE_RADIUS * trig_sin(run->phase);
    aim_camera(&camera, &run->target);

    Matrix* m = shared_matrix;
    mat_identity(m);
    m->m[0 * 4 + 3] = camera.offset_x;
    m->m[1 * 4 + 3] = camera.offset_y;
    m->m[2 * 4 + 3] = camera.offset_z;
    transform_points(m, bottle_mesh->render_vertices, bottle_mesh->vertex_count);
    mat_identity(m);
    mat_rotate(m, &camera);
    transform_points(m, bottle_mesh->render_vertices, bottle_mesh->vertex_count);

    // The backdrop overwrites every pixel, so nothing of the previous frame survives.
    warp_screen(bottle_backdrop_scroll(camera.angle_y), BOTTLE_BACKDROP_ROW, lens_u, lens_v,
        surface_row32(warper_surface, 0), surface_row32(frame_surface, 0), WARPER_WIDTH, WARPER_HEIGHT);
    clear_depth();
    render_mesh(
        bottle_mesh->faces, bottle_mesh->render_vertices, bottle_mesh->face_count, frame_surface, BOTTLE_COLOUR, 0);
}

void bottle_scene()
{
    if (!bottle_data_ready())
        return;
    BottleRun run;
    start_bottle_run(&run);
    while (scene_keeps_running(6, 6)) {
        const uint32_t ticks = wait_tick();
        elapsed_ticks = ticks - 1;
        for (uint32_t i = 0; i < ticks; ++i)
            bottle_tick(&run);
        bottle_draw(&run);
        present(frame_surface, nullptr);
        show_frame();
        poll_messages();
    }
}
