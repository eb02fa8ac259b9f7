// The terminal layer's one record, in a file of its own: every file of the
// layer reads it, and none of them needs another for it.
#include "runtime/linux/terminal_state.h"

// Set up before any constructor runs: start-up runs first of all.
constinit term_state_record term_state{};
