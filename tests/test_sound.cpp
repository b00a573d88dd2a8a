// test_sound.cpp -- sound layer: sync timing offline and in real time, seeking, song end, refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "sound/sound.h"
#include "sound/sound_internal.h"

namespace {

const char* const TEST_SONG = MW_BINARY_DIR "/testdata/xm/morrowick.xm";
constexpr int TICK_FRAMES = 1536; // one 32 ms tick at 48 kHz

struct SyncEvent {
    uint32_t value, order, row;
    uint64_t frame; // frames rendered when the callback ran
    int chunk = 0; // which render call it ran in
    std::thread::id thread {};
    double seconds = 0; // wall time since the play started
};

// The test song's syncs and the first frame of each one's row, worked out from its tempo: 5760
// frames per row at speed 6 / 125 BPM, 2400 frames per row from order 2 (speed 3 / 150 BPM).
const SyncEvent SONG_SYNCS[]
    = { { 0, 0, 0, 0 }, { 240, 0, 8, 8 * 5760 }, { 1, 1, 0, 16 * 5760 }, { 2, 1, 4, 20 * 5760 }, { 5, 2, 0, 32 * 5760 },
          { 255, 2, 16, 32 * 5760 + 16 * 2400 }, { 1, 3, 0, 32 * 5760 + 32 * 2400 }, { 2, 3, 4, 32 * 5760 + 36 * 2400 },
          { 16, 4, 0, 32 * 5760 + 48 * 2400 }, { 12, 4, 7, 32 * 5760 + 55 * 2400 } };
constexpr size_t SYNC_COUNT = std::size(SONG_SYNCS);
constexpr uint64_t SONG_FRAMES = 32 * 5760 + 56 * 2400;

std::mutex g_events_mutex;
std::vector<SyncEvent> g_events;
SoundPlay* g_play = nullptr;
std::atomic<int> g_chunk { 0 };
std::chrono::steady_clock::time_point g_start;

void record_sync(uint32_t value, uint32_t order, uint32_t row)
{
    SyncEvent event { value, order, row, sound_frames_rendered(g_play), g_chunk.load(), std::this_thread::get_id(),
        std::chrono::duration<double>(std::chrono::steady_clock::now() - g_start).count() };
    std::lock_guard<std::mutex> lock(g_events_mutex);
    g_events.push_back(event);
}

class SoundTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        sound_stop_module(g_play);
        g_play = nullptr;
        sound_free_module(module);
        module = nullptr;
        sound_stop_background_play();
        sound_close();
        sound_set_option(SOUND_OPTION_OFFLINE, 0);
        sound_set_option(SOUND_OPTION_MUTE, 0);
    }

    // Start-up in the order the program uses; offline opens no device.
    void start(bool offline)
    {
        ASSERT_TRUE(sound_startup());
        ASSERT_TRUE(sound_set_option(SOUND_OPTION_OFFLINE, offline));
        ASSERT_TRUE(sound_init());
        module = sound_load_module(TEST_SONG);
        ASSERT_NE(module, nullptr) << TEST_SONG;
        ASSERT_TRUE(sound_start_background_play(40));
        play();
    }

    void play()
    {
        sound_stop_module(g_play);
        g_events.clear();
        g_chunk = 0;
        g_start = std::chrono::steady_clock::now();
        g_play = sound_play_module(module, 0);
        ASSERT_NE(g_play, nullptr);
        ASSERT_TRUE(sound_set_sync_callback(g_play, record_sync));
    }

    // Render tick-sized chunks until the song ends; returns every frame rendered.
    std::vector<int16_t> render_to_end()
    {
        std::vector<int16_t> audio;
        std::vector<int16_t> chunk(TICK_FRAMES * 2);
        for (int i = 0; i < 1000; ++i) {
            g_chunk = i;
            int got = sound_render_offline(g_play, chunk.data(), TICK_FRAMES);
            audio.insert(audio.end(), chunk.begin(), chunk.begin() + got * 2);
            if (got < TICK_FRAMES)
                break;
        }
        return audio;
    }

    SoundModule* module = nullptr;
};

// Each reported sync must match its row and land 1-64 frames after the row's first frame, on the
// rendering thread, inside the tick-sized render call that holds that frame.
void expect_syncs_at(const SyncEvent* expected, size_t count, uint64_t frame_offset)
{
    ASSERT_EQ(g_events.size(), count);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(std::tuple(g_events[i].value, g_events[i].order, g_events[i].row),
            std::tuple(expected[i].value, expected[i].order, expected[i].row));
        uint64_t row_start = expected[i].frame - frame_offset;
        EXPECT_GT(g_events[i].frame, row_start);
        EXPECT_LE(g_events[i].frame, row_start + SOUND_SYNC_SLICE);
        EXPECT_EQ(uint64_t(g_events[i].chunk), row_start / TICK_FRAMES);
        EXPECT_EQ(g_events[i].thread, std::this_thread::get_id());
    }
}

// Three plays of one module: the second is muted and keeps the same time and syncs, the third (a
// fresh decoder) repeats the first sample for sample. None wraps to order 0 after the end. A fourth
// play jumps to another position.
TEST_F(SoundTest, EveryOfflinePlayFiresTheSyncsAtTheirRowsStopsAtTheEndAndSeeks)
{
    start(true);
    std::vector<int16_t> first;
    for (int pass = 0; pass < 3; ++pass) {
        SCOPED_TRACE(pass);
        if (pass > 0)
            play();
        ASSERT_TRUE(sound_set_option(SOUND_OPTION_MUTE, pass == 1));
        std::vector<int16_t> audio = render_to_end();
        EXPECT_EQ(audio.size() / 2, SONG_FRAMES);
        expect_syncs_at(SONG_SYNCS, SYNC_COUNT, 0);
        int16_t tail[128];
        EXPECT_EQ(sound_render_offline(g_play, tail, 64), 0);
        EXPECT_EQ(g_events.size(), SYNC_COUNT);
        if (pass == 0)
            first = audio;
        else if (pass == 1)
            EXPECT_EQ(size_t(std::count(audio.begin(), audio.end(), 0)), audio.size());
        else
            EXPECT_TRUE(audio == first);
    }

    play();
    // Jump straight to order 3: its rows must take 2400 frames (the tempo set in order 2), not
    // the 5760 of the song's start.
    ASSERT_TRUE(sound_set_position(g_play, 3));
    render_to_end();
    const uint64_t order3 = SONG_SYNCS[6].frame;
    expect_syncs_at(SONG_SYNCS + 6, 4, order3);
    EXPECT_EQ(sound_frames_rendered(g_play), SONG_FRAMES - order3);

    // Positions outside the song (it has five) are refused and leave the play alone.
    EXPECT_FALSE(sound_set_position(g_play, -1));
    EXPECT_FALSE(sound_set_position(g_play, 5));

    // After the end a jump back restarts playback; the row-0 sync of that order fires again.
    g_events.clear();
    ASSERT_TRUE(sound_set_position(g_play, 4));
    int16_t buffer[TICK_FRAMES * 2];
    EXPECT_EQ(sound_render_offline(g_play, buffer, TICK_FRAMES), TICK_FRAMES);
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(std::tuple(g_events[0].value, g_events[0].order, g_events[0].row), std::tuple(16u, 4u, 0u));
}

TEST_F(SoundTest, BadModulesAndCallsOutOfOrderOrOnNullHandlesFail)
{
    sound_close();
    EXPECT_FALSE(sound_init()); // before start-up
    EXPECT_EQ(sound_play_module(nullptr, 0), nullptr);
    EXPECT_FALSE(sound_set_sync_callback(nullptr, record_sync));
    EXPECT_FALSE(sound_set_position(nullptr, 0));
    EXPECT_FALSE(sound_stop_module(nullptr));
    EXPECT_FALSE(sound_free_module(nullptr));
    EXPECT_EQ(sound_render_offline(nullptr, nullptr, 10), 0);
    EXPECT_FALSE(sound_set_option(12345, 1));

    start(true);
    EXPECT_FALSE(sound_set_option(SOUND_OPTION_OFFLINE, 0)); // too late once initialised
    EXPECT_FALSE(sound_free_module(module)); // still playing

    const std::string empty = MW_BINARY_DIR "/test_sound_empty.xm";
    std::ofstream(empty).close();
    const char* const paths[] = { nullptr, MW_BINARY_DIR "/testdata/xm/no_such_song.xm", MW_BINARY_DIR "/testdata/xm",
        empty.c_str(), MW_SOURCE_DIR "/README.md" };
    for (const char* path : paths)
        EXPECT_EQ(sound_load_module(path), nullptr) << (path ? path : "null");
    std::remove(empty.c_str());
}

// The set-up dialog's text form lists the devices by number; the default output is the one choice
// when none is listed.
TEST(SoundConfigText, ChoosesByNumberAndCancelsOnAnythingElse)
{
    const std::vector<std::string> devices = { "Speakers", "Headphones" }, none;
    const std::tuple<const char*, const std::vector<std::string>*, int> cases[] = { { "2\n", &devices, 1 },
        { "1 \r\n", &devices, 0 }, { "\n", &devices, -1 }, { "", &devices, -1 }, { "0\n", &devices, -1 },
        { "3\n", &devices, -1 }, { "2x\n", &devices, -1 }, { "-1\n", &devices, -1 }, { "1\n", &none, 0 } };
    for (const auto& [input, names, expected] : cases) {
        SCOPED_TRACE(input);
        char* listing = nullptr;
        size_t size = 0;
        std::FILE* in = fmemopen(const_cast<char*>(input), std::strlen(input), "r");
        std::FILE* out = open_memstream(&listing, &size);
        EXPECT_EQ(sound_config_text(in, out, *names), expected);
        std::fclose(in);
        std::fclose(out);
        EXPECT_EQ(std::strstr(listing, "2. Headphones") != nullptr, names == &devices);
        std::free(listing);
    }
}

// Real time: the syncs come from the audio thread, at their rows, and no earlier in wall time than
// one tick before the rendered position (the dummy output is paced by the clock). The upper bound
// only catches syncs that never arrive or stall. With no usable driver the layer falls back to
// the dummy output with one line on stderr, and the song still advances.
TEST_F(SoundTest, RealTimeSyncsComeFromTheAudioThreadOnTimeEvenWithoutADevice)
{
    for (const auto& [driver, fallback] : { std::pair("dummy", false), std::pair("no_such_driver", true) }) {
        SCOPED_TRACE(driver);
        setenv("SDL_AUDIODRIVER", driver, 1);
        testing::internal::CaptureStderr();
        start(false);
        const std::string note = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(note.begin(), note.end(), '\n'), fallback ? 1 : 0) << note;
        EXPECT_EQ(note.find("no audio device") != std::string::npos, fallback) << note;

        // Wait for the first three syncs (row 16 of the song, 1.92 s in).
        const size_t wanted = 3;
        std::vector<SyncEvent> events;
        for (int i = 0; i < 400 && events.size() < wanted; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::lock_guard<std::mutex> lock(g_events_mutex);
            events = g_events;
        }
        TearDown();
        ASSERT_GE(events.size(), wanted);
        // The first row may play before the callback is installed: it is then reported at once
        // when it is, so only its value is checked.
        EXPECT_EQ(events[0].value, 0u);
        for (size_t i = 1; i < wanted; ++i) {
            SCOPED_TRACE(i);
            EXPECT_NE(events[i].thread, std::this_thread::get_id());
            EXPECT_EQ(events[i].value, SONG_SYNCS[i].value);
            EXPECT_GT(events[i].frame, SONG_SYNCS[i].frame);
            EXPECT_LE(events[i].frame, SONG_SYNCS[i].frame + SOUND_SYNC_SLICE);
            const double rendered_seconds = double(SONG_SYNCS[i].frame) / SOUND_SAMPLE_RATE;
            EXPECT_GE(events[i].seconds, rendered_seconds - 0.032);
            EXPECT_LT(events[i].seconds, rendered_seconds + 0.5);
        }
    }
}

} // namespace
