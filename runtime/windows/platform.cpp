// The Windows platform layer's start-up and choice of console device.
#include "runtime/platform.h"

#include <float.h>

#include "runtime/windows/console_win32.h"
#include "runtime/windows/console_writer.h"

// Precision control and rounding control cleared: 64-bit (extended)
// precision, rounding to nearest, the mode the random source's and character
// mode's arithmetic is defined in. The console writer starts afresh and gets
// its handles at the first print.
void platform_init() {
    _controlfp(0, _MCW_PC | _MCW_RC);
    con_reset(&win32_console);
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
