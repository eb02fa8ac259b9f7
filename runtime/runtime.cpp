#include "runtime/runtime.h"

#include <cstdio>
#include <cstdlib>

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
