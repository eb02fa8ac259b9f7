// What zix sends to the terminal, and the whole conversation with it.
//
// Here are the capabilities, the fixed sequences and the byte strings formed
// from them at set-up. The whole conversation with the terminal ("\e" is ESC,
// byte 1B; two-letter names are termcap capabilities, sent only when the
// terminal has them):
//
//   At start-up, in this order:
//     \e(U         Linux console only: null mapping, every byte shows its own
//                  glyph of the console font
//     ks           keypad transmit mode on
//     \e[18t       only when the kernel does not know the window size: report
//                  the text area's size in characters
//     \e[6n        report the cursor position
//     C3 A7 \e[6n  only when the cursor was reported and two cells fit before
//                  the last column: the character ç in UTF-8, and the cursor
//                  again, to learn whether the terminal takes UTF-8 (one
//                  column moved) or one byte a character (two); then
//     cm, one or two spaces, cm
//                  back to the cursor, the probe's cells blanked, and back
//                  (terminal_charset.cpp)
//   While writing:
//     \e[6n        once more at the first print, so print zones count from
//                  the cursor's real column; and, with \e[18t as above, at the
//                  first write after each window change
//     every console byte in a form that shows as one character in one cell,
//                  or as one of the control codes that act (terminal_writer.cpp);
//                  on the Linux console out of UTF-8 mode some are between
//                  \e%G (UTF-8 on) and \e%@ (back to the 8-bit mode found)
//   At exit, at a stop (Ctrl-Z) and from the handler of a fatal signal, in
//   this order:
//     cs cl ho     only when the print view does not cover the screen, which
//                  here means a terminal that reports 0 rows: scrolling region
//                  (tgoto(cs, rows - 1, 0)), clear, home
//     \e%@         Linux console out of UTF-8 mode only: the 8-bit mode it was
//                  found in, should a glyph have been cut short
//     \e(B         Linux console only: default mapping
//     me ve ke     attributes off, cursor normal, keypad transmit mode off
//   When continued in the foreground after a stop:
//     \e(U ks      as at start-up; then, at the next print, the size and the
//                  cursor are asked again as after a window change
//   Nothing at all while zix runs on in the background, nor at its exit then.
//
// Everything zix reads back, from the terminal (the one that is standard
// input, standard output and "/dev/tty" at once):
//     \e[row;columnR      the answer to \e[6n (1-based)
//     \e[8;rows;columnst  the answer to \e[18t
// Each answer is awaited for at most 250 ms; a terminal that stays silent gets
// the defaults (80 columns by 25 rows, cursor at row 1, column 1). An answer
// that comes later is still owed: it is read and dropped before the next
// answer of its form is taken, and at exit zix waits up to 250 ms more for the
// answers still owed. Bytes that arrive around an answer are key presses: they
// are set aside in type_ahead, never echoed; what is still unread when zix
// gives the terminal back is thrown away with the settings' change, so no key
// pressed during the run and no answer reaches the shell. Nothing zix prints
// makes the terminal answer: ENQ, ESC and the C1 controls never reach it.
#include <termcap.h>

#include <cstdio>
#include <iterator>

#include "runtime/linux/terminal_state.h"
#include "runtime/linux/write_all.h"

namespace {

// The capabilities, which lead term_sequence, with their termcap codes.
struct capability_code {
    term_sequence which;
    char code[3];
};
constexpr capability_code kCapabilities[] = {
    {term_sequence::ks, "ks"}, {term_sequence::cs, "cs"}, {term_sequence::cl, "cl"},
    {term_sequence::ho, "ho"}, {term_sequence::me, "me"}, {term_sequence::ve, "ve"},
    {term_sequence::ke, "ke"}, {term_sequence::cm, "cm"},
};
constexpr int kCapabilityCount = static_cast<int>(std::size(kCapabilities));

constexpr bool capabilities_in_order() {
    for (int i = 0; i < kCapabilityCount; ++i) {
        if (static_cast<int>(kCapabilities[i].which) != i) return false;
    }
    return true;
}
static_assert(capabilities_in_order(), "kCapabilities follows term_sequence from its start");

// The terminal's string for each capability, null where it has none.
const char* capability_strings[kCapabilityCount];

bool is_capability(term_sequence which) {
    return static_cast<int>(which) < kCapabilityCount;
}

const char* fixed_sequence(term_sequence which) {
    switch (which) {
        case term_sequence::null_mapping:
            return "\x1b(U";
        case term_sequence::default_mapping:
            return "\x1b(B";
        case term_sequence::eight_bit_mode:
            return "\x1b%@";
        case term_sequence::cursor_query:
            return "\x1b[6n";
        case term_sequence::size_query:
            return "\x1b[18t";
        default:
            return "";
    }
}

// tputs hands its bytes to a function of one int: they are gathered here.
term_bytes* capture = nullptr;

int capture_byte(int byte) {
    if (capture->length < kSequenceBytesMax) {
        capture->bytes[capture->length++] = static_cast<char>(byte);
    }
    return byte;
}

void capture_sequence(term_sequence which, int a = 0, int b = 0) {
    if (!is_capability(which)) {
        for (const char* p = fixed_sequence(which); *p; ++p) capture_byte(*p);
        return;
    }
    const char* string = capability_strings[static_cast<int>(which)];
    if (string == nullptr) return;
    const char* output = tgoto(string, a, b);
    if (output) tputs(output, 1, capture_byte);
}

void start_capture(term_bytes& into) {
    capture = &into;
    into.length = 0;
}

}  // namespace

void term_capabilities_read() {
    for (int i = 0; i < kCapabilityCount; ++i) {
        capability_strings[i] = tgetstr(kCapabilities[i].code, nullptr);
    }
}

void term_sequences_form() {
    const bool linux_console = term_state.kind.load() == 1;
    start_capture(term_state.start_bytes);
    if (linux_console) capture_sequence(term_sequence::null_mapping);
    capture_sequence(term_sequence::ks);

    start_capture(term_state.restore_bytes);
    if (term_state.charset == term_charset::console_eight_bit) {
        capture_sequence(term_sequence::eight_bit_mode);
    }
    if (linux_console) capture_sequence(term_sequence::default_mapping);
    capture_sequence(term_sequence::me);
    capture_sequence(term_sequence::ve);
    capture_sequence(term_sequence::ke);

    // The screen has 0 rows when these are sent, so the region's last row
    // is -1.
    start_capture(term_state.clear_bytes);
    capture_sequence(term_sequence::cs, -1, 0);
    capture_sequence(term_sequence::cl);
    capture_sequence(term_sequence::ho);
    capture = nullptr;
}

term_bytes term_cursor_to(int row, int column) {
    term_bytes bytes{};
    start_capture(bytes);
    capture_sequence(term_sequence::cm, column - 1, row - 1);
    capture = nullptr;
    return bytes;
}

// Errors are ignored: there is nowhere to report them, and every later step
// of a restore still runs.
void term_write_bytes(const term_bytes& sequence) {
    if (sequence.length > 0) write_all(1, sequence.bytes, sequence.length);
}

// Through standard output, so that it follows the text written before it.
bool term_send(term_sequence which) {
    if (term_state.kind.load() == 0 || term_state.hold.load() != holding) return false;
    if (is_capability(which)) return false;
    if (std::fputs(fixed_sequence(which), stdout) == EOF) return false;
    std::fflush(stdout);
    return true;
}
