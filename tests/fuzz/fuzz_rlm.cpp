// fuzz_rlm.cpp -- RLM decoding must never write past the frame or read past the data.

#include "gfx2d/anim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Surface* frame = create_surface(RLM_FRAME_WIDTH, RLM_FRAME_HEIGHT, 32);
    static Surface* small = create_surface(7, 5, 32);
    uint32_t palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = uint32_t(i) * 0x010203u;
    ByteStream stream;
    init_byte_stream(&stream, data, size);
    // Every decode reads at least one byte until the end, so this ends.
    while (decode_rlm_frame(&stream, RLM_FRAME_PIXELS, frame, palette) == 0) { }
    // Again into a target smaller than the pixel count.
    seek_byte_stream(&stream, 0);
    while (decode_rlm_frame(&stream, RLM_FRAME_PIXELS, small, palette) == 0) { }
    return 0;
}
