#pragma once
// Console text output: print_text / print_end on file number 0, the console.
// The console entry keeps its own column and width; print zones are 14 columns.
// When the cursor has moved behind the print path's back (console_moved.h),
// the next print asks the device for the cursor column again, as the first
// print did, so that print zones count from where the cursor stands; the
// width stays.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/console_device.h"

enum class PrintMode : uint32_t {
    nothing = 0,
    newline = 1,    // the platform's newline
    next_zone = 2,  // spaces to the next print zone, or a newline when it does not fit
};

constexpr uint32_t zone_width = 14;

// Writes text to the file, then finishes it as mode says. Only file number 0
// (the console) is ever open; any other number writes nothing.
void print_text(int32_t file_number, std::string_view text, PrintMode mode);

// Writes text copies times over, as that many prints of it with mode nothing
// would: one device write per copy, and the column where they would leave
// it. The text is read for line ends once, however many the copies.
void print_copies(int32_t file_number, std::string_view text, uint32_t copies);

// The finish of mode alone.
void print_end(int32_t file_number, PrintMode mode);

// Closes the console entry so the next print sets it up afresh with device
// (nullptr: the platform's): the runtime's start-up, and tests.
void print_reset(const console_device* device);
