// data_file.cpp -- regular-file-only opening, bounded whole-file reads, and the failure note.
#include "display/data_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

struct LoadFailure {
    std::string path;
    std::string reason;
    std::string text;
};

LoadFailure last_failure;

std::string size_text(uint64_t bytes)
{
    if (bytes >= (uint64_t(1) << 20))
        return std::to_string(bytes >> 20) + " MB";
    return std::to_string(bytes) + " bytes";
}

} // namespace

void note_load_failure(const char* path, const char* reason)
{
    last_failure.path = path ? path : "";
    last_failure.reason = reason ? reason : "";
}

void note_load_reason(const char* reason)
{
    last_failure.path.clear();
    last_failure.reason = reason ? reason : "";
}

void note_load_file(const char* path)
{
    last_failure.path = path ? path : "";
    if (last_failure.reason.empty())
        last_failure.reason = "cannot be loaded";
}

void clear_load_failure()
{
    last_failure = LoadFailure {};
}

const char* load_failure_text()
{
    if (last_failure.path.empty())
        last_failure.text = last_failure.reason;
    else
        last_failure.text = last_failure.path + ": " + last_failure.reason;
    return last_failure.text.c_str();
}

std::FILE* open_data_file(const char* path, uint64_t* size)
{
    namespace fs = std::filesystem;
    *size = 0;
    if (!path || !*path) {
        note_load_failure("", "no file name");
        return nullptr;
    }
    // Look before opening: opening a FIFO for reading waits for a writer.
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) {
        note_load_failure(path, "no such file");
        return nullptr;
    }
    if (error) {
        note_load_failure(path, error.message().c_str());
        return nullptr;
    }
    if (status.type() == fs::file_type::directory) {
        note_load_failure(path, "is a folder, not a file");
        return nullptr;
    }
    if (status.type() != fs::file_type::regular) {
        note_load_failure(path, "is not a regular file (a FIFO, device or socket)");
        return nullptr;
    }
    const uintmax_t bytes = fs::file_size(path, error);
    if (error) {
        note_load_failure(path, error.message().c_str());
        return nullptr;
    }
    errno = 0;
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        note_load_failure(path, errno ? std::strerror(errno) : "cannot be opened");
        return nullptr;
    }
    *size = uint64_t(bytes);
    return file;
}

int read_data_bytes(std::FILE* file, const char* path, void* out, size_t size, size_t* got)
{
    *got = size ? std::fread(out, 1, size, file) : 0;
    if (std::ferror(file)) {
        const std::string reason = std::string("read error: ") + std::strerror(errno ? errno : EIO);
        note_load_failure(path, reason.c_str());
        return 0;
    }
    return 1;
}

int read_data_file(const char* path, uint64_t max_bytes, uint8_t** data, size_t* size)
{
    *data = nullptr;
    *size = 0;
    uint64_t file_size = 0;
    std::FILE* file = open_data_file(path, &file_size);
    if (!file)
        return 0;
    if (file_size > max_bytes) {
        std::fclose(file);
        const std::string reason
            = "is " + size_text(file_size) + ", more than the " + size_text(max_bytes) + " such a file may have";
        note_load_failure(path, reason.c_str());
        return 0;
    }
    // One byte more than the size says, so a file that grew since is noticed and refused.
    const size_t capacity = size_t(file_size) + 1;
    auto* buffer = static_cast<uint8_t*>(std::malloc(capacity));
    if (!buffer) {
        std::fclose(file);
        note_load_failure(path, "out of memory");
        return 0;
    }
    size_t got = 0;
    const int ok = read_data_bytes(file, path, buffer, capacity, &got);
    std::fclose(file);
    if (!ok || got > max_bytes) {
        if (ok)
            note_load_failure(path, "grew while it was read");
        std::free(buffer);
        return 0;
    }
    *data = buffer;
    *size = got;
    return 1;
}

int read_data_prefix(const char* path, void* out, size_t size, size_t* got)
{
    *got = 0;
    uint64_t file_size = 0;
    std::FILE* file = open_data_file(path, &file_size);
    if (!file)
        return 0;
    const int ok = read_data_bytes(file, path, out, size, got);
    std::fclose(file);
    return ok;
}
