// ma_writer.h -- builds MA mesh files: keyframes with step counts, shared faces.
#pragma once

#include <cstdint>
#include <vector>

struct MaVertex {
    double x, y, z;
};

// Written in this order; the engine's loader reverses a, b, c into its Face record.
struct MaFace {
    uint32_t a, b, c;
    uint32_t spare = 0;
};

struct MaKeyframe {
    std::vector<MaVertex> vertices;
    uint32_t step_count = 1; // ticks the morph to the next keyframe takes
};

struct MaMesh {
    uint32_t spare = 0;
    std::vector<MaKeyframe> keyframes;
    std::vector<MaFace> faces;
};

// Non-zero on success. Fails when there is no keyframe, the keyframes disagree on the vertex
// count, or a face index is not below it.
int encode_ma(const MaMesh* mesh, std::vector<uint8_t>* out);
int write_ma_file(const char* path, const MaMesh* mesh);
