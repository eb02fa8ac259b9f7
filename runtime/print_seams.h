#pragma once
// Test seams of the print path (runtime/print.h): the console entry's column
// and width.

#include <cstdint>

int32_t print_console_column();
uint32_t print_console_width();
