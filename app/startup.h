// startup.h -- the program: start-up, main loop and shut-down.
#pragma once

#include <string>

// Runs the demo with the process's arguments. Returns the exit code: 0 after a normal run,
// -1 after a start-up failure, 2 for a malformed option.
int demo_main(int argc, const char* const* argv);

// Finds the folder holding data/ and xm/ when --data is not given: the working directory,
// else the executable's folder, else the installed share folder. Returns "" for the working
// directory (also when none holds them).
std::string find_data_folder(const std::string& executable_dir, const std::string& share_dir);
