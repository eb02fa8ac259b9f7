#pragma once
// The byte buffers whose contents must not outlive the run, and the end of a
// run whose write failed, which wipes them. Below the console devices that
// report such a failure, above the random source and the wipe.

#include <cstddef>

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
