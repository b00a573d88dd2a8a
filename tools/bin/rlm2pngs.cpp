// rlm2pngs.cpp -- an RLM animation and its palette to PNG frames:
// rlm2pngs IN.rlm IN.pal OUT_DIR [WIDTH HEIGHT]  (default 160x120; frames frame_0000.png, ...)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx2d/anim.h"
#include "tools/formats/png_io.h"

int main(int argc, char** argv)
{
    if (argc != 4 && argc != 6) {
        std::fprintf(stderr, "usage: rlm2pngs IN.rlm IN.pal OUT_DIR [WIDTH HEIGHT]\n");
        return 2;
    }
    const int width = argc == 6 ? std::atoi(argv[4]) : RLM_FRAME_WIDTH;
    const int height = argc == 6 ? std::atoi(argv[5]) : RLM_FRAME_HEIGHT;
    Surface* s
        = width > 0 && height > 0 && width <= 4096 && height <= 4096 ? create_surface(width, height, 32) : nullptr;
    if (!s) {
        std::fprintf(stderr, "rlm2pngs: bad frame size %dx%d\n", width, height);
        return 1;
    }
    uint32_t palette[256] = {};
    ByteStream stream;
    if (!load_pal(argv[2], palette) || !open_byte_stream(argv[1], &stream)) {
        std::fprintf(stderr, "rlm2pngs: cannot read %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(argv[3], ec);
    int frames = 0;
    // Stop at the end of the data (or at a corrupt frame, which is still written).
    while (stream.position < stream.size) {
        const bool bad = decode_rlm_frame(&stream, width * height, s, palette) != 0;
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%04d.png", frames);
        if (!write_png_xrgb(std::string(argv[3]) + name, width, height, surface_row32(s, 0), width)) {
            std::fprintf(stderr, "rlm2pngs: cannot write into %s\n", argv[3]);
            return 1;
        }
        ++frames;
        if (bad) {
            std::fprintf(stderr, "rlm2pngs: frame %d is cut short or corrupt\n", frames - 1);
            break;
        }
    }
    std::printf("%d frames\n", frames);
    close_byte_stream(&stream);
    destroy_surface(s);
    return 0;
}
