// host.h -- what the show asks of the host system besides the console and the
// music: a higher thread priority, the window handed to the sound output, data
// files, and quiet calls into chatty libraries.
#pragma once

#include <string>

// Raises the calling thread's scheduling priority as far as an unprivileged
// process may (the show runs at the highest normal priority); silent when the
// host refuses.
void host_raise_thread_priority();

// The window the sound output is opened for; the sound library here needs none,
// so this is nullptr.
void* host_foreground_window();

// Where a data file of the show is: `path` as the show writes it ("qd\gfx\x.pcx")
// with its backslashes made '/', found below the working directory, else below
// the running program's directory, else below the installed data folder
// (share/velmora beside the program's bin/); the working-directory form when
// none has it.
std::string host_data_path(const char* path);

// Runs `call` with standard error pointed at /dev/null, for library calls that
// write screenfuls of their own lines when a device or display is missing (the
// caller reports the failure in one line of its own).
void host_quietly(void (*call)(void* user), void* user);
