#pragma once
// Test seam of the terminal layer (runtime/linux/terminal.h).

#include "runtime/linux/terminal.h"

// Sets the character set that the terminal writer translates for, as
// start-up would after asking the terminal.
void term_output_charset_set(term_charset charset);
