// test_gfx2d_encoders.cpp -- encoders round-trip through the engine's loaders and decoders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "display/bytes.h"
#include "gfx2d/anim.h"
#include "gfx2d/image.h"
#include "tools/lib/acg_writer.h"
#include "tools/lib/anim_writer.h"
#include "tools/lib/png_io.h"
#include "surface_fixture.h"

namespace {

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
    Image* image = load_acg_memory(file.data(), file.size());
    ASSERT_NE(image, nullptr);
    auto s = make_surface(w, h);
    draw_image(s.get(), image, 0, 0);
    for (int i = 0; i < w * h; ++i) {
        const uint8_t* p = &rgba[size_t(i) * 4];
        ASSERT_EQ(pixel(s.get(), i % w, i / w), premultiply_rgba(p[0], p[1], p[2], p[3])) << "pixel " << i;
    }
    // Row 4 is one colour: fills of at most 1024 pixels, so two runs.
    EXPECT_EQ(image->code_count - image->row_code[4], 2);
    EXPECT_EQ(image->codes[image->row_code[4]], acg_code(AcgOp::FILL, 1024));
    destroy_image(image);
    EXPECT_FALSE(encode_acg_rgba(rgba.data(), 0, 3, &file));
    EXPECT_FALSE(encode_acg_rgba(rgba.data(), 4097, 1, &file));
}

TEST(AcgEncoder, UnpremultiplyInvertsRepresentableColours)
{
    uint8_t rgba[4];
    // Every premultiplied colour survives the trip to straight alpha and back.
    for (uint32_t a = 1; a < 256; ++a)
        for (uint32_t c = 0; c <= a; ++c) {
            unpremultiply_colour(a << 24 | c << 16 | c, rgba);
            ASSERT_EQ(premultiply_rgba(rgba[0], rgba[1], rgba[2], rgba[3]), a << 24 | c << 16 | c) << a << " " << c;
        }
    unpremultiply_colour(0x00102030u, rgba);
    EXPECT_EQ(load_u32(rgba), 0u);
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
    auto s = make_surface(RLM_FRAME_WIDTH, RLM_FRAME_HEIGHT);
    const uint32_t* px = surface_row32(s.get(), 0);
    ASSERT_EQ(decode_rlm_frame(&stream, RLM_FRAME_PIXELS, s.get(), palette), 0);
    for (int i = 0; i < RLM_FRAME_PIXELS; ++i)
        ASSERT_EQ(px[i], palette[frame[size_t(i)]]) << i;
    ASSERT_EQ(decode_rlm_frame(&stream, RLM_FRAME_PIXELS, s.get(), palette), 0);
    EXPECT_EQ(count_not(s.get(), 0x070707u), 0);
    // The decode after the last frame finds no data: it reports the end and leaves the last frame.
    EXPECT_EQ(decode_rlm_frame(&stream, RLM_FRAME_PIXELS, s.get(), palette), 1);
    EXPECT_EQ(count_not(s.get(), 0x070707u), 0);
}

TEST(Pal, Entry255FirstShortAndMissingFiles)
{
    uint32_t palette[256], loaded[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = mix(uint32_t(i)) & 0xFFFFFFu;
    std::vector<uint8_t> bytes;
    encode_pal(palette, &bytes);
    ASSERT_EQ(bytes.size(), 768u);
    EXPECT_EQ(bytes[0], uint8_t(palette[255] >> 16));
    EXPECT_EQ(bytes[767], uint8_t(palette[0]));
    const std::string path = std::string(MW_BINARY_DIR) + "/test_gfx2d_encoders.pal";
    ASSERT_TRUE(write_file_bytes(path, bytes.data(), bytes.size()));
    ASSERT_EQ(load_pal(path.c_str(), loaded), 1);
    EXPECT_EQ(std::memcmp(loaded, palette, sizeof palette), 0);
    ASSERT_TRUE(write_file_bytes(path, bytes.data(), 4)); // short: the rest reads as 0
    ASSERT_EQ(load_pal(path.c_str(), loaded), 1);
    EXPECT_EQ(loaded[255], palette[255]);
    EXPECT_EQ(loaded[254], uint32_t(bytes[3]) << 16);
    EXPECT_EQ(loaded[0], 0u);
    EXPECT_EQ(load_pal((path + ".missing").c_str(), loaded), 0);
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

// Runs a converter from the build's tools folder with the arguments; true when it succeeds.
bool run_tool(const char* name, const std::string& arguments)
{
    return std::system((std::string(MW_BINARY_DIR) + "/tools/" + name + " " + arguments + " >/dev/null 2>&1").c_str())
        == 0;
}

} // namespace

TEST(Converters, PngThroughAcgAndFramesThroughRlmAndBackAreExact)
{
    // A picture whose straight colours survive premultiplication: transparent pixels are all
    // zero, translucent ones are taken through premultiply/unpremultiply once.
    const int w = 37, h = 9;
    std::vector<uint8_t> rgba(size_t(w) * h * 4), back;
    for (int i = 0; i < w * h; ++i) {
        const uint32_t r = mix(uint32_t(i) + 77);
        const uint8_t a = i % 3 == 0 ? 0 : i % 3 == 1 ? 255 : uint8_t(r >> 24);
        unpremultiply_colour(premultiply_rgba(uint8_t(r), uint8_t(r >> 8), uint8_t(r >> 16), a), &rgba[size_t(i) * 4]);
    }
    namespace fs = std::filesystem;
    const std::string d = (fs::path(MW_BINARY_DIR) / "test_gfx2d_conv").string();
    fs::remove_all(d);
    fs::create_directories(d + "/in");
    int w2 = 0, h2 = 0;
    ASSERT_TRUE(write_png_rgba(d + "/a.png", w, h, rgba.data()));
    ASSERT_TRUE(run_tool("png2acg", d + "/a.png " + d + "/a.acg"));
    ASSERT_TRUE(run_tool("acg2png", d + "/a.acg " + d + "/b.png"));
    ASSERT_TRUE(read_png_rgba(d + "/b.png", &w2, &h2, &back));
    EXPECT_EQ(std::pair(w2, h2), std::pair(w, h));
    EXPECT_EQ(back, rgba);
    EXPECT_FALSE(run_tool("acg2png", d + "/a.png " + d + "/c.png"));

    // Three opaque 160x120 frames of stripes through an animation and its palette.
    std::vector<std::vector<uint8_t>> frames(3, std::vector<uint8_t>(RLM_FRAME_PIXELS * 4, 255));
    for (int f = 0; f < 3; ++f) {
        for (int i = 0; i < RLM_FRAME_PIXELS; ++i) {
            const uint32_t c = (i / 160 + f * 7) % 50 < 25 ? 0x203040u * uint32_t(i % 5) : 0xFF8000u;
            for (int k = 0; k < 3; ++k)
                frames[size_t(f)][size_t(i) * 4 + size_t(k)] = uint8_t(c >> (16 - 8 * k));
        }
        const std::string name = "/in/f0" + std::to_string(f) + ".png";
        ASSERT_TRUE(write_png_rgba(d + name, 160, 120, frames[size_t(f)].data()));
    }
    ASSERT_TRUE(run_tool("pngs2rlm", d + "/in " + d + "/a.rlm " + d + "/a.pal"));
    ASSERT_TRUE(run_tool("rlm2pngs", d + "/a.rlm " + d + "/a.pal " + d + "/out"));
    for (int f = 0; f < 3; ++f) {
        ASSERT_TRUE(read_png_rgba(d + "/out/frame_000" + std::to_string(f) + ".png", &w2, &h2, &back));
        EXPECT_EQ(back, frames[size_t(f)]) << f;
    }
    EXPECT_FALSE(fs::exists(d + "/out/frame_0003.png"));
}
