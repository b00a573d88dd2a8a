// acg2png.cpp -- converts an ACG picture into a PNG with straight alpha: acg2png IN.acg OUT.png
#include <cstdio>
#include <cstring>
#include <vector>

#include "gfx2d/image.h"
#include "tools/formats/acg_writer.h"
#include "tools/formats/png_io.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: acg2png IN.acg OUT.png\n");
        return 2;
    }
    Image* image = load_acg_file(argv[1]);
    if (!image) {
        std::fprintf(stderr, "acg2png: %s is missing or not a valid ACG picture\n", argv[1]);
        return 1;
    }
    Surface* s = image->width > 0 ? create_surface(image->width, image->height, 32) : nullptr;
    if (!s) {
        std::fprintf(stderr, "acg2png: %s has no pixels to write\n", argv[1]);
        return 1;
    }
    // Drawn over transparent black, each pixel is the picture's premultiplied colour.
    std::memset(s->pixels, 0, size_t(s->pitch) * s->height);
    draw_image(s, image, 0, 0);
    std::vector<uint8_t> rgba(size_t(s->width) * s->height * 4);
    for (int y = 0; y < s->height; ++y)
        for (int x = 0; x < s->width; ++x)
            unpremultiply_colour(surface_row32(s, y)[x], &rgba[(size_t(y) * s->width + x) * 4]);
    const bool ok = write_png_rgba(argv[2], s->width, s->height, rgba.data());
    if (!ok)
        std::fprintf(stderr, "acg2png: cannot write %s\n", argv[2]);
    destroy_surface(s);
    destroy_image(image);
    return ok ? 0 : 1;
}
