// acg_writer.cpp -- ACG encoder: classifies pixels, picks fills or literal runs, writes the file.
#include "tools/formats/acg_writer.h"

#include <cstdio>

#include "display/bytes.h"
#include "gfx2d/image.h"

uint32_t premultiply_rgba(uint8_t r, uint8_t g, uint8_t b, uint8_t a)
{
    auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
    return (uint32_t(a) << 24) | (mul(r) << 16) | (mul(g) << 8) | mul(b);
}

void unpremultiply_colour(uint32_t colour, uint8_t rgba[4])
{
    const uint32_t a = colour >> 24;
    auto div = [a](uint32_t c) {
        uint32_t v = (c * 255 + a / 2) / a;
        return uint8_t(v > 255 ? 255 : v);
    };
    if (a == 0) {
        rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
        return;
    }
    rgba[0] = div((colour >> 16) & 0xFF);
    rgba[1] = div((colour >> 8) & 0xFF);
    rgba[2] = div(colour & 0xFF);
    rgba[3] = uint8_t(a);
}

namespace {

enum PixelClass { CLASS_SKIP, CLASS_BLEND, CLASS_OPAQUE };

PixelClass classify(uint32_t c)
{
    if (c == 0)
        return CLASS_SKIP;
    return (c >> 24) == 0xFF ? CLASS_OPAQUE : CLASS_BLEND;
}

struct AcgBuilder {
    std::vector<uint16_t> codes;
    std::vector<uint32_t> colours;

    void run(AcgOp op, int n) { codes.push_back(acg_code(op, n)); }

    // Literal colours: COPY (or BLEND_COPY); two equal colours alone are cheaper as a fill.
    void literal(bool blend, const uint32_t* c, int n)
    {
        if (n == 2 && c[0] == c[1]) {
            fill(blend, c[0], 2);
            return;
        }
        run(blend ? AcgOp::BLEND_COPY : AcgOp::COPY, n);
        colours.insert(colours.end(), c, c + n);
    }

    void fill(bool blend, uint32_t c, int n)
    {
        run(blend ? AcgOp::BLEND_FILL : AcgOp::FILL, n);
        colours.push_back(c);
    }

    // One span of pixels of the same class. A repeat of three or more becomes a fill (6 bytes
    // against 4 per pixel inside a literal run); shorter repeats stay in the literal.
    void span(bool blend, const uint32_t* c, int n)
    {
        int pending = 0; // literal pixels waiting before position i
        int i = 0;
        while (i < n) {
            int k = 1;
            while (i + k < n && k < ACG_MAX_RUN && c[i + k] == c[i])
                ++k;
            if (k >= 3) {
                if (pending)
                    literal(blend, c + i - pending, pending);
                pending = 0;
                fill(blend, c[i], k);
            } else {
                for (int j = 0; j < k; ++j) {
                    if (pending == ACG_MAX_RUN) {
                        literal(blend, c + i + j - pending, pending);
                        pending = 0;
                    }
                    ++pending;
                }
            }
            i += k;
        }
        if (pending)
            literal(blend, c + n - pending, pending);
    }

    void row(const uint32_t* c, int width)
    {
        // Transparent pixels at the end of a row need no code words.
        int end = width;
        while (end > 0 && classify(c[end - 1]) == CLASS_SKIP)
            --end;
        int i = 0;
        while (i < end) {
            const PixelClass cls = classify(c[i]);
            int k = 1;
            while (i + k < end && classify(c[i + k]) == cls)
                ++k;
            if (cls == CLASS_SKIP) {
                for (int left = k; left > 0; left -= ACG_MAX_RUN)
                    run(AcgOp::SKIP, left < ACG_MAX_RUN ? left : ACG_MAX_RUN);
            } else {
                span(cls == CLASS_BLEND, c + i, k);
            }
            i += k;
        }
    }
};

} // namespace

bool encode_acg(const uint32_t* colours, int width, int height, std::vector<uint8_t>* out)
{
    if (!colours || !out || width < 1 || height < 1 || width > ACG_MAX_WIDTH || height > ACG_MAX_HEIGHT)
        return false;
    AcgBuilder b;
    for (int y = 0; y < height; ++y) {
        if (y > 0)
            b.run(AcgOp::NEW_ROW, 1);
        b.row(colours + size_t(y) * width, width);
    }
    const size_t colour_offset = ACG_HEADER_SIZE;
    const size_t code_offset = colour_offset + 4 * b.colours.size();
    out->assign(code_offset + 2 * b.codes.size(), 0);
    uint8_t* p = out->data();
    store_u32(p, ACG_MAGIC);
    store_u16(p + 4, uint16_t(width));
    store_u16(p + 6, uint16_t(height));
    store_u32(p + 8, uint32_t(b.colours.size()));
    store_u32(p + 12, uint32_t(b.codes.size()));
    store_u32(p + 16, 0);
    store_u32(p + 20, uint32_t(colour_offset));
    store_u32(p + 24, uint32_t(code_offset));
    for (size_t i = 0; i < b.colours.size(); ++i)
        store_u32(p + colour_offset + 4 * i, b.colours[i]);
    for (size_t i = 0; i < b.codes.size(); ++i)
        store_u16(p + code_offset + 2 * i, b.codes[i]);
    return true;
}

bool encode_acg_rgba(const uint8_t* rgba, int width, int height, std::vector<uint8_t>* out)
{
    if (!rgba || width < 1 || height < 1 || width > ACG_MAX_WIDTH || height > ACG_MAX_HEIGHT)
        return false;
    std::vector<uint32_t> colours(size_t(width) * height);
    for (size_t i = 0; i < colours.size(); ++i) {
        const uint8_t* q = rgba + 4 * i;
        colours[i] = premultiply_rgba(q[0], q[1], q[2], q[3]);
    }
    return encode_acg(colours.data(), width, height, out);
}

bool write_acg_file(const std::string& path, const uint32_t* colours, int width, int height)
{
    std::vector<uint8_t> bytes;
    return encode_acg(colours, width, height, &bytes) && write_file_bytes(path, bytes.data(), bytes.size());
}

bool write_acg_file_rgba(const std::string& path, const uint8_t* rgba, int width, int height)
{
    std::vector<uint8_t> bytes;
    return encode_acg_rgba(rgba, width, height, &bytes) && write_file_bytes(path, bytes.data(), bytes.size());
}

bool write_file_bytes(const std::string& path, const void* data, size_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = (size == 0 || std::fwrite(data, 1, size, f) == size);
    return std::fclose(f) == 0 && ok;
}
