#pragma once
// The front end: usage text, argument errors and the three modes.

#include <string>

// Which message report_argument_error prints: 0 for a bad count, anything
// else for a bad range.
using ArgumentErrorKind = int;

void print_usage();
[[noreturn]] void report_argument_error(ArgumentErrorKind kind);

void character_mode(const std::string& arg2, const std::string& arg3, const std::string& arg4);
void string_mode(const std::string& arg2, const std::string& arg3);
void character_table();
