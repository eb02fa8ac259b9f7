#pragma once
// The answer channel without its I/O: answers picked out, answers owed, keys set aside.
//
// It picks the terminal's answers out of the bytes that arrive on the
// terminal, counts the answers still owed, and sets every other byte aside as
// a key press. terminal_answers.cpp reads the terminal and feeds the bytes in;
// nothing here blocks, allocates or locks, so a signal handler may run it on a
// copy.
//
// The answers, read the way scanf reads "%d;%dR" and "8;%d;%dt":
//     ESC [ row ; column R          the cursor position
//     ESC [ 8 ; rows ; columns t    the text area's size
// A number is blanks, an optional sign and digits; one too long for an int
// reads as the largest (or smallest) one. Only a complete answer, its closing
// letter included, counts.
//
// Every other byte, in order:
//   - a byte outside an answer is a key press and is set aside in type_ahead;
//   - ESC followed by a byte other than "[" is a key: that byte is set aside
//     and the ESC dropped; a second ESC is set aside and may start an answer;
//   - a byte that fits no answer ends the attempt: ESC [ and what matched so
//     far are dropped, and the byte is looked at afresh, as if no answer had
//     started (so it may be set aside, or start an answer itself).
//
// Answers owed: every query sent is owed one answer of its form. An answer
// read while more than one of its form is owed is stale, the answer to an
// earlier query that was given up on: it is taken in and dropped. Only the
// answer to the latest query counts. An answer that nobody asked for is taken
// in and dropped too.

#include <cstddef>
#include <cstdint>

enum class term_reply_format {
    cursor_position,  // ESC [ row ; column R
    text_area_size,   // ESC [ 8 ; rows ; columns t
};
constexpr int kReplyFormats = 2;

struct term_reply_scanner {
    int phase;           // outside an answer, after ESC, or inside one
    int position;        // where in the answer: which number or separator
    bool size_possible;  // the first number was the single byte "8"
    bool number_started;
    bool number_has_digit;
    bool number_negative;
    int64_t number;
    int values[3];
};

// Key presses read around the answers: a ring that holds the latest 255.
// DEL is kept as BS and LF as CR. Nothing in zix reads them back.
struct term_type_ahead {
    int slot[256];
    int write_index;
    int read_index;
};

struct term_answer_channel {
    term_reply_scanner scanner;
    uint32_t owed[kReplyFormats];   // queries sent whose answers are not in yet
    uint32_t taken[kReplyFormats];  // complete answers read, counted or not
    bool answered[kReplyFormats];   // the latest query's answer is in...
    int latest[kReplyFormats][2];   // ...with these numbers
    term_type_ahead type_ahead;
};

term_answer_channel term_channel_start();
// A query of this form went out.
void term_channel_asked(term_answer_channel& channel, term_reply_format format);
// Takes in count bytes as read from the terminal.
void term_channel_take(term_answer_channel& channel, const unsigned char* bytes, size_t count);
// True while some query's answer is still owed.
bool term_channel_owes(const term_answer_channel& channel);
// Nothing is owed any more and no answer is half read: what was owed has been
// read or thrown away elsewhere. The type-ahead stays.
void term_channel_forget(term_answer_channel& channel);
