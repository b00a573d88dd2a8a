// make_content.cpp -- generates every data file of the demo: make_content OUT_DIR [--seed=N] [--preview=DIR]
#include "tools/content/content_generate.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

int main(int argc, char** argv)
{
    std::string out_dir, preview_dir;
    uint64_t seed = CONTENT_DEFAULT_SEED;
    for (int i = 1; i < argc; i++) {
        if (std::strncmp(argv[i], "--seed=", 7) == 0) {
            char* end = nullptr;
            seed = std::strtoull(argv[i] + 7, &end, 10);
            if (end == argv[i] + 7 || *end) {
                std::fprintf(stderr, "make_content: bad seed '%s'\n", argv[i] + 7);
                return 2;
            }
        } else if (std::strncmp(argv[i], "--preview=", 10) == 0) {
            preview_dir = argv[i] + 10;
        } else if (argv[i][0] == '-' || !out_dir.empty()) {
            std::fprintf(stderr, "usage: make_content OUT_DIR [--seed=N] [--preview=DIR]\n");
            return 2;
        } else {
            out_dir = argv[i];
        }
    }
    if (out_dir.empty()) {
        std::fprintf(stderr, "usage: make_content OUT_DIR [--seed=N] [--preview=DIR]\n");
        return 2;
    }
    mkdir(out_dir.c_str(), 0755);
    if (!preview_dir.empty())
        mkdir(preview_dir.c_str(), 0755);
    auto start = std::chrono::steady_clock::now();
    std::vector<ContentFileInfo> written;
    if (generate_content(out_dir, seed, preview_dir, &written) != 0)
        return 1;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    uint64_t total = 0;
    for (const ContentFileInfo& f : written)
        total += f.bytes;
    std::printf("make_content: %zu files, %llu bytes in %s, %.2f s\n", written.size(), (unsigned long long)total,
        out_dir.c_str(), seconds);
    return 0;
}
