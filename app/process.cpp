// process.cpp -- process id, liveness check and interrupt flag (POSIX, with a plain fallback).
#include "app/process.h"

#include <csignal>
#include <cstdio>

#ifdef _WIN32
#include <process.h>
#else
#include <cerrno>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {
volatile std::sig_atomic_t caught_signal = 0;

extern "C" void remember_signal(int signal_number)
{
    if (caught_signal == 0)
        caught_signal = signal_number;
}
} // namespace

#ifdef _WIN32

int process_id()
{
    return _getpid();
}

bool process_alive(int)
{
    return true;
}

void catch_interrupts()
{
    std::signal(SIGINT, remember_signal);
    std::signal(SIGTERM, remember_signal);
}

#else

int process_id()
{
    return int(getpid());
}

bool process_alive(int pid)
{
    if (pid <= 0)
        return true;
    return kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

void catch_interrupts()
{
    struct sigaction action { };
    action.sa_handler = remember_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a write blocked on the encoder's pipe returns
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    struct sigaction ignore { };
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
    sigaction(SIGXFSZ, &ignore, nullptr);
}

#endif

int interrupt_signal()
{
    return int(caught_signal);
}

const char* signal_name(int signal_number)
{
    if (signal_number == SIGINT)
        return "SIGINT";
    if (signal_number == SIGTERM)
        return "SIGTERM";
    static char text[24];
    std::snprintf(text, sizeof text, "signal %d", signal_number);
    return text;
}
