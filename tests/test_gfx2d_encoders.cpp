// test_gfx2d_encoders.cpp -- the encoders and converters round-trip through the engine's loaders and decoders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx2d/anim.h"
#include "gfx2d/image.h"
#include "surface_fixture.h"
#include "tools/formats/acg_writer.h"
#include "tools/formats/anim_writer.h"
#include "tools/formats/png_io.h"

namespace {

// Runs a converter from the build's tools folder with the arguments; true when it succeeds.
bool run_tool(const char* name, const std::string& arguments)
{
    return std::system((std::string(MW_BINARY_DIR) + "/tools/" + name + " " + arguments + " >/dev/null 2>&1").c_str())
        == 0;
}

const std::string DIR = std::string(MW_BINARY_DIR) + "/test_gfx2d_encoders";

} // namespace

TEST(AcgEncoder, PremultipliesAndUnpremultipliesRepresentableColours)
{
    EXPECT_EQ(premultiply_rgba(255, 128, 0, 255), 0xFFFF8000u);
    EXPECT_EQ(premultiply_rgba(255, 255, 255, 128), 0x80808080u);
    EXPECT_EQ(premultiply_rgba(200, 100, 50, 0), 0u);
    EXPECT_EQ(premultiply_rgba(255, 100, 1, 51), 0x33331400u); // 100*51/255 = 20, 1*51/255 -> 0
    uint8_t rgba[4];
    for (uint32_t a = 1; a < 256; ++a)
        for (uint32_t c = 0; c <= a; ++c) {
            unpremultiply_colour(a << 24 | c << 16 | c, rgba);
            ASSERT_EQ(premultiply_rgba(rgba[0], rgba[1], rgba[2], rgba[3]), a << 24 | c << 16 | c) << a << " " << c;
        }
    unpremultiply_colour(0x00102030u, rgba);
    EXPECT_EQ(std::vector<uint8_t>(rgba, rgba + 4), std::vector<uint8_t>(4, 0));
    const uint32_t none[1] = {};
    std::vector<uint8_t> file;
    EXPECT_FALSE(encode_acg(none, 0, 3, &file));
    EXPECT_FALSE(encode_acg(none, 4097, 1, &file));
}

TEST(RlmEncoder, ChoosesShortAndLongRuns)
{
    // A one-colour frame needs two long repeats: 16383 and 2817.
    std::vector<uint8_t> flat(RLM_FRAME_PIXELS, 7), bytes;
    encode_rlm_frame(flat.data(), RLM_FRAME_PIXELS, &bytes);
    EXPECT_EQ(bytes, (std::vector<uint8_t> { 0xBF, 0xFF, 7, 0x8B, 0x01, 7 }));
    // Short literal, short repeat, long literal.
    std::vector<uint8_t> frame(RLM_FRAME_PIXELS);
    for (int i = 0; i < RLM_FRAME_PIXELS; ++i)
        frame[size_t(i)] = i < 5 ? uint8_t(i + 1) : i < 9 ? 9 : uint8_t(mix(uint32_t(i)) | 1) ^ uint8_t(i & 1);
    bytes.clear();
    encode_rlm_frame(frame.data(), RLM_FRAME_PIXELS, &bytes);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
        (std::vector<uint8_t> { 0x45, 1, 2, 3, 4, 5, 0x04, 9 }));
}

// Transparent areas, opaque fills and noise, translucent fills and noise, and a one-colour row
// longer than a run, all in straight colours that survive premultiplication: PNG to ACG to PNG.
TEST(Converters, PictureThroughAcgAndBackIsExact)
{
    const int w = 1300, h = 5;
    std::vector<uint8_t> rgba(size_t(w) * h * 4), back;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t r = mix(uint32_t(y * w + x));
            const int zone = (x / 100 + y) % 5;
            const uint8_t a = y == 4 || zone == 1 || zone == 2 ? 255 : zone == 0 ? 0 : uint8_t(1 + (x % 200));
            const bool flat = zone == 1 || zone == 3 || y == 4;
            const uint32_t c = flat ? 0xC85A28u : r;
            unpremultiply_colour(
                premultiply_rgba(uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), a), &rgba[(size_t(y) * w + x) * 4]);
        }
    std::filesystem::remove_all(DIR);
    std::filesystem::create_directories(DIR + "/in");
    int w2 = 0, h2 = 0;
    ASSERT_TRUE(write_png_rgba(DIR + "/a.png", w, h, rgba.data()));
    ASSERT_TRUE(run_tool("png2acg", DIR + "/a.png " + DIR + "/a.acg"));
    ASSERT_TRUE(run_tool("acg2png", DIR + "/a.acg " + DIR + "/b.png"));
    ASSERT_TRUE(read_png_rgba(DIR + "/b.png", &w2, &h2, &back));
    EXPECT_EQ(std::pair(w2, h2), std::pair(w, h));
    EXPECT_EQ(back, rgba);
    EXPECT_FALSE(run_tool("acg2png", DIR + "/a.png " + DIR + "/c.png"));
    // Row 4 is one colour: fills of at most 1024 pixels, so two runs.
    Image* image = load_acg_file((DIR + "/a.acg").c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->code_count - image->row_code[4], 2);
    EXPECT_EQ(image->codes[image->row_code[4]], acg_code(AcgOp::FILL, 1024));
    destroy_image(image);
}

// Three opaque frames of stripes: PNGs to an animation and its palette, and back.
TEST(Converters, FramesThroughRlmAndBackAreExact)
{
    std::filesystem::remove_all(DIR + "_frames");
    std::filesystem::create_directories(DIR + "_frames/in");
    const std::string d = DIR + "_frames";
    std::vector<std::vector<uint8_t>> frames(3, std::vector<uint8_t>(RLM_FRAME_PIXELS * 4, 255));
    for (int f = 0; f < 3; ++f) {
        for (int i = 0; i < RLM_FRAME_PIXELS; ++i) {
            const uint32_t c = (i / 160 + f * 7) % 50 < 25 ? 0x203040u * uint32_t(i % 5) : 0xFF8000u;
            for (int k = 0; k < 3; ++k)
                frames[size_t(f)][size_t(i) * 4 + size_t(k)] = uint8_t(c >> (16 - 8 * k));
        }
        ASSERT_TRUE(write_png_rgba(d + "/in/f0" + std::to_string(f) + ".png", 160, 120, frames[size_t(f)].data()));
    }
    ASSERT_TRUE(run_tool("pngs2rlm", d + "/in " + d + "/a.rlm " + d + "/a.pal"));
    ASSERT_TRUE(run_tool("rlm2pngs", d + "/a.rlm " + d + "/a.pal " + d + "/out"));
    for (int f = 0; f < 3; ++f) {
        int w = 0, h = 0;
        std::vector<uint8_t> back;
        ASSERT_TRUE(read_png_rgba(d + "/out/frame_000" + std::to_string(f) + ".png", &w, &h, &back));
        EXPECT_EQ(back, frames[size_t(f)]) << f;
    }
    EXPECT_FALSE(std::filesystem::exists(d + "/out/frame_0003.png"));
}
