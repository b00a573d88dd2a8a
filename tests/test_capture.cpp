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
#include "display/bytes.h"
#include "test_capture_child.h"
#include "tools/formats/png_io.h"

namespace {
namespace fs = std::filesystem;

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
            const uint32_t pixel = load_u32(&rgba[size_t(y * 640 + x) * 4]);
            if (pixel != load_u32(&rgba[size_t((y & ~1) * 640 + (x & ~1)) * 4]))
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

// The virtual clock: every boundary passed outputs one frame; a wait returns 1. The seconds limit
// (quit with the last frame, nothing after it) shows in the frame counts of the captures below;
// without a limit the end outputs the tick in progress.
TEST(CaptureClock, PauseThenOneFramePerWaitAndTheTickInProgressAtTheEnd)
{
    std::vector<int64_t> log; // index * 1000 + song tick of each frame
    capture_set_frame_hook(
        [](void* context, const CaptureFrame* frame) {
            static_cast<std::vector<int64_t>*>(context)->push_back(int64_t(frame->index) * 1000 + frame->song_tick);
        },
        &log);
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
    // Scene, position, row, song frame. Cue 240 at 0/8 leaves the scene alone; the 1 at 1/0 is
    // consumed by the rings scene; 2/16 is cue 255.
    const std::tuple<uint32_t, uint32_t, uint32_t, uint64_t> syncs[] = { { 0, 0, 8, 8 * 5760 }, { 0, 1, 0, 16 * 5760 },
        { 2, 1, 4, 20 * 5760 }, { 5, 2, 0, 32 * 5760 }, { 5, 2, 16, 32 * 5760 + 16 * 2400 },
        { 2, 3, 4, 32 * 5760 + 36 * 2400 }, { 16, 4, 0, 32 * 5760 + 48 * 2400 }, { 12, 4, 7, 32 * 5760 + 55 * 2400 } };
    for (const auto& [scene, position, row, frame] : syncs) {
        SCOPED_TRACE(testing::Message() << "position " << position << " row " << row);
        const size_t at = size_t(CAPTURE_PAUSE_TICKS) + frame / CAPTURE_AUDIO_FRAMES_PER_TICK;
        EXPECT_FALSE(run.frames[at - 1].position == position && run.frames[at - 1].row == row);
        const ChildFrame& seen = run.frames[at];
        EXPECT_EQ(std::tuple(seen.scene, seen.position, seen.row), std::tuple(scene, position, row));
    }
}

// Folder output: byte-identical across runs, one PNG per frame (the pause black, drawn frames
// not, both scaled), a WAV of frames x 1536 stereo samples. A video file has the scaled picture
// and sound; a sheet is a grid of thumbnails.
TEST(CaptureOutputs, FolderVideoAndSheet)
{
    const std::string data = "--data=" + song_folder(false);
    const TempFolder folder("capture_outputs");
    const fs::path a = folder.root / "a", b = folder.root / "b";
    for (const fs::path& dir : { a, b }) {
        const ChildRun run
            = run_capture_child({ "part5", "--capture=" + dir.string(), "--seconds=3", "--scale=2", data });
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
    EXPECT_EQ(load_u32(&wav[4]), 36u + bytes);
    EXPECT_EQ(load_u32(&wav[24]), 48000u);
    EXPECT_EQ(load_u32(&wav[40]), bytes);
    EXPECT_EQ(lit_pixels((a / "frame_000000.png").string()), 0);
    EXPECT_GT(lit_pixels((a / "frame_000070.png").string()), 1000);

    const fs::path dir = folder.root / "c", video = dir / "short.mkv", probe = dir / "probe.txt";
    fs::create_directories(dir);
    if (!find_program("ffmpeg").empty() && !find_program("ffprobe").empty()) {
        ASSERT_EQ(
            run_capture_child({ "part3", "--capture=" + video.string(), "--seconds=2.5", "--scale=2", data }).exit_code,
            0);
        const std::string command = "ffprobe -v error -show_entries stream=codec_type,width,height -of csv=p=0 '"
            + video.string() + "' > '" + probe.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const std::string text = read_whole_file(probe);
        EXPECT_NE(text.find("video,640,480"), std::string::npos) << text;
        EXPECT_NE(text.find("audio"), std::string::npos) << text;
        EXPECT_EQ(names_in(dir), (std::vector<std::string> { "probe.txt", "short.mkv" })) << "temporaries left";
    }
    const std::string sheet = (dir / "sheet.png").string();
    ASSERT_EQ(run_capture_child({ "part3", "--capture=" + sheet, "--sheet", "--seconds=6", data }).exit_code, 0);
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    ASSERT_TRUE(read_png_rgba(sheet, &w, &h, &rgba));
    // 6 s = 188 ticks: drawn ticks 0-124, every 8th kept = 16 thumbnails of 160 x 120: 8 x 2.
    EXPECT_EQ(w, 8 * 164 + 4);
    EXPECT_EQ(h, 2 * 124 + 4);
}

// Every failing capture says why, exits 255 and leaves its folder as it was: the older capture of
// that name kept, no temporaries, a stale temporary of a killed capture cleared. Start-up failures:
// no ffmpeg for a video, a sheet that is not a PNG file, a song that does not load. A full disk: a
// small file system when we may mount one, else a file-size limit. Stand-ins for ffmpeg and
// ffprobe: an encoder that complains the way a full disk makes it yet exits 0, and a probe that
// reads the video back one second long.
TEST(CaptureIntegrity, FailuresSayWhyAndLeaveTheFolderAsItWas)
{
    const TempFolder folder("integrity");
    const fs::path junk = folder.root / "junk", full = folder.root / "full", fake = folder.root / "fake";
    fs::create_directories(junk / "xm");
    fs::create_directory_symlink(MW_BINARY_DIR "/data", junk / "data");
    write_whole_file(junk / "xm" / "morrowick.xm", "junk");
    const std::pair<const char*, const char*> tools[] = {
        { "ffmpeg", "cat >/dev/null\necho '[matroska @ 0x1] Error writing trailer: No space left on device' >&2\n" },
        { "ffprobe", "echo 1.000\n" },
    };
    for (const auto& [tool, script] : tools) {
        fs::create_directories(fake / tool);
        write_whole_file(fake / tool / tool, std::string("#!/bin/sh\n") + script + "exit 0\n");
        fs::permissions(fake / tool / tool, fs::perms::owner_all);
    }
    fs::create_directories(full);
    const std::string mount = "mount -t tmpfs -o size=256k mw_integrity " + full.string() + " 2>/dev/null";
    const bool mounted = geteuid() == 0 && std::system(mount.c_str()) == 0;
    const std::string limit = mounted ? "" : "ulimit -f 400"; // 200 KiB in blocks of 512 bytes
    const char* const full_reason = mounted ? "disk is full" : "file-size limit";
    const std::string data = "--data=" MW_BINARY_DIR " --seconds=", path = "PATH=" + fake.string();
    const struct {
        fs::path target;
        std::string options, setup;
        const char* reason;
        bool video = false; // needs ffmpeg; then a stale temporary is left beside the target too
    } cases[] = {
        { folder.root / "v.mp4", data + "3", "PATH=/no-such-folder", "needs the program ffmpeg" },
        { folder.root / "frames", data + "3 --sheet", "", "--sheet" },
        { folder.root / "frames", "--data=" + junk.string(), "", "couldn't load module" },
        { full / "frames", data + "8", limit, full_reason },
        { full / "v.mkv", data + "8", limit, full_reason, true },
        { folder.root / "v.mkv", data + "3", path + "/ffmpeg:$PATH", "disk is full", true },
        { folder.root / "v.mkv", data + "3", path + "/ffprobe:$PATH", "reads back as 1.000 s", true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.string() + " " + c.options + " " + c.setup);
        if (c.video && find_program("ffmpeg").empty())
            continue;
        const fs::path previous = c.video || c.target.extension() == ".mp4" ? c.target : c.target / "frame_000000.png";
        fs::create_directories(previous.parent_path());
        write_whole_file(previous, "previous capture");
        const std::vector<std::string> before = names_in(previous.parent_path());
        if (c.video) // its process (an id no process can have) is gone
            write_whole_file(c.target.parent_path() / ".v.mkv.mwtmp-2147483000.audio.wav", "stale");
        const ProgramResult run
            = run_program("--scale=1 --capture=" + c.target.string() + " " + c.options + " part12", c.setup);
        EXPECT_EQ(run.exit_code, 255) << run.output;
        EXPECT_NE(run.output.find(c.reason), std::string::npos) << run.output;
        EXPECT_EQ(read_whole_file(previous), "previous capture");
        EXPECT_EQ(names_in(previous.parent_path()), before) << "temporaries left";
        fs::remove_all(previous == c.target ? previous : c.target);
    }
    if (mounted)
        std::system(("umount " + full.string()).c_str());
}

TEST(CaptureIntegrity, InterruptsExitWithTheSignalAndKeepOnlyWhatIsAskedFor)
{
    TempFolder folder("integrity_signals");
    // The signal, whether partial output is asked for, the exit code.
    const std::tuple<int, bool, int> cases[] = { { SIGTERM, false, 143 }, { SIGINT, true, 130 } };
    for (const auto& [signal_number, keep_partial, exit_code] : cases) {
        SCOPED_TRACE(exit_code);
        const fs::path target = folder.root / "frames", log = folder.root / "log";
        const pid_t pid = start_program("--data=" MW_BINARY_DIR " --scale=1 --capture=" + target.string()
                + " --seconds=200 part12" + (keep_partial ? " --keep-partial" : ""),
            log);
        // Wait until frames past the start-up pause are being written.
        const fs::path temp = target / (".mwtmp-" + std::to_string(pid));
        for (int i = 0; i < 600 && names_in(temp).size() < 80; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        kill(pid, signal_number);
        EXPECT_EQ(wait_program(pid), exit_code);
        EXPECT_NE(read_whole_file(log).find("interrupted"), std::string::npos) << read_whole_file(log);
        const std::vector<std::string> kept = names_in(target);
        if (keep_partial) {
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
