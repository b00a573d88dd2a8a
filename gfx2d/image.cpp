// image.cpp -- ACG picture records and the loader that builds their row tables.
#include "gfx2d/image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "display/bytes.h"
#include "display/data_file.h"

namespace {

size_t align_up(size_t v, size_t a)
{
    return (v + a - 1) / a * a;
}

struct ImageLayout {
    size_t colours, codes, row_colour, row_code, total;
};

bool image_layout(int height, int colour_count, int code_count, ImageLayout* out)
{
    uint64_t colour_bytes, code_bytes, row_bytes;
    if (!checked_size(colour_count, 4, &colour_bytes) || !checked_size(int64_t(code_count) + 1, 2, &code_bytes)
        || !checked_size(height, 4, &row_bytes))
        return false;
    out->colours = align_up(sizeof(Image), alignof(uint32_t));
    out->codes = out->colours + colour_bytes;
    out->row_colour = align_up(out->codes + code_bytes, alignof(int32_t));
    out->row_code = out->row_colour + row_bytes;
    out->total = out->row_code + row_bytes;
    return out->total <= MAX_ALLOCATION;
}

} // namespace

Image* create_image(int width, int height, int colour_count, int code_count)
{
    if (width < 0 || height < 0 || colour_count < 0 || code_count < 0)
        return nullptr;
    ImageLayout layout;
    if (!image_layout(height, colour_count, code_count, &layout))
        return nullptr;
    auto* block = static_cast<uint8_t*>(std::calloc(1, layout.total));
    if (!block)
        return nullptr;
    auto* image = new (block) Image {};
    image->width = width;
    image->height = height;
    image->colour_count = colour_count;
    image->code_count = code_count;
    image->colours = reinterpret_cast<uint32_t*>(block + layout.colours);
    image->codes = reinterpret_cast<uint16_t*>(block + layout.codes);
    image->row_colour = reinterpret_cast<int32_t*>(block + layout.row_colour);
    image->row_code = reinterpret_cast<int32_t*>(block + layout.row_code);
    image->codes[code_count] = ACG_TERMINATOR;
    return image;
}

void destroy_image(Image* image)
{
    std::free(image);
}

namespace {

// Fills the per-row start tables by walking the code words. Rows that no NEW_ROW word
// reaches point at the end of the codes and colours, so drawing from them stops at once.
void build_row_tables(Image* image)
{
    for (int r = 0; r < image->height; ++r) {
        image->row_code[r] = image->code_count;
        image->row_colour[r] = image->colour_count;
    }
    image->row_code[0] = 0;
    image->row_colour[0] = 0;
    int64_t c = 0;
    int r = 1;
    for (int i = 0; i < image->code_count && r < image->height; ++i) {
        const uint32_t word = image->codes[i];
        const int n = int(word & 0x3FF) + 1;
        switch (AcgOp(word >> 10)) {
        case AcgOp::BLEND_COPY:
        case AcgOp::COPY:
            c += n;
            break;
        case AcgOp::BLEND_FILL:
        case AcgOp::FILL:
            c += 1;
            break;
        case AcgOp::NEW_ROW:
            image->row_code[r] = i + 1;
            // Colours beyond the table mean a corrupt file; drawing stops there anyway.
            image->row_colour[r] = int32_t(c < image->colour_count ? c : image->colour_count);
            ++r;
            break;
        default:
            break;
        }
    }
}

} // namespace

Image* load_acg(ByteStream* stream)
{
    if (!stream || !stream->data)
        return nullptr;
    const size_t start = stream->position;
    const size_t available = stream->size - start;
    uint8_t header[ACG_HEADER_SIZE];
    // Header fields missing from a short file count as 0.
    read_stream_bytes(stream, header, sizeof header);
    const uint32_t magic = load_u32(header);
    if (available < 4 || (magic != ACG_MAGIC && magic != ACG_MAGIC_SWAPPED)) {
        note_load_reason("not an ACG picture (no !ACG magic)");
        seek_byte_stream(stream, start);
        return nullptr;
    }
    const uint32_t width = load_u16(header + 4);
    const uint32_t height = load_u16(header + 6);
    const uint32_t colour_count = load_u32(header + 8);
    const uint32_t code_count = load_u32(header + 12);
    const uint32_t colour_offset = load_u32(header + 20);
    const uint32_t code_offset = load_u32(header + 24);

    // A corrupt header must not make us allocate or read absurd amounts: counts that the
    // file cannot hold and tables that start past its end are rejected.
    const bool sane = height > 0 && width <= uint32_t(ACG_MAX_WIDTH) && height <= uint32_t(ACG_MAX_HEIGHT)
        && uint64_t(colour_count) * 4 <= available && uint64_t(code_count) * 2 <= available
        && (colour_count == 0 || colour_offset < available) && (code_count == 0 || code_offset < available);
    Image* image = sane ? create_image(int(width), int(height), int(colour_count), int(code_count)) : nullptr;
    if (!image) {
        note_load_reason(sane ? "out of memory" : "the header's size or counts do not fit the file");
        seek_byte_stream(stream, start);
        return nullptr;
    }

    // A table cut short by the end of the file keeps zeros in its missing part.
    const uint8_t* base = stream->data + start;
    const uint64_t colour_bytes = uint64_t(colour_count) * 4;
    const uint64_t colour_have = colour_count ? std::min<uint64_t>(colour_bytes, available - colour_offset) : 0;
    for (uint64_t i = 0; i + 4 <= colour_have; i += 4)
        image->colours[i / 4] = load_u32(base + colour_offset + i);
    const uint64_t code_bytes = uint64_t(code_count) * 2;
    const uint64_t code_have = code_count ? std::min<uint64_t>(code_bytes, available - code_offset) : 0;
    for (uint64_t i = 0; i + 2 <= code_have; i += 2)
        image->codes[i / 2] = load_u16(base + code_offset + i);

    build_row_tables(image);
    seek_byte_stream(stream, start + size_t(code_offset) + size_t(code_have));
    return image;
}

Image* load_acg_file(const char* path)
{
    ByteStream stream;
    if (!open_byte_stream(path, &stream, ACG_MAX_FILE_BYTES))
        return nullptr;
    Image* image = load_acg(&stream);
    close_byte_stream(&stream);
    if (!image)
        note_load_file(path);
    return image;
}

Image* load_acg_memory(const uint8_t* data, size_t size)
{
    ByteStream stream;
    init_byte_stream(&stream, data, size);
    return load_acg(&stream);
}
