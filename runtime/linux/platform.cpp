// The Linux platform layer's start-up, shutdown and choice of console device.
#include "../platform.h"

#include "plain_writer.h"
#include "terminal.h"

void platform_init() { term_init(); }

void platform_exit() { term_shutdown(); }

const console_device& platform_console_device() { return plain_writer; }

std::string_view platform_newline() { return "\n"; }
