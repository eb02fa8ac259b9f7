// The Windows platform layer's start-up and choice of console device.
#include "runtime/platform.h"

#include <float.h>

#include <clocale>

#include "runtime/windows/console_win32.h"
#include "runtime/windows/console_writer.h"
#include "runtime/x87_mode.h"

namespace {

// 64-bit (extended) precision and rounding to nearest: the mode the random
// source's and character mode's arithmetic is defined in. On i386 that
// arithmetic runs on the x87 unit, whose precision and rounding _controlfp
// sets. On x86-64 doubles run on SSE, which has no precision control and
// whose rounding _controlfp sets; the x87 unit (long double) gets the same
// mode through its own control word, which _controlfp does not set there.
void set_floating_point_mode() {
#if defined(__i386__)
    _controlfp(0, _MCW_PC | _MCW_RC);
#else
    _controlfp(_RC_NEAR, _MCW_RC);
    x87_set_extended_precision_nearest();
#endif
}

}  // namespace

// The console writer starts afresh and gets its handles at the first print.
// Then the character-type locale.
void platform_init() {
    set_floating_point_mode();
    con_reset(&win32_console);
    std::setlocale(LC_CTYPE, "");
}

// Nothing on the console was changed at start-up that would need putting back.
void platform_exit() {}

// The console writer measures standard output at the first print and hands
// anything that is not a usable console (a file, a pipe) to the plain writer.
const console_device& platform_console_device() {
    return console_writer;
}

std::string_view platform_newline() {
    return "\r\n";
}
