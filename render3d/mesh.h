// mesh.h -- keyframed MA meshes, their loader and animation step, and the mesh renderer.
#pragma once

#include <cstdint>

#include "render3d/matrix.h"

struct Surface;

// One keyframe: positions, per-tick change towards the next keyframe, and the number of
// ticks the morph takes.
struct MeshFrame {
    Vec4* positions;
    Vec4* deltas;
    uint32_t step_count;
};

// A triangle. The loader stores the file's record (a, b, c, d) as i0 = c, i1 = b, i2 = a,
// so reading i2, i1, i0 gives the file's order back.
struct Face {
    uint32_t i0, i1, i2;
    uint32_t spare;
};

struct Mesh {
    uint32_t frame_count;
    MeshFrame** frames;
    uint32_t vertex_count;
    Vec4* render_vertices; // current shape; scenes transform and draw these in place
    Vec4* work_vertices; // scratch copy of the interpolated shape
    uint32_t face_count;
    Face* faces;
    uint32_t spare; // the header's spare value, unused
    uint32_t step; // ticks already spent in the current keyframe
    uint32_t current_frame; // index of the current keyframe
};

// Reads an MA file. Null when the file can't be opened, memory runs out, or the file is
// unusable: no keyframe, counts too large to allocate, a face index not below the vertex
// count, or a coordinate that is not finite. Missing bytes at the end of a short file read
// as zero.
Mesh* load_ma(const char* path);

// Bounds on what an MA header may ask for. The counts must also fit the file: what they
// describe may be at most twice the file's bytes plus MA_SHORT_FILE_SLACK (a cut file still
// loads with zeros, a changed count cannot turn a small file into a huge mesh).
constexpr uint32_t MA_MAX_FRAMES = 4096;
constexpr uint32_t MA_MAX_VERTICES = 1u << 18;
constexpr uint32_t MA_MAX_FACES = 1u << 19;
constexpr uint64_t MA_MAX_FILE_BYTES = uint64_t(16) << 20;
constexpr uint64_t MA_SHORT_FILE_SLACK = 4096;
// Bytes a file with these counts has (header, keyframes, faces), or 0 when a count is out of
// bounds. Fills *reason with a static text on failure.
uint64_t ma_described_bytes(uint32_t frames, uint32_t vertices, uint32_t faces, const char** reason);
// The same from a buffer already in memory.
Mesh* load_ma_bytes(const uint8_t* data, uint64_t size);
// Releases a mesh and everything it owns (the demo keeps its meshes; tools and tests don't).
void free_mesh(Mesh* mesh);

// Advances the animation by one tick and writes the current shape into the render vertices.
// A mesh without keyframes is left alone.
void mesh_step(Mesh* mesh);

// The road scene's meshes, loaded in this order by load_road_set.
extern Mesh* footpath_mesh;
extern Mesh* box1_mesh;
extern Mesh* box2_mesh;
extern Mesh* road_mesh;
extern Mesh* conerow_mesh;
extern Mesh* chickcone_mesh;
extern Mesh* roadline_mesh;
// Non-zero when all seven loaded; stops at the first failure.
int load_road_set();

// Lights, projects and draws every face whose corners all lie in front of the camera.
// vertices are camera-space (x right, y down, z away). outline 0 fills with depth test,
// anything else draws outlines.
void render_mesh(
    const Face* faces, const Vec4* vertices, uint32_t face_count, Surface* target, uint32_t base_colour, int outline);

// The flat colour of one face (exposed for tests): lighting by orientation and distance fade.
uint32_t face_colour(const Vec4* v0, const Vec4* v1, const Vec4* v2, uint32_t base_colour);
