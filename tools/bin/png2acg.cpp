// png2acg.cpp -- converts a PNG (straight alpha) into an ACG picture: png2acg IN.png OUT.acg
#include <cstdio>
#include <vector>

#include "tools/formats/acg_writer.h"
#include "tools/formats/png_io.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: png2acg IN.png OUT.acg\n");
        return 2;
    }
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    if (!read_png_rgba(argv[1], &w, &h, &rgba)) {
        std::fprintf(stderr, "png2acg: cannot read PNG %s\n", argv[1]);
        return 1;
    }
    if (!write_acg_file_rgba(argv[2], rgba.data(), w, h)) {
        std::fprintf(stderr, "png2acg: cannot write %s (pictures are 1..4096 pixels each way)\n", argv[2]);
        return 1;
    }
    return 0;
}
