#include "runtime/console_moved.h"

#include <atomic>

namespace {

// Set when the console's cursor moved behind the print path's back.
std::atomic<bool> cursor_moved{false};

}  // namespace

void console_moved_raise() {
    cursor_moved.store(true);
}

bool console_moved_take() {
    return cursor_moved.load(std::memory_order_relaxed) && cursor_moved.exchange(false);
}

void console_moved_clear() {
    cursor_moved.store(false);
}
