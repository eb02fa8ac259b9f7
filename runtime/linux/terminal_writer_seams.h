#pragma once
// Test seam of the terminal writer (runtime/linux/terminal_writer.h): the
// translation of one console byte, a pure function.

#include <cstddef>

#include "runtime/linux/terminal.h"

// The longest form a console byte takes on the terminal.
constexpr size_t kTermMaxForm = 9;

// The bytes sent to a terminal that takes charset for one console byte;
// returns their count (terminal_writer.cpp has the table).
size_t term_translate(unsigned char byte, char form[kTermMaxForm], term_charset charset);
