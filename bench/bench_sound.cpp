// bench_sound.cpp -- cost of playback: rendering 60 s of the test song (looped) through the sound
// layer's offline entry, sync detection included.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "sound/sound.h"

namespace {

// The test song lies in the build directory, one level above this program.
std::string test_song_path()
{
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return "testdata/xm/morrowick.xm";
    std::string path(exe, size_t(n));
    path = path.substr(0, path.rfind('/'));
    return path.substr(0, path.rfind('/')) + "/testdata/xm/morrowick.xm";
}
constexpr int SECONDS = 60;

uint32_t g_sync_count = 0;
void count_sync(uint32_t, uint32_t, uint32_t)
{
    ++g_sync_count;
}

void BM_RenderSixtySeconds(benchmark::State& state)
{
    const int chunk_frames = int(state.range(0));
    sound_startup();
    sound_set_option(SOUND_OPTION_OFFLINE, 1);
    sound_init();
    SoundModule* module = sound_load_module(test_song_path().c_str());
    if (!module) {
        state.SkipWithError("test song missing");
        sound_close();
        return;
    }
    std::vector<int16_t> buffer(size_t(chunk_frames) * 2);
    for (auto _ : state) {
        SoundPlay* play = sound_play_module(module, 1);
        sound_set_sync_callback(play, count_sync);
        int64_t left = int64_t(SECONDS) * SOUND_SAMPLE_RATE;
        while (left > 0) {
            int n = int(std::min<int64_t>(left, chunk_frames));
            left -= sound_render_offline(play, buffer.data(), n);
        }
        benchmark::DoNotOptimize(buffer.data());
        sound_stop_module(play);
    }
    state.counters["realtime_x"]
        = benchmark::Counter(double(SECONDS) * double(state.iterations()), benchmark::Counter::kIsRate);
    sound_free_module(module);
    sound_close();
}
// 1536 frames: one capture tick; 1024: one device buffer.
BENCHMARK(BM_RenderSixtySeconds)->Arg(1536)->Arg(1024)->Unit(benchmark::kMillisecond);

} // namespace
