// fuzz_file.h -- for fuzz targets whose loader reads a path: the input written to a temporary file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

// Fills the mkstemp template `path` (ending in XXXXXX) and writes the input there. False, with
// nothing left behind, when the file cannot be made or written; otherwise the caller unlinks it.
inline bool write_fuzz_input(char* path, const uint8_t* data, size_t size)
{
    const int fd = mkstemp(path);
    if (fd < 0)
        return false;
    const bool written = size == 0 || write(fd, data, size) == ssize_t(size);
    close(fd);
    if (!written)
        unlink(path);
    return written;
}
