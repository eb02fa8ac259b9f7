#pragma once
// Test seam of the terminal writer (runtime/linux/terminal_writer.h): the
// translation of one console byte, a pure function.

#include <cstddef>

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
