// platform_windows.cpp -- the platform interface on Windows (built with mingw-w64).
#include "app/platform.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>

namespace {

bool is_usable(HANDLE handle)
{
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// cmd.exe /c drops the first and the last quote of a command that holds more than two: one more
// pair around the whole command keeps the quoted arguments intact.
std::string for_command_interpreter(const std::string& command)
{
    return "\"" + command + "\"";
}

} // namespace

void platform_attach_console()
{
    const bool has_out = is_usable(GetStdHandle(STD_OUTPUT_HANDLE));
    const bool has_err = is_usable(GetStdHandle(STD_ERROR_HANDLE));
    if ((has_out && has_err) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!has_out && std::freopen("CONOUT$", "w", stdout))
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (!has_err && std::freopen("CONOUT$", "w", stderr))
        std::setvbuf(stderr, nullptr, _IONBF, 0);
}

bool platform_message_box_without_window()
{
    return true;
}

unsigned long platform_process_id()
{
    return GetCurrentProcessId();
}

std::string platform_find_program(const char* program)
{
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "";
    const std::string name = std::string(program) + ".exe";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(';', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.size() >= 2 && dir.front() == '"' && dir.back() == '"')
            dir = dir.substr(1, dir.size() - 2);
        if (!dir.empty()) {
            const std::string candidate = dir + "\\" + name;
            std::error_code error;
            if (std::filesystem::is_regular_file(candidate, error))
                return candidate;
        }
        start = end + 1;
    }
    return "";
}

std::string platform_shell_quoted(const std::string& argument)
{
    // Windows file names cannot hold a double quote.
    return "\"" + argument + "\"";
}

FILE* platform_open_pipe(const std::string& command)
{
    return _popen(for_command_interpreter(command).c_str(), "wb");
}

FILE* platform_read_pipe(const std::string& command)
{
    return _popen(for_command_interpreter(command).c_str(), "r");
}

int platform_close_pipe(FILE* pipe)
{
    return _pclose(pipe);
}

int platform_run(const std::string& command)
{
    return std::system(for_command_interpreter(command).c_str());
}

void platform_ignore_broken_pipe() { }
