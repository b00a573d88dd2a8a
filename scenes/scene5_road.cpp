// scene5_road.cpp -- scene 5: road set stepping, the two-pass camera, darken-and-trail, title fade.
#include "scenes/scene5_road.h"

#include <cmath>
#include <numbers>

#include "app/demo.h"
#include "display/trig.h"
#include "gfx2d/blit.h"
#include "gfx2d/image.h"
#include "render3d/mesh.h"
#include "render3d/triangle.h"
#include "scenes/scene_data.h"

namespace {

constexpr double TWO_PI = 2.0 * std::numbers::pi;
constexpr double PHASE_STEP = 0.1;
constexpr double TRAVEL_STEP = 2.0;

bool is_cone_cue(uint32_t number)
{
    return number == ROAD_CUE_SLIDE || number == ROAD_CUE_STOP;
}

void transform_mesh(Mesh* mesh)
{
    transform_points(shared_matrix, mesh->render_vertices, mesh->vertex_count);
}

void outline(Mesh* mesh, Surface* target, uint32_t colour)
{
    render_mesh(mesh->faces, mesh->render_vertices, mesh->face_count, target, colour, 1);
}

// The six meshes of the road itself in drawing order, with their colours.
void draw_road_set(Surface* target)
{
    outline(box1_mesh, target, ROAD_BOX_COLOUR);
    outline(box2_mesh, target, ROAD_BOX_COLOUR);
    outline(road_mesh, target, ROAD_ROAD_COLOUR);
    outline(roadline_mesh, target, ROAD_LINE_COLOUR);
    outline(footpath_mesh, target, ROAD_FOOTPATH_COLOUR);
    outline(conerow_mesh, target, ROAD_CONE_COLOUR);
}

// The six meshes in the order they are stepped and transformed.
void for_road_set(void (*apply)(Mesh*))
{
    apply(box1_mesh);
    apply(box2_mesh);
    apply(footpath_mesh);
    apply(road_mesh);
    apply(roadline_mesh);
    apply(conerow_mesh);
}

bool road_data_ready()
{
    return shared_matrix && title_picture && depth_buffer && footpath_mesh && box1_mesh && box2_mesh && road_mesh
        && conerow_mesh && chickcone_mesh && roadline_mesh && frame_surface && work_surface_1;
}

} // namespace

void start_road_run(RoadRun* run)
{
    *run = RoadRun {};
    run->camera.offset_y = ROAD_CAMERA_Y;
    run->camera.offset_z = ROAD_START_Z;
    run->target = Vec4 { 0.0, 30.0, ROAD_TARGET_AHEAD - ROAD_START_Z, 1.0 };
    run->phase = 0.0;
    run->fade_level = 0;
}

void road_tick(RoadRun* run, uint32_t number)
{
    for_road_set(mesh_step);

    double& z = run->camera.offset_z;
    z -= TRAVEL_STEP;
    if (z <= ROAD_WRAP_Z && number != ROAD_CUE_STOP) {
        z = ROAD_START_Z;
        // The chickcone stands in world space; moving it with the jump keeps its place in view.
        if (number == ROAD_CUE_SLIDE)
            run->target.z -= ROAD_REPEAT;
    }
    if (run->fade_level < ROAD_FADE_DONE)
        ++run->fade_level;
    run->phase += PHASE_STEP;
    if (run->phase >= TWO_PI)
        run->phase = 0.0;

    if (number == ROAD_CUE_SLIDE) {
        mesh_step(chickcone_mesh);
        chickcone_mesh->step = 0; // held on keyframe 0
        chickcone_mesh->current_frame = 0;
        if (run->target.x > CHICKCONE_STOP_X)
            run->target.x -= 1.0;
    } else if (number == ROAD_CUE_STOP) {
        mesh_step(chickcone_mesh);
        if (chickcone_mesh->current_frame == 1)
            chickcone_mesh->step = 0; // plays into keyframe 1 and holds there
    }
}

void darken_surface(Surface* surface)
{
    for (int y = 0; y < surface->height; ++y) {
        uint32_t* row = surface_row32(surface, y);
        for (int x = 0; x < surface->width; ++x)
            row[x] = (row[x] >> 1) & 0x7F7F7F7Fu;
    }
}

void road_draw(RoadRun* run, uint32_t number)
{
    const bool cone = is_cone_cue(number);
    const double z = run->camera.offset_z;
    const double sway = trig_sin(run->phase);
    if (!cone) {
        run->target.z = ROAD_TARGET_AHEAD - z;
        run->target.x = ROAD_SWAY * sway;
    }
    aim_camera(&run->camera, &run->target);
    run->camera.angle_z = std::numbers::pi + (std::numbers::pi / 64.0) * sway;

    Matrix* m = shared_matrix;
    if (cone) {
        mat_identity(m);
        m->m[0 * 4 + 3] = run->target.x;
        m->m[2 * 4 + 3] = run->target.z;
        transform_mesh(chickcone_mesh);
    }
    mat_identity(m);
    m->m[2 * 4 + 3] = z;
    m->m[1 * 4 + 3] = ROAD_CAMERA_Y;
    for_road_set(transform_mesh);
    if (cone)
        transform_mesh(chickcone_mesh);
    mat_identity(m);
    mat_rotate(m, &run->camera);
    for_road_set(transform_mesh);

    darken_surface(frame_surface);
    clear_depth();
    if (cone)
        transform_mesh(chickcone_mesh);

    if (run->fade_level >= ROAD_FADE_DONE) {
        draw_road_set(frame_surface);
        if (cone)
            outline(chickcone_mesh, frame_surface, ROAD_CONE_COLOUR);
        return;
    }
    // Still fading in: the outlines go to work surface 1 and are mixed over the title.
    draw_image(frame_surface, title_picture, 160 - (title_picture->width >> 1), 120 - (title_picture->height >> 1));
    for (int y = 0; y < work_surface_1->height; ++y) {
        uint32_t* row = surface_row32(work_surface_1, y);
        for (int x = 0; x < work_surface_1->width; ++x)
            row[x] = 0;
    }
    draw_road_set(work_surface_1);
    cross_fade(surface_row32(work_surface_1, 0), surface_row32(frame_surface, 0), run->fade_level);
}

void road_frame(RoadRun* run, uint32_t ticks)
{
    uint32_t number = current_scene_number();
    for (uint32_t i = 0; i < ticks; ++i) {
        number = current_scene_number();
        road_tick(run, number);
    }
    // Drawing follows the number the ticks saw, so the chickcone is only placed and drawn on a
    // frame whose ticks stepped it (its render vertices are fresh).
    road_draw(run, number);
}

void road_scene()
{
    if (!road_data_ready())
        return;
    RoadRun run;
    start_road_run(&run);
    while (scene_keeps_running(5, 5)) {
        const uint32_t ticks = wait_tick();
        elapsed_ticks = ticks - 1;
        road_frame(&run, ticks);
        present(frame_surface, nullptr);
        show_frame();
        poll_messages();
    }
}
