// byte_stream.cpp -- whole-file reads and the byte-stream cursor.
#include "gfx2d/byte_stream.h"

#include <cstdlib>
#include <cstring>

#include "display/data_file.h"

int open_byte_stream(const char* path, ByteStream* stream, uint64_t max_bytes)
{
    *stream = ByteStream {};
    uint8_t* data = nullptr;
    size_t size = 0;
    if (!read_data_file(path, max_bytes, &data, &size))
        return 0;
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
