#pragma once
// The runtime's start-up and shutdown, the recorded command line and the end
// of the process.

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
