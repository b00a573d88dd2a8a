// fuzz_pal.cpp -- PAL files of any length load through the file path without faults.
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

#include "gfx2d/anim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    char path[] = "/tmp/mw_fuzz_pal_XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0)
        return 0;
    if (size > 0 && write(fd, data, size) != ssize_t(size)) {
        close(fd);
        unlink(path);
        return 0;
    }
    close(fd);
    uint32_t palette[256];
    if (!load_pal(path, palette))
        std::abort(); // an existing file must load
    unlink(path);
    // Bytes missing from a short file read as 0: the first entry past the data is black.
    if (size % 3 == 0 && size < 768 && palette[255 - size / 3] != 0)
        std::abort();
    return 0;
}
