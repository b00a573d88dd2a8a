// byte_stream.cpp -- whole-file reads and the byte-stream cursor.
#include "gfx2d/byte_stream.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/bytes.h"

int open_byte_stream(const char* path, ByteStream* stream)
{
    *stream = ByteStream {};
    if (!path)
        return 0;
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return 0;
    // Read in chunks rather than trusting a seek-reported size (pipes, special files).
    size_t capacity = 0, size = 0;
    uint8_t* data = nullptr;
    for (;;) {
        if (size == capacity) {
            size_t grown = capacity ? capacity * 2 : 65536;
            if (grown > MAX_ALLOCATION) {
                std::free(data);
                std::fclose(file);
                return 0;
            }
            auto* bigger = static_cast<uint8_t*>(std::realloc(data, grown));
            if (!bigger) {
                std::free(data);
                std::fclose(file);
                return 0;
            }
            data = bigger;
            capacity = grown;
        }
        size_t got = std::fread(data + size, 1, capacity - size, file);
        size += got;
        if (got == 0)
            break;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        std::free(data);
        return 0;
    }
    stream->data = data;
    stream->size = size;
    stream->owned = true;
    return 1;
}

void init_byte_stream(ByteStream* stream, const uint8_t* data, size_t size)
{
    *stream = ByteStream {};
    stream->data = const_cast<uint8_t*>(data); // never written through
    stream->size = data ? size : 0;
}

void close_byte_stream(ByteStream* stream)
{
    if (stream->owned)
        std::free(stream->data);
    *stream = ByteStream {};
}

void seek_byte_stream(ByteStream* stream, size_t offset)
{
    stream->position = offset < stream->size ? offset : stream->size;
    stream->at_end = false;
}

size_t read_stream_bytes(ByteStream* stream, void* out, size_t count)
{
    size_t left = stream->size - stream->position;
    size_t n = count < left ? count : left;
    if (n)
        std::memcpy(out, stream->data + stream->position, n);
    if (n < count) {
        std::memset(static_cast<uint8_t*>(out) + n, 0, count - n);
        stream->at_end = true;
    }
    stream->position += n;
    return n;
}
