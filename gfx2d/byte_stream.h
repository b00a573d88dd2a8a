// byte_stream.h -- a file read whole into memory and consumed like a byte stream with an end flag.
#pragma once

#include <cstddef>
#include <cstdint>

#include "display/data_file.h"

// The loaders and the animation decoder read from this instead of a C stream: the file is
// read whole when opened and closed at once. `at_end` behaves like a stream's end-of-file
// indicator: only a read that finds no data sets it, and a seek clears it.
struct ByteStream {
    uint8_t* data; // owned when opened from a file, else borrowed
    size_t size;
    size_t position;
    bool at_end;
    bool owned;
};

// Reads the whole file into a new stream at position 0; a file larger than max_bytes is refused
// before anything is allocated. Non-zero on success; on failure the reason is noted (data_file.h).
int open_byte_stream(const char* path, ByteStream* stream, uint64_t max_bytes = DATA_FILE_MAX_BYTES);
// A stream over bytes the caller keeps alive.
void init_byte_stream(ByteStream* stream, const uint8_t* data, size_t size);
// Frees an owned buffer; the stream is empty afterwards.
void close_byte_stream(ByteStream* stream);
// Moves to an absolute offset (clamped to the size) and clears the end flag.
void seek_byte_stream(ByteStream* stream, size_t offset);

// Reads one byte; at the end sets the end flag and returns false.
inline bool read_stream_byte(ByteStream* stream, uint8_t* out)
{
    if (stream->position >= stream->size) {
        stream->at_end = true;
        return false;
    }
    *out = stream->data[stream->position++];
    return true;
}

// Copies up to `count` bytes into `out`; the rest of `out` is zero-filled. Returns the number
// of bytes read; a short read sets the end flag.
size_t read_stream_bytes(ByteStream* stream, void* out, size_t count);
