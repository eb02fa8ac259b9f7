// The Linux platform layer's start-up, shutdown and choice of console device.
#include "runtime/platform.h"

#include <clocale>

#if defined(__i386__) || defined(__x86_64__)
#include <fpu_control.h>
#endif

#include "runtime/linux/plain_writer.h"
#include "runtime/linux/terminal.h"
#include "runtime/linux/terminal_writer.h"

namespace {

// 64-bit precision, rounding to nearest: the x87 mode the arithmetic of the
// random source and character mode is defined in.
void set_x87_control_word() {
#if defined(__i386__) || defined(__x86_64__)
    fpu_control_t word;
    _FPU_GETCW(word);
    word = static_cast<fpu_control_t>((word & 0xF0FFu) | 0x0300u);
    _FPU_SETCW(word);
#endif
}

}  // namespace

// The locale comes before the terminal: the terminal layer reads its
// character set to choose the glyph form.
void platform_init() {
    set_x87_control_word();
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
