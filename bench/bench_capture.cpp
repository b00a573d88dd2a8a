// bench_capture.cpp -- capture throughput of the whole demo (no encoding) and frame times per scene.
//
// BM_CaptureWholeDemo runs the program's capture mode once over the whole demo with no output
// and reports frames per second and the multiple of real time (31.25 frames make a second).
// BM_SceneFrame/N reports, for scene number N, the median and 99th percentile of the CPU time
// between two output frames while that scene ran (drawing, conversion and the song's share),
// measured in that same run: every scene added to the table is covered without code here.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "app/capture.h"
#include "app/startup.h"

namespace {

struct Measured {
    bool done = false;
    int exit_code = 0;
    uint64_t frames = 0;
    double seconds = 0;
    double cpu_seconds = 0; // CPU time of the process: comparable on a busy machine
    std::vector<double> frame_ms[17];
    double last_ms = 0;
};

Measured measured;

std::string build_dir()
{
    char exe[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string here = n > 0 ? std::string(exe, size_t(n)) : std::string();
    here = here.substr(0, here.rfind('/')); // <build>/bench
    return here.substr(0, here.rfind('/'));
}

// CPU time of this thread, where the whole capture runs: a busy machine does not inflate it.
double thread_cpu_ms()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

void time_frame(void*, const CaptureFrame* frame)
{
    const double now = thread_cpu_ms();
    if (frame->song_tick > 0 && frame->scene < 17)
        measured.frame_ms[frame->scene].push_back(now - measured.last_ms);
    measured.last_ms = now;
}

void capture_once()
{
    if (measured.done)
        return;
    measured.done = true;
    const std::string data = "--data=" + build_dir();
    const char* argv[] = { "morrowick", "--capture=null", data.c_str() };
    capture_set_frame_hook(time_frame, nullptr);
    measured.last_ms = thread_cpu_ms();
    const std::clock_t cpu_start = std::clock();
    measured.exit_code = demo_main(3, argv);
    measured.cpu_seconds = double(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    capture_set_frame_hook(nullptr, nullptr);
    const CaptureStats stats = capture_stats();
    measured.frames = stats.frames;
    measured.seconds = stats.seconds;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[at];
}

void BM_CaptureWholeDemo(benchmark::State& state)
{
    for (auto _ : state)
        capture_once();
    if (measured.exit_code != 0 || measured.seconds <= 0) {
        state.SkipWithError("the capture failed (is the data built?)");
        return;
    }
    const double fps = double(measured.frames) / measured.seconds;
    state.counters["frames"] = double(measured.frames);
    state.counters["frames_per_s"] = fps;
    state.counters["x_real_time"] = fps / 31.25;
    state.counters["x_real_time_cpu"] = double(measured.frames) / measured.cpu_seconds / 31.25;
}
BENCHMARK(BM_CaptureWholeDemo)->Iterations(1)->Unit(benchmark::kSecond);

void BM_SceneFrame(benchmark::State& state)
{
    capture_once();
    const std::vector<double>& times = measured.frame_ms[state.range(0)];
    if (times.empty()) {
        // Numbers that share a function (1, 4) count under the first; 12 and 15 may not occur.
        state.SkipWithError("no frames under this scene number");
        return;
    }
    size_t i = 0;
    for (auto _ : state) {
        state.SetIterationTime(times[i] / 1000.0);
        i = (i + 1) % times.size();
    }
    state.counters["frames"] = double(times.size());
    state.counters["median_ms"] = percentile(times, 0.5);
    state.counters["p99_ms"] = percentile(times, 0.99);
}
BENCHMARK(BM_SceneFrame)->DenseRange(0, 16)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
