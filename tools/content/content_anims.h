// content_anims.h -- generated palettised animations: the closing fire and the running figure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int ANIM_WIDTH = 160;
constexpr int ANIM_HEIGHT = 120;
constexpr int FIRE_FRAMES = 142;
constexpr int RUN_FRAMES = 45;

struct ContentAnimation {
    std::string name; // e.g. "boxflame.rlm"
    std::string palette_name; // e.g. "boxflame.pal"
    uint32_t palette[256]; // entry i as 0x00RRGGBB
    std::vector<std::vector<uint8_t>> frames; // ANIM_WIDTH * ANIM_HEIGHT indices each
};

// Classic fire rising from the bottom and round a glowing box, black -> red -> yellow -> white.
void make_fire(uint64_t seed, ContentAnimation* out);
// A figure running on the spot over a scrolling dusk road; RUN_FRAMES frames that loop.
void make_runner(uint64_t seed, ContentAnimation* out);
