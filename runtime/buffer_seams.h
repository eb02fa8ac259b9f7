#pragma once
// Test seam of the byte buffers (runtime/buffer.h).

#include <cstddef>

// Called with the buffer just before it is released, and with the wiped live
// buffer when a failed write ends the process.
void buffer_observe_release(void (*observer)(const char* buffer, size_t count));
