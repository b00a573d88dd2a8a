// test_loader_limits.cpp -- hostile data costs bounded memory and time, never blocks, and each
// failure names its file; a live demo whose closing scene cannot run still ends.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/clock.h"
#include "app/demo.h"
#include "app/sequencer.h"
#include "app/window.h"
#include "display/bytes.h"
#include "display/data_file.h"
#include "render3d/mesh.h"
#include "sound/sound.h"

namespace {
namespace fs = std::filesystem;

long peak_rss_kb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::vector<uint8_t> ma_header(uint32_t frames, uint32_t vertices, uint32_t faces)
{
    std::vector<uint8_t> bytes(16);
    store_u32(&bytes[0], frames);
    store_u32(&bytes[8], vertices);
    store_u32(&bytes[12], faces);
    return bytes;
}

// A file of `size` bytes that starts with `head` (the rest a hole: no disk space is used).
void write_sparse(const fs::path& path, const std::vector<uint8_t>& head, uint64_t size)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
    fs::resize_file(path, size);
}

struct TempFolder {
    fs::path root = fs::temp_directory_path() / ("mw_limits_" + std::to_string(getpid()));
    TempFolder()
    {
        fs::remove_all(root);
        fs::create_directories(root);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

TEST(LoaderLimits, HostileMeshAndSongHeadersAreRejectedQuicklyWithBoundedMemory)
{
    TempFolder folder;
    struct Case {
        const char* name;
        std::vector<uint8_t> head;
        uint64_t size;
    };
    std::vector<uint8_t> xm(80, 0);
    std::memcpy(xm.data(), "Extended Module: ", 17);
    store_u32(&xm[60], 276);
    store_u16(&xm[68], 8);
    store_u16(&xm[70], 65535); // patterns
    std::vector<uint8_t> xm_fits_not = xm;
    store_u16(&xm_fits_not[70], 200); // allowed, but 200 pattern headers do not fit 80 bytes
    const std::vector<Case> cases = {
        { "frames.ma", ma_header(0xFFFFFFFFu, 1, 0), 16 },
        { "vertices.ma", ma_header(1, 0x7FFFFFFFu, 0), 1u << 20 },
        { "faces.ma", ma_header(1, 3, 0x40000000u), 1u << 20 },
        // Allowed counts that a small file cannot back (one changed byte of a real mesh).
        { "small.ma", ma_header(1, 200000, 400000), 25000 },
        // A gigabyte of nothing behind counts at the limits: never read whole.
        { "huge.ma", ma_header(MA_MAX_FRAMES, MA_MAX_VERTICES, MA_MAX_FACES), uint64_t(1) << 30 },
        { "zero.ma", {}, uint64_t(1) << 30 },
        { "patterns.xm", xm, 80 },
        { "fits_not.xm", xm_fits_not, 80 },
    };
    const long rss_before = peak_rss_kb();
    for (const Case& c : cases) {
        const fs::path path = folder.root / c.name;
        write_sparse(path, c.head, c.size);
        const auto start = std::chrono::steady_clock::now();
        clear_load_failure();
        bool loaded;
        if (path.extension() == ".ma") {
            Mesh* mesh = load_ma(path.c_str());
            loaded = mesh != nullptr;
            free_mesh(mesh);
        } else {
            SoundModule* module = sound_load_module(path.c_str());
            loaded = module != nullptr;
            sound_free_module(module);
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_FALSE(loaded) << c.name;
        EXPECT_LT(seconds, 1.0) << c.name;
        EXPECT_NE(std::string(load_failure_text()).find(c.name), std::string::npos) << load_failure_text();
        fs::remove(path);
    }
    EXPECT_LT(peak_rss_kb() - rss_before, 64L * 1024) << "peak memory grew by more than 64 MB";
}

TEST(LoaderLimits, ShortMeshStillLoadsWithZeros)
{
    // Counts that a cut file backs at least half of keep the documented zero fill.
    std::vector<uint8_t> bytes = ma_header(1, 100, 0);
    bytes.resize(16 + 50 * 32);
    Mesh* mesh = load_ma_bytes(bytes.data(), bytes.size());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->vertex_count, 100u);
    free_mesh(mesh);
}

// The whole program with one data file replaced by something that is not a regular file.
struct RunResult {
    int exit_code;
    std::string output;
    double seconds;
};

RunResult run_program(const fs::path& data_root)
{
    const std::string command = "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 60 " MW_BINARY_DIR
                                "/morrowick --capture=null --seconds=3 --data="
        + data_root.string() + " part12 2>&1";
    const auto start = std::chrono::steady_clock::now();
    RunResult result { -1, {}, 0 };
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            result.output += buffer;
        const int status = pclose(pipe);
        result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

TEST(LoaderLimits, FifosFoldersAndReadErrorsFailWithTheFileAndReason)
{
    TempFolder folder;
    const fs::path build(MW_BINARY_DIR);
    for (const char* sub : { "data", "xm" }) {
        fs::create_directories(folder.root / sub);
        for (const auto& entry : fs::directory_iterator(build / sub))
            fs::create_symlink(entry.path(), folder.root / sub / entry.path().filename());
    }
    struct Case {
        const char* file;
        bool fifo; // else a folder
        const char* message; // the program's own text
        const char* reason;
    };
    const Case cases[] = {
        { "data/bump.raw", true, "failed to allocate demo data", "not a regular file" },
        { "data/vheight.raw", false, "failed to allocate demo data", "is a folder" },
        { "data/road.ma", true, "failed to allocate demo data", "not a regular file" },
        { "data/title.acg", false, "failed to allocate demo data", "is a folder" },
    };
    for (const Case& c : cases) {
        const fs::path path = folder.root / c.file;
        fs::remove(path);
        if (c.fifo)
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        else
            fs::create_directory(path);
        const RunResult r = run_program(folder.root);
        EXPECT_EQ(r.exit_code, 255) << c.file << ": " << r.output;
        EXPECT_LT(r.seconds, 30.0) << c.file;
        const size_t own = r.output.find(c.message);
        const size_t detail = r.output.find(std::string(c.file) + ": ");
        EXPECT_NE(own, std::string::npos) << r.output;
        EXPECT_NE(detail, std::string::npos) << r.output;
        EXPECT_LT(own, detail) << "the detail follows the program's own text: " << r.output;
        EXPECT_NE(r.output.find(c.reason), std::string::npos) << r.output;
        fs::remove_all(path);
        fs::create_symlink(build / c.file, path);
    }
    // A song that is not a regular file does not make a data folder: --data names what is missing.
    const fs::path song = folder.root / "xm/morrowick.xm";
    fs::remove(song);
    ASSERT_EQ(mkfifo(song.c_str(), 0600), 0);
    const RunResult r = run_program(folder.root);
    EXPECT_EQ(r.exit_code, 255) << r.output;
    EXPECT_LT(r.seconds, 30.0);
    EXPECT_NE(r.output.find("has no xm/morrowick.xm"), std::string::npos) << r.output;
}

// Live runs: once the song has ended the demo quits 60 s later even if no scene ends it.
FakeClock fake;
bool song_over = false;

TEST(LoaderLimits, LiveDemoQuitsSixtySecondsAfterTheSongEnds)
{
    WindowRecord record {};
    window_record = &record;
    fake = FakeClock {};
    fake.spin_step_ms = 1;
    set_demo_clock(fake_clock(&fake));
    reset_tick_timer();
    watch_song_end([](void*) { return song_over ? 1 : 0; }, nullptr);
    testing::internal::CaptureStderr();
    for (int i = 0; i < 5000; ++i) // 160 s of a song that has not ended
        wait_tick();
    EXPECT_FALSE(quit_flag());
    song_over = true;
    const uint32_t ended_at = clock_now_ms();
    while (!quit_flag() && clock_now_ms() - ended_at < 120000)
        wait_tick();
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(quit_flag());
    const uint32_t waited = clock_now_ms() - ended_at;
    EXPECT_GE(waited, SONG_END_GRACE_MS);
    EXPECT_LE(waited, SONG_END_GRACE_MS + 64);
    EXPECT_NE(message.find("song ended"), std::string::npos) << message;
    watch_song_end(nullptr, nullptr);
    set_demo_clock(real_clock());
    window_record = nullptr;
}

} // namespace
