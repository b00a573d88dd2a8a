// obj2ma.cpp -- converts Wavefront OBJ files into an MA mesh: one keyframe per OBJ file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/formats/ma_writer.h"

namespace {

void usage()
{
    std::fprintf(stderr,
        "usage: obj2ma OUTPUT.ma INPUT.obj STEPS [INPUT.obj STEPS ...]\n"
        "  Each OBJ file becomes one keyframe; STEPS is the number of 32 ms ticks the morph\n"
        "  to the next keyframe takes (the last morphs back to the first). All files must have\n"
        "  the same vertex count; the faces come from the first file. Polygons are split into\n"
        "  fans that keep the file's corner order.\n");
}

struct ObjData {
    std::vector<MaVertex> vertices;
    std::vector<MaFace> faces;
};

// Resolves an OBJ index (1-based, or negative counting back from the last vertex so far).
bool resolve_index(const std::string& token, size_t vertex_count, uint32_t* out)
{
    const std::string number = token.substr(0, token.find('/'));
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(number.c_str(), &end, 10);
    if (number.empty() || *end != '\0' || errno != 0 || v == 0)
        return false;
    const long long index = v > 0 ? v - 1 : (long long)vertex_count + v;
    if (index < 0 || index >= (long long)vertex_count)
        return false;
    *out = uint32_t(index);
    return true;
}

bool read_obj(const char* path, ObjData* obj)
{
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "obj2ma: cannot open %s\n", path);
        return false;
    }
    std::string line;
    int line_number = 0;
    while (std::getline(in, line)) {
        ++line_number;
        std::istringstream words(line);
        std::string kind;
        if (!(words >> kind) || kind[0] == '#')
            continue;
        if (kind == "v") {
            MaVertex v;
            if (!(words >> v.x >> v.y >> v.z)) {
                std::fprintf(stderr, "obj2ma: %s:%d: bad vertex\n", path, line_number);
                return false;
            }
            obj->vertices.push_back(v);
        } else if (kind == "f") {
            std::vector<uint32_t> corners;
            std::string token;
            while (words >> token) {
                uint32_t index;
                if (!resolve_index(token, obj->vertices.size(), &index)) {
                    std::fprintf(stderr, "obj2ma: %s:%d: bad face index '%s'\n", path, line_number, token.c_str());
                    return false;
                }
                corners.push_back(index);
            }
            if (corners.size() < 3) {
                std::fprintf(stderr, "obj2ma: %s:%d: a face needs three corners\n", path, line_number);
                return false;
            }
            for (size_t k = 1; k + 1 < corners.size(); ++k)
                obj->faces.push_back({ corners[0], corners[k], corners[k + 1] });
        }
        // Normals, texture coordinates, groups and materials carry nothing MA can hold.
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        usage();
        return 0;
    }
    if (argc < 4 || (argc - 2) % 2 != 0) {
        usage();
        return 2;
    }
    MaMesh mesh;
    for (int i = 2; i < argc; i += 2) {
        char* end = nullptr;
        errno = 0;
        const unsigned long long steps = std::strtoull(argv[i + 1], &end, 10);
        if (!*argv[i + 1] || *end != '\0' || errno != 0 || steps > 0xFFFFFFFFull || argv[i + 1][0] == '-') {
            std::fprintf(stderr, "obj2ma: '%s' is not a step count\n", argv[i + 1]);
            return 2;
        }
        ObjData obj;
        if (!read_obj(argv[i], &obj))
            return 1;
        if (obj.vertices.empty()) {
            std::fprintf(stderr, "obj2ma: %s has no vertices\n", argv[i]);
            return 1;
        }
        if (!mesh.keyframes.empty() && obj.vertices.size() != mesh.keyframes[0].vertices.size()) {
            std::fprintf(stderr, "obj2ma: %s has %zu vertices, the first file %zu\n", argv[i], obj.vertices.size(),
                mesh.keyframes[0].vertices.size());
            return 1;
        }
        if (mesh.keyframes.empty())
            mesh.faces = obj.faces;
        mesh.keyframes.push_back({ obj.vertices, uint32_t(steps) });
    }
    if (!write_ma_file(argv[1], &mesh)) {
        std::fprintf(stderr, "obj2ma: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %zu keyframes, %zu vertices, %zu faces\n", argv[1], mesh.keyframes.size(),
        mesh.keyframes[0].vertices.size(), mesh.faces.size());
    return 0;
}
