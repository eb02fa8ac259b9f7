#pragma once
// Test seam of the answer channel (runtime/linux/terminal_reply.h): the
// scanner alone, one byte at a time.

#include "runtime/linux/terminal_reply.h"

// What one byte did.
struct term_reply_step {
    int answer;     // a complete answer's term_reply_format, or -1
    int set_aside;  // a byte that is not part of an answer (a key press), or -1
};

term_reply_scanner term_reply_start();
term_reply_step term_reply_feed(term_reply_scanner& scanner, unsigned char byte);
