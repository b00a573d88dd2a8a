// main.cpp -- program entry: hands the command line to the start-up code.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("usage: morrowick [32|24|16|8] [window] [sound] [part2..part12] [--options]\n");
            return 0;
        }
    }
    std::printf("morrowick: the demo is not assembled yet; try --help\n");
    return 0;
}
