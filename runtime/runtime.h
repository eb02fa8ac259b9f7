#pragma once
// The runtime's start-up and shutdown, the recorded command line, the end of
// the process, and the byte buffers whose contents must not outlive them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Start-up and shutdown. Counted: only the first init and the matching last
// exit do any work. The program registers them as a static constructor and
// destructor; tests may call them directly. Shutdown wipes the generator's
// state, so that nothing of it outlives the run.
void runtime_init();
void runtime_exit();

// Records the command line; runtime_arg(n) is a copy of argument n, or the
// empty string when fewer than n + 1 were recorded.
void runtime_set_args(int argc, char** argv, int mode);
std::string runtime_arg(int n);

// Ends the process with status (through exit, so shutdown runs).
[[noreturn]] void runtime_end(int status);

// Ends a run that failed: message and a line end on standard error, then
// status 1 through exit, so that shutdown still puts a terminal back. For
// failures before any output: the standard output stream holds nothing.
[[noreturn]] void runtime_fail(std::string_view message);

// Called by a plain writer whose write failed (reason: the system's text for
// the error). Output that did not arrive is data lost, so the run stops at
// once: one line on standard error, the live buffer and the generator's state
// wiped, status 1, and no further write (the standard output stream is not
// flushed again).
[[noreturn]] void runtime_write_failed(const char* reason);

// A buffer of count bytes, or null when it cannot be had. At most one buffer
// is live at a time; a failed write wipes it before the process ends.
char* buffer_create(size_t count);
// Overwrites the buffer with zero bytes in a way the optimiser cannot drop,
// then releases it.
void buffer_wipe_release(char* buffer, size_t count);
// Overwrites count bytes with zero bytes in a way the optimiser cannot drop:
// for any memory of ours that held generated text.
void buffer_wipe(void* bytes, size_t count);
// Test seam: called with the buffer just before it is released, and with the
// wiped live buffer when a failed write ends the process.
void buffer_observe_release(void (*observer)(const char* buffer, size_t count));
