// capture_size.cpp -- capture at a fixed frame size: the picture integer-scaled and centred on black.
#include <cstring>

#include "app/capture.h"

int letterbox_scale(int width, int height, int frame_width, int frame_height)
{
    if (width <= 0 || height <= 0)
        return 0;
    const int by_width = frame_width / width;
    const int by_height = frame_height / height;
    return by_width < by_height ? by_width : by_height;
}

void letterbox_picture(const uint32_t* xrgb, int width, int height, uint32_t* out, int frame_width, int frame_height)
{
    const int scale = letterbox_scale(width, height, frame_width, frame_height);
    std::memset(out, 0, sizeof(uint32_t) * size_t(frame_width) * size_t(frame_height));
    if (scale < 1)
        return;
    const int left = (frame_width - width * scale) / 2;
    const int top = (frame_height - height * scale) / 2;
    for (int y = 0; y < height * scale; ++y) {
        const uint32_t* src = xrgb + size_t(y / scale) * size_t(width);
        uint32_t* dst = out + size_t(top + y) * size_t(frame_width) + size_t(left);
        for (int x = 0; x < width * scale; ++x)
            dst[x] = src[x / scale];
    }
}
