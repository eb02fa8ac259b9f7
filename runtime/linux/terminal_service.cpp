// The service thread, alive exactly while the layer is active.
//
// It takes term_lock on every tick, where periodic console work would run; zix
// has none, so a tick only shows that the lock is shared.
#include <unistd.h>

#include "runtime/linux/terminal_state.h"

namespace {

constexpr unsigned kTickMicros = 30000;

void* term_service_thread(void*) {
    while (term_state.kind.load() != 0) {
        pthread_mutex_lock(&term_state.lock);
        pthread_mutex_unlock(&term_state.lock);
        usleep(kTickMicros);
    }
    return nullptr;
}

}  // namespace

// Started while the layer's signals are blocked: the thread inherits the mask,
// so every handler runs on the main thread. Without the thread the layer works
// all the same; it is then not joined.
void term_service_start() {
    term_state.service_started =
        pthread_create(&term_state.service_thread, nullptr, term_service_thread, nullptr) == 0;
}

// Sees term_kind 0 after its current sleep: at most one tick.
void term_service_stop() {
    if (!term_state.service_started) return;
    pthread_join(term_state.service_thread, nullptr);
    term_state.service_started = false;
}
