#pragma once
// The console device on a terminal that the terminal layer took over: the
// console bytes go out translated, and width and cursor come from the
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
// The constant's former name, kept only until the terminal writer's fuzz
// target (tests/fuzz/terminal_fuzz.cpp) uses the new one.
constexpr size_t term_max_form = kTermMaxForm;

// The bytes sent to the terminal for one console byte; returns their count
// (1 or kTermMaxForm). NUL goes out as a space, so it takes a cell like any
// character; 08, 0C, 0E, 0F and 1B go out as glyphs (UTF-8 on, U+F000 plus
// the code, UTF-8 off), so they show instead of moving the cursor, clearing
// the screen, switching character sets or starting a sequence. Every other
// byte goes out unchanged.
size_t term_translate(unsigned char byte, char form[kTermMaxForm]);
