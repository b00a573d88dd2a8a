// test_bad_data.cpp -- where the data comes from and what bad data does: the data folder chosen and
// what a folder lacks; the set-up's order and failures; every data file and the song missing,
// unreadable or junk ends in the start-up failure message naming the file, never in a crash or a
// hang; hostile headers cost bounded memory and time; a live demo whose closing scene cannot run
// still ends.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cstring>

#include "app/clock.h"
#include "app/data_folder.h"
#include "app/demo.h"
#include "app/demo_data.h"
#include "app/sequencer.h"
#include "display/bytes.h"
#include "display/data_file.h"
#include "render3d/mesh.h"
#include "scene_script.h"
#include "scenes/scene8_running.h"
#include "scenes/scene_data.h"
#include "sound/sound.h"
#include "test_capture_child.h"

namespace {
namespace fs = std::filesystem;

// A folder holding the parts named: "data" (the data/ folder), "song" (xm/morrowick.xm),
// "xm" (an xm/ folder without the song), "song-dir" (xm/morrowick.xm as a folder).
void make_folder(const fs::path& dir, const std::string& parts)
{
    fs::create_directories(parts.find("data") != std::string::npos ? dir / "data" : dir);
    if (parts.find("xm") != std::string::npos || parts.find("song") != std::string::npos)
        fs::create_directories(dir / "xm");
    if (parts.find("song-dir") != std::string::npos)
        fs::create_directories(dir / "xm" / "morrowick.xm");
    else if (parts.find("song") != std::string::npos)
        write_whole_file(dir / "xm" / "morrowick.xm", "song");
}

// The first folder holding both data/ and the song is taken; each working folder's lack is named.
TEST(DataFolder, TakesTheFirstFolderHoldingBothDataAndSongAndSaysWhatOneLacks)
{
    enum Taken { WORK, EXE, SHARE, NONE }; // the folder found
    const struct {
        const char* name;
        const char* work;
        const char* exe;
        const char* share;
        Taken expect;
        int work_lacks;
        bool exe_known = true; // else only the working directory is tried
    } cases[] = {
        { "work_complete", "data song", "data song", "data song", WORK, DATA_FOLDER_COMPLETE },
        { "unrelated_data_in_work", "data", "data song", "data song", EXE, DATA_FOLDER_NO_SONG },
        { "song_folder_without_song", "data xm", "", "data song", SHARE, DATA_FOLDER_NO_SONG },
        { "halves_in_two_places", "song", "data", "data song", SHARE, DATA_FOLDER_NO_PICTURES },
        { "song_is_a_folder", "data song-dir", "data song-dir", "data song", SHARE, DATA_FOLDER_NO_SONG },
        { "nowhere", "xm", "song", "data", NONE, DATA_FOLDER_NO_PICTURES | DATA_FOLDER_NO_SONG },
        { "unknown_executable_folder", "data", "data song", "data song", NONE, DATA_FOLDER_NO_SONG, false },
    };
    const fs::path saved = fs::current_path();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // An installed layout: usr/games (the executable) beside usr/share/games/morrowick.
        const TempFolder root("data_folder");
        const fs::path exe = root.root / "usr" / "games";
        const fs::path share = (exe / SHARE_FROM_EXECUTABLE).lexically_normal();
        make_folder(root.root / "work", c.work);
        make_folder(exe, c.exe);
        make_folder(share, c.share);
        EXPECT_EQ(data_folder_lacks((root.root / "work").string()), c.work_lacks);
        fs::current_path(root.root / "work");
        std::string found = "?";
        const bool ok = find_data_folder(c.exe_known ? exe.string() + "/" : "", SHARE_FROM_EXECUTABLE, &found);
        fs::current_path(saved);
        EXPECT_EQ(ok, c.expect != NONE);
        if (c.expect == EXE || c.expect == SHARE)
            EXPECT_TRUE(fs::equivalent(found, c.expect == EXE ? exe : share)) << found;
        else
            EXPECT_EQ(found, "");
    }
    const std::pair<int, const char*> texts[] = { { DATA_FOLDER_COMPLETE, "holds the data" },
        { DATA_FOLDER_NO_SONG, "has no xm/morrowick.xm" }, { DATA_FOLDER_NO_PICTURES, "has no data/ folder" },
        { DATA_FOLDER_NO_PICTURES | DATA_FOLDER_NO_SONG, "has no data/ folder and no xm/morrowick.xm" } };
    for (const auto& [lacks, text] : texts)
        EXPECT_EQ(describe_data_folder_lack(lacks), text);
    const int absent = data_folder_lacks((fs::temp_directory_path() / "mw_no_such_folder").string());
    EXPECT_TRUE(absent & DATA_FOLDER_ABSENT);
    EXPECT_EQ(describe_data_folder_lack(absent), "does not exist");
}

// Set-up reads a short bump map with zeros after it, stops at the first missing file, and fails
// when its last loader (the depth buffer) does although every earlier one has run.
TEST(DemoData, SetUpStopsAtTheFirstMissingFileAndCountsTheLastLoader)
{
    const scene_script::TempDataFolder folder("demo_data");
    folder.copy_from_build(DATA_FILES);
    // Forgets what an earlier set-up in this process made, so that each run is seen on its own.
    auto forget = [] {
        bump_heights = nullptr;
        ringface_picture = crd1_picture = bricks_picture = nullptr;
        run_surface = nullptr;
        swarm_particles[0].colour = 0;
    };
    std::string bump = read_whole_file("data/bump.raw");
    ASSERT_EQ(bump.size(), 76800u);
    bump.resize(76000);
    write_whole_file("data/bump.raw", bump);
    forget();
    ASSERT_EQ(setup_demo_data(), 1);
    EXPECT_EQ(std::memcmp(bump_heights, bump.data(), bump.size()), 0);
    EXPECT_TRUE(std::all_of(bump_heights + 76000, bump_heights + 76800, [](uint8_t v) { return v == 0; }));

    // Without the bump map nothing else is read: no picture is loaded.
    fs::remove("data/bump.raw");
    forget();
    EXPECT_EQ(setup_demo_data(), 0);
    EXPECT_EQ(ringface_picture, nullptr);
    folder.copy_from_build({ "bump.raw" });
    // Without crd2 the pictures before it are loaded and those after it are not.
    fs::remove("data/crd2.acg");
    EXPECT_EQ(setup_demo_data(), 0);
    EXPECT_NE(crd1_picture, nullptr);
    EXPECT_EQ(bricks_picture, nullptr);
    folder.copy_from_build({ "crd2.acg" });

    const SceneLoader saved = scene_loaders[SCENE_LOADER_COUNT - 1];
    scene_loaders[SCENE_LOADER_COUNT - 1] = [] { return 0; };
    forget();
    EXPECT_EQ(setup_demo_data(), 0);
    scene_loaders[SCENE_LOADER_COUNT - 1] = saved;
    EXPECT_NE(run_surface, nullptr);
    EXPECT_EQ(swarm_particles[0].colour, PARTICLE_START_COLOUR);
}

const char* const DATA_FAILURE = "failed to allocate demo data";
const char* const SONG_FAILURE = "MIDAS error: couldn't load module (yay)";
const char* const NO_SONG = "has no xm/morrowick.xm"; // --data names what its folder lacks

// The program on a copy of the build's data with one file damaged at a time.
TEST(BadData, MissingUnreadableOrJunkFilesFailWithTheFileAndReason)
{
    const TempFolder folder("bad_data");
    auto restore = [&folder](const std::string& file) {
        fs::remove_all(folder.root / file);
        fs::copy_file(fs::path(MW_BINARY_DIR) / file, folder.root / file);
    };
    // About two seconds of show after the start-up pause, from the given start point.
    auto run = [&folder](const char* part) {
        return run_program("--capture=null --seconds=4 --data=" + folder.root.string() + " " + part);
    };
    fs::create_directories(folder.root / "data");
    fs::create_directories(folder.root / "xm");
    for (const std::string& name : DATA_FILES)
        restore("data/" + name);
    restore("xm/morrowick.xm");
    // The file; how it is damaged: 'm' missing, 'f' a FIFO, 'd' a folder, 'j' four bytes of junk;
    // the program's own text; the reason after "file: ", none when --data names what its folder lacks.
    std::vector<std::tuple<std::string, char, const char*, const char*>> cases = {
        { "data/bump.raw", 'f', DATA_FAILURE, "is not a regular file" },
        { "data/road.ma", 'f', DATA_FAILURE, "is not a regular file" },
        { "data/vheight.raw", 'd', DATA_FAILURE, "is a folder" },
        { "data/title.acg", 'd', DATA_FAILURE, "is a folder" },
        { "data/title.acg", 'j', DATA_FAILURE, "" },
        { "data/road.ma", 'j', DATA_FAILURE, "" },
        { "xm/morrowick.xm", 'j', SONG_FAILURE, "" },
        { "xm/morrowick.xm", 'm', NO_SONG, nullptr },
        { "xm/morrowick.xm", 'f', NO_SONG, nullptr },
    };
    for (size_t i = 0; i < SETUP_FILE_COUNT; ++i)
        cases.push_back({ "data/" + DATA_FILES[i], 'm', DATA_FAILURE, "no such file" });
    for (const auto& [file, kind, message, reason] : cases) {
        SCOPED_TRACE(file + " " + kind);
        const fs::path path = folder.root / file;
        fs::remove(path);
        if (kind == 'f') {
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        }
        if (kind == 'd')
            fs::create_directory(path);
        if (kind == 'j')
            write_whole_file(path, "junk");
        const ProgramResult r = run("part12");
        EXPECT_EQ(r.exit_code, 255) << r.output;
        EXPECT_LT(r.seconds, 30.0);
        const size_t own = r.output.find(message);
        EXPECT_NE(own, std::string::npos) << r.output;
        if (reason) {
            const size_t detail = r.output.find(file + ": " + reason);
            EXPECT_NE(detail, std::string::npos) << r.output;
            EXPECT_LT(own, detail) << "the detail follows the program's own text: " << r.output;
        }
        restore(file);
    }
    // A missing animation only makes its scene give up; the show goes on.
    fs::remove(folder.root / "data/boxflame.rlm");
    fs::remove(folder.root / "data/run.rlm");
    EXPECT_EQ(run("part12").exit_code, 0); // closing flames
    EXPECT_EQ(run("part6").exit_code, 0); // running animation
}

std::string ma_header(uint32_t frames, uint32_t vertices, uint32_t faces)
{
    std::string bytes(16, '\0');
    store_u32(&bytes[0], frames);
    store_u32(&bytes[8], vertices);
    store_u32(&bytes[12], faces);
    return bytes;
}

long peak_rss_kb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(LoaderLimits, HostileMeshAndSongHeadersAreRejectedQuicklyWithBoundedMemory)
{
    const TempFolder folder("limits");
    std::string xm(80, '\0');
    xm.replace(0, 17, "Extended Module: ");
    store_u32(&xm[60], 276);
    store_u16(&xm[68], 8);
    std::string xm_fits_not = xm;
    store_u16(&xm[70], 65535); // patterns
    store_u16(&xm_fits_not[70], 200); // allowed, but 200 headers do not fit 80 bytes
    // The file's name, its first bytes and its size (the rest a hole: no disk space is used).
    const std::tuple<const char*, std::string, uint64_t> cases[] = {
        { "frames.ma", ma_header(0xFFFFFFFFu, 1, 0), 16 },
        { "vertices.ma", ma_header(1, 0x7FFFFFFFu, 0), 1u << 20 },
        { "faces.ma", ma_header(1, 3, 0x40000000u), 1u << 20 },
        // Allowed counts that a small file cannot back (one changed byte of a real mesh).
        { "small.ma", ma_header(1, 200000, 400000), 25000 },
        // A gigabyte of nothing behind counts at the limits: never read whole.
        { "huge.ma", ma_header(MA_MAX_FRAMES, MA_MAX_VERTICES, MA_MAX_FACES), uint64_t(1) << 30 },
        { "zero.ma", "", uint64_t(1) << 30 },
        { "patterns.xm", xm, 80 },
        { "fits_not.xm", xm_fits_not, 80 },
    };
    const long rss_before = peak_rss_kb();
    for (const auto& [name, head, size] : cases) {
        const fs::path path = folder.root / name;
        write_whole_file(path, head);
        fs::resize_file(path, size);
        const auto start = std::chrono::steady_clock::now();
        clear_load_failure();
        const bool mesh = path.extension() == ".ma";
        Mesh* loaded_mesh = mesh ? load_ma(path.c_str()) : nullptr;
        SoundModule* module = mesh ? nullptr : sound_load_module(path.c_str());
        EXPECT_TRUE(!loaded_mesh && !module) << name;
        free_mesh(loaded_mesh);
        sound_free_module(module);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0) << name;
        EXPECT_NE(std::string(load_failure_text()).find(name), std::string::npos) << load_failure_text();
        fs::remove(path);
    }
    EXPECT_LT(peak_rss_kb() - rss_before, 64L * 1024) << "peak memory grew by more than 64 MB";
}

// Live runs: once the song has ended the demo quits 60 s later even if no scene ends it.
bool song_over = false;

TEST(LoaderLimits, LiveDemoQuitsSixtySecondsAfterTheSongEnds)
{
    scene_script::begin(0); // a scripted clock at tick 0
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
    EXPECT_GE(clock_now_ms() - ended_at, SONG_END_GRACE_MS);
    EXPECT_LE(clock_now_ms() - ended_at, SONG_END_GRACE_MS + 64);
    EXPECT_NE(message.find("song ended"), std::string::npos) << message;
    watch_song_end(nullptr, nullptr);
    scene_script::end();
}

} // namespace
