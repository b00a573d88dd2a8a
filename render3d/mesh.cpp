// mesh.cpp -- MA mesh loader, keyframe animation step and the road scene's mesh set.
#include "render3d/mesh.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "display/bytes.h"

Mesh* footpath_mesh = nullptr;
Mesh* box1_mesh = nullptr;
Mesh* box2_mesh = nullptr;
Mesh* road_mesh = nullptr;
Mesh* conerow_mesh = nullptr;
Mesh* chickcone_mesh = nullptr;
Mesh* roadline_mesh = nullptr;

namespace {

constexpr uint64_t MA_VERTEX_BYTES = 32;
constexpr uint64_t ALLOCATION_OVERHEAD = 64;
// A keyframe's arrays follow its record in the same block.
static_assert(sizeof(MeshFrame) % alignof(Vec4) == 0);

// Reads front to back; bytes past the end of the buffer read as zero, as a short file
// leaves the rest of a fresh zero-filled allocation untouched.
struct Reader {
    const uint8_t* data;
    uint64_t size;
    uint64_t pos;
};

void read_bytes(Reader* r, uint8_t* out, uint64_t n)
{
    uint64_t avail = r->pos < r->size ? r->size - r->pos : 0;
    uint64_t take = n < avail ? n : avail;
    if (take)
        std::memcpy(out, r->data + r->pos, take);
    if (take < n)
        std::memset(out + take, 0, n - take);
    r->pos += n;
}

uint32_t read_u32(Reader* r)
{
    uint8_t b[4];
    read_bytes(r, b, 4);
    return load_u32(b);
}

Vec4* alloc_vertices(uint32_t count)
{
    // calloc(0) may return null; ask for at least one so null always means failure.
    return static_cast<Vec4*>(std::calloc(count ? count : 1, sizeof(Vec4)));
}

// Total bytes the counts ask for, or false when that is more than any mesh may take.
bool mesh_bytes_ok(uint32_t frames, uint32_t vertices, uint32_t faces)
{
    uint64_t per_frame, frame_total, shape, face_total;
    if (!checked_size(vertices, 2 * sizeof(Vec4), &per_frame))
        return false;
    // Each keyframe is one allocation; count the allocator's own cost too.
    if (!checked_size(
            frames, int64_t(per_frame + sizeof(MeshFrame) + sizeof(MeshFrame*) + ALLOCATION_OVERHEAD), &frame_total))
        return false;
    if (!checked_size(faces, sizeof(Face), &face_total))
        return false;
    shape = per_frame; // render and work vertices
    return frame_total <= MAX_ALLOCATION && frame_total + shape + face_total <= MAX_ALLOCATION;
}

} // namespace

void free_mesh(Mesh* mesh)
{
    if (!mesh)
        return;
    if (mesh->frames) {
        for (uint32_t i = 0; i < mesh->frame_count; ++i) {
            MeshFrame* f = mesh->frames[i];
            std::free(f);
        }
    }
    std::free(mesh->frames);
    std::free(mesh->render_vertices);
    std::free(mesh->work_vertices);
    std::free(mesh->faces);
    std::free(mesh);
}

Mesh* load_ma_bytes(const uint8_t* data, uint64_t size)
{
    Reader r = { data, size, 0 };
    Mesh* mesh = static_cast<Mesh*>(std::calloc(1, sizeof(Mesh)));
    if (!mesh)
        return nullptr;
    mesh->frame_count = read_u32(&r);
    mesh->spare = read_u32(&r);
    mesh->vertex_count = read_u32(&r);
    mesh->face_count = read_u32(&r);
    mesh->step = 0;
    mesh->current_frame = 0;
    const uint32_t frames = mesh->frame_count, vertices = mesh->vertex_count, faces = mesh->face_count;

    // A mesh without keyframes can't be shown, a face always names a vertex, and huge counts
    // are refused before allocating.
    if (frames == 0 || (faces > 0 && vertices == 0) || !mesh_bytes_ok(frames, vertices, faces)) {
        free_mesh(mesh);
        return nullptr;
    }

    mesh->frames = static_cast<MeshFrame**>(std::calloc(frames, sizeof(MeshFrame*)));
    mesh->work_vertices = alloc_vertices(vertices);
    mesh->render_vertices = alloc_vertices(vertices);
    mesh->faces = static_cast<Face*>(std::calloc(faces ? faces : 1, sizeof(Face)));
    if (!mesh->frames || !mesh->work_vertices || !mesh->render_vertices || !mesh->faces) {
        free_mesh(mesh);
        return nullptr;
    }

    std::vector<uint8_t> record(MA_VERTEX_BYTES);
    for (uint32_t i = 0; i < frames; ++i) {
        // The record and its two arrays in one block.
        MeshFrame* f = static_cast<MeshFrame*>(std::calloc(1, sizeof(MeshFrame) + 2 * sizeof(Vec4) * vertices));
        mesh->frames[i] = f;
        if (!f) {
            free_mesh(mesh);
            return nullptr;
        }
        f->positions = reinterpret_cast<Vec4*>(f + 1);
        f->deltas = f->positions + vertices;
        for (uint32_t j = 0; j < vertices; ++j) {
            read_bytes(&r, record.data(), MA_VERTEX_BYTES);
            Vec4* p = &f->positions[j];
            p->x = load_f64(&record[0]);
            p->y = load_f64(&record[8]);
            p->z = load_f64(&record[16]);
            if (!std::isfinite(p->x) || !std::isfinite(p->y) || !std::isfinite(p->z)) {
                free_mesh(mesh);
                return nullptr;
            }
        }
        f->step_count = read_u32(&r);
        for (uint32_t j = 0; j < vertices; ++j) {
            f->positions[j].w = 1.0;
            mesh->render_vertices[j].w = 1.0;
        }
    }

    for (uint32_t i = 0; i < faces; ++i) {
        const uint32_t a = read_u32(&r), b = read_u32(&r), c = read_u32(&r), d = read_u32(&r);
        // Indices must name a vertex: the renderer reads them without checking.
        if (a >= vertices || b >= vertices || c >= vertices) {
            free_mesh(mesh);
            return nullptr;
        }
        mesh->faces[i] = Face { c, b, a, d };
    }

    for (uint32_t i = 0; i < frames; ++i) {
        const MeshFrame* f = mesh->frames[i];
        const MeshFrame* n = mesh->frames[i + 1 < frames ? i + 1 : 0];
        const double s = double(f->step_count);
        for (uint32_t j = 0; j < vertices; ++j) {
            Vec4* d = &f->deltas[j];
            // With S = 0 the keyframe wraps on every tick and its deltas are never used;
            // 0 keeps them finite.
            if (f->step_count == 0) {
                d->x = d->y = d->z = 0.0;
            } else {
                d->x = (n->positions[j].x - f->positions[j].x) / s;
                d->y = (n->positions[j].y - f->positions[j].y) / s;
                d->z = (n->positions[j].z - f->positions[j].z) / s;
            }
            d->w = 1.0;
            if (!std::isfinite(d->x) || !std::isfinite(d->y) || !std::isfinite(d->z)) {
                free_mesh(mesh);
                return nullptr;
            }
        }
    }

    for (uint32_t j = 0; j < vertices; ++j) {
        mesh->work_vertices[j] = mesh->frames[0]->positions[j];
        mesh->work_vertices[j].w = 1.0;
    }
    return mesh;
}

Mesh* load_ma(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return nullptr;
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    return load_ma_bytes(bytes.data(), bytes.size());
}

void mesh_step(Mesh* mesh)
{
    if (!mesh || mesh->frame_count == 0 || !mesh->frames)
        return;
    // Scenes write current frame directly; an index past the end restarts the animation.
    if (mesh->current_frame >= mesh->frame_count)
        mesh->current_frame = 0;
    const MeshFrame* f = mesh->frames[mesh->current_frame];
    const double step = double(mesh->step);
    for (uint32_t j = 0; j < mesh->vertex_count; ++j) {
        Vec4* w = &mesh->work_vertices[j];
        w->x = f->positions[j].x + step * f->deltas[j].x;
        w->y = f->positions[j].y + step * f->deltas[j].y;
        w->z = f->positions[j].z + step * f->deltas[j].z;
        w->w = 1.0;
        mesh->render_vertices[j] = *w;
    }
    mesh->step += 1;
    if (mesh->step >= f->step_count) {
        mesh->step = 0;
        mesh->current_frame += 1;
        if (mesh->current_frame >= mesh->frame_count)
            mesh->current_frame = 0;
        const MeshFrame* n = mesh->frames[mesh->current_frame];
        std::memcpy(mesh->render_vertices, n->positions, sizeof(Vec4) * mesh->vertex_count);
    }
}

int load_road_set()
{
    struct Entry {
        const char* path;
        Mesh** global;
    };
    const Entry entries[] = {
        { "./data/footpath.ma", &footpath_mesh },
        { "./data/box1.ma", &box1_mesh },
        { "./data/box2.ma", &box2_mesh },
        { "./data/road.ma", &road_mesh },
        { "./data/conerow.ma", &conerow_mesh },
        { "./data/chickcone.ma", &chickcone_mesh },
        { "./data/roadline.ma", &roadline_mesh },
    };
    for (const Entry& e : entries) {
        *e.global = load_ma(e.path);
        if (!*e.global)
            return 0;
    }
    return 1;
}
