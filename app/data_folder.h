// data_folder.h -- where the demo's data/ and xm/morrowick.xm are read from.
#pragma once

#include <string>

// What a folder lacks of the demo's data, as bits: 0 when it holds both.
enum DataFolderLack {
    DATA_FOLDER_COMPLETE = 0,
    DATA_FOLDER_NO_PICTURES = 1, // no data/ folder
    DATA_FOLDER_NO_SONG = 2, // no xm/morrowick.xm file
    DATA_FOLDER_ABSENT = 4, // the folder itself does not exist
};

int data_folder_lacks(const std::string& dir);

// What a folder lacks in words, e.g. "has no data/ folder and no xm/morrowick.xm".
std::string describe_data_folder_lack(int lacks);

// Finds the folder holding both data/ and xm/morrowick.xm, trying in order the working
// directory, the executable's folder, and share_from_exe taken relative to the executable's
// folder (the installed share folder, so an install works under any prefix). A folder holding
// only one of the two never counts. Returns false when none holds both; *found is "" for the
// working directory.
bool find_data_folder(const std::string& executable_dir, const std::string& share_from_exe, std::string* found);

// The executable's folder ("" when unknown) and the installed share folder's path relative to it.
std::string executable_folder();
extern const char* const SHARE_FROM_EXECUTABLE;
