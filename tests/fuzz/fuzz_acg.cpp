// fuzz_acg.cpp -- the ACG loader and picture drawing must stay inside their buffers for any bytes.
#include <cstring>

#include "gfx2d/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Surface* surface = create_surface(320, 240, 32);
    Image* image = load_acg_memory(data, size);
    if (!image)
        return 0;
    std::memset(surface->pixels, 0x11, size_t(surface->pitch) * surface->height);
    // Positions that clip on every side, and a few clip rectangles, swapped and empty ones too.
    const int positions[][2] = { { 0, 0 }, { -3, -2 }, { 318, 238 }, { -image->width + 1, 100 },
        { 100, -image->height + 1 }, { 160 - image->width / 2, 120 - image->height / 2 } };
    for (const auto& p : positions)
        draw_image(surface, image, p[0], p[1]);
    draw_image_clipped(surface, image, -5, -5, 200, 150, 10, 20);
    draw_image_clipped(surface, image, 7, 3, 0, 0, 1000, 1000);
    draw_image_clipped(surface, image, 7, -1, 50, 0, 50, 0);
    destroy_image(image);
    return 0;
}
