// content_meshes.h -- generated meshes: the road set (repeating every 400 units of z) and the wobbling bottle.
#pragma once

#include "tools/formats/ma_writer.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr double ROAD_PERIOD = 400.0; // the road scene's camera jumps back by this much
constexpr double ROAD_Z_START = 400.0;
constexpr double ROAD_Z_END = 2000.0;

struct ContentMesh {
    std::string name; // e.g. "road.ma"
    MaMesh mesh;
};

// Appends footpath, box1, box2, road, conerow, chickcone and roadline, in the order the road
// scene loads them. World units: y up from the road surface, the road runs along +z.
void make_road_set(uint64_t seed, std::vector<ContentMesh>* out);
// A closed bottle, a few hundred faces, with keyframes of a wobbling morph.
void make_bottle_mesh(uint64_t seed, ContentMesh* out);

// Six times the signed volume of a closed mesh in one keyframe: negative when every face's
// (b - a) x (c - a) points inwards, which is the winding the filled renderer draws from outside.
double mesh_signed_volume6(const MaMesh* mesh, int keyframe);
