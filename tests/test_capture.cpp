// test_capture.cpp -- capture mode: virtual clock, display depths, sync timing, determinism, outputs.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/capture.h"
#include "app/clock.h"
#include "app/command_line.h"
#include "app/demo.h"
#include "app/window.h"
#include "display/display_device.h"
#include "display/surface.h"
#include "test_capture_child.h"
#include "tools/formats/png_io.h"

namespace {

std::vector<uint8_t> read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string temp_folder(const char* name)
{
    const std::string dir = std::string(MW_BINARY_DIR) + "/capture_tests/" + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

uint32_t read_u32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// ---------------------------------------------------------------------------------------------
// Options

TEST(CaptureOptions, ParsedAndCheckedBeforeTheWordSearch)
{
    ExtraOptions extra;
    std::string line;
    const char* ok[] = { "morrowick", "16", "--capture=/tmp/a24/x.mp4", "--fps=60", "--seed=77", "--scale=2" };
    ASSERT_TRUE(split_arguments(6, ok, &extra, &line));
    EXPECT_EQ(line, "16"); // the path's "24" never reaches the word search
    EXPECT_EQ(extra.capture_path, "/tmp/a24/x.mp4");
    EXPECT_EQ(extra.fps, 60);
    EXPECT_EQ(extra.seed, 77u);
    EXPECT_EQ(extra.scale, 2);

    const char* bad_fps[] = { "morrowick", "--capture=x.mp4", "--fps=25" };
    EXPECT_FALSE(split_arguments(3, bad_fps, &extra, &line));
    const char* sheet_alone[] = { "morrowick", "--sheet" };
    EXPECT_FALSE(split_arguments(2, sheet_alone, &extra, &line));
    const char* empty_path[] = { "morrowick", "--capture=" };
    EXPECT_FALSE(split_arguments(2, empty_path, &extra, &line));
    const char* negative_seed[] = { "morrowick", "--capture=null", "--seed=-1" };
    EXPECT_FALSE(split_arguments(3, negative_seed, &extra, &line));

    EXPECT_EQ(capture_kind("a/b.MP4", false), CaptureKind::video);
    EXPECT_EQ(capture_kind("b.webm", false), CaptureKind::video);
    EXPECT_EQ(capture_kind("frames", false), CaptureKind::folder);
    EXPECT_EQ(capture_kind("sheet.png", true), CaptureKind::sheet);
    EXPECT_EQ(capture_kind("null", false), CaptureKind::none);
}

TEST(CaptureOptions, MissingFfmpegAndMisusedOptionsFailWithAMessage)
{
    const char* saved = std::getenv("PATH");
    const std::string saved_path = saved ? saved : "";
    setenv("PATH", (std::string(MW_BINARY_DIR) + "/no-such-folder").c_str(), 1);
    CaptureOptions video;
    video.path = std::string(MW_BINARY_DIR) + "/capture_tests/never.mp4";
    testing::internal::CaptureStderr();
    EXPECT_EQ(capture_begin(&video), -1);
    const std::string message = testing::internal::GetCapturedStderr();
    setenv("PATH", saved_path.c_str(), 1);
    EXPECT_NE(message.find("ffmpeg"), std::string::npos) << message;
    EXPECT_FALSE(capture_active());

    CaptureOptions sheet_folder;
    sheet_folder.path = "frames";
    sheet_folder.sheet = true;
    testing::internal::CaptureStderr();
    EXPECT_EQ(capture_begin(&sheet_folder), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("--sheet"), std::string::npos);
}

TEST(CaptureOptions, StartUpFailureLeavesNoOutputFiles)
{
    const std::string empty = temp_folder("no_song");
    std::filesystem::create_directories(empty + "/xm");
    const std::string out = std::string(MW_BINARY_DIR) + "/capture_tests/no_song_frames";
    std::filesystem::remove_all(out);
    const ChildRun run = run_capture_child({ "--capture=" + out, "--data=" + empty });
    EXPECT_EQ(run.exit_code, 255);
    EXPECT_TRUE(run.frames.empty());
    EXPECT_FALSE(std::filesystem::exists(out + "/audio.wav"));
}

// ---------------------------------------------------------------------------------------------
// The virtual clock: every boundary passed outputs one frame; a wait returns 1.

struct FrameLog {
    std::vector<uint64_t> indices;
    std::vector<int64_t> song_ticks;
};

void log_frame(void* context, const CaptureFrame* frame)
{
    auto* log = static_cast<FrameLog*>(context);
    log->indices.push_back(frame->index);
    log->song_ticks.push_back(frame->song_tick);
}

TEST(CaptureClock, PauseThenOneFramePerWaitEachReturningOne)
{
    FrameLog log;
    capture_set_frame_hook(log_frame, &log);
    CaptureOptions options;
    options.path = "null";
    ASSERT_EQ(capture_begin(&options), 0);
    EXPECT_EQ(clock_now_ms(), 0u);

    // The start-up pause: 2000 ms pass 62 boundaries (32 ... 1984).
    demo_clock.sleep_ms(demo_clock.context, 2000);
    EXPECT_EQ(log.indices.size(), 62u);
    reset_tick_timer();
    // The first wait ends the tick the pause ended in: at 2016 ms, frame 62 out.
    EXPECT_EQ(wait_tick(), 1u);
    EXPECT_EQ(clock_now_ms(), 2016u);
    EXPECT_EQ(log.indices.size(), size_t(CAPTURE_PAUSE_TICKS));
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(wait_tick(), 1u);
        EXPECT_EQ(clock_now_ms(), 2016u + 32u * uint32_t(i + 1));
    }
    EXPECT_EQ(capture_end(), 0);
    capture_set_frame_hook(nullptr, nullptr);

    // Frames 0-62, one per wait after that, and the tick in progress at the end.
    ASSERT_EQ(log.indices.size(), size_t(CAPTURE_PAUSE_TICKS) + 11);
    for (size_t i = 0; i < log.indices.size(); ++i) {
        EXPECT_EQ(log.indices[i], i);
        EXPECT_EQ(log.song_ticks[i], int64_t(i) - CAPTURE_PAUSE_TICKS);
    }
    EXPECT_EQ(capture_stats().frames, log.indices.size());
}

TEST(CaptureClock, SecondsLimitSetsTheQuitFlagAtTheLastFrame)
{
    FrameLog log;
    capture_set_frame_hook(log_frame, &log);
    CaptureOptions options;
    options.path = "null";
    options.seconds = 0.32; // 10 ticks
    ASSERT_EQ(capture_begin(&options), 0);
    reset_tick_timer();
    for (int i = 0; i < 9; ++i)
        wait_tick();
    EXPECT_FALSE(quit_flag());
    wait_tick();
    EXPECT_TRUE(quit_flag());
    wait_tick(); // the scene finishing its frame: nothing more is output
    EXPECT_EQ(capture_end(), 0);
    capture_set_frame_hook(nullptr, nullptr);
    EXPECT_EQ(log.indices.size(), 10u);
}

// ---------------------------------------------------------------------------------------------
// Display depths: the picture handed to the capture is the converted one.

struct Picture {
    std::vector<uint32_t> pixels;
    int width = 0;
};

void keep_picture(void* context, const uint32_t* xrgb, int width, int height)
{
    auto* picture = static_cast<Picture*>(context);
    picture->pixels.assign(xrgb, xrgb + size_t(width) * size_t(height));
    picture->width = width;
}

// Presents a frame filled with `colour` on a full-screen virtual display of `bits` and returns
// the first two pixels shown: (0, 0) is plain and (1, 0) biased in the dither's checkerboard.
std::pair<uint32_t, uint32_t> shown(int bits, uint32_t colour)
{
    Picture picture;
    display_set_virtual(keep_picture, &picture);
    EXPECT_EQ(create_window(), 0);
    window_record->full_screen = 1;
    EXPECT_EQ(display_init(), 0);
    EXPECT_EQ(display_set_mode(320, 240, bits), 0);
    EXPECT_EQ(current_display_record->bits_per_pixel, bits);
    Surface* frame = create_surface(320, 240, 32);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            surface_row32(frame, y)[x] = colour;
    set_surface_flags(frame, SURFACE_DITHER);
    set_surface_flags(nullptr, SURFACE_DITHER);
    present(frame, nullptr);
    show_frame();
    destroy_surface(frame);
    window_record->quit = 1;
    display_shutdown();
    destroy_window();
    display_set_virtual(nullptr, nullptr);
    if (picture.pixels.size() != 320u * 240u)
        return { 0xDEADu, 0xDEADu };
    // The checkerboard continues: (0, 1) is biased like (1, 0).
    EXPECT_EQ(picture.pixels[320], picture.pixels[1]);
    return { picture.pixels[0] & 0xFFFFFF, picture.pixels[1] & 0xFFFFFF };
}

TEST(CaptureDepth, EachDepthShowsItsConvertedPixels)
{
    // 32 and 24: unchanged colour bits (the top byte never reaches the RGB output).
    EXPECT_EQ(shown(32, 0xAB123456u), std::make_pair(0x123456u, 0x123456u));
    EXPECT_EQ(shown(24, 0xAB123456u), std::make_pair(0x123456u, 0x123456u));
    // 16 (5:6:5): plain 0x11AA, biased 0x11AB, widened by repeating the top bits:
    // r 00010 -> 0x10, g 001101 -> 0x34, b 01010 -> 0x52 / 01011 -> 0x5A.
    EXPECT_EQ(shown(16, 0x00123456u), std::make_pair(0x103452u, 0x10345Au));
    EXPECT_EQ(shown(16, 0x00FFFFFFu), std::make_pair(0xFFFFFFu, 0xFFFFFFu));
    // 8 (3:3:2 palette): plain index 0x05 -> (0x00, 0x20, 0x40); biased: 0x103040 + bias 0x101020
    // = 0x204060 -> index 0x29 -> (0x20, 0x40, 0x40).
    EXPECT_EQ(shown(8, 0x00123456u), std::make_pair(0x002040u, 0x204040u));
    // 0xFF8040 saturates red in the biased pixel and lands on index 0xF1 either way.
    EXPECT_EQ(shown(8, 0x00FF8040u), std::make_pair(0xE08040u, 0xE08040u));
}

// In a real capture every pixel at 8 and 16 bits lies on the display's colour grid, and the
// dither shows: some pixel differs from its row neighbour although the scene drew flat areas.
TEST(CaptureDepth, WholeCaptureFramesAreInTheDisplayFormat)
{
    const std::string data = song_folder(false);
    ASSERT_FALSE(data.empty());
    for (int bits : { 8, 16 }) {
        SCOPED_TRACE(bits);
        auto on_grid = [bits](const CaptureFrame& frame) {
            if (frame.song_tick != 40)
                return;
            for (int i = 0; i < frame.width * frame.height; ++i) {
                const uint32_t p = frame.xrgb[i];
                const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
                const bool ok = bits == 8 ? (r & 0x1F) == 0 && (g & 0x1F) == 0 && (b & 0x3F) == 0
                                          : (r & 7) == (r >> 5) && (g & 3) == (g >> 6) && (b & 7) == (b >> 5);
                if (!ok)
                    _exit(90);
            }
        };
        const ChildRun run = run_capture_child(
            { std::to_string(bits), "part3", "--capture=null", "--seconds=3.6", "--data=" + data }, {}, on_grid);
        EXPECT_EQ(run.exit_code, 0) << "90: a pixel off the display's colour grid";
        EXPECT_EQ(run.frames.size(), 113u); // 3.6 s = 112.5 ticks, rounded
    }
}

// ---------------------------------------------------------------------------------------------
// Sync timing on the test song: a row starting at song frame f is first seen by the frame of
// song tick f / 1536, i.e. output frame 63 + f / 1536.

TEST(CaptureSync, EachSyncIsFirstSeenInTheTickItsRowStartsIn)
{
    const std::string data = song_folder(true);
    ASSERT_FALSE(data.empty());
    const ChildRun run = run_capture_child({ "window", "--capture=null", "--seconds=9", "--data=" + data });
    ASSERT_EQ(run.exit_code, 0);
    ASSERT_EQ(run.frames.size(), 281u); // 9 s = 281.25 ticks

    for (size_t i = 0; i < run.frames.size(); ++i) {
        ASSERT_EQ(run.frames[i].index, i);
        ASSERT_EQ(run.frames[i].song_tick, int64_t(i) - CAPTURE_PAUSE_TICKS);
        if (i < size_t(CAPTURE_PAUSE_TICKS)) {
            EXPECT_EQ(run.frames[i].audio_peak, 0) << "the pause is silent, frame " << i;
        }
    }
    int loud = 0;
    for (size_t i = CAPTURE_PAUSE_TICKS; i < run.frames.size(); ++i)
        loud += run.frames[i].audio_peak > 1000;
    EXPECT_GT(loud, 150);

    // Rows start every 5760 frames at speed 6 / 125 BPM, every 2400 from order 2 (speed 3 / 150).
    const struct {
        uint32_t scene, position, row;
        uint64_t frame;
    } syncs[] = {
        { 0, 0, 8, 8 * 5760 }, // cue 240: the scene stays
        { 0, 1, 0, 16 * 5760 }, // 1: consumed by the rings scene
        { 2, 1, 4, 20 * 5760 },
        { 5, 2, 0, 32 * 5760 },
        { 5, 2, 16, 32 * 5760 + 16 * 2400 }, // cue 255
        { 2, 3, 4, 32 * 5760 + 36 * 2400 },
        { 16, 4, 0, 32 * 5760 + 48 * 2400 },
        { 12, 4, 7, 32 * 5760 + 55 * 2400 },
    };
    for (const auto& sync : syncs) {
        SCOPED_TRACE(testing::Message() << "position " << sync.position << " row " << sync.row);
        const int64_t tick = int64_t(sync.frame / CAPTURE_AUDIO_FRAMES_PER_TICK);
        const ChildFrame& before = run.frames[size_t(CAPTURE_PAUSE_TICKS + tick - 1)];
        const ChildFrame& at = run.frames[size_t(CAPTURE_PAUSE_TICKS + tick)];
        EXPECT_FALSE(before.position == sync.position && before.row == sync.row);
        EXPECT_EQ(at.position, sync.position);
        EXPECT_EQ(at.row, sync.row);
        EXPECT_EQ(at.scene, sync.scene);
    }
}

// ---------------------------------------------------------------------------------------------
// Folder output: byte-identical across runs, one PNG per frame, a WAV of frames x 1536.

TEST(CaptureOutputs, FolderCapturesAreIdenticalAndTheWavHoldsEveryTick)
{
    const std::string data = song_folder(false);
    ASSERT_FALSE(data.empty());
    const std::string a = temp_folder("run_a");
    const std::string b = temp_folder("run_b");
    for (const std::string& dir : { a, b }) {
        const ChildRun run = run_capture_child({ "part5", "--capture=" + dir, "--seconds=3", "--data=" + data });
        ASSERT_EQ(run.exit_code, 0);
        ASSERT_EQ(run.frames.size(), 94u);
    }
    size_t pngs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(a)) {
        const std::string name = entry.path().filename().string();
        const std::vector<uint8_t> first = read_bytes(a + "/" + name);
        const std::vector<uint8_t> second = read_bytes(b + "/" + name);
        ASSERT_FALSE(first.empty()) << name;
        EXPECT_TRUE(first == second) << name << " differs between the two runs";
        pngs += name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0;
    }
    EXPECT_EQ(pngs, 94u);

    const std::vector<uint8_t> wav = read_bytes(a + "/audio.wav");
    ASSERT_EQ(wav.size(), 44u + 94u * 1536u * 4u);
    EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
    EXPECT_EQ(read_u32(wav, 4), 36u + 94u * 1536u * 4u);
    EXPECT_EQ(read_u32(wav, 24), 48000u);
    EXPECT_EQ(read_u32(wav, 40), 94u * 1536u * 4u);

    // The pause is black; the first drawn frame (63) is not.
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(read_png_rgba(a + "/frame_000000.png", &w, &h, &rgba));
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    size_t lit = 0;
    for (size_t i = 0; i < rgba.size(); i += 4)
        lit += (rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0;
    EXPECT_EQ(lit, 0u);
    ASSERT_TRUE(read_png_rgba(a + "/frame_000070.png", &w, &h, &rgba));
    lit = 0;
    for (size_t i = 0; i < rgba.size(); i += 4)
        lit += (rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0;
    EXPECT_GT(lit, 1000u);
}

TEST(CaptureOutputs, ScaledPngRepeatsEachPixel)
{
    const std::string dir = temp_folder("scaled");
    const uint32_t pixels[2] = { 0x00FF0000u, 0xAB0000FFu };
    ASSERT_TRUE(write_capture_png(dir + "/two.png", pixels, 2, 1, 3));
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(read_png_rgba(dir + "/two.png", &w, &h, &rgba));
    ASSERT_EQ(w, 6);
    ASSERT_EQ(h, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) {
            const uint8_t* p = &rgba[size_t(y * 6 + x) * 4];
            EXPECT_EQ(p[0], x < 3 ? 255 : 0);
            EXPECT_EQ(p[2], x < 3 ? 0 : 255);
            EXPECT_EQ(p[3], 255);
        }
    EXPECT_FALSE(write_capture_png(dir + "/no-such-folder/x.png", pixels, 2, 1, 1));
}

TEST(CaptureOutputs, VideoFileHasScaledPictureAndSound)
{
    if (find_program("ffmpeg").empty() || find_program("ffprobe").empty())
        GTEST_SKIP() << "ffmpeg not installed";
    const std::string data = song_folder(false);
    const std::string dir = temp_folder("video");
    const std::string video = dir + "/short.mkv";
    const ChildRun run
        = run_capture_child({ "part3", "--capture=" + video, "--seconds=2.5", "--scale=2", "--data=" + data });
    ASSERT_EQ(run.exit_code, 0);
    const std::string probe = dir + "/probe.txt";
    const std::string command
        = "ffprobe -v error -show_entries stream=codec_type,width,height -of csv=p=0 '" + video + "' > '" + probe + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::vector<uint8_t> bytes = read_bytes(probe);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("video,640,480"), std::string::npos) << text;
    EXPECT_NE(text.find("audio"), std::string::npos) << text;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) // no temporary files left
        EXPECT_TRUE(entry.path().filename() == "short.mkv" || entry.path().filename() == "probe.txt") << entry.path();
}

TEST(CaptureOutputs, ContactSheetIsAGridOfThumbnails)
{
    const std::string data = song_folder(false);
    const std::string dir = temp_folder("sheet");
    const ChildRun run
        = run_capture_child({ "part3", "--capture=" + dir + "/sheet.png", "--sheet", "--seconds=6", "--data=" + data });
    ASSERT_EQ(run.exit_code, 0);
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(read_png_rgba(dir + "/sheet.png", &w, &h, &rgba));
    // 6 s = 188 ticks: drawn ticks 0-124, every 8th kept = 16 thumbnails of 160 x 120: 8 x 2.
    EXPECT_EQ(w, 8 * 164 + 4);
    EXPECT_EQ(h, 2 * 124 + 4);
}

} // namespace
