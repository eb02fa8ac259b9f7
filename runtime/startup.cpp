// Linked into the program only (not into the test binaries): runs the
// runtime's start-up before main and its shutdown inside exit.
#include "runtime/runtime.h"

namespace {

struct runtime_hooks {
    runtime_hooks() { runtime_init(); }
    ~runtime_hooks() { runtime_exit(); }
    runtime_hooks(const runtime_hooks&) = delete;
    runtime_hooks& operator=(const runtime_hooks&) = delete;
};

// init_priority puts start-up ahead of every other static constructor.
runtime_hooks hooks __attribute__((init_priority(101)));

}  // namespace
