#include "runtime/runtime.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/platform.h"
#include "runtime/print.h"
#include "runtime/random.h"

namespace {

struct command_line {
    int argc;
    char** argv;  // not copied: the process owns it
    int runtime_mode;
};

// Counted: only the first init and the matching last exit do any work, so
// that a second start-up hook (a test, another library's) changes nothing.
int32_t runtime_use_count = 0;
command_line recorded;
void (*release_observer)(const char*, size_t) = nullptr;

struct live_buffer_record {
    char* buffer;
    size_t count;
};
live_buffer_record live_buffer;

// Everything the runtime shares starts zeroed; start-up clears it again.
void clear_shared_state() {
    recorded = command_line{};
    random_reset();
    print_reset(nullptr);
}

}  // namespace

void runtime_init() {
    if (++runtime_use_count != 1) return;
    clear_shared_state();
    platform_init();
}

void runtime_exit() {
    if (--runtime_use_count != 0) return;
    platform_exit();
    random_wipe();
}

void runtime_set_args(int argc, char** argv, int mode) {
    recorded = command_line{argc, argv, mode};
}

std::string runtime_arg(int n) {
    if (n < 0 || n >= recorded.argc || recorded.argv == nullptr || recorded.argv[n] == nullptr) {
        return {};
    }
    return recorded.argv[n];
}

void runtime_end(int status) {
    std::exit(status);
}

void runtime_fail(std::string_view message) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(message.size()), message.data());
    runtime_end(1);
}

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

void buffer_wipe(void* bytes, size_t count) {
    std::memset(bytes, 0, count);
    // The compiler must assume the barrier reads the bytes, so the memset
    // above cannot be dropped as a dead store before free or exit.
    __asm__ __volatile__("" : : "r"(bytes) : "memory");
}

void buffer_observe_release(void (*observer)(const char*, size_t)) {
    release_observer = observer;
}
