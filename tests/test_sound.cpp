// test_sound.cpp -- sound layer: sync timing offline and in real time, seeking, song end, determinism.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "sound/sound.h"
#include "sound/sound_internal.h"

namespace {

const char* const TEST_SONG = MW_BINARY_DIR "/testdata/xm/morrowick.xm";
constexpr int TICK_FRAMES = 1536; // one 32 ms tick at 48 kHz

struct SyncEvent {
    uint32_t value, order, row;
    uint64_t frame; // frames rendered when the callback ran
    int chunk; // which render call it ran in
    std::thread::id thread;
    double seconds; // wall time since the play started
};

// A sync row of the test song and the first frame of that row, worked out from its tempo:
// 5760 frames per row at speed 6 / 125 BPM, 2400 frames per row from order 2 (speed 3 / 150 BPM).
struct ExpectedSync {
    uint32_t value, order, row;
    uint64_t frame;
};

const ExpectedSync SONG_SYNCS[] = {
    { 0, 0, 0, 0 },
    { 240, 0, 8, 8 * 5760 },
    { 1, 1, 0, 16 * 5760 },
    { 2, 1, 4, 20 * 5760 },
    { 5, 2, 0, 32 * 5760 },
    { 255, 2, 16, 32 * 5760 + 16 * 2400 },
    { 1, 3, 0, 32 * 5760 + 32 * 2400 },
    { 2, 3, 4, 32 * 5760 + 36 * 2400 },
    { 16, 4, 0, 32 * 5760 + 48 * 2400 },
    { 12, 4, 7, 32 * 5760 + 55 * 2400 },
};
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
    void SetUp() override
    {
        g_events.clear();
        g_play = nullptr;
        g_chunk = 0;
    }
    void TearDown() override
    {
        if (g_play)
            sound_stop_module(g_play);
        if (module)
            sound_free_module(module);
        sound_stop_background_play();
        sound_close();
        sound_set_option(SOUND_OPTION_OFFLINE, 0);
        sound_set_option(SOUND_OPTION_MUTE, 0);
    }

    // Start-up in the order the program uses, offline (no device).
    void start_offline()
    {
        ASSERT_TRUE(sound_startup());
        ASSERT_TRUE(sound_set_option(SOUND_OPTION_OFFLINE, 1));
        ASSERT_TRUE(sound_init());
        module = sound_load_module(TEST_SONG);
        ASSERT_NE(module, nullptr) << TEST_SONG;
        ASSERT_TRUE(sound_start_background_play(40));
        g_play = sound_play_module(module, 0);
        ASSERT_NE(g_play, nullptr);
        ASSERT_TRUE(sound_set_sync_callback(g_play, record_sync));
    }

    // Render tick-sized chunks until the song ends; returns every frame rendered.
    std::vector<int16_t> render_to_end(int max_chunks = 1000)
    {
        std::vector<int16_t> audio;
        std::vector<int16_t> chunk(TICK_FRAMES * 2);
        for (int i = 0; i < max_chunks; ++i) {
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

// Each reported sync must match its row and land 1-64 frames after the row's first frame, inside
// the tick-sized render call that holds that frame.
void expect_syncs_at(const std::vector<SyncEvent>& events, const ExpectedSync* expected, size_t count,
    uint64_t frame_offset, bool check_chunks)
{
    ASSERT_EQ(events.size(), count);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(events[i].value, expected[i].value);
        EXPECT_EQ(events[i].order, expected[i].order);
        EXPECT_EQ(events[i].row, expected[i].row);
        uint64_t row_start = expected[i].frame - frame_offset;
        EXPECT_GT(events[i].frame, row_start);
        EXPECT_LE(events[i].frame, row_start + SOUND_SYNC_SLICE);
        if (check_chunks) {
            EXPECT_EQ(uint64_t(events[i].chunk), row_start / TICK_FRAMES);
        }
    }
}

TEST_F(SoundTest, OfflineSyncsFireAtTheirRowsAndTheSongStopsWithoutAFalseSync)
{
    start_offline();
    std::vector<int16_t> audio = render_to_end();
    EXPECT_EQ(audio.size() / 2, SONG_FRAMES);
    expect_syncs_at(g_events, SONG_SYNCS, std::size(SONG_SYNCS), 0, true);
    for (const SyncEvent& event : g_events)
        EXPECT_EQ(event.thread, std::this_thread::get_id());

    // After the end: nothing more, and no wrap to order 0.
    int16_t tail[128];
    EXPECT_EQ(sound_render_offline(g_play, tail, 64), 0);
    EXPECT_EQ(g_events.size(), std::size(SONG_SYNCS));

    // The song is audible, not silence or garbage-free zeros.
    int peak = 0;
    for (int16_t v : audio)
        peak = std::max(peak, std::abs(int(v)));
    EXPECT_GT(peak, 2000);
    EXPECT_LT(peak, 32767);
}

TEST_F(SoundTest, OfflineRenderingIsDeterministic)
{
    start_offline();
    std::vector<int16_t> first = render_to_end();
    sound_stop_module(g_play);
    g_play = sound_play_module(module, 0);
    ASSERT_NE(g_play, nullptr);
    ASSERT_TRUE(sound_set_sync_callback(g_play, record_sync));
    std::vector<int16_t> second = render_to_end();
    ASSERT_EQ(first.size(), second.size());
    EXPECT_TRUE(first == second);
}

TEST_F(SoundTest, SetPositionContinuesAtRowZeroWithThatPointsTempo)
{
    start_offline();
    // Jump straight to order 3: its rows must take 2400 frames (the tempo set in order 2), not
    // the 5760 of the song's start.
    ASSERT_TRUE(sound_set_position(g_play, 3));
    render_to_end();
    const uint64_t order3 = 32 * 5760 + 32 * 2400;
    expect_syncs_at(g_events, SONG_SYNCS + 6, 4, order3, true);
    EXPECT_EQ(sound_frames_rendered(g_play), SONG_FRAMES - order3);

    // Out-of-range positions are refused and leave the play alone.
    EXPECT_FALSE(sound_set_position(g_play, -1));
    EXPECT_FALSE(sound_set_position(g_play, sound_module_order_count(module)));
    EXPECT_EQ(sound_module_order_count(module), 5);

    // After the end a jump back restarts playback; the row-0 sync of that order fires again.
    g_events.clear();
    ASSERT_TRUE(sound_set_position(g_play, 4));
    int16_t buffer[TICK_FRAMES * 2];
    EXPECT_EQ(sound_render_offline(g_play, buffer, TICK_FRAMES), TICK_FRAMES);
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].value, 16u);
    EXPECT_EQ(g_events[0].order, 4u);
    EXPECT_EQ(g_events[0].row, 0u);
}

TEST_F(SoundTest, MuteKeepsTimeAndSyncs)
{
    start_offline();
    ASSERT_TRUE(sound_set_option(SOUND_OPTION_MUTE, 1));
    std::vector<int16_t> audio = render_to_end();
    EXPECT_EQ(audio.size() / 2, SONG_FRAMES);
    for (int16_t v : audio)
        ASSERT_EQ(v, 0);
    expect_syncs_at(g_events, SONG_SYNCS, std::size(SONG_SYNCS), 0, true);
}

TEST_F(SoundTest, LoopedPlayWrapsToTheStart)
{
    start_offline();
    sound_stop_module(g_play);
    g_play = sound_play_module(module, 1);
    ASSERT_NE(g_play, nullptr);
    ASSERT_TRUE(sound_set_sync_callback(g_play, record_sync));
    std::vector<int16_t> buffer((SONG_FRAMES + 2000) * 2);
    EXPECT_EQ(sound_render_offline(g_play, buffer.data(), int(SONG_FRAMES + 2000)), int(SONG_FRAMES + 2000));
    ASSERT_EQ(g_events.size(), std::size(SONG_SYNCS) + 1);
    const SyncEvent& wrap = g_events.back();
    EXPECT_EQ(wrap.value, 0u);
    EXPECT_EQ(wrap.order, 0u);
    EXPECT_EQ(wrap.row, 0u);
    EXPECT_GT(wrap.frame, SONG_FRAMES);
    EXPECT_LE(wrap.frame, SONG_FRAMES + SOUND_SYNC_SLICE);
}

TEST_F(SoundTest, MissingOrUnreadableModulesFailToLoad)
{
    ASSERT_TRUE(sound_startup());
    ASSERT_TRUE(sound_set_option(SOUND_OPTION_OFFLINE, 1));
    ASSERT_TRUE(sound_init());
    EXPECT_EQ(sound_load_module(nullptr), nullptr);
    EXPECT_EQ(sound_load_module(MW_BINARY_DIR "/testdata/xm/no_such_song.xm"), nullptr);
    EXPECT_EQ(sound_load_module(MW_BINARY_DIR "/testdata/xm"), nullptr); // a directory

    char empty_path[] = "/tmp/mw_sound_empty_XXXXXX";
    int fd = mkstemp(empty_path);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(sound_load_module(empty_path), nullptr);
    const char text[] = "this is not a tracker module, just some text\n";
    ASSERT_EQ(write(fd, text, sizeof text), ssize_t(sizeof text));
    close(fd);
    EXPECT_EQ(sound_load_module(empty_path), nullptr);
    unlink(empty_path);
}

TEST_F(SoundTest, CallsOutOfOrderOrOnNullHandlesFail)
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

    start_offline();
    EXPECT_FALSE(sound_set_option(SOUND_OPTION_OFFLINE, 0)); // too late once initialised
    EXPECT_FALSE(sound_free_module(module)); // still playing
}

TEST(SoundSyncTable, HoldsEveryWCommandOfTheTestSong)
{
    std::FILE* file = std::fopen(TEST_SONG, "rb");
    ASSERT_NE(file, nullptr);
    std::vector<uint8_t> bytes(65536);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    openmpt_module* mod = openmpt_module_create_from_memory2(
        bytes.data(), bytes.size(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(mod, nullptr);
    SoundSyncTable table;
    ASSERT_TRUE(sound_build_sync_table(mod, &table));
    openmpt_module_destroy(mod);

    const uint8_t* values = nullptr;
    ASSERT_EQ(sound_sync_lookup(&table, 2, 0, &values), 1); // F03 and F96 beside it are not syncs
    EXPECT_EQ(values[0], 5);
    ASSERT_EQ(sound_sync_lookup(&table, 0, 0, &values), 1); // W00 is a sync of value 0
    EXPECT_EQ(values[0], 0);
    ASSERT_EQ(sound_sync_lookup(&table, 2, 16, &values), 1);
    EXPECT_EQ(values[0], 255);
    EXPECT_EQ(sound_sync_lookup(&table, 2, 1, &values), 0);
    EXPECT_EQ(values, nullptr);
    EXPECT_EQ(sound_sync_lookup(&table, 3, 8, &values), 0); // past the pattern's 8 rows
    EXPECT_EQ(sound_sync_lookup(&table, 4, 0, &values), 0); // no such pattern
    EXPECT_EQ(sound_sync_lookup(&table, -1, 0, &values), 0);
    EXPECT_EQ(table.values.size(), std::size(SONG_SYNCS) - 2); // pattern 1 plays twice
}

TEST(SoundConfigText, ChoosesByNumberAndCancelsOnAnythingElse)
{
    const std::vector<std::string> devices = { "Speakers", "Headphones" };
    struct Case {
        const char* input;
        int expected;
    };
    const Case cases[] = {
        { "2\n", 1 },
        { "1 \r\n", 0 },
        { "\n", -1 },
        { "", -1 },
        { "0\n", -1 },
        { "3\n", -1 },
        { "2x\n", -1 },
        { "-1\n", -1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        std::FILE* in = std::tmpfile();
        std::FILE* out = std::tmpfile();
        ASSERT_TRUE(in && out);
        std::fputs(c.input, in);
        std::rewind(in);
        EXPECT_EQ(sound_config_text(in, out, devices), c.expected);
        std::rewind(out);
        char listing[256] = {};
        listing[std::fread(listing, 1, sizeof listing - 1, out)] = '\0';
        EXPECT_NE(std::strstr(listing, "2. Headphones"), nullptr);
        std::fclose(in);
        std::fclose(out);
    }
    // With no device listed the one choice is the default output.
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::fputs("1\n", in);
    std::rewind(in);
    EXPECT_EQ(sound_config_text(in, out, {}), 0);
    std::fclose(in);
    std::fclose(out);
}

// Real time through SDL's dummy driver: the syncs come from the audio thread, at their rows, and
// no earlier in wall time than one tick before the rendered position (the driver consumes audio
// at the real rate). The upper bound only catches syncs that never arrive or stall.
TEST_F(SoundTest, HeadlessRealTimePlayDeliversSyncsOnTheAudioThread)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(sound_startup());
    ASSERT_TRUE(sound_set_option(SOUND_OPTION_WINDOW, 0));
    ASSERT_TRUE(sound_set_option(SOUND_OPTION_DS_MODE, 2));
    ASSERT_TRUE(sound_set_option(SOUND_OPTION_MIXING_MODE, 1));
    ASSERT_TRUE(sound_set_option(SOUND_OPTION_OUTPUT_MODE, 10));
    ASSERT_TRUE(sound_init());
    module = sound_load_module(TEST_SONG);
    ASSERT_NE(module, nullptr);
    ASSERT_TRUE(sound_start_background_play(40));
    g_start = std::chrono::steady_clock::now();
    g_play = sound_play_module(module, 0);
    ASSERT_NE(g_play, nullptr);
    ASSERT_TRUE(sound_set_sync_callback(g_play, record_sync));

    // Wait for the first three syncs (row 16 of the song, 1.92 s in).
    const size_t wanted = 3;
    for (int i = 0; i < 400; ++i) {
        {
            std::lock_guard<std::mutex> lock(g_events_mutex);
            if (g_events.size() >= wanted)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(sound_stop_module(g_play));
    g_play = nullptr;
    std::vector<SyncEvent> events;
    {
        std::lock_guard<std::mutex> lock(g_events_mutex);
        events = g_events;
    }
    ASSERT_GE(events.size(), wanted);
    events.resize(wanted);
    // The first row may play before the callback is installed: it is then reported at once
    // when it is, so only its value is checked.
    EXPECT_EQ(events[0].value, 0u);
    for (size_t i = 1; i < wanted; ++i) {
        SCOPED_TRACE(i);
        const SyncEvent& event = events[i];
        EXPECT_NE(event.thread, std::this_thread::get_id());
        EXPECT_EQ(event.value, SONG_SYNCS[i].value);
        EXPECT_GT(event.frame, SONG_SYNCS[i].frame);
        EXPECT_LE(event.frame, SONG_SYNCS[i].frame + SOUND_SYNC_SLICE);
        double rendered_seconds = double(SONG_SYNCS[i].frame) / SOUND_SAMPLE_RATE;
        EXPECT_GE(event.seconds, rendered_seconds - 0.032);
        EXPECT_LT(event.seconds, rendered_seconds + 0.5);
    }
}

} // namespace

namespace {

// With no usable audio driver the layer falls back to SDL's dummy output with one line on stderr,
// and the song still advances in real time.
TEST_F(SoundTest, FallsBackToSilentOutputWhenNoDeviceOpens)
{
    setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
    ASSERT_TRUE(sound_startup());
    testing::internal::CaptureStderr();
    int initialised = sound_init();
    std::string note = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(initialised);
    EXPECT_NE(note.find("no audio device"), std::string::npos) << note;
    EXPECT_EQ(std::count(note.begin(), note.end(), '\n'), 1);

    module = sound_load_module(TEST_SONG);
    ASSERT_NE(module, nullptr);
    ASSERT_TRUE(sound_start_background_play(40));
    g_play = sound_play_module(module, 0);
    ASSERT_NE(g_play, nullptr);
    ASSERT_TRUE(sound_set_sync_callback(g_play, record_sync));
    for (int i = 0; i < 300 && sound_frames_rendered(g_play) < 9600; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(sound_frames_rendered(g_play), 9600u);
    std::lock_guard<std::mutex> lock(g_events_mutex);
    ASSERT_FALSE(g_events.empty());
    EXPECT_EQ(g_events[0].value, 0u);
}

} // namespace
