// fuzz_png.cpp -- the PNG reader must reject or decode any byte string without faults.
#include <vector>

#include "fuzz_file.h"
#include "tools/formats/png_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    char path[] = "/tmp/mw_fuzz_png_XXXXXX";
    if (!write_fuzz_input(path, data, size))
        return 0;
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    read_png_rgba(path, &w, &h, &rgba);
    unlink(path);
    return 0;
}
