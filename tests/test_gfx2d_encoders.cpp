// test_gfx2d_encoders.cpp -- encoders round-trip through the engine's loaders and decoders.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "display/bytes.h"
#include "gfx2d/anim.h"
#include "gfx2d/image.h"
#include "tools/formats/acg_writer.h"
#include "tools/formats/anim_writer.h"
#include "tools/formats/png_io.h"

namespace {

// Draws an encoded picture over black and returns the Surface's pixels.
std::vector<uint32_t> draw_over_black(const std::vector<uint8_t>& file, int width, int height)
{
    Image* image = load_acg_memory(file.data(), file.size());
    EXPECT_NE(image, nullptr);
    Surface* s = create_surface(width, height, 32);
    std::memset(s->pixels, 0, size_t(width) * height * 4);
    draw_image(s, image, 0, 0);
    std::vector<uint32_t> out(
        reinterpret_cast<uint32_t*>(s->pixels), reinterpret_cast<uint32_t*>(s->pixels) + width * height);
    destroy_surface(s);
    destroy_image(image);
    return out;
}

uint32_t mix(uint32_t v)
{
    v ^= v >> 15;
    v *= 0x2C1B3C6Du;
    v ^= v >> 12;
    return v;
}

} // namespace

TEST(AcgEncoder, PremultipliesAndRoundTripsMixedRuns)
{
    EXPECT_EQ(premultiply_rgba(255, 128, 0, 255), 0xFFFF8000u);
    EXPECT_EQ(premultiply_rgba(255, 255, 255, 128), 0x80808080u);
    EXPECT_EQ(premultiply_rgba(200, 100, 50, 0), 0u);
    EXPECT_EQ(premultiply_rgba(255, 100, 1, 51), 0x33331400u); // 100*51/255 = 20, 1*51/255 -> 0

    // Transparent areas, opaque fills and noise, translucent fills and noise, runs over 1024.
    const int w = 1300, h = 5;
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgba[(size_t(y) * w + x) * 4];
            const uint32_t r = mix(uint32_t(y * w + x));
            const int zone = (x / 100 + y) % 5;
            uint8_t a = zone == 0 ? 0 : zone == 1 || zone == 2 ? 255 : uint8_t(1 + (x % 200));
            const bool flat = zone == 1 || zone == 3 || y == 4;
            p[0] = flat ? 40 : uint8_t(r);
            p[1] = flat ? 90 : uint8_t(r >> 8);
            p[2] = flat ? 200 : uint8_t(r >> 16);
            p[3] = y == 4 ? 255 : a;
        }
    std::vector<uint8_t> file;
    ASSERT_TRUE(encode_acg_rgba(rgba.data(), w, h, &file));
    const auto pixels = draw_over_black(file, w, h);
    for (int i = 0; i < w * h; ++i) {
        const uint8_t* p = &rgba[size_t(i) * 4];
        ASSERT_EQ(pixels[size_t(i)], premultiply_rgba(p[0], p[1], p[2], p[3])) << "pixel " << i;
    }
    // Row 4 is one colour: fills of at most 1024 pixels, so two runs, two colours.
    Image* image = load_acg_memory(file.data(), file.size());
    const int row4 = image->row_code[4];
    EXPECT_EQ(image->code_count - row4, 2);
    EXPECT_EQ(image->codes[row4], acg_code(AcgOp::FILL, 1024));
    EXPECT_EQ(image->codes[row4 + 1], acg_code(AcgOp::FILL, 276));
    EXPECT_EQ(image->row_colour[4], image->colour_count - 2);
    destroy_image(image);
}

TEST(AcgEncoder, LayoutOfASmallPicture)
{
    // Row 0: skip 2, copy 2; row 1: fill 4 translucent; row 2: fully transparent.
    const uint32_t c[12]
        = { 0, 0, 0xFF010203u, 0xFF040506u, 0x80402010u, 0x80402010u, 0x80402010u, 0x80402010u, 0, 0, 0, 0 };
    std::vector<uint8_t> f;
    ASSERT_TRUE(encode_acg(c, 4, 3, &f));
    ASSERT_EQ(f.size(), size_t(28 + 3 * 4 + 5 * 2));
    EXPECT_EQ(load_u32(f.data()), ACG_MAGIC);
    EXPECT_EQ(load_u32(f.data() + 8), 3u); // colours
    EXPECT_EQ(load_u32(f.data() + 12), 5u); // codes
    const uint8_t* codes = f.data() + 40;
    EXPECT_EQ(load_u16(codes + 0), acg_code(AcgOp::SKIP, 2));
    EXPECT_EQ(load_u16(codes + 2), acg_code(AcgOp::COPY, 2));
    EXPECT_EQ(load_u16(codes + 4), 0x0C00); // NEW_ROW of one row
    EXPECT_EQ(load_u16(codes + 6), acg_code(AcgOp::BLEND_FILL, 4));
    EXPECT_EQ(load_u16(codes + 8), 0x0C00);
    EXPECT_FALSE(encode_acg(c, 0, 3, &f));
    EXPECT_FALSE(encode_acg(c, 4097, 1, &f));
}

TEST(AcgEncoder, UnpremultiplyInvertsRepresentableColours)
{
    uint8_t rgba[4];
    unpremultiply_colour(premultiply_rgba(10, 102, 255, 128), rgba);
    EXPECT_EQ(rgba[0], 10);
    EXPECT_EQ(rgba[1], 102);
    EXPECT_EQ(rgba[2], 255);
    EXPECT_EQ(rgba[3], 128);
    // Every premultiplied colour survives the trip to straight alpha and back.
    for (uint32_t a = 1; a < 256; ++a)
        for (uint32_t c = 0; c <= a; ++c) {
            unpremultiply_colour(a << 24 | c << 16 | c, rgba);
            ASSERT_EQ(premultiply_rgba(rgba[0], rgba[1], rgba[2], rgba[3]), a << 24 | c << 16 | c) << a << " " << c;
        }
    unpremultiply_colour(0x00102030u, rgba);
    EXPECT_EQ(rgba[3], 0);
    EXPECT_EQ(rgba[0], 0);
}

TEST(RlmEncoder, ChoosesShortAndLongRunsAndDecodesBack)
{
    // A one-colour frame needs two long repeats: 16383 and 2817.
    std::vector<uint8_t> flat(RLM_FRAME_PIXELS, 7);
    std::vector<uint8_t> bytes;
    encode_rlm_frame(flat.data(), RLM_FRAME_PIXELS, &bytes);
    EXPECT_EQ(bytes, (std::vector<uint8_t> { 0xBF, 0xFF, 7, 0x8B, 0x01, 7 }));

    // Short literal, short repeat, long literal.
    std::vector<uint8_t> frame(RLM_FRAME_PIXELS);
    for (int i = 0; i < RLM_FRAME_PIXELS; ++i)
        frame[size_t(i)] = i < 5 ? uint8_t(i + 1) : i < 9 ? 9 : uint8_t(mix(uint32_t(i)) | 1) ^ uint8_t(i & 1);
    bytes.clear();
    encode_rlm_frame(frame.data(), RLM_FRAME_PIXELS, &bytes);
    EXPECT_EQ(bytes[0], 0x45); // literal of 5
    EXPECT_EQ(bytes[6], 0x04); // repeat of 4
    EXPECT_EQ(bytes[7], 9);

    // Two frames into one stream, decoded through a palette.
    encode_rlm_frame(flat.data(), RLM_FRAME_PIXELS, &bytes);
    uint32_t palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = uint32_t(i) * 0x010101u;
    ByteStream stream;
    init_byte_stream(&stream, bytes.data(), bytes.size());
    Surface* s = create_surface(RLM_FRAME_WIDTH, RLM_FRAME_HEIGHT, 32);
    const uint32_t* px = reinterpret_cast<uint32_t*>(s->pixels);
    ASSERT_EQ(decode_rlm_frame(&stream, RLM_FRAME_PIXELS, s, palette), 0);
    for (int i = 0; i < RLM_FRAME_PIXELS; ++i)
        ASSERT_EQ(px[i], palette[frame[size_t(i)]]) << i;
    ASSERT_EQ(decode_rlm_frame(&stream, RLM_FRAME_PIXELS, s, palette), 0);
    EXPECT_EQ(px[RLM_FRAME_PIXELS - 1], 0x070707u);
    // The decode after the last frame finds no data: it sets the flag, reports the end and
    // leaves the last frame on show.
    EXPECT_EQ(decode_rlm_frame(&stream, RLM_FRAME_PIXELS, s, palette), 1);
    EXPECT_TRUE(stream.at_end);
    EXPECT_EQ(px[0], 0x070707u);
    EXPECT_EQ(decode_rlm_frame(&stream, RLM_FRAME_PIXELS, s, palette), 1);
    destroy_surface(s);
}

TEST(PalWriter, WritesEntry255FirstAndLoadsBack)
{
    uint32_t palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = mix(uint32_t(i)) & 0xFFFFFFu;
    std::vector<uint8_t> bytes;
    encode_pal(palette, &bytes);
    ASSERT_EQ(bytes.size(), 768u);
    EXPECT_EQ(bytes[0], uint8_t(palette[255] >> 16));
    EXPECT_EQ(bytes[767], uint8_t(palette[0]));
    uint32_t loaded[256];
    load_pal_memory(bytes.data(), bytes.size(), loaded);
    EXPECT_EQ(std::memcmp(loaded, palette, sizeof palette), 0);
}

TEST(Quantizer, KeepsSmallPalettesExactAndReducesLargeOnes)
{
    std::vector<uint32_t> a(100), b(100);
    for (int i = 0; i < 100; ++i) {
        a[size_t(i)] = 0xFF000000u | uint32_t(i * 3);
        b[size_t(i)] = uint32_t(i * 3) << 8;
    }
    uint32_t palette[256];
    std::vector<std::vector<uint8_t>> idx;
    quantize_frames({ a.data(), b.data() }, 100, palette, &idx);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(palette[idx[0][size_t(i)]], uint32_t(i * 3)); // top byte ignored
        EXPECT_EQ(palette[idx[1][size_t(i)]], uint32_t(i * 3) << 8);
    }
    // 4096 grey-blue shades collapse to 256 entries, each within a small distance.
    std::vector<uint32_t> big(4096);
    for (int i = 0; i < 4096; ++i)
        big[size_t(i)] = uint32_t(i & 255) << 16 | uint32_t(i >> 4);
    quantize_frames({ big.data() }, 4096, palette, &idx);
    for (int i = 0; i < 4096; ++i) {
        const uint32_t p = palette[idx[0][size_t(i)]];
        EXPECT_LE(std::abs(int(p >> 16) - int(big[size_t(i)] >> 16)), 16);
        EXPECT_LE(std::abs(int(p & 255) - int(big[size_t(i)] & 255)), 16);
    }
}

namespace {

std::string tool(const char* name)
{
    return std::string(MW_BINARY_DIR) + "/tools/" + name;
}

} // namespace

TEST(Converters, PngThroughAcgAndBackIsExact)
{
    // A picture whose straight colours survive premultiplication: transparent pixels are all
    // zero, translucent ones are taken through premultiply/unpremultiply once.
    const int w = 37, h = 9;
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    for (int i = 0; i < w * h; ++i) {
        const uint32_t r = mix(uint32_t(i) + 77);
        const uint8_t a = i % 3 == 0 ? 0 : i % 3 == 1 ? 255 : uint8_t(r >> 24);
        const uint32_t c = premultiply_rgba(uint8_t(r), uint8_t(r >> 8), uint8_t(r >> 16), a);
        unpremultiply_colour(c, &rgba[size_t(i) * 4]);
    }
    const std::string base = std::string(MW_BINARY_DIR) + "/test_gfx2d_conv";
    ASSERT_TRUE(write_png_rgba(base + ".png", w, h, rgba.data()));
    ASSERT_EQ(std::system((tool("png2acg") + " " + base + ".png " + base + ".acg").c_str()), 0);
    ASSERT_EQ(std::system((tool("acg2png") + " " + base + ".acg " + base + "2.png").c_str()), 0);
    int w2 = 0, h2 = 0;
    std::vector<uint8_t> back;
    ASSERT_TRUE(read_png_rgba(base + "2.png", &w2, &h2, &back));
    EXPECT_EQ(w2, w);
    EXPECT_EQ(h2, h);
    EXPECT_EQ(back, rgba);
    EXPECT_NE(std::system((tool("acg2png") + " " + base + ".png " + base + "3.png 2>/dev/null").c_str()), 0);
}

TEST(Converters, PngFramesThroughRlmAndBack)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(MW_BINARY_DIR) / "test_gfx2d_frames";
    fs::remove_all(dir);
    fs::create_directories(dir / "in");
    std::vector<std::vector<uint8_t>> frames;
    for (int f = 0; f < 3; ++f) {
        std::vector<uint8_t> rgba(RLM_FRAME_PIXELS * 4);
        for (int i = 0; i < RLM_FRAME_PIXELS; ++i) {
            const uint32_t c = (i / 160 + f * 7) % 50 < 25 ? 0x203040u * uint32_t(i % 5) : 0xFF8000u;
            rgba[size_t(i) * 4] = uint8_t(c >> 16);
            rgba[size_t(i) * 4 + 1] = uint8_t(c >> 8);
            rgba[size_t(i) * 4 + 2] = uint8_t(c);
            rgba[size_t(i) * 4 + 3] = 255;
        }
        char name[32];
        std::snprintf(name, sizeof name, "f%02d.png", f);
        ASSERT_TRUE(write_png_rgba((dir / "in" / name).string(), 160, 120, rgba.data()));
        frames.push_back(rgba);
    }
    const std::string d = dir.string();
    ASSERT_EQ(std::system((tool("pngs2rlm") + " " + d + "/in " + d + "/a.rlm " + d + "/a.pal >/dev/null").c_str()), 0);
    ASSERT_EQ(std::system((tool("rlm2pngs") + " " + d + "/a.rlm " + d + "/a.pal " + d + "/out >/dev/null").c_str()), 0);
    for (int f = 0; f < 3; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "/out/frame_%04d.png", f);
        int w = 0, h = 0;
        std::vector<uint8_t> back;
        ASSERT_TRUE(read_png_rgba(d + name, &w, &h, &back));
        EXPECT_EQ(back, frames[size_t(f)]) << f;
    }
    EXPECT_FALSE(fs::exists(dir / "out" / "frame_0003.png"));
}
