#pragma once
// The console device on a terminal that the terminal layer took over.
//
// The console bytes go out translated, and width and cursor come from the
// terminal itself.

#include "runtime/console_device.h"

extern const console_device terminal_writer;

// Gives the standard output stream a buffer of the writer's own, before
// anything is written through the stream: what the writer stages there on
// its way to the terminal is overwritten with zero bytes after each write.
void term_output_buffer_init();
