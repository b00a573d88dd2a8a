// test_gfx2d_image.cpp -- ACG loading, row tables, run drawing, clipping and the blend.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "display/bytes.h"
#include "gfx2d/image.h"

namespace {

// Hand-built ACG file: header, colours right after it, then the code words.
std::vector<uint8_t> acg_bytes(
    int w, int h, const std::vector<uint32_t>& colours, const std::vector<uint16_t>& codes, uint32_t magic = ACG_MAGIC)
{
    std::vector<uint8_t> f(ACG_HEADER_SIZE + 4 * colours.size() + 2 * codes.size());
    store_u32(&f[0], magic);
    store_u16(&f[4], uint16_t(w));
    store_u16(&f[6], uint16_t(h));
    store_u32(&f[8], uint32_t(colours.size()));
    store_u32(&f[12], uint32_t(codes.size()));
    store_u32(&f[20], ACG_HEADER_SIZE);
    store_u32(&f[24], uint32_t(ACG_HEADER_SIZE + 4 * colours.size()));
    for (size_t i = 0; i < colours.size(); ++i)
        store_u32(&f[ACG_HEADER_SIZE + 4 * i], colours[i]);
    for (size_t i = 0; i < codes.size(); ++i)
        store_u16(&f[ACG_HEADER_SIZE + 4 * colours.size() + 2 * i], codes[i]);
    return f;
}

constexpr uint16_t NEW_ROW_1 = acg_code(AcgOp::NEW_ROW, 1);

struct Canvas {
    Surface* s;
    explicit Canvas(int w = 10, int h = 10, uint32_t fill = 0xDEADBEEF)
    {
        s = create_surface(w, h, 32);
        for (int i = 0; i < w * h; ++i)
            px()[i] = fill;
    }
    ~Canvas() { destroy_surface(s); }
    uint32_t* px() { return reinterpret_cast<uint32_t*>(s->pixels); }
    uint32_t at(int x, int y) { return px()[y * s->width + x]; }
};

// 4 by 3: row 0 FILL 4 of A; row 1 COPY 4 of B0..B3; row 2 SKIP 1, BLEND_FILL 2 of C, SKIP 1.
const uint32_t A = 0xFF0000AAu, C = 0x00000010u;
const std::vector<uint32_t> TEST_COLOURS = { A, 0xFF0000B0u, 0xFF0000B1u, 0xFF0000B2u, 0xFF0000B3u, C };
const std::vector<uint16_t> TEST_CODES = { acg_code(AcgOp::FILL, 4), NEW_ROW_1, acg_code(AcgOp::COPY, 4), NEW_ROW_1,
    acg_code(AcgOp::SKIP, 1), acg_code(AcgOp::BLEND_FILL, 2), acg_code(AcgOp::SKIP, 1) };

Image* test_picture()
{
    auto f = acg_bytes(4, 3, TEST_COLOURS, TEST_CODES);
    return load_acg_memory(f.data(), f.size());
}

} // namespace

TEST(AcgLoader, ReadsHeaderTablesAndRowStarts)
{
    auto f = acg_bytes(4, 3, TEST_COLOURS, TEST_CODES);
    Image* a = load_acg_memory(f.data(), f.size());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->width, 4);
    EXPECT_EQ(a->height, 3);
    EXPECT_EQ(a->colour_count, 6);
    EXPECT_EQ(a->code_count, 7);
    EXPECT_EQ(a->codes[7], 0xFFFF);
    EXPECT_EQ(a->colours[4], 0xFF0000B3u);
    EXPECT_EQ(a->row_code[1], 2);
    EXPECT_EQ(a->row_colour[1], 1);
    EXPECT_EQ(a->row_code[2], 4);
    EXPECT_EQ(a->row_colour[2], 5);

    // The other magic loads the same picture.
    auto g = acg_bytes(4, 3, TEST_COLOURS, TEST_CODES, ACG_MAGIC_SWAPPED);
    Image* b = load_acg_memory(g.data(), g.size());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(std::memcmp(a->codes, b->codes, 16), 0);
    EXPECT_EQ(std::memcmp(a->row_colour, b->row_colour, 12), 0);
    destroy_image(a);
    destroy_image(b);
}

TEST(AcgLoader, StreamPositionAfterSuccessAndFailure)
{
    auto pic = acg_bytes(4, 3, TEST_COLOURS, TEST_CODES);
    std::vector<uint8_t> f = { 1, 2, 3 };
    f.insert(f.end(), pic.begin(), pic.end());
    f.push_back(0x55);
    ByteStream s;
    init_byte_stream(&s, f.data(), f.size());
    s.position = 1; // not a picture here
    EXPECT_EQ(load_acg(&s), nullptr);
    EXPECT_EQ(s.position, 1u);
    s.position = 3; // offsets count from the picture's first byte
    Image* image = load_acg(&s);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(s.position, f.size() - 1);
    EXPECT_EQ(image->colours[0], A);
    destroy_image(image);
}

TEST(AcgLoader, HeightOneAndUnreachedRows)
{
    // Height 1: a single row entry (0, 0); the NEW_ROW that ends it is not recorded.
    auto f = acg_bytes(2, 1, { A }, { acg_code(AcgOp::FILL, 2), NEW_ROW_1 });
    Image* one = load_acg_memory(f.data(), f.size());
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->row_code[0], 0);
    EXPECT_EQ(one->row_colour[0], 0);
    destroy_image(one);

    // Height 5 but only two rows coded: rows 2-4 point at the end, so a top-clipped draw stops.
    auto g = acg_bytes(2, 5, { A, A }, { acg_code(AcgOp::FILL, 2), NEW_ROW_1, acg_code(AcgOp::FILL, 2) });
    Image* short_pic = load_acg_memory(g.data(), g.size());
    ASSERT_NE(short_pic, nullptr);
    EXPECT_EQ(short_pic->row_code[3], 3);
    EXPECT_EQ(short_pic->row_colour[3], 2);
    Canvas c;
    draw_image(c.s, short_pic, 0, -3);
    EXPECT_EQ(c.at(0, 0), 0xDEADBEEFu);
    destroy_image(short_pic);
}

TEST(AcgLoader, RejectsAbsurdOrOutOfFileHeaders)
{
    auto good = acg_bytes(4, 3, TEST_COLOURS, TEST_CODES);
    auto expect_reject = [](std::vector<uint8_t> f) {
        Image* image = load_acg_memory(f.data(), f.size());
        EXPECT_EQ(image, nullptr);
        destroy_image(image);
    };
    auto f = good;
    store_u16(&f[6], 0); // height 0
    expect_reject(f);
    f = good;
    store_u16(&f[4], 5000); // wider than any picture
    expect_reject(f);
    f = good;
    store_u32(&f[8], 0x7FFFFFFF); // more colours than the file holds
    expect_reject(f);
    f = good;
    store_u32(&f[12], 0x80000000u); // code count of 2^31
    expect_reject(f);
    f = good;
    store_u32(&f[20], uint32_t(f.size())); // colour table past the end
    expect_reject(f);
    f = good;
    store_u32(&f[24], 0xFFFFFFF0u); // codes past the end
    expect_reject(f);
    expect_reject({ '!', 'A', 'C' });
    expect_reject({});

    // Codes cut short by the end of the file: the missing words read as 0 (SKIP).
    f = good;
    f.resize(f.size() - 2);
    Image* image = load_acg_memory(f.data(), f.size());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->codes[5], acg_code(AcgOp::BLEND_FILL, 2));
    EXPECT_EQ(image->codes[6], 0);
    destroy_image(image);
}

TEST(ImageBlend, PremultipliedBlendWithSaturatedTopByte)
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
}

TEST(DrawImage, RunsAndReportedRectangle)
{
    Image* image = test_picture();
    Canvas c(10, 10, 0x00000100u);
    set_surface_flags(c.s, SURFACE_TRACK_UPDATES);
    reset_update_list(&c.s->updates);
    draw_image(c.s, image, 3, 2);
    for (int x = 3; x < 7; ++x)
        EXPECT_EQ(c.at(x, 2), A);
    EXPECT_EQ(c.at(2, 2), 0x100u);
    EXPECT_EQ(c.at(7, 2), 0x100u);
    EXPECT_EQ(c.at(5, 3), 0xFF0000B2u);
    EXPECT_EQ(c.at(3, 4), 0x100u); // skipped
    EXPECT_EQ(c.at(4, 4), 0x110u); // blended: 0x100 + 0x10
    EXPECT_EQ(c.at(6, 4), 0x100u);
    const UpdateEntry& e = c.s->updates.entries[0];
    EXPECT_EQ(e.in_use, UPDATE_ENTRY_IN_USE);
    EXPECT_EQ(e.left, 3);
    EXPECT_EQ(e.top, 2);
    EXPECT_EQ(e.right, 7);
    EXPECT_EQ(e.bottom, 5);
    destroy_image(image);
}

TEST(DrawImage, LeftRightAndTopClipping)
{
    Image* image = test_picture();
    {
        // Left: the FILL straddling the edge draws from the edge on; COPY starts at colour 2.
        Canvas c;
        draw_image(c.s, image, -2, 0);
        EXPECT_EQ(c.at(0, 0), A);
        EXPECT_EQ(c.at(1, 0), A);
        EXPECT_EQ(c.at(2, 0), 0xDEADBEEFu);
        EXPECT_EQ(c.at(0, 1), 0xFF0000B2u);
        EXPECT_EQ(c.at(1, 1), 0xFF0000B3u);
        EXPECT_EQ(c.at(0, 2), blend_image_pixel(C, 0xDEADBEEFu));
    }
    {
        // Right: a COPY cut on the right still consumes all its colours for the next row.
        Canvas c;
        draw_image(c.s, image, 8, 0);
        EXPECT_EQ(c.at(8, 1), 0xFF0000B0u);
        EXPECT_EQ(c.at(9, 1), 0xFF0000B1u);
        EXPECT_EQ(c.at(9, 2), blend_image_pixel(C, 0xDEADBEEFu));
        EXPECT_EQ(c.at(8, 2), 0xDEADBEEFu);
    }
    {
        // Top clipped by 1 row: starts at row 1's code word and colour.
        Canvas c;
        draw_image(c.s, image, 0, -1);
        EXPECT_EQ(c.at(0, 0), 0xFF0000B0u);
        EXPECT_EQ(c.at(1, 1), blend_image_pixel(C, 0xDEADBEEFu));
        EXPECT_EQ(c.at(0, 2), 0xDEADBEEFu);
    }
    {
        // Bottom: only the rows above the clip edge.
        Canvas c;
        draw_image_clipped(c.s, image, 0, 0, 0, 0, 10, 2);
        EXPECT_EQ(c.at(0, 1), 0xFF0000B0u);
        EXPECT_EQ(c.at(1, 2), 0xDEADBEEFu);
    }
    destroy_image(image);
}

TEST(DrawImage, NothingDrawnCases)
{
    Image* image = test_picture();
    Canvas ref;
    auto unchanged = [&](Canvas& c) { return std::memcmp(c.px(), ref.px(), 400) == 0; };
    {
        Canvas c;
        set_surface_flags(c.s, SURFACE_TRACK_UPDATES);
        reset_update_list(&c.s->updates);
        draw_image_clipped(c.s, image, 6, 0, 0, 0, 6, 10); // left edge on the clip's right edge
        EXPECT_TRUE(unchanged(c));
        EXPECT_EQ(c.s->updates.entries[0].in_use, 0); // zero-width rectangle is ignored
    }
    {
        Canvas c;
        draw_image(c.s, image, -4, 0); // L = width
        draw_image(c.s, image, -5, 0);
        draw_image(c.s, image, 0, 10); // at the bottom edge
        draw_image(c.s, image, 0, -3); // T = height
        draw_image_clipped(c.s, image, 0, 0, 5, 5, 5, 9); // empty clip
        draw_image_clipped(c.s, image, 0, -1, 0, 0, 10, 0); // empty clip with the top clipped
        draw_image(c.s, image, INT_MIN, INT_MIN);
        draw_image(c.s, image, INT_MAX, INT_MAX);
        draw_image_clipped(c.s, image, INT_MAX, 0, INT_MIN, INT_MIN, INT_MAX, INT_MAX);
        draw_image(nullptr, image, 0, 0);
        draw_image(c.s, nullptr, 0, 0);
        EXPECT_TRUE(unchanged(c));
    }
    destroy_image(image);
}

TEST(DrawImage, SwappedClipCornersMatchOrderedOnes)
{
    Image* image = test_picture();
    Canvas a, b;
    draw_image_clipped(a.s, image, 1, 0, 2, 1, 4, 3);
    draw_image_clipped(b.s, image, 1, 0, 4, 3, 2, 1);
    EXPECT_EQ(std::memcmp(a.px(), b.px(), 400), 0);
    EXPECT_EQ(a.at(2, 1), 0xFF0000B1u);
    EXPECT_EQ(a.at(1, 1), 0xDEADBEEFu);
    EXPECT_EQ(a.at(4, 1), 0xDEADBEEFu);
    destroy_image(image);
}

TEST(DrawImage, CorruptRunsStayInsideTheirTables)
{
    // Codes ask for 1024 colours from a table of 2; a long FILL and an undefined operation.
    auto f = acg_bytes(4, 2, { A, 0xFF000001u },
        { acg_code(AcgOp::FILL, 1024), uint16_t(0xFC00 | 5), NEW_ROW_1, acg_code(AcgOp::COPY, 1024),
            acg_code(AcgOp::FILL, 1) });
    Image* image = load_acg_memory(f.data(), f.size());
    ASSERT_NE(image, nullptr);
    Canvas c;
    draw_image(c.s, image, 8, 8);
    EXPECT_EQ(c.at(8, 8), A);
    EXPECT_EQ(c.at(9, 8), A);
    EXPECT_EQ(c.at(8, 9), 0xDEADBEEFu); // the COPY would read past the colours: picture ends
    // A NEW_ROW longer than the rows left ends drawing.
    auto g = acg_bytes(
        1, 2, { A, A }, { acg_code(AcgOp::FILL, 1), acg_code(AcgOp::NEW_ROW, 1024), acg_code(AcgOp::FILL, 1) });
    Image* tall = load_acg_memory(g.data(), g.size());
    draw_image(c.s, tall, 0, 0);
    EXPECT_EQ(c.at(0, 0), A);
    destroy_image(tall);
    destroy_image(image);
}
