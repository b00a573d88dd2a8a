// test_gfx2d_image.cpp -- ACG loading, row tables, run drawing, clipping and the blend.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "display/bytes.h"
#include "gfx2d/image.h"
#include "surface_fixture.h"

namespace {

// Hand-built ACG file: header, colours right after it, then the code words.
std::vector<uint8_t> acg_bytes(
    int w, int h, const std::vector<uint32_t>& colours, const std::vector<uint16_t>& codes, uint32_t magic = ACG_MAGIC)
{
    const size_t code_offset = ACG_HEADER_SIZE + 4 * colours.size();
    std::vector<uint8_t> f(code_offset + 2 * codes.size());
    // Magic, width and height, the counts, a reserved word, the two table offsets.
    const uint32_t header[7] = { magic, uint32_t(w | h << 16), uint32_t(colours.size()), uint32_t(codes.size()), 0,
        ACG_HEADER_SIZE, uint32_t(code_offset) };
    for (int i = 0; i < 7; ++i)
        store_u32(&f[4 * size_t(i)], header[i]);
    for (size_t i = 0; i < colours.size(); ++i)
        store_u32(&f[ACG_HEADER_SIZE + 4 * i], colours[i]);
    for (size_t i = 0; i < codes.size(); ++i)
        store_u16(&f[code_offset + 2 * i], codes[i]);
    return f;
}

Image* load(const std::vector<uint8_t>& f)
{
    return load_acg_memory(f.data(), f.size());
}

constexpr auto code = acg_code;
constexpr uint16_t NEW_ROW_1 = acg_code(AcgOp::NEW_ROW, 1);

// 7 by 4, every operation, the rows of different lengths:
// row 0 FILL 3 of A, COPY 4 opaque; row 1 SKIP 1, BLEND_COPY 3, BLEND_FILL 2, SKIP 1;
// row 2 COPY 2 opaque, SKIP 2, FILL 3; row 3 BLEND_FILL 7 (the picture is then one row shorter).
const uint32_t A = 0xFF0000AAu, B0 = 0xFF0000B0u, T0 = 0x40302010u, C = 0x00000010u, D = 0x80402010u;
const std::vector<uint32_t> COLOURS
    = { A, B0, B0 + 1, B0 + 2, B0 + 3, T0, T0 + 1, T0 + 2, C, B0 + 4, B0 + 5, A + 1, D };
const std::vector<uint16_t> CODES = { code(AcgOp::FILL, 3), code(AcgOp::COPY, 4), NEW_ROW_1, code(AcgOp::SKIP, 1),
    code(AcgOp::BLEND_COPY, 3), code(AcgOp::BLEND_FILL, 2), code(AcgOp::SKIP, 1), NEW_ROW_1, code(AcgOp::COPY, 2),
    code(AcgOp::SKIP, 2), code(AcgOp::FILL, 3), NEW_ROW_1, code(AcgOp::BLEND_FILL, 7) };

uint32_t background(int x, int y)
{
    return uint32_t(x) * 0x01030507u + uint32_t(y) * 0x0B0D0F11u;
}

// A surface whose pixel (x, y) holds background(x - ox, y - oy).
SurfacePtr canvas(int w, int h, int ox = 0, int oy = 0)
{
    auto s = make_surface(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixel(s.get(), x, y) = background(x - ox, y - oy);
    return s;
}

} // namespace

TEST(AcgLoader, ReadsHeaderTablesAndRowStartsForEitherMagic)
{
    for (uint32_t magic : { ACG_MAGIC, ACG_MAGIC_SWAPPED }) {
        Image* a = load(acg_bytes(7, 4, COLOURS, CODES, magic));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ((std::array { a->width, a->height, a->colour_count, a->code_count }), (std::array { 7, 4, 13, 13 }));
        EXPECT_EQ(a->codes[13], 0xFFFF);
        EXPECT_EQ(a->colours[12], D);
        EXPECT_EQ(std::vector<int>(a->row_code, a->row_code + 4), (std::vector { 0, 3, 8, 12 }));
        EXPECT_EQ(std::vector<int>(a->row_colour, a->row_colour + 4), (std::vector { 0, 5, 9, 12 }));
        destroy_image(a);
    }
    // Height 5 with two rows coded: rows 2-4 point at the end, so a top-clipped draw stops at once.
    Image* short_pic = load(acg_bytes(2, 5, { A, A }, { code(AcgOp::FILL, 2), NEW_ROW_1, code(AcgOp::FILL, 2) }));
    EXPECT_EQ(short_pic->row_code[3], 3);
    EXPECT_EQ(short_pic->row_colour[3], 2);
    auto s = make_surface(10, 10);
    draw_image(s.get(), short_pic, 0, -3);
    EXPECT_EQ(count_not(s.get(), 0), 0);
    destroy_image(short_pic);
}

TEST(AcgLoader, RejectsAbsurdOrOutOfFileHeadersAndZeroesCutCodes)
{
    const auto good = acg_bytes(7, 4, COLOURS, CODES);
    // Height 0, wider than any picture, more colours than the file holds, a code count of 2^31,
    // the colour table past the end, the codes past the end.
    const std::pair<size_t, uint32_t> bad[] = { { 6, 0 }, { 4, 5000 }, { 8, 0x7FFFFFFF }, { 12, 0x80000000u },
        { 20, uint32_t(good.size()) }, { 24, 0xFFFFFFF0u } };
    for (const auto& [offset, value] : bad) {
        auto f = good;
        if (offset < 8)
            store_u16(&f[offset], uint16_t(value));
        else
            store_u32(&f[offset], value);
        EXPECT_EQ(load(f), nullptr) << "header field at " << offset;
    }
    EXPECT_EQ(load({ '!', 'A', 'C' }), nullptr);
    EXPECT_EQ(load({}), nullptr);
    // Codes cut short by the end of the file: the missing words read as 0 (SKIP).
    Image* image = load(std::vector<uint8_t>(good.begin(), good.end() - 2));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->codes[11], NEW_ROW_1);
    EXPECT_EQ(image->codes[12], 0);
    destroy_image(image);
}

TEST(DrawImage, PremultipliedBlendAndEveryOperation)
{
    // A = 0 adds the channels; D's top byte stays.
    EXPECT_EQ(blend_image_pixel(0x00102030u, 0x11223344u), 0x11325374u);
    // A = 255 scales D's channels by 1/256: all truncate to 0.
    EXPECT_EQ(blend_image_pixel(0xFF010203u, 0x00FFFFFFu), 0xFF010203u);
    // A = 64: 200*192/256 = 150, 100*192/256 = 75, 50*192/256 = 37 (truncated).
    EXPECT_EQ(blend_image_pixel(0x40102030u, 0x00C86432u), 0x40A66B55u);
    // Top bytes 0x80 + 0x80 overflow 32 bits: the top byte is held at 0xFF.
    EXPECT_EQ(blend_image_pixel(0x80404040u, 0x80000000u), 0xFF404040u);
    EXPECT_EQ(blend_image_pixel(0x80404040u, 0x7F000000u), 0xFF404040u);

    Image* image = load(acg_bytes(7, 4, COLOURS, CODES));
    auto s = canvas(10, 10);
    draw_image(s.get(), image, 2, 3);
    auto bg = [](int x, int y) { return background(x + 2, y + 3); };
    auto b = [&](uint32_t c, int x, int y) { return blend_image_pixel(c, bg(x, y)); };
    const uint32_t expected[4][7] = {
        { A, A, A, B0, B0 + 1, B0 + 2, B0 + 3 },
        { bg(0, 1), b(T0, 1, 1), b(T0 + 1, 2, 1), b(T0 + 2, 3, 1), b(C, 4, 1), b(C, 5, 1), bg(6, 1) },
        { B0 + 4, B0 + 5, bg(2, 2), bg(3, 2), A + 1, A + 1, A + 1 },
        { b(D, 0, 3), b(D, 1, 3), b(D, 2, 3), b(D, 3, 3), b(D, 4, 3), b(D, 5, 3), b(D, 6, 3) },
    };
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(pixel(s.get(), x + 2, y + 3), expected[y][x]) << x << "," << y;
    destroy_image(image);
}

// Any position and clip rectangle (corners in either order, partly off the surface, empty)
// draws exactly the part of the whole picture inside the clip and reports just that part.
TEST(DrawImage, ClippedDrawIsTheWholeDrawCutToTheClip)
{
    Image* image = load(acg_bytes(7, 4, COLOURS, CODES));
    const int clips[][4] = { { 0, 0, 10, 10 }, { 1, 2, 8, 9 }, { 8, 9, 1, 2 }, { -3, -2, 4, 12 }, { 5, 5, 5, 9 },
        { 0, 0, 10, 0 }, { 3, 1, 4, 2 } };
    for (int y = -6; y < 12; ++y)
        for (int x = -9; x < 12; ++x)
            for (const auto& c : clips) {
                SCOPED_TRACE(testing::Message() << "picture at " << x << "," << y << " clip " << &c - clips);
                auto whole = canvas(32, 32, 12, 12);
                draw_image(whole.get(), image, x + 12, y + 12);
                auto s = canvas(10, 10);
                set_surface_flags(s.get(), SURFACE_TRACK_UPDATES);
                draw_image_clipped(s.get(), image, x, y, c[0], c[1], c[2], c[3]);
                const int x0 = std::max(std::min(c[0], c[2]), 0), x1 = std::min(std::max(c[0], c[2]), 10);
                const int y0 = std::max(std::min(c[1], c[3]), 0), y1 = std::min(std::max(c[1], c[3]), 10);
                for (int py = 0; py < 10; ++py)
                    for (int px = 0; px < 10; ++px) {
                        const bool inside = px >= x0 && px < x1 && py >= y0 && py < y1;
                        const uint32_t want = inside ? pixel(whole.get(), px + 12, py + 12) : background(px, py);
                        ASSERT_EQ(pixel(s.get(), px, py), want) << "pixel " << px << "," << py;
                    }
                const std::array<int, 4> cut
                    = { std::max(x, x0), std::max(y, y0), std::min(x + 7, x1), std::min(y + 4, y1) };
                const bool drawn = cut[0] < cut[2] && cut[1] < cut[3];
                ASSERT_EQ(s->updates.next_free, drawn ? 2 : 1);
                if (drawn) {
                    ASSERT_EQ(corners(s->updates.entries[1]), cut);
                }
            }
    destroy_image(image);
}

TEST(DrawImage, ExtremePositionsCorruptRunsAndMissingArguments)
{
    Image* image = load(acg_bytes(7, 4, COLOURS, CODES));
    auto s = make_surface(10, 10, 0xDEADBEEFu);
    draw_image(s.get(), image, INT_MIN, INT_MIN);
    draw_image(s.get(), image, INT_MAX, INT_MAX);
    draw_image_clipped(s.get(), image, INT_MAX, 0, INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    draw_image(nullptr, image, 0, 0);
    draw_image(s.get(), nullptr, 0, 0);
    EXPECT_EQ(count_not(s.get(), 0xDEADBEEFu), 0);
    destroy_image(image);

    // Codes ask for 1024 colours from a table of 2; a long FILL and an undefined operation.
    image = load(acg_bytes(4, 2, { A, 0xFF000001u },
        { code(AcgOp::FILL, 1024), uint16_t(0xFC00 | 5), NEW_ROW_1, code(AcgOp::COPY, 1024), code(AcgOp::FILL, 1) }));
    draw_image(s.get(), image, 8, 8);
    EXPECT_EQ(pixel(s.get(), 8, 8), A);
    EXPECT_EQ(pixel(s.get(), 9, 8), A);
    EXPECT_EQ(pixel(s.get(), 8, 9), 0xDEADBEEFu); // the COPY would read past the colours: picture ends
    destroy_image(image);
    // A NEW_ROW longer than the rows left ends drawing.
    image = load(acg_bytes(1, 2, { A, A }, { code(AcgOp::FILL, 1), code(AcgOp::NEW_ROW, 1024), code(AcgOp::FILL, 1) }));
    draw_image(s.get(), image, 0, 0);
    EXPECT_EQ(pixel(s.get(), 0, 0), A);
    EXPECT_EQ(count_not(s.get(), 0xDEADBEEFu), 3);
    destroy_image(image);
}
