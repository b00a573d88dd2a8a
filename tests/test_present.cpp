// test_present.cpp -- pixel conversion between every pair of formats, dithering, present, clearing.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "display/present.h"
#include "display/surface.h"

namespace {

struct SurfaceDeleter {
    void operator()(Surface* s) const { destroy_surface(s); }
};
using SurfacePtr = std::unique_ptr<Surface, SurfaceDeleter>;

SurfacePtr make(int w, int h, int bits, uint32_t r = 0, uint32_t g = 0, uint32_t b = 0)
{
    SurfacePtr s(create_surface(w, h, bits));
    if (r | g | b)
        set_pixel_format(s.get(), r, g, b);
    return s;
}

// Writes one pixel of the given byte width at (0,0), low byte first.
void put(Surface* s, uint32_t v)
{
    for (int i = 0; i < s->bytes_per_pixel; ++i)
        s->pixels[i] = uint8_t(v >> (8 * i));
}

uint32_t get(const Surface* s, int x = 0, int y = 0)
{
    const uint8_t* p = s->pixels + y * s->pitch + x * s->bytes_per_pixel;
    uint32_t v = 0;
    for (int i = 0; i < s->bytes_per_pixel; ++i)
        v |= uint32_t(p[i]) << (8 * i);
    return v;
}

uint32_t convert_one(Surface* from, Surface* to, uint32_t value)
{
    put(from, value);
    std::memset(to->pixels, 0xEE, size_t(to->pitch) * to->height);
    present(from, to);
    return get(to);
}

class PaletteMap : public ::testing::Test {
protected:
    void SetUp() override { std::memcpy(saved, palette_index_map, sizeof saved); }
    void TearDown() override { std::memcpy(palette_index_map, saved, sizeof saved); }
    uint8_t saved[256];
};

using Conversion = PaletteMap;

// Each routine of the 4x4 table, with values worked out from rotate-and-mask by hand.
TEST_F(Conversion, FromThirtyTwoBits)
{
    auto src = make(1, 1, 32);
    auto d32swap = make(1, 1, 32, 0x0000FF, 0x00FF00, 0xFF0000);
    auto d24 = make(1, 1, 24);
    auto d16 = make(1, 1, 16);
    auto d15 = make(1, 1, 16, 0x7C00, 0x03E0, 0x001F);
    auto d8 = make(1, 1, 8);
    EXPECT_EQ(convert_one(src.get(), d32swap.get(), 0xAB123456), 0x00563412u); // top byte dropped
    EXPECT_EQ(convert_one(src.get(), d24.get(), 0xAB123456), 0x123456u);
    EXPECT_EQ(d24->pixels[0], 0x56); // blue first
    EXPECT_EQ(d24->pixels[2], 0x12);
    EXPECT_EQ(convert_one(src.get(), d16.get(), 0x00123456), 0x11AAu);
    EXPECT_EQ(convert_one(src.get(), d16.get(), 0x00FFFFFF), 0xFFFFu);
    EXPECT_EQ(convert_one(src.get(), d15.get(), 0x00123456), 0x08CAu);
    for (int i = 0; i < 256; ++i)
        palette_index_map[i] = uint8_t(255 - i);
    EXPECT_EQ(convert_one(src.get(), d8.get(), 0x00FF8040), uint32_t(255 - 0xF1));
}

TEST_F(Conversion, FromTwentyFourBits)
{
    auto src = make(1, 1, 24);
    auto d32 = make(1, 1, 32);
    auto d24swap = make(1, 1, 24, 0x0000FF, 0x00FF00, 0xFF0000);
    auto d16 = make(1, 1, 16);
    auto d8 = make(1, 1, 8);
    EXPECT_EQ(convert_one(src.get(), d32.get(), 0x123456), 0x00123456u);
    EXPECT_EQ(convert_one(src.get(), d24swap.get(), 0x123456), 0x563412u);
    EXPECT_EQ(convert_one(src.get(), d16.get(), 0x123456), 0x11AAu);
    for (int i = 0; i < 256; ++i)
        palette_index_map[i] = uint8_t(i ^ 0x5A);
    EXPECT_EQ(convert_one(src.get(), d8.get(), 0xFF8040), uint32_t(0xF1 ^ 0x5A));
}

TEST_F(Conversion, FromSixteenBits)
{
    // Widening rotates neighbouring channel bits in below the top bits: the rule does not
    // mask the source, so 5:6:5 0x11AA widens to 0x113550 rather than 0x103450.
    auto src = make(1, 1, 16);
    auto d32 = make(1, 1, 32);
    auto d24 = make(1, 1, 24);
    auto d15 = make(1, 1, 16, 0x7C00, 0x03E0, 0x001F);
    auto d8 = make(1, 1, 8);
    EXPECT_EQ(convert_one(src.get(), d32.get(), 0x11AA), 0x00113550u);
    EXPECT_EQ(convert_one(src.get(), d24.get(), 0x11AA), 0x113550u);
    EXPECT_EQ(convert_one(src.get(), d15.get(), 0x11AA), 0x08CAu);
    for (int i = 0; i < 256; ++i)
        palette_index_map[i] = uint8_t(i + 100);
    EXPECT_EQ(convert_one(src.get(), d8.get(), 0x11AA), uint32_t(0x05 + 100));
}

TEST_F(Conversion, FromEightBitsThroughThePaletteMap)
{
    auto src = make(1, 1, 8);
    auto d32 = make(1, 1, 32);
    auto d24 = make(1, 1, 24);
    auto d16 = make(1, 1, 16);
    auto d8other = make(1, 1, 8, 0x07, 0x38, 0xC0);
    for (int i = 0; i < 256; ++i)
        palette_index_map[i] = uint8_t(i);
    palette_index_map[0x33] = 0xF1; // the source byte is looked up before conversion
    EXPECT_EQ(convert_one(src.get(), d32.get(), 0x33), 0x00F18840u);
    EXPECT_EQ(convert_one(src.get(), d24.get(), 0x33), 0xF18840u);
    EXPECT_EQ(convert_one(src.get(), d16.get(), 0x33), 0xF448u);
    palette_index_map[0x67] = 0x99; // and the result is looked up again on the way out
    EXPECT_EQ(convert_one(src.get(), d8other.get(), 0x33), 0x99u);
}

TEST_F(Conversion, MatchingFormatsCopyEveryBit)
{
    auto src = make(3, 1, 32);
    auto dst = make(3, 1, 32);
    const uint32_t values[3] = { 0xAB123456, 0xFFFFFFFF, 0x01000000 };
    std::memcpy(src->pixels, values, sizeof values);
    present(src.get(), dst.get());
    EXPECT_EQ(std::memcmp(src->pixels, dst->pixels, sizeof values), 0);
    select_converter(src.get(), dst.get());
    EXPECT_EQ(conversion.shift_r, 0u);
    EXPECT_EQ(conversion.shift_g, 0u);
    EXPECT_EQ(conversion.shift_b, 0u);
}

TEST(Dithering, ConstantsForSixteenAndEightBits)
{
    auto src = make(1, 1, 32);
    set_surface_flags(src.get(), SURFACE_DITHER);
    auto d16 = make(1, 1, 16);
    select_converter(src.get(), d16.get());
    EXPECT_EQ(conversion.bias, 0x040204u);
    EXPECT_EQ(conversion.keep, 0xFCFEFCu);
    EXPECT_EQ(conversion.carry, 0x01010100u);
    auto d8 = make(1, 1, 8);
    select_converter(src.get(), d8.get());
    EXPECT_EQ(conversion.bias, 0x101020u);
    EXPECT_EQ(conversion.keep, 0xF0F0E0u);
}

TEST(Dithering, CheckerboardOnFiveSixFive)
{
    auto src = make(3, 2, 32);
    set_surface_flags(src.get(), SURFACE_DITHER);
    auto dst = make(3, 2, 16);
    for (int i = 0; i < 6; ++i)
        reinterpret_cast<uint32_t*>(src->pixels)[i] = 0x00123456;
    present(src.get(), dst.get());
    EXPECT_EQ(get(dst.get(), 0, 0), 0x11AAu); // plain where column + row is even
    EXPECT_EQ(get(dst.get(), 1, 0), 0x11ABu); // biased where it is odd
    EXPECT_EQ(get(dst.get(), 2, 0), 0x11AAu);
    EXPECT_EQ(get(dst.get(), 0, 1), 0x11ABu);
    EXPECT_EQ(get(dst.get(), 1, 1), 0x11AAu);
    EXPECT_EQ(get(dst.get(), 2, 1), 0x11ABu);
    // A saturated channel stays all ones after the bias.
    for (int i = 0; i < 6; ++i)
        reinterpret_cast<uint32_t*>(src->pixels)[i] = 0x00FFFFFF;
    present(src.get(), dst.get());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(get(dst.get(), x, y), 0xFFFFu);
}

TEST(Dithering, FifteenBitsOnlyWhenAsked)
{
    auto src = make(2, 1, 32);
    auto dst = make(2, 1, 16, 0x7C00, 0x03E0, 0x001F);
    reinterpret_cast<uint32_t*>(src->pixels)[0] = 0x00123456;
    reinterpret_cast<uint32_t*>(src->pixels)[1] = 0x00123456;
    present(src.get(), dst.get());
    EXPECT_EQ(get(dst.get(), 1, 0), 0x08CAu); // plain
    set_surface_flags(src.get(), SURFACE_DITHER);
    present(src.get(), dst.get());
    EXPECT_EQ(get(dst.get(), 0, 0), 0x08CAu);
    // biased: (0x123456 & 0xFCFCFC) + 0x040404 = 0x143858 -> 0x08EB
    EXPECT_EQ(get(dst.get(), 1, 0), 0x08EBu);
}

TEST(Dithering, EightBitDisplayTwentyFourAndThirtyTwoAreNotDithered)
{
    auto src = make(2, 1, 32);
    set_surface_flags(src.get(), SURFACE_DITHER);
    reinterpret_cast<uint32_t*>(src->pixels)[0] = 0x00101010;
    reinterpret_cast<uint32_t*>(src->pixels)[1] = 0x00101010;
    auto d8 = make(2, 1, 8);
    present(src.get(), d8.get());
    EXPECT_EQ(get(d8.get(), 0, 0), 0x00u);
    // biased: (0x101010 & 0xF0F0E0) + 0x101020 = 0x202020 -> 0x24
    EXPECT_EQ(get(d8.get(), 1, 0), 0x24u);
    // A red channel that overflows saturates: 0xFF8040 -> 0x1009060 -> 0xFF9060 -> 0xF1
    reinterpret_cast<uint32_t*>(src->pixels)[1] = 0x00FF8040;
    present(src.get(), d8.get());
    EXPECT_EQ(get(d8.get(), 1, 0), 0xF1u);
    reinterpret_cast<uint32_t*>(src->pixels)[1] = 0x00101010;
    auto d32 = make(2, 1, 32);
    present(src.get(), d32.get()); // same depth: straight copy
    EXPECT_EQ(get(d32.get(), 1, 0), 0x00101010u);
    // Dithering asked for between formats without a dithering routine copies nothing.
    auto d24low = make(1, 1, 24, 0xF80000, 0x00FC00, 0x0000F8);
    d24low->pixels[0] = 0x77;
    present(src.get(), d24low.get());
    EXPECT_EQ(d24low->pixels[0], 0x77);
}

TEST(Present, CopiesOnlyTheOverlap)
{
    auto small = make(160, 120, 32);
    auto big = make(320, 240, 32);
    std::memset(small->pixels, 0x11, size_t(small->pitch) * 120);
    std::memset(big->pixels, 0x77, size_t(big->pitch) * 240);
    present(small.get(), big.get());
    EXPECT_EQ(get(big.get(), 159, 119), 0x11111111u);
    EXPECT_EQ(get(big.get(), 160, 0), 0x77777777u);
    EXPECT_EQ(get(big.get(), 0, 120), 0x77777777u);
    present(nullptr, nullptr); // nothing to do
}

// A fake display whose locked rows are wider than the picture.
struct FakeDisplay {
    static inline std::vector<uint8_t> memory;
    static inline int pitch = 0;
    static inline int locks = 0;
    static inline int unlocks = 0;
    static int restore() { return 0; }
    static uint8_t* lock(int, int, int* p)
    {
        ++locks;
        *p = pitch;
        return memory.data();
    }
    static void unlock() { ++unlocks; }
};

TEST(Present, DisplayRecordUsesTheLockedPitch)
{
    Surface record{};
    record.width = 4;
    record.height = 3;
    record.bits_per_pixel = 16;
    record.bytes_per_pixel = 2;
    record.pitch = 8;
    set_pixel_format(&record, 0xF800, 0x07E0, 0x001F);
    record.flags = SURFACE_DISPLAY;
    FakeDisplay::pitch = 64; // not width * bytes
    FakeDisplay::memory.assign(64 * 3, 0xEE);
    FakeDisplay::locks = FakeDisplay::unlocks = 0;
    display_access = { FakeDisplay::restore, FakeDisplay::lock, FakeDisplay::unlock, nullptr, nullptr };
    current_display_record = &record;

    auto frame = make(4, 3, 32);
    for (int i = 0; i < 12; ++i)
        reinterpret_cast<uint32_t*>(frame->pixels)[i] = 0x00123456;
    present(frame.get(), nullptr);
    EXPECT_EQ(FakeDisplay::locks, 1); // locked once per frame, not per row
    EXPECT_EQ(FakeDisplay::unlocks, 1);
    EXPECT_EQ(FakeDisplay::memory[2 * 64 + 0], 0xAA);
    EXPECT_EQ(FakeDisplay::memory[2 * 64 + 1], 0x11);
    EXPECT_EQ(FakeDisplay::memory[2 * 64 + 8], 0xEE); // beyond the picture: untouched

    clear_surface(nullptr);
    EXPECT_EQ(FakeDisplay::memory[2 * 64 + 7], 0x00);
    EXPECT_EQ(FakeDisplay::memory[2 * 64 + 8], 0xEE);

    current_display_record = nullptr;
    display_access = {};
}

TEST(Present, ClearSurfaceZeroesEveryPixel)
{
    auto s = make(5, 3, 24);
    std::memset(s->pixels, 0xFF, size_t(s->pitch) * 3);
    clear_surface(s.get());
    for (int i = 0; i < s->pitch * 3; ++i)
        ASSERT_EQ(s->pixels[i], 0);
}

} // namespace
