// scene_state.cpp -- byte copies of the scenes' lasting state, taken after set-up.
#include "scenes/scene_state.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "effects/stars.h"
#include "gfx2d/tables.h"
#include "render3d/mesh.h"
#include "scenes/globe.h"
#include "scenes/landscape.h"
#include "scenes/scene11_swarm.h"
#include "scenes/scene16_flames.h"
#include "scenes/scene8_running.h"
#include "scenes/scene_data.h"

namespace {

struct Block {
    void* at;
    size_t bytes;
    void* copy;
};
std::vector<Block> blocks;

void add(void* at, size_t bytes)
{
    if (at && bytes)
        blocks.push_back(Block { at, bytes, nullptr });
}

void add_mesh(Mesh* mesh)
{
    if (!mesh)
        return;
    add(&mesh->step, sizeof mesh->step);
    add(&mesh->current_frame, sizeof mesh->current_frame);
    add(mesh->render_vertices, sizeof(Vec4) * mesh->vertex_count);
    add(mesh->work_vertices, sizeof(Vec4) * mesh->vertex_count);
}

} // namespace

int save_scene_state()
{
    release_scene_state();
    for (Mesh* mesh :
        { footpath_mesh, box1_mesh, box2_mesh, road_mesh, conerow_mesh, chickcone_mesh, roadline_mesh, bottle_mesh })
        add_mesh(mesh);
    if (ring_table)
        for (int i = 0; i < RING_COUNT; ++i)
            add(ring_table[i], sizeof(Ring));
    add(ring_colours, sizeof(uint32_t) * RING_COUNT);
    add(ribbons, sizeof(Ribbon) * RIBBON_COUNT);
    add(shared_matrix, sizeof(Matrix));
    add(face_set.stream_a, sizeof(double[4]) * FACE_PARTICLES);
    add(face_set.stream_b, sizeof(double[4]) * FACE_PARTICLES);
    add(face_set.draw_a, sizeof(double[4]) * FACE_PARTICLES);
    add(face_set.draw_b, sizeof(double[4]) * FACE_PARTICLES);
    add(face_set.sizes, sizeof(double) * FACE_PARTICLES);
    add(face_set.colours, sizeof(uint32_t) * FACE_PARTICLES);
    if (balls)
        for (int i = 0; i < BALL_COUNT; ++i)
            add(&balls[i], sizeof(Ball)); // the record; the texture words are fixed
    add(flash_light, sizeof(FlashLight));
    add(swarm_particles, sizeof swarm_particles);
    add(&swarm_phase, sizeof swarm_phase);
    add(&landscape_camera, sizeof landscape_camera);
    if (globe) {
        add(&globe->centre, sizeof globe->centre);
        add(globe->axis, sizeof globe->axis);
        add(&globe->radius, sizeof globe->radius);
    }
    if (globe_stars) {
        add(globe_stars->base, sizeof(Vec4) * size_t(globe_stars->count));
        add(globe_stars->working, sizeof(Vec4) * size_t(globe_stars->count));
    }
    // The animations' frames and palettes: a stream may draw a frame over the one before.
    for (Surface* s : { run_surface, flame_surface })
        if (s)
            add(s->pixels, size_t(s->pitch) * size_t(s->height));
    add(run_palette, sizeof(uint32_t) * 256);
    add(flame_palette, sizeof(uint32_t) * 256);
    for (Block& b : blocks) {
        b.copy = std::malloc(b.bytes);
        if (!b.copy)
            return -1;
        std::memcpy(b.copy, b.at, b.bytes);
    }
    return 0;
}

void restore_scene_state()
{
    for (const Block& b : blocks)
        if (b.copy)
            std::memcpy(b.at, b.copy, b.bytes);
}

void release_scene_state()
{
    for (Block& b : blocks)
        std::free(b.copy);
    blocks.clear();
}
