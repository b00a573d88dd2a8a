// content_maps.h -- generated maps: bump heights, the fractal landscape, and the planet's surface, clouds and light.
#pragma once

#include "tools/content/content_common.h"

#include <cstdint>
#include <string>
#include <vector>

struct ContentRaw {
    std::string name; // file name in the data directory
    int width;
    int height;
    int channels; // 1 for heights, 3 for RGB colours
    std::vector<uint8_t> bytes;
};

constexpr int LANDSCAPE_SIZE = 800;
constexpr int LANDSCAPE_WATER = 64; // height of the flat sea

// 320x240 heights: lens-like domes and the demo's name embossed over a gentle swell.
bool make_bump_map(uint64_t seed, ContentRaw* out);
// 800x800 heights and RGB colours; the maps tile (column 799 meets column 0, row 799 row 0).
void make_landscape(uint64_t seed, ContentRaw* heights, ContentRaw* colours);
// Appends world.acg, clouds.acg and light.acg (256x153 equirectangular).
void make_planet_maps(uint64_t seed, std::vector<ContentPicture>* out);
