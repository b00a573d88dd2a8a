// platform_posix.cpp -- the platform interface on Linux and other POSIX systems.
#include "app/platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

void platform_attach_console() { }

bool platform_message_box_without_window()
{
    return false;
}

unsigned long platform_process_id()
{
    return static_cast<unsigned long>(getpid());
}

std::string platform_find_program(const char* program)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty())
            dir = ".";
        const std::string candidate = dir + "/" + program;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

std::string platform_shell_quoted(const std::string& argument)
{
    std::string out = "'";
    for (char c : argument) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

FILE* platform_open_pipe(const std::string& command)
{
    return popen(command.c_str(), "w");
}

FILE* platform_read_pipe(const std::string& command)
{
    return popen(command.c_str(), "r");
}

int platform_close_pipe(FILE* pipe)
{
    return pclose(pipe);
}

int platform_run(const std::string& command)
{
    return std::system(command.c_str());
}

void platform_ignore_broken_pipe()
{
    std::signal(SIGPIPE, SIG_IGN);
}
