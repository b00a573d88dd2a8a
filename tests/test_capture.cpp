// test_capture.cpp -- capture mode: options, virtual clock, sync timing, determinism, outputs; and
// integrity: a capture either puts a checked result in place or fails with a reason, exit 255
// and no files; interrupts give 130/143; an older file of that name survives.
#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include "app/capture.h"
#include "app/clock.h"
#include "app/command_line.h"
#include "app/demo.h"
#include "test_capture_child.h"
#include "tools/formats/png_io.h"

namespace {
namespace fs = std::filesystem;

// Four bytes as a little-endian word.
uint32_t read_u32(const void* bytes)
{
    const auto* b = static_cast<const uint8_t*>(bytes);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

// Lit pixels (any colour channel non-zero) of a frame captured at --scale=2; -1 unless it reads as
// 640 x 480 with each pixel repeated over 2 x 2.
int lit_pixels(const std::string& path)
{
    int w = 0, h = 0, lit = 0;
    std::vector<uint8_t> rgba;
    if (!read_png_rgba(path, &w, &h, &rgba) || w != 640 || h != 480)
        return -1;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const uint32_t pixel = read_u32(&rgba[size_t(y * 640 + x) * 4]);
            if (pixel != read_u32(&rgba[size_t((y & ~1) * 640 + (x & ~1)) * 4]))
                return -1;
            lit += (pixel & 0xFFFFFF) != 0;
        }
    return lit / 4;
}

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
    for (const char* bad : { "--fps=25", "--seed=-1", "--capture=" }) {
        const char* args[] = { "morrowick", "--capture=x.mp4", bad };
        EXPECT_FALSE(split_arguments(3, args, &extra, &line)) << bad;
    }
    const std::pair<const char*, CaptureKind> kinds[] = { { "a/b.MP4", CaptureKind::video },
        { "b.webm", CaptureKind::video }, { "frames", CaptureKind::folder }, { "null", CaptureKind::none } };
    for (const auto& [path, kind] : kinds)
        EXPECT_EQ(capture_kind(path, false), kind) << path;
    EXPECT_EQ(capture_kind("sheet.png", true), CaptureKind::sheet);
}

// Start-up failures say why, exit 255 and leave nothing behind: no ffmpeg for a video, a sheet
// that is not a PNG file, a song that does not load once the capture has begun.
TEST(CaptureOptions, StartUpFailuresSayWhyAndLeaveNothing)
{
    const TempFolder folder("capture_failures");
    const fs::path out = folder.root / "out", junk = folder.root / "junk";
    fs::create_directories(out);
    fs::create_directories(junk / "xm");
    fs::create_directory_symlink(MW_BINARY_DIR "/data", junk / "data");
    write_whole_file(junk / "xm" / "morrowick.xm", "junk");
    const struct {
        std::string args, setup;
        const char* reason;
    } cases[] = {
        { "--capture=" + (out / "v.mp4").string(), "PATH=/no-such-folder", "needs the program ffmpeg" },
        { "--capture=" + (out / "frames").string() + " --sheet", "", "--sheet" },
        { "--capture=" + (out / "frames").string() + " --data=" + junk.string(), "", "couldn't load module" },
    };
    for (const auto& c : cases) {
        const ProgramResult run = run_program(c.args, c.setup);
        EXPECT_EQ(run.exit_code, 255) << c.args;
        EXPECT_NE(run.output.find(c.reason), std::string::npos) << run.output;
        EXPECT_TRUE(names_in(out).empty()) << c.args;
    }
}

// The virtual clock: every boundary passed outputs one frame; a wait returns 1.
void log_frame(void* context, const CaptureFrame* frame)
{
    static_cast<std::vector<int64_t>*>(context)->push_back(int64_t(frame->index) * 1000 + frame->song_tick);
}

// The seconds limit (quit with the last frame, nothing after it) shows in the frame counts of the
// captures below; without a limit the end outputs the tick in progress.
TEST(CaptureClock, PauseThenOneFramePerWaitAndTheTickInProgressAtTheEnd)
{
    std::vector<int64_t> log; // index * 1000 + song tick of each frame
    capture_set_frame_hook(log_frame, &log);
    CaptureOptions options;
    options.path = "null";
    ASSERT_EQ(capture_begin(&options), 0);
    EXPECT_EQ(clock_now_ms(), 0u);
    // The start-up pause: 2000 ms pass 62 boundaries (32 ... 1984).
    demo_clock.sleep_ms(demo_clock.context, 2000);
    EXPECT_EQ(log.size(), 62u);
    reset_tick_timer();
    // The first wait ends the tick the pause ended in: at 2016 ms, frame 62 out.
    for (int i = 0; i <= 10; ++i) {
        EXPECT_EQ(wait_tick(), 1u);
        EXPECT_EQ(clock_now_ms(), 2016u + 32u * uint32_t(i));
        EXPECT_EQ(log.size(), size_t(CAPTURE_PAUSE_TICKS + i));
    }
    EXPECT_EQ(capture_end(), 0);
    capture_set_frame_hook(nullptr, nullptr);
    ASSERT_EQ(log.size(), 74u);
    for (size_t i = 0; i < log.size(); ++i)
        EXPECT_EQ(log[i], int64_t(i) * 1000 + int64_t(i) - CAPTURE_PAUSE_TICKS);
    EXPECT_EQ(capture_stats().frames, 74u);
}

// Sync timing on the test song: a row starting at song frame f is first seen by the frame of
// song tick f / 1536, i.e. output frame 63 + f / 1536. The pause is silent, the song is not.
TEST(CaptureSync, EachSyncIsFirstSeenInTheTickItsRowStartsIn)
{
    const std::string data = song_folder(true);
    ASSERT_FALSE(data.empty());
    const ChildRun run = run_capture_child({ "window", "--capture=null", "--seconds=9", "--data=" + data });
    ASSERT_EQ(run.exit_code, 0);
    ASSERT_EQ(run.frames.size(), 281u); // 9 s = 281.25 ticks
    int loud = 0;
    for (size_t i = 0; i < run.frames.size(); ++i) {
        ASSERT_EQ(run.frames[i].index, i);
        ASSERT_EQ(run.frames[i].song_tick, int64_t(i) - CAPTURE_PAUSE_TICKS);
        if (i < size_t(CAPTURE_PAUSE_TICKS))
            EXPECT_EQ(run.frames[i].audio_peak, 0) << "the pause is silent, frame " << i;
        else
            loud += run.frames[i].audio_peak > 1000;
    }
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
        const size_t at = size_t(CAPTURE_PAUSE_TICKS) + sync.frame / CAPTURE_AUDIO_FRAMES_PER_TICK;
        EXPECT_FALSE(run.frames[at - 1].position == sync.position && run.frames[at - 1].row == sync.row);
        EXPECT_EQ(run.frames[at].position, sync.position);
        EXPECT_EQ(run.frames[at].row, sync.row);
        EXPECT_EQ(run.frames[at].scene, sync.scene);
    }
}

// Folder output: byte-identical across runs, one PNG per frame (the pause black, drawn frames
// not, both scaled), a WAV of frames x 1536 stereo samples.
TEST(CaptureOutputs, FolderCapturesAreIdenticalAndTheWavHoldsEveryTick)
{
    const std::string data = song_folder(false);
    ASSERT_FALSE(data.empty());
    const TempFolder folder("capture_folder");
    const fs::path a = folder.root / "a", b = folder.root / "b";
    for (const fs::path& dir : { a, b }) {
        const ChildRun run
            = run_capture_child({ "part5", "--capture=" + dir.string(), "--seconds=3", "--scale=2", "--data=" + data });
        ASSERT_EQ(run.exit_code, 0);
        ASSERT_EQ(run.frames.size(), 94u);
    }
    const std::vector<std::string> names = names_in(a);
    ASSERT_EQ(names.size(), 95u); // 94 frames and the sound
    EXPECT_EQ(names.front(), "audio.wav");
    EXPECT_EQ(names.back(), "frame_000093.png");
    EXPECT_EQ(names_in(b), names);
    for (const std::string& name : names)
        EXPECT_TRUE(read_whole_file(a / name) == read_whole_file(b / name)) << name << " differs between the runs";

    const std::string wav = read_whole_file(a / "audio.wav");
    const uint32_t bytes = 94u * 1536u * 4u;
    ASSERT_EQ(wav.size(), 44u + bytes);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(read_u32(&wav[4]), 36u + bytes);
    EXPECT_EQ(read_u32(&wav[24]), 48000u);
    EXPECT_EQ(read_u32(&wav[40]), bytes);
    EXPECT_EQ(lit_pixels((a / "frame_000000.png").string()), 0);
    EXPECT_GT(lit_pixels((a / "frame_000070.png").string()), 1000);
}

TEST(CaptureOutputs, VideoFileHasScaledPictureAndSoundAndSheetIsAGridOfThumbnails)
{
    const std::string data = song_folder(false);
    const TempFolder dir("capture_video");
    const std::string video = (dir.root / "short.mkv").string();
    if (!find_program("ffmpeg").empty() && !find_program("ffprobe").empty()) {
        const ChildRun run
            = run_capture_child({ "part3", "--capture=" + video, "--seconds=2.5", "--scale=2", "--data=" + data });
        ASSERT_EQ(run.exit_code, 0);
        const std::string probe = (dir.root / "probe.txt").string();
        const std::string command = "ffprobe -v error -show_entries stream=codec_type,width,height -of csv=p=0 '"
            + video + "' > '" + probe + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const std::string text = read_whole_file(probe);
        EXPECT_NE(text.find("video,640,480"), std::string::npos) << text;
        EXPECT_NE(text.find("audio"), std::string::npos) << text;
        EXPECT_EQ(names_in(dir.root), (std::vector<std::string> { "probe.txt", "short.mkv" })) << "temporaries left";
    }
    const std::string sheet = (dir.root / "sheet.png").string();
    const ChildRun run
        = run_capture_child({ "part3", "--capture=" + sheet, "--sheet", "--seconds=6", "--data=" + data });
    ASSERT_EQ(run.exit_code, 0);
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(read_png_rgba(sheet, &w, &h, &rgba));
    // 6 s = 188 ticks: drawn ticks 0-124, every 8th kept = 16 thumbnails of 160 x 120: 8 x 2.
    EXPECT_EQ(w, 8 * 164 + 4);
    EXPECT_EQ(h, 2 * 124 + 4);
}

std::string capture_args(const fs::path& target, const char* seconds)
{
    return "--data=" MW_BINARY_DIR " --scale=1 --capture=" + target.string() + " " + seconds + " part12";
}

TEST(CaptureIntegrity, FullDiskFailsWithAReasonNoFilesAndTheOldFileKept)
{
    TempFolder folder("integrity");
    // A small file system when we may mount one, else a file-size limit.
    const std::string mount = "mount -t tmpfs -o size=256k mw_integrity " + folder.root.string() + " 2>/dev/null";
    const bool mounted = geteuid() == 0 && std::system(mount.c_str()) == 0;
    const std::string setup = mounted ? "" : "ulimit -f 400"; // 200 KiB in blocks of 512 bytes
    std::vector<std::string> outputs = { "frames" };
    if (!find_program("ffmpeg").empty())
        outputs.push_back("v.mkv");
    for (const std::string& output : outputs) {
        const fs::path target = folder.root / output;
        const fs::path previous = output == "frames" ? target / "frame_000000.png" : target;
        fs::create_directories(previous.parent_path());
        write_whole_file(previous, "previous capture");
        const std::vector<std::string> before = names_in(previous.parent_path());
        const ProgramResult run = run_program(capture_args(target, "--seconds=8"), setup);
        EXPECT_EQ(run.exit_code, 255) << output << ": " << run.output;
        EXPECT_TRUE(run.output.find("disk is full") != std::string::npos
            || run.output.find("file-size limit") != std::string::npos)
            << output << ": " << run.output;
        EXPECT_EQ(read_whole_file(previous), "previous capture") << output;
        EXPECT_EQ(names_in(previous.parent_path()), before) << output << ": temporaries left";
        fs::remove_all(output == "frames" ? target : previous);
    }
    if (mounted)
        std::system(("umount " + folder.root.string()).c_str());
}

// Stand-ins for ffmpeg and ffprobe: an encoder that complains the way a full disk makes it yet
// exits 0, and a probe that reads the video back one second long. Both captures fail with the
// reason, keep the older file and clear a stale temporary left by a killed capture.
TEST(CaptureIntegrity, EncoderErrorsAndAWrongLengthFailAndStaleTemporariesGo)
{
    if (find_program("ffmpeg").empty())
        GTEST_SKIP() << "ffmpeg not installed";
    const struct {
        const char* program;
        const char* script;
        const char* reason;
    } cases[] = {
        { "ffmpeg", "cat >/dev/null\necho '[matroska @ 0x1] Error writing trailer: No space left on device' >&2\n",
            "disk is full" },
        { "ffprobe", "echo 1.000\n", "reads back as 1.000 s" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        TempFolder folder("integrity_tools");
        const fs::path bin = folder.root / "bin", out = folder.root / "out";
        fs::create_directories(bin);
        fs::create_directories(out);
        write_whole_file(bin / c.program, std::string("#!/bin/sh\n") + c.script + "exit 0\n");
        fs::permissions(bin / c.program, fs::perms::owner_all);
        write_whole_file(out / "v.mkv", "previous capture");
        // Its process (an id no process can have) is gone.
        write_whole_file(out / ".v.mkv.mwtmp-2147483000.audio.wav", "stale");
        const ProgramResult run
            = run_program(capture_args(out / "v.mkv", "--seconds=3"), "PATH=" + bin.string() + ":$PATH");
        EXPECT_EQ(run.exit_code, 255) << run.output;
        EXPECT_NE(run.output.find(c.reason), std::string::npos) << run.output;
        EXPECT_EQ(read_whole_file(out / "v.mkv"), "previous capture");
        EXPECT_EQ(names_in(out), std::vector<std::string> { "v.mkv" });
    }
}

TEST(CaptureIntegrity, InterruptsExitWithTheSignalAndKeepOnlyWhatIsAskedFor)
{
    TempFolder folder("integrity_signals");
    const struct {
        int signal_number;
        bool keep_partial;
        int exit_code;
    } cases[] = { { SIGTERM, false, 143 }, { SIGINT, true, 130 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exit_code);
        const fs::path target = folder.root / "frames", log = folder.root / "log";
        const pid_t pid
            = start_program(capture_args(target, "--seconds=200") + (c.keep_partial ? " --keep-partial" : ""), log);
        // Wait until frames past the start-up pause are being written.
        const fs::path temp = target / (".mwtmp-" + std::to_string(pid));
        for (int i = 0; i < 600 && names_in(temp).size() < 80; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        kill(pid, c.signal_number);
        EXPECT_EQ(wait_program(pid), c.exit_code);
        EXPECT_NE(read_whole_file(log).find("interrupted"), std::string::npos) << read_whole_file(log);
        const std::vector<std::string> kept = names_in(target);
        if (c.keep_partial) {
            EXPECT_GE(kept.size(), 80u);
            EXPECT_TRUE(std::find(kept.begin(), kept.end(), "audio.wav") != kept.end());
            EXPECT_TRUE(std::none_of(kept.begin(), kept.end(), [](const std::string& n) { return n[0] == '.'; }));
        } else {
            EXPECT_FALSE(fs::exists(target)) << "the folder this capture made stays only with its frames";
        }
        fs::remove_all(target);
    }
}

} // namespace
