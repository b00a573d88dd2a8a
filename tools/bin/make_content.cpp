// make_content.cpp -- generates every data file of the demo: make_content OUT_DIR [--seed=N] [--preview=DIR]
#include "tools/lib/content_common.h"
#include "tools/lib/content_pictures.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

int main(int argc, char** argv)
{
    std::string out_dir, preview_dir;
    uint64_t seed = 1996;
    for (int i = 1; i < argc; i++) {
        if (std::strncmp(argv[i], "--seed=", 7) == 0)
            seed = std::strtoull(argv[i] + 7, nullptr, 10);
        else if (std::strncmp(argv[i], "--preview=", 10) == 0)
            preview_dir = argv[i] + 10;
        else
            out_dir = argv[i];
    }
    (void)out_dir;
    std::vector<ContentPicture> pictures;
    if (!make_pictures(seed, &pictures)) {
        std::fprintf(stderr, "make_content: cannot open the DejaVu fonts\n");
        return 1;
    }
    if (!preview_dir.empty()) {
        mkdir(preview_dir.c_str(), 0755);
        for (const ContentPicture& p : pictures)
            argb_write_preview(p.argb.data(), p.width, p.height, preview_dir + "/" + p.name + ".png");
    }
    return 0;
}
