#include "runtime/wipe.h"

#include <cstring>

void buffer_wipe(void* bytes, size_t count) {
    std::memset(bytes, 0, count);
    // The compiler must assume the barrier reads the bytes, so the memset
    // above cannot be dropped as a dead store before free or exit.
    __asm__ __volatile__("" : : "r"(bytes) : "memory");
}
