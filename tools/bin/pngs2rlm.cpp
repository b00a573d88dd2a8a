// pngs2rlm.cpp -- a folder of PNG frames to an RLM animation and its PAL palette:
// pngs2rlm FRAMES_DIR OUT.rlm OUT.pal  (frames in name order, all the same size, 160x120 for the demo)
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx2d/anim.h"
#include "tools/formats/acg_writer.h"
#include "tools/formats/anim_writer.h"
#include "tools/formats/png_io.h"

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    if (argc != 4) {
        std::fprintf(stderr, "usage: pngs2rlm FRAMES_DIR OUT.rlm OUT.pal\n");
        return 2;
    }
    std::vector<fs::path> paths;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(argv[1], ec))
        if (entry.is_regular_file() && entry.path().extension() == ".png")
            paths.push_back(entry.path());
    if (ec || paths.empty()) {
        std::fprintf(stderr, "pngs2rlm: no PNG frames in %s\n", argv[1]);
        return 1;
    }
    std::sort(paths.begin(), paths.end());
    int width = 0, height = 0;
    std::vector<std::vector<uint32_t>> frames;
    for (const auto& path : paths) {
        int w = 0, h = 0;
        std::vector<uint8_t> rgba;
        if (!read_png_rgba(path.string(), &w, &h, &rgba)) {
            std::fprintf(stderr, "pngs2rlm: cannot read %s\n", path.c_str());
            return 1;
        }
        if (frames.empty()) {
            width = w;
            height = h;
        } else if (w != width || h != height) {
            std::fprintf(stderr, "pngs2rlm: %s is %dx%d, the first frame %dx%d\n", path.c_str(), w, h, width, height);
            return 1;
        }
        std::vector<uint32_t> frame(size_t(w) * h);
        for (size_t i = 0; i < frame.size(); ++i)
            frame[i] = uint32_t(rgba[4 * i]) << 16 | uint32_t(rgba[4 * i + 1]) << 8 | rgba[4 * i + 2];
        frames.push_back(std::move(frame));
    }
    if (width != RLM_FRAME_WIDTH || height != RLM_FRAME_HEIGHT)
        std::fprintf(stderr, "pngs2rlm: note: frames are %dx%d; the demo plays 160x120\n", width, height);

    std::vector<const uint32_t*> views;
    for (const auto& f : frames)
        views.push_back(f.data());
    uint32_t palette[256];
    std::vector<std::vector<uint8_t>> indices;
    quantize_frames(views, width * height, palette, &indices);
    std::vector<uint8_t> rlm;
    for (const auto& f : indices)
        encode_rlm_frame(f.data(), width * height, &rlm);
    if (!write_file_bytes(argv[2], rlm.data(), rlm.size()) || !write_pal_file(argv[3], palette)) {
        std::fprintf(stderr, "pngs2rlm: cannot write the output files\n");
        return 1;
    }
    std::printf("%zu frames, %zu bytes\n", frames.size(), rlm.size());
    return 0;
}
