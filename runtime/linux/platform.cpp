// The Linux platform layer's start-up, shutdown and choice of console device.
#include "../platform.h"

#include "plain_writer.h"
#include "terminal.h"
#include "terminal_writer.h"

void platform_init() {
    term_init();
}

void platform_exit() {
    term_shutdown();
}

// Settled by start-up, before the first print, for the whole run.
const console_device& platform_console_device() {
    return term_kind() != 0 ? terminal_writer : plain_writer;
}

std::string_view platform_newline() {
    return "\n";
}
