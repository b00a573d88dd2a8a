// test_present.cpp -- pixel conversion between every pair of formats, dithering, present, clearing.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "display/present.h"
#include "surface_fixture.h"

namespace {

struct Format {
    int bits;
    uint32_t r = 0, g = 0, b = 0; // 0: the depth's usual masks
};

SurfacePtr make(int w, int h, Format f)
{
    SurfacePtr s(create_surface(w, h, f.bits));
    if (f.r | f.g | f.b)
        set_pixel_format(s.get(), f.r, f.g, f.b);
    return s;
}

// The pixel at (x, y), low byte first, of any byte width.
uint32_t get(const Surface* s, int x, int y)
{
    uint32_t v = 0;
    std::memcpy(&v, s->pixels + y * s->pitch + x * s->bytes_per_pixel, size_t(s->bytes_per_pixel));
    return v;
}

} // namespace

// Each routine of the 4x4 table, values worked out from rotate-and-mask by hand. The 8-bit
// palette map is i ^ 0x5A: 8-bit sources are looked up before conversion, 8-bit results after.
TEST(Present, ConvertsDithersCopiesOnlyTheOverlapAndClearsEveryByte)
{
    for (int i = 0; i < 256; ++i)
        palette_index_map[i] = uint8_t(i ^ 0x5A);
    const Format F32 { 32 }, F24 { 24 }, F16 { 16 }, F8 { 8 }, F15 { 16, 0x7C00, 0x03E0, 0x001F };
    const Format F32SWAP { 32, 0x0000FF, 0x00FF00, 0xFF0000 }, F24SWAP { 24, 0x0000FF, 0x00FF00, 0xFF0000 };
    const Format F8OTHER { 8, 0x07, 0x38, 0xC0 }, F24LOW { 24, 0xF80000, 0x00FC00, 0x0000F8 };
    // Dithered pixels are biased where column + row is odd: "even" is (0, 0), "odd" is (1, 0).
    const struct {
        Format from, to;
        bool dither;
        uint32_t value, even, odd;
    } cases[] = {
        // clang-format off
        { F32, F32, false, 0xAB123456, 0xAB123456, 0xAB123456 }, // matching formats copy every bit
        { F32, F32SWAP, false, 0xAB123456, 0x563412, 0x563412 }, // top byte dropped
        { F32, F24, false, 0xAB123456, 0x123456, 0x123456 },
        { F32, F16, false, 0x123456, 0x11AA, 0x11AA },
        { F32, F16, false, 0xFFFFFF, 0xFFFF, 0xFFFF },
        { F32, F15, false, 0x123456, 0x08CA, 0x08CA },
        { F32, F8, false, 0xFF8040, 0xF1 ^ 0x5A, 0xF1 ^ 0x5A },
        { F24, F32, false, 0x123456, 0x123456, 0x123456 },
        { F24, F24SWAP, false, 0x123456, 0x563412, 0x563412 },
        { F24, F16, false, 0x123456, 0x11AA, 0x11AA },
        { F24, F8, false, 0xFF8040, 0xF1 ^ 0x5A, 0xF1 ^ 0x5A },
        // Widening rotates neighbouring channel bits in below the top bits: the rule does not
        // mask the source, so 5:6:5 0x11AA widens to 0x113550 rather than 0x103450.
        { F16, F32, false, 0x11AA, 0x113550, 0x113550 },
        { F16, F24, false, 0x11AA, 0x113550, 0x113550 },
        { F16, F15, false, 0x11AA, 0x08CA, 0x08CA },
        { F16, F8, false, 0x11AA, 0x05 ^ 0x5A, 0x05 ^ 0x5A },
        { F8, F32, false, 0xF1 ^ 0x5A, 0xF18840, 0xF18840 },
        { F8, F24, false, 0xF1 ^ 0x5A, 0xF18840, 0xF18840 },
        { F8, F16, false, 0xF1 ^ 0x5A, 0xF448, 0xF448 },
        { F8, F8OTHER, false, 0xF1 ^ 0x5A, 0x67 ^ 0x5A, 0x67 ^ 0x5A },
        { F32, F16, true, 0x123456, 0x11AA, 0x11AB },
        { F32, F16, true, 0xFFFFFF, 0xFFFF, 0xFFFF }, // a saturated channel stays all ones
        // (0x123456 & 0xFCFCFC) + 0x040404 = 0x143858 -> 0x08EB
        { F32, F15, true, 0x123456, 0x08CA, 0x08EB },
        // (0x101010 & 0xF0F0E0) + 0x101020 = 0x202020 -> 0x24
        { F32, F8, true, 0x101010, 0x00 ^ 0x5A, 0x24 ^ 0x5A },
        // A red channel that overflows saturates: 0x1009060 -> 0xFF9060 -> 0xF1
        { F32, F8, true, 0xFF8040, 0xF1 ^ 0x5A, 0xF1 ^ 0x5A },
        { F32, F32, true, 0x101010, 0x101010, 0x101010 }, // same depth: straight copy
        { F32, F24LOW, true, 0x101010, 0xEEEEEE, 0xEEEEEE }, // no dithering routine: nothing copied
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from.bits << " to " << c.to.bits << " of " << std::hex << c.value);
        auto from = make(2, 2, c.from);
        auto to = make(2, 2, c.to);
        for (int i = 0; i < 4; ++i)
            std::memcpy(from->pixels + i * from->bytes_per_pixel, &c.value, size_t(from->bytes_per_pixel));
        std::memset(to->pixels, 0xEE, size_t(to->pitch) * 2);
        set_surface_flags(from.get(), c.dither ? SURFACE_DITHER : 0);
        present(from.get(), to.get());
        EXPECT_EQ(get(to.get(), 0, 0), c.even);
        EXPECT_EQ(get(to.get(), 1, 0), c.odd);
        EXPECT_EQ(get(to.get(), 0, 1), c.odd);
        EXPECT_EQ(get(to.get(), 1, 1), c.even);
    }

    // Only the overlap is copied; clearing reaches every byte, through a display's locked pitch too.
    auto small = make_surface(160, 120, 0x11111111u);
    auto big = make_surface(320, 240, 0x77777777u);
    present(small.get(), big.get());
    EXPECT_EQ(pixel(big.get(), 159, 119), 0x11111111u);
    EXPECT_EQ(count_not(big.get(), 0x77777777u), 160 * 120);
    present(nullptr, nullptr); // nothing to do
    auto s = make(5, 3, { 24 });
    std::memset(s->pixels, 0xFF, size_t(s->pitch) * 3);
    clear_surface(s.get());
    EXPECT_EQ(std::vector<uint8_t>(s->pixels, s->pixels + s->pitch * 3), std::vector<uint8_t>(45, 0));

    Surface record = *make(4, 3, { 16 }); // a 5:6:5 display record: no pixels of its own
    record.pixels = nullptr;
    record.flags = SURFACE_DISPLAY;
    // A fake display whose locked rows are wider than the picture.
    static std::vector<uint8_t> memory;
    memory.assign(64 * 3, 0xEE);
    auto lock = [](int, int, int* pitch) {
        *pitch = 64;
        return memory.data();
    };
    display_access = { [] { return 0; }, lock, [] {}, nullptr, nullptr };
    current_display_record = &record;

    auto frame = make_surface(4, 3, 0x00123456u);
    present(frame.get(), nullptr);
    EXPECT_EQ(memory[2 * 64 + 0], 0xAA);
    EXPECT_EQ(memory[2 * 64 + 1], 0x11);
    EXPECT_EQ(memory[2 * 64 + 8], 0xEE); // beyond the picture: untouched
    clear_surface(nullptr);
    EXPECT_EQ(memory[2 * 64 + 7], 0x00);
    EXPECT_EQ(memory[2 * 64 + 8], 0xEE);

    current_display_record = nullptr;
    display_access = {};
}
