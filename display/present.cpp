// present.cpp -- row converters between pixel formats, dithering, present and clear_surface.
#include "display/present.h"

#include <cstring>

#include "display/bytes.h"
#include "display/pixel.h"

DisplayAccess display_access = {};
uint8_t palette_index_map[256] = {
#define MW_ROW16(b) b, b + 1, b + 2, b + 3, b + 4, b + 5, b + 6, b + 7, b + 8, b + 9, b + 10, b + 11, b + 12, b + 13, b + 14, b + 15
    MW_ROW16(0), MW_ROW16(16), MW_ROW16(32), MW_ROW16(48), MW_ROW16(64), MW_ROW16(80), MW_ROW16(96), MW_ROW16(112),
    MW_ROW16(128), MW_ROW16(144), MW_ROW16(160), MW_ROW16(176), MW_ROW16(192), MW_ROW16(208), MW_ROW16(224),
    MW_ROW16(240)
#undef MW_ROW16
};
ConversionState conversion = {};

namespace {

// Pixel reads and writes by bytes per pixel. Narrow values are zero-extended; a 1-byte pixel
// goes through the palette index map both ways.
template <int Bytes>
inline uint32_t read_pixel(const uint8_t* p)
{
    if constexpr (Bytes == 4)
        return load_u32(p);
    else if constexpr (Bytes == 3)
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
    else if constexpr (Bytes == 2)
        return load_u16(p);
    else
        return palette_index_map[p[0]];
}

template <int Bytes>
inline void write_pixel(uint8_t* p, uint32_t v)
{
    if constexpr (Bytes == 4) {
        store_u32(p, v);
    } else if constexpr (Bytes == 3) {
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v >> 16);
    } else if constexpr (Bytes == 2) {
        store_u16(p, uint16_t(v));
    } else {
        p[0] = palette_index_map[v & 0xFFu];
    }
}

// The channel mover shared by every converter: rotate each source channel's top bit onto the
// destination channel's top bit and keep the destination mask (narrowing truncates).
struct Mover {
    unsigned sr, sg, sb;
    uint32_t mr, mg, mb;
    inline uint32_t operator()(uint32_t p) const
    {
        return (rotr32(p, sr) & mr) | (rotr32(p, sg) & mg) | (rotr32(p, sb) & mb);
    }
};

inline Mover current_mover()
{
    return Mover { conversion.shift_r, conversion.shift_g, conversion.shift_b,
        conversion.dst_mask_r, conversion.dst_mask_g, conversion.dst_mask_b };
}

template <int S>
void copy_row(uint8_t* dst, const uint8_t* src, int count, int)
{
    std::memcpy(dst, src, size_t(count) * S);
}

template <int S, int D>
void convert_row(uint8_t* dst, const uint8_t* src, int count, int)
{
    const Mover move = current_mover();
    for (int x = 0; x < count; ++x)
        write_pixel<D>(dst + x * D, move(read_pixel<S>(src + x * S)));
}

// 32-bit source to 16 bits, the per-frame path of 15/16-bit displays: written so the compiler
// keeps everything in registers (the generic template goes through the global state).
template <>
void convert_row<4, 2>(uint8_t* dst, const uint8_t* src, int count, int)
{
    const Mover move = current_mover();
    for (int x = 0; x < count; ++x)
        store_u16(dst + 2 * x, uint16_t(move(load_u32(src + 4 * x))));
}

// Checkerboard dithering: pixels where column + row is odd get half a destination step added
// per channel, saturating each 8-bit channel at all ones, before the normal conversion.
template <int D>
void dither_row(uint8_t* dst, const uint8_t* src, int count, int row)
{
    const Mover move = current_mover();
    const uint32_t keep = conversion.keep;
    const uint32_t bias = conversion.bias;
    const uint32_t carry = conversion.carry;
    int x = 0;
    if (row & 1) { // odd rows start with a biased pixel; handle it so pairs start plain
        if (count <= 0)
            return;
        uint32_t v = (read_pixel<4>(src) & keep) + bias;
        const uint32_t c = v & carry;
        v = (v & keep) | (c - (c >> 8));
        write_pixel<D>(dst, move(v));
        x = 1;
    }
    for (; x + 1 < count; x += 2) {
        write_pixel<D>(dst + x * D, move(read_pixel<4>(src + x * 4)));
        uint32_t v = (read_pixel<4>(src + (x + 1) * 4) & keep) + bias;
        const uint32_t c = v & carry;
        v = (v & keep) | (c - (c >> 8));
        write_pixel<D>(dst + (x + 1) * D, move(v));
    }
    if (x < count)
        write_pixel<D>(dst + x * D, move(read_pixel<4>(src + x * 4)));
}

void clear_row(uint8_t* dst, int bytes)
{
    std::memset(dst, 0, size_t(bytes));
}

constexpr RowConverter straight_copies[5] = { nullptr, copy_row<1>, copy_row<2>, copy_row<3>, copy_row<4> };

constexpr RowConverter conversions[5][5] = {
    { nullptr, nullptr, nullptr, nullptr, nullptr },
    { nullptr, convert_row<1, 1>, convert_row<1, 2>, convert_row<1, 3>, convert_row<1, 4> },
    { nullptr, convert_row<2, 1>, convert_row<2, 2>, convert_row<2, 3>, convert_row<2, 4> },
    { nullptr, convert_row<3, 1>, convert_row<3, 2>, convert_row<3, 3>, convert_row<3, 4> },
    { nullptr, convert_row<4, 1>, convert_row<4, 2>, convert_row<4, 3>, convert_row<4, 4> },
};

// Dithering exists only from 32-bit sources to 8- and 16-bit targets.
constexpr RowConverter ditherings[5][5] = {
    {},
    {},
    {},
    {},
    { nullptr, dither_row<1>, dither_row<2>, nullptr, nullptr },
};

int bytes_of(const Surface* s)
{
    return (s->bits_per_pixel + 7) / 8;
}

bool valid_bytes(int b)
{
    return b >= 1 && b <= 4;
}

// A shift outside 0-31 contributes no step, so a malformed mask cannot shift out of range.
uint32_t shifted_bit(int shift)
{
    return (shift >= 0 && shift <= 31) ? (uint32_t(1) << shift) : 0u;
}

uint32_t dither_step(uint32_t source_mask, uint32_t destination_mask)
{
    const int shift = mask_width(source_mask) - mask_width(destination_mask) - 1;
    const uint32_t step = shifted_bit(shift);
    const int low = low_bit(source_mask);
    return (low >= 0 && low <= 31) ? (step << low) : 0u;
}

// The bit just above a source channel: 2 << top bit. An empty mask (top bit -1) shifts by -1,
// out of range, so it has no carry bit.
uint32_t carry_bit(uint32_t source_mask)
{
    const int top = top_bit(source_mask);
    return top < 0 ? 0u : shifted_bit(top + 1);
}

} // namespace

void select_converter(const Surface* source, const Surface* destination)
{
    conversion.shift_r = unsigned(source->top_r - destination->top_r) & 31u;
    conversion.shift_g = unsigned(source->top_g - destination->top_g) & 31u;
    conversion.shift_b = unsigned(source->top_b - destination->top_b) & 31u;
    const int s = bytes_of(source);
    const int d = bytes_of(destination);
    conversion.converter = nullptr;
    if (valid_bytes(s) && valid_bytes(d)) {
        if (s == d && conversion.shift_r == 0 && conversion.shift_g == 0 && conversion.shift_b == 0)
            conversion.converter = straight_copies[s];
        else
            conversion.converter = conversions[s][d];
    }
    conversion.src_mask_r = source->mask_r;
    conversion.src_mask_g = source->mask_g;
    conversion.src_mask_b = source->mask_b;
    conversion.dst_mask_r = destination->mask_r;
    conversion.dst_mask_g = destination->mask_g;
    conversion.dst_mask_b = destination->mask_b;

    if (source->depth > destination->depth && (source->flags & SURFACE_DITHER)) {
        const uint32_t sr = source->mask_r, sg = source->mask_g, sb = source->mask_b;
        const uint32_t step_r = dither_step(sr, destination->mask_r);
        const uint32_t step_g = dither_step(sg, destination->mask_g);
        const uint32_t step_b = dither_step(sb, destination->mask_b);
        conversion.bias = step_r | step_g | step_b;
        conversion.keep = (shifted_bit(low_bit(sr)) | shifted_bit(low_bit(sg)) | shifted_bit(low_bit(sb)))
            + ((sr | sg | sb) & ~conversion.bias);
        conversion.carry = carry_bit(sr) | carry_bit(sg) | carry_bit(sb);
        // Formats without a dithering routine copy nothing when dithering is asked for.
        conversion.converter = (valid_bytes(s) && valid_bytes(d)) ? ditherings[s][d] : nullptr;
    }
}

void present(Surface* source, Surface* destination)
{
    if (!source && !destination)
        return;
    if (!destination)
        destination = current_display_record;
    else if (!source)
        source = current_display_record;
    if (!source || !destination)
        return;

    const int w = source->width < destination->width ? source->width : destination->width;
    const int h = source->height < destination->height ? source->height : destination->height;
    if (w <= 0 || h <= 0)
        return;

    uint8_t* dst = nullptr;
    int dst_pitch = destination->pitch;
    bool dst_locked = false;
    if (destination->flags & SURFACE_DISPLAY) {
        if (!display_access.restore || !display_access.lock_back || display_access.restore() != 0)
            return;
        dst = display_access.lock_back(w, h, &dst_pitch);
        if (!dst)
            return;
        dst_locked = true;
    } else {
        dst = destination->pixels;
    }

    const uint8_t* src = nullptr;
    int src_pitch = source->pitch;
    bool src_locked = false;
    if (source->flags & SURFACE_DISPLAY) {
        if (display_access.restore && display_access.lock_front && display_access.restore() == 0)
            src = display_access.lock_front(w, h, &src_pitch);
        if (!src) {
            if (dst_locked && display_access.unlock_back)
                display_access.unlock_back();
            return;
        }
        src_locked = true;
    } else {
        src = source->pixels;
    }

    select_converter(source, destination);
    if (conversion.converter && dst && src) {
        for (int row = 0; row < h; ++row) {
            conversion.converter(dst, src, w, row);
            dst += dst_pitch;
            src += src_pitch;
        }
    }

    if (dst_locked && display_access.unlock_back)
        display_access.unlock_back();
    if (src_locked && display_access.unlock_front)
        display_access.unlock_front();
}

void clear_surface(Surface* surface)
{
    if (!surface)
        surface = current_display_record;
    if (!surface)
        return;
    uint8_t* row = surface->pixels;
    int pitch = surface->pitch;
    bool locked = false;
    if (surface->flags & SURFACE_DISPLAY) {
        if (!display_access.restore || !display_access.lock_back || display_access.restore() != 0)
            return;
        row = display_access.lock_back(surface->width, surface->height, &pitch);
        if (!row)
            return;
        locked = true;
    }
    if (row) {
        const int bytes = surface->width * ((surface->bits_per_pixel + 7) / 8);
        for (int y = 0; y < surface->height; ++y) {
            clear_row(row, bytes);
            row += pitch;
        }
    }
    if (locked && display_access.unlock_back)
        display_access.unlock_back();
}
