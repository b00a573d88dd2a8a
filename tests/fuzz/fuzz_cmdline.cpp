// fuzz_cmdline.cpp -- any argument list through the option splitter and the word search.
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // NUL bytes separate the arguments.
    std::vector<std::string> words(1, "morrowick");
    words.emplace_back();
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back() += char(data[i]);
    }
    std::vector<const char*> argv;
    for (const std::string& word : words)
        argv.push_back(word.c_str());
    ExtraOptions extra;
    std::string line;
    const bool ok = split_arguments(int(argv.size()), argv.data(), &extra, &line);
    if (!ok && extra.error.empty())
        std::abort();
    // Our options never reach the word search.
    if (ok && line.find("--") == 0)
        std::abort();
    StartOptions options;
    parse_command_line(line.c_str(), &options);
    const int bits = options.display_bits;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
        std::abort();
    if ((options.start_scene == 0) != (options.start_position == 0))
        std::abort();
    if (ok && (extra.scale < 0 || extra.scale > 16 || extra.seconds < 0))
        std::abort();
    return 0;
}
