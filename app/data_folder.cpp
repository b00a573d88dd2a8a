// data_folder.cpp -- finding the folder that holds the demo's data/ and its song.
#include "app/data_folder.h"

#include <SDL.h>
#include <filesystem>

#ifndef MW_SHARE_FROM_EXE
#define MW_SHARE_FROM_EXE "../share/games/morrowick"
#endif

const char* const SHARE_FROM_EXECUTABLE = MW_SHARE_FROM_EXE;

namespace fs = std::filesystem;

int data_folder_lacks(const std::string& dir)
{
    const fs::path base = dir.empty() ? fs::path(".") : fs::path(dir);
    std::error_code error;
    if (!fs::is_directory(base, error))
        return DATA_FOLDER_ABSENT | DATA_FOLDER_NO_PICTURES | DATA_FOLDER_NO_SONG;
    int lacks = DATA_FOLDER_COMPLETE;
    if (!fs::is_directory(base / "data", error))
        lacks |= DATA_FOLDER_NO_PICTURES;
    if (!fs::is_regular_file(base / "xm" / "morrowick.xm", error))
        lacks |= DATA_FOLDER_NO_SONG;
    return lacks;
}

std::string describe_data_folder_lack(int lacks)
{
    if (lacks & DATA_FOLDER_ABSENT)
        return "does not exist";
    if (lacks == (DATA_FOLDER_NO_PICTURES | DATA_FOLDER_NO_SONG))
        return "has no data/ folder and no xm/morrowick.xm";
    if (lacks & DATA_FOLDER_NO_PICTURES)
        return "has no data/ folder";
    if (lacks & DATA_FOLDER_NO_SONG)
        return "has no xm/morrowick.xm";
    return "holds the data";
}

bool find_data_folder(const std::string& executable_dir, const std::string& share_from_exe, std::string* found)
{
    *found = "";
    if (data_folder_lacks("") == DATA_FOLDER_COMPLETE)
        return true;
    if (executable_dir.empty())
        return false;
    const fs::path exe(executable_dir);
    const fs::path candidates[2]
        = { exe, share_from_exe.empty() ? fs::path() : (exe / share_from_exe).lexically_normal() };
    for (const fs::path& dir : candidates) {
        if (!dir.empty() && data_folder_lacks(dir.string()) == DATA_FOLDER_COMPLETE) {
            *found = dir.string();
            return true;
        }
    }
    return false;
}

std::string executable_folder()
{
    // SDL resolves the running executable (/proc/self/exe on Linux, the module path on Windows).
    std::string dir;
    if (char* base = SDL_GetBasePath()) {
        dir = base;
        SDL_free(base);
    }
    return dir;
}
