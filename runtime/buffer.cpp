#include "runtime/buffer.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/buffer_seams.h"
#include "runtime/random.h"
#include "runtime/wipe.h"

namespace {

void (*release_observer)(const char*, size_t) = nullptr;

struct live_buffer_record {
    char* buffer;
    size_t count;
};
live_buffer_record live_buffer;

}  // namespace

void runtime_write_failed(const char* reason) {
    std::fprintf(stderr, "zix: write error: %s\n", reason);
    random_wipe();
    if (live_buffer.buffer) {
        buffer_wipe(live_buffer.buffer, live_buffer.count);
        if (release_observer) release_observer(live_buffer.buffer, live_buffer.count);
    }
    // _Exit, not exit: nothing more may go to the failed output, and nothing
    // needs putting back: the plain writer is only in use when the terminal
    // layer did not take the terminal over.
    std::_Exit(1);
}

char* buffer_create(size_t count) {
    char* buffer = static_cast<char*>(std::malloc(count ? count : 1));
    if (buffer) live_buffer = live_buffer_record{buffer, count};
    return buffer;
}

void buffer_wipe_release(char* buffer, size_t count) {
    if (buffer == nullptr) return;
    buffer_wipe(buffer, count);
    if (live_buffer.buffer == buffer) live_buffer = live_buffer_record{};
    if (release_observer) release_observer(buffer, count);
    std::free(buffer);
}

void buffer_observe_release(void (*observer)(const char*, size_t)) {
    release_observer = observer;
}
