// data_file.h -- opening and reading the demo's data files, and why the last one failed.
//
// Loaders open their files through here: only regular files are opened (a FIFO or a device
// would block or never end), every read is bounded before anything is allocated for it, and
// a failure leaves a note (the file and the reason) that start-up prints after its own message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Largest data file any loader reads whole; loaders with a tighter natural bound use that.
constexpr uint64_t DATA_FILE_MAX_BYTES = uint64_t(48) << 20;

// Opens a regular file for reading bytes; *size gets its size. Null (with a note) when the
// file is missing, unreadable or not a regular file; never blocks.
std::FILE* open_data_file(const char* path, uint64_t* size);

// Reads the whole file into a new malloc'd buffer (*data, *size; the caller frees it). A file
// larger than max_bytes is refused before anything is allocated. 1 on success, 0 with a note.
int read_data_file(const char* path, uint64_t max_bytes, uint8_t** data, size_t* size);

// Reads the first `size` bytes of the file into out; a shorter file leaves the rest of out as it
// was (*got: bytes read). A read error is a failure. 1 on success, 0 with a note.
int read_data_prefix(const char* path, void* out, size_t size, size_t* got);

// Reads up to `size` bytes from an open data file; 0 on a read error (noted against path).
int read_data_bytes(std::FILE* file, const char* path, void* out, size_t size, size_t* got);

// The note of the last failure. note_load_failure records both; a loader that checks content
// without knowing the file notes only the reason, and its caller adds the file.
void note_load_failure(const char* path, const char* reason);
void note_load_reason(const char* reason);
void note_load_file(const char* path); // sets the file; a reason already noted is kept
void clear_load_failure();
// "FILE: reason", or "" when nothing failed.
const char* load_failure_text();
