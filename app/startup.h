// startup.h -- the program: start-up, main loop and shut-down.
#pragma once

// Runs the demo with the process's arguments. Returns the exit code: 0 after a normal run,
// -1 after a start-up failure, 2 for a malformed option.
int demo_main(int argc, const char* const* argv);
