// fuzz_pal.cpp -- PAL files of any length load through the file path without faults.
#include <cstdlib>

#include "fuzz_file.h"
#include "gfx2d/anim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    char path[] = "/tmp/mw_fuzz_pal_XXXXXX";
    if (!write_fuzz_input(path, data, size))
        return 0;
    uint32_t palette[256];
    if (!load_pal(path, palette))
        std::abort(); // an existing file must load
    unlink(path);
    // Bytes missing from a short file read as 0: the first entry past the data is black.
    if (size % 3 == 0 && size < 768 && palette[255 - size / 3] != 0)
        std::abort();
    return 0;
}
