// fuzz_ma.cpp -- any byte string through the MA loader, one animation step and both render modes.
#include <cstddef>
#include <cstdint>

#include "display/surface.h"
#include "gfx2d/depth_buffer.h"
#include "render3d/matrix.h"
#include "render3d/mesh.h"
#include "render3d/triangle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Surface* surface = create_surface(320, 240, 32);
    if (!surface || !allocate_depth_buffer())
        return 0;
    // No count is skipped: the loader itself bounds what a header may ask for by the data's size.
    Mesh* mesh = load_ma_bytes(data, size);
    if (!mesh)
        return 0;
    mesh_step(mesh);
    // Push the shape in front of the camera so that faces reach the clipper and the fills.
    Matrix m;
    mat_identity(&m);
    m.m[11] = 120.0;
    transform_points(&m, mesh->render_vertices, mesh->vertex_count);
    clear_depth();
    render_mesh(mesh->faces, mesh->render_vertices, mesh->face_count, surface, 0xFFC08040u, 0);
    render_mesh(mesh->faces, mesh->render_vertices, mesh->face_count, surface, 0xFFC08040u, 1);
    mesh_step(mesh);
    free_mesh(mesh);
    return 0;
}
