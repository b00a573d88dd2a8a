// scene_bench.h -- shared pieces of the per-scene frame-time benchmarks: finding the generated
// data, per-thread CPU time and the median / 99th percentile counters.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

// The folder holding the build's data/ (recognised by the file `probe` inside it): the working
// directory, the folder above the program, or the program's own folder. Empty when not found.
inline std::string find_data_parent(const char* probe)
{
    char exe[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string here = n > 0 ? std::string(exe, size_t(n)) : std::string();
    here = here.substr(0, here.rfind('/'));
    for (const std::string& dir : { std::string("."), here + "/..", here }) {
        if (FILE* f = std::fopen((dir + "/data/" + probe).c_str(), "rb")) {
            std::fclose(f);
            return dir;
        }
    }
    return {};
}

// The data/ folder itself, or empty.
inline std::string find_data_dir(const char* probe)
{
    const std::string parent = find_data_parent(probe);
    return parent.empty() ? parent : parent + "/data";
}

// The thread's own CPU time: on a shared machine, wall time mostly measures the neighbours.
inline double thread_ms()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

// Reports the median and 99th percentile of per-frame times (milliseconds).
inline void report(benchmark::State& state, std::vector<double>* times)
{
    if (times->empty())
        return;
    std::sort(times->begin(), times->end());
    state.counters["median_ms"] = (*times)[times->size() / 2];
    state.counters["p99_ms"] = (*times)[std::min(times->size() - 1, times->size() * 99 / 100)];
}
