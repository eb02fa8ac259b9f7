#pragma once
// The console device on a terminal that the terminal layer took over.
//
// The console bytes go out translated, and width and cursor come from the
// terminal itself.

#include <cstddef>

#include "runtime/console_device.h"

extern const console_device terminal_writer;

// Gives the standard output stream a buffer of the writer's own, before
// anything is written through the stream: what the writer stages there on
// its way to the terminal is overwritten with zero bytes after each write.
void term_output_buffer_init();

// The longest form a console byte takes on the terminal.
constexpr size_t kTermMaxForm = 9;

// The bytes sent to the terminal for one console byte; returns their count.
// NUL goes out as a space, so it takes a cell like any character. The control
// codes 08, 0C, 0E, 0F, 1B and DEL (7F) go out as glyphs, the character
// U+F000 plus the code in UTF-8, so they show instead of moving the cursor,
// clearing the screen, switching character sets, starting a sequence or
// showing nothing at all: in a UTF-8 locale (utf8) those three bytes alone;
// elsewhere between ESC % G (UTF-8 on) and ESC % @ (back to the default
// character set), kTermMaxForm bytes in all. Every other byte goes out
// unchanged.
size_t term_translate(unsigned char byte, char form[kTermMaxForm], bool utf8);
