// ma_writer.cpp -- encodes MaMesh records into the little-endian MA mesh format.
#include "tools/formats/ma_writer.h"

#include <cstdio>

#include "display/bytes.h"

namespace {

void put_u32(std::vector<uint8_t>* out, uint32_t v)
{
    uint8_t b[4];
    store_u32(b, v);
    out->insert(out->end(), b, b + 4);
}

void put_f64(std::vector<uint8_t>* out, double v)
{
    uint8_t b[8];
    store_f64(b, v);
    out->insert(out->end(), b, b + 8);
}

} // namespace

int encode_ma(const MaMesh* mesh, std::vector<uint8_t>* out)
{
    if (!mesh || !out || mesh->keyframes.empty())
        return 0;
    const size_t vertices = mesh->keyframes[0].vertices.size();
    if (vertices > 0xFFFFFFFFu || mesh->faces.size() > 0xFFFFFFFFu || mesh->keyframes.size() > 0xFFFFFFFFu)
        return 0;
    for (const MaKeyframe& k : mesh->keyframes)
        if (k.vertices.size() != vertices)
            return 0;
    for (const MaFace& f : mesh->faces)
        if (f.a >= vertices || f.b >= vertices || f.c >= vertices)
            return 0;

    out->clear();
    put_u32(out, uint32_t(mesh->keyframes.size()));
    put_u32(out, mesh->spare);
    put_u32(out, uint32_t(vertices));
    put_u32(out, uint32_t(mesh->faces.size()));
    for (const MaKeyframe& k : mesh->keyframes) {
        for (const MaVertex& v : k.vertices) {
            put_f64(out, v.x);
            put_f64(out, v.y);
            put_f64(out, v.z);
            put_f64(out, 1.0);
        }
        put_u32(out, k.step_count);
    }
    for (const MaFace& f : mesh->faces) {
        put_u32(out, f.a);
        put_u32(out, f.b);
        put_u32(out, f.c);
        put_u32(out, f.spare);
    }
    return 1;
}

int write_ma_file(const char* path, const MaMesh* mesh)
{
    std::vector<uint8_t> bytes;
    if (!encode_ma(mesh, &bytes))
        return 0;
    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}
