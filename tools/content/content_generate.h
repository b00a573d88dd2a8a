// content_generate.h -- makes the demo's whole data set (pictures, maps, palettes, animations, meshes) into a
// directory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint64_t CONTENT_DEFAULT_SEED = 1996;

struct ContentFileInfo {
    std::string name; // file name inside the data directory
    uint64_t bytes;
};

// Writes every data file into out_dir (which must exist) and, when preview_dir is not empty,
// PNG review images there. Returns 0 on success, -1 on the first failure (message on stderr).
int generate_content(
    const std::string& out_dir, uint64_t seed, const std::string& preview_dir, std::vector<ContentFileInfo>* written);

// The data files in the order the demo's set-up reads them.
const std::vector<std::string>& content_file_names();
