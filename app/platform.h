// platform.h -- what differs between operating systems, behind one small interface: standard
// streams of a GUI program, message boxes without a window, finding and running other programs.
// One implementation per system: platform_posix.cpp, platform_windows.cpp (the build picks one).
#pragma once

#include <cstdio>
#include <string>

// A Windows GUI program starts without stdout/stderr: when its parent has a console, write there.
// Streams the parent redirected stay as they are. Nothing to do elsewhere.
void platform_attach_console();

// True where a message box can be shown before (or without) any window: Windows.
bool platform_message_box_without_window();

// The current process's id (names temporary files).
unsigned long platform_process_id();

// Full path of `program` on PATH ("" when there is none); on Windows `program`.exe.
std::string platform_find_program(const char* program);

// One argument quoted for the command interpreter that platform_open_pipe and platform_run use.
std::string platform_shell_quoted(const std::string& argument);

// A command whose standard input is the returned stream (binary); platform_close_pipe gives its
// exit status (0 on success).
FILE* platform_open_pipe(const std::string& command);
// A command whose standard output is the returned stream (text); closed with platform_close_pipe.
FILE* platform_read_pipe(const std::string& command);
int platform_close_pipe(FILE* pipe);

// Runs a command and waits: its exit status, 0 on success.
int platform_run(const std::string& command);

// A reader that goes away must make writes fail, not end the program (SIGPIPE on POSIX).
void platform_ignore_broken_pipe();
