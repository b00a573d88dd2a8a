// mesh.cpp -- MA mesh loader, keyframe animation step and the road scene's mesh set.
#include "render3d/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/bytes.h"
#include "display/data_file.h"

Mesh* footpath_mesh = nullptr;
Mesh* box1_mesh = nullptr;
Mesh* box2_mesh = nullptr;
Mesh* road_mesh = nullptr;
Mesh* conerow_mesh = nullptr;
Mesh* chickcone_mesh = nullptr;
Mesh* roadline_mesh = nullptr;

namespace {

constexpr uint64_t MA_HEADER_BYTES = 16;
constexpr uint64_t MA_VERTEX_BYTES = 32;
constexpr uint64_t MA_FACE_BYTES = 16;
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

} // namespace

uint64_t ma_described_bytes(uint32_t frames, uint32_t vertices, uint32_t faces, const char** reason)
{
    if (frames == 0) {
        *reason = "no keyframes";
        return 0;
    }
    if (faces > 0 && vertices == 0) {
        *reason = "faces without vertices";
        return 0;
    }
    if (frames > MA_MAX_FRAMES || vertices > MA_MAX_VERTICES || faces > MA_MAX_FACES) {
        *reason = "more keyframes, vertices or faces than a mesh may have";
        return 0;
    }
    // Within the bounds above every product fits in 64 bits.
    const uint64_t bytes = MA_HEADER_BYTES + uint64_t(frames) * (uint64_t(vertices) * MA_VERTEX_BYTES + 4)
        + uint64_t(faces) * MA_FACE_BYTES;
    if (bytes > MA_MAX_FILE_BYTES) {
        *reason = "its counts describe a mesh larger than a mesh file may be";
        return 0;
    }
    return bytes;
}

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

    // A mesh without keyframes can't be shown, a face always names a vertex, and counts that
    // the data cannot back are refused before allocating.
    const char* reason = nullptr;
    const uint64_t described = ma_described_bytes(frames, vertices, faces, &reason);
    if (described == 0 || described > 2 * size + MA_SHORT_FILE_SLACK) {
        note_load_reason(reason ? reason : "its counts describe far more data than the file holds");
        free_mesh(mesh);
        return nullptr;
    }

    mesh->frames = static_cast<MeshFrame**>(std::calloc(frames, sizeof(MeshFrame*)));
    mesh->work_vertices = alloc_vertices(vertices);
    mesh->render_vertices = alloc_vertices(vertices);
    mesh->faces = static_cast<Face*>(std::calloc(faces ? faces : 1, sizeof(Face)));
    if (!mesh->frames || !mesh->work_vertices || !mesh->render_vertices || !mesh->faces) {
        note_load_reason("out of memory");
        free_mesh(mesh);
        return nullptr;
    }

    uint8_t record[MA_VERTEX_BYTES];
    for (uint32_t i = 0; i < frames; ++i) {
        // The record and its two arrays in one block.
        MeshFrame* f = static_cast<MeshFrame*>(std::calloc(1, sizeof(MeshFrame) + 2 * sizeof(Vec4) * vertices));
        mesh->frames[i] = f;
        if (!f) {
            note_load_reason("out of memory");
            free_mesh(mesh);
            return nullptr;
        }
        f->positions = reinterpret_cast<Vec4*>(f + 1);
        f->deltas = f->positions + vertices;
        for (uint32_t j = 0; j < vertices; ++j) {
            read_bytes(&r, record, MA_VERTEX_BYTES);
            Vec4* p = &f->positions[j];
            p->x = load_f64(&record[0]);
            p->y = load_f64(&record[8]);
            p->z = load_f64(&record[16]);
            if (!std::isfinite(p->x) || !std::isfinite(p->y) || !std::isfinite(p->z)) {
                note_load_reason("a vertex coordinate is not a finite number");
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
            note_load_reason("a face names a vertex that does not exist");
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
                note_load_reason("keyframes too far apart (a step is not a finite number)");
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
    uint64_t file_size = 0;
    std::FILE* file = open_data_file(path, &file_size);
    if (!file)
        return nullptr;
    // The header says how much to read; nothing beyond that, and never more than the bound.
    uint8_t header[MA_HEADER_BYTES] = {};
    size_t got = 0;
    Mesh* mesh = nullptr;
    if (read_data_bytes(file, path, header, sizeof header, &got)) {
        const char* reason = nullptr;
        const uint64_t described
            = ma_described_bytes(load_u32(header), load_u32(header + 8), load_u32(header + 12), &reason);
        if (described == 0) {
            note_load_failure(path, reason);
        } else {
            const size_t want = size_t(std::min(described, file_size));
            // malloc rather than a container: running out of memory is a load failure, not an abort.
            auto* bytes = static_cast<uint8_t*>(std::malloc(want > got ? want : got));
            size_t more = 0;
            if (!bytes) {
                note_load_failure(path, "out of memory");
                std::fclose(file);
                return nullptr;
            }
            std::memcpy(bytes, header, got);
            if (want > got && !read_data_bytes(file, path, bytes + got, want - got, &more)) {
                std::free(bytes);
                std::fclose(file);
                return nullptr;
            }
            // The file's real size decides whether the counts are plausible.
            mesh = load_ma_bytes(bytes, got + more);
            std::free(bytes);
            if (!mesh)
                note_load_file(path);
        }
    }
    std::fclose(file);
    return mesh;
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
