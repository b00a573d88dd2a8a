// anim.cpp -- PAL palette loading and RLM frame decoding.
#include "gfx2d/anim.h"

#include <algorithm>

#include "display/data_file.h"

void load_pal_memory(const uint8_t* data, size_t size, uint32_t* palette)
{
    // The file lists the entries from 255 down to 0; a short file leaves missing bytes 0.
    uint8_t bytes[PAL_FILE_SIZE] = {};
    std::copy_n(data, std::min<size_t>(size, PAL_FILE_SIZE), bytes);
    for (int i = 0; i < PAL_ENTRIES; ++i) {
        const uint8_t* rgb = bytes + 3 * i;
        palette[255 - i] = (uint32_t(rgb[0]) << 16) | (uint32_t(rgb[1]) << 8) | rgb[2];
    }
}

int load_pal(const char* path, uint32_t* palette)
{
    if (!palette)
        return 0;
    // Only the 768 bytes of the palette are read; a longer file's tail is ignored.
    uint8_t bytes[PAL_FILE_SIZE] = {};
    size_t got = 0;
    if (!read_data_prefix(path, bytes, sizeof bytes, &got))
        return 0;
    load_pal_memory(bytes, got, palette);
    return 1;
}

int decode_rlm_frame(ByteStream* stream, int pixel_count, Surface* target, const uint32_t* palette)
{
    if (!stream || stream->at_end)
        return 1;
    // Pixels are written only below this bound, whatever the frame says.
    int64_t capacity = 0;
    uint32_t* pixels = nullptr;
    if (target && target->pixels && target->bytes_per_pixel == 4 && palette) {
        capacity = int64_t(target->height) * (target->pitch / 4);
        pixels = reinterpret_cast<uint32_t*>(target->pixels);
    }
    const int64_t limit = std::min<int64_t>(pixel_count, capacity);

    int64_t p = 0;
    while (p < pixel_count) {
        uint8_t control, low, index;
        if (!read_stream_byte(stream, &control))
            return 1;
        int64_t n = control & 0x3F;
        if (control & 0x80) {
            if (!read_stream_byte(stream, &low))
                return 1;
            n = n * 256 + low;
        }
        // A run past the frame's end is corrupt: draw what fits, then stop.
        const bool overlong = n > pixel_count - p;
        if (overlong)
            n = pixel_count - p;
        if (control & 0x40) {
            for (int64_t k = 0; k < n; ++k, ++p) {
                if (!read_stream_byte(stream, &index))
                    return 1;
                if (p < limit)
                    pixels[p] = palette[index];
            }
        } else {
            if (!read_stream_byte(stream, &index))
                return 1;
            const int64_t end = std::min(p + n, limit);
            if (p < end)
                std::fill(pixels + p, pixels + end, palette[index]);
            p += n;
        }
        if (overlong)
            return 1;
    }
    return 0;
}
