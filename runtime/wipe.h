#pragma once
// The wipe: memory that held generated text, or the generator's state, is
// overwritten before it is let go. A leaf: every module that holds such bytes
// calls it, and it calls nothing of ours.

#include <cstddef>

// Overwrites count bytes with zero bytes in a way the optimiser cannot drop:
// for any memory of ours that held generated text.
void buffer_wipe(void* bytes, size_t count);
