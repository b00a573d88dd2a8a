// fuzz_raw.cpp -- raw maps of any length through the file readers (8-bit heights, 24-bit colours).
// The bump tables made from a damaged bump map are left to the set-up target.
#include <cstdlib>
#include <vector>

#include "fuzz_file.h"
#include "scenes/landscape.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    char path[] = "/tmp/mw_fuzz_raw_XXXXXX";
    if (!write_fuzz_input(path, data, size))
        return 0;
    static std::vector<uint8_t> heights(320 * 240);
    static std::vector<uint32_t> colours(64 * 64);
    // An existing regular file always loads; a short one leaves zeros.
    if (!load_raw(path, heights.data(), 320, 240, 8) || !load_raw(path, colours.data(), 64, 64, 32))
        std::abort();
    unlink(path);
    if (size < heights.size() && heights[size] != 0)
        std::abort();
    if (size / 3 < colours.size() && colours[size / 3] != 0)
        std::abort();
    return 0;
}
