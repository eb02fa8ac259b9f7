#pragma once
// Picks the terminal's answer to a query out of the bytes that arrive on
// standard input, which may also hold key presses typed meanwhile.
//
// An answer starts with ESC [ and continues in the query's format, read the
// way scanf reads it: "%d;%dR" for the cursor position, "8;%d;%dt" for the
// text area's size. A byte that does not fit the format ends that attempt and
// is looked at afresh, so junk and partial answers never end the wait; the
// answer counts once both numbers are read.

#include <cstdint>

enum class term_reply_format {
    cursor_position,  // ESC [ row ; column R
    text_area_size,   // ESC [ 8 ; rows ; columns t
};

// What one byte did to the scan.
struct term_reply_step {
    bool done;      // both numbers are read
    bool consumed;  // false: the byte was not used and belongs to what is read next
    int set_aside;  // a byte that is not part of an answer (a key press), or -1
};

struct term_reply_scanner {
    const char* format;  // the rest of the reply after ESC [
    int phase;           // outside an answer, after ESC, or inside the format
    int position;        // index into format
    bool number_started;
    bool number_has_digit;
    bool number_negative;
    int64_t number;
    int converted;
    int values[2];
};

term_reply_scanner term_reply_start(term_reply_format format);
term_reply_step term_reply_feed(term_reply_scanner& scanner, unsigned char byte);
