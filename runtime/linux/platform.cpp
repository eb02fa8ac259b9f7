// The Linux platform layer's start-up, shutdown and choice of console device.
#include "runtime/platform.h"

#include <clocale>

#include "runtime/linux/plain_writer.h"
#include "runtime/linux/terminal.h"
#include "runtime/linux/terminal_writer.h"
#include "runtime/x87_mode.h"

// The locale comes before the terminal: the terminal layer reads its
// character set to choose the glyph form.
void platform_init() {
    x87_set_extended_precision_nearest();
    std::setlocale(LC_CTYPE, "");
    // The terminal writer's buffer goes to the standard output stream before
    // the terminal layer sends anything through it.
    term_output_buffer_init();
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
