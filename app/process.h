// process.h -- the few process services a capture needs: its id, whether another process still
// lives, and interrupt signals turned into a flag it polls (POSIX here; a fallback elsewhere).
#pragma once

// This process's id.
int process_id();
// True while a process of that id exists (also when it belongs to another user); a process
// that cannot be checked counts as alive, so its files are left alone.
bool process_alive(int pid);

// From now on SIGINT and SIGTERM only set a flag (blocking writes return early so the capture
// can stop), a write beyond the file-size limit fails with an error instead of killing the
// process (SIGXFSZ), and a closed pipe is a failed write (SIGPIPE).
void catch_interrupts();
// The signal number of the first interrupt caught since catch_interrupts, or 0.
int interrupt_signal();
// Names for messages: "SIGINT", "SIGTERM", or "signal N".
const char* signal_name(int signal_number);
