#pragma once
// The Linux terminal layer's interface, for the platform start-up and the terminal writer.
//
// The layer takes over an interactive terminal at start-up, gives it back and
// takes it again around a stop (Ctrl-Z, fg), and puts it back at shutdown and
// on fatal signals. term_kind: 0 inactive, 1 Linux console, 2 any other
// terminal. The terminal writer works on top of it (terminal_writer.cpp);
// terminal_sequences.cpp lists the whole conversation with the terminal.

// Everything the layer sends: termcap capabilities and fixed sequences.
enum class term_sequence {
    ks,               // keypad transmit mode on
    cs,               // scrolling region (two parameters)
    cl,               // clear the screen
    ho,               // cursor home
    me,               // all attributes off
    ve,               // cursor normal
    ke,               // keypad transmit mode off
    cm,               // cursor to a row and column (two parameters)
    null_mapping,     // "\e(U"
    default_mapping,  // "\e(B"
    eight_bit_mode,   // "\e%@"
    cursor_query,     // "\e[6n"
    size_query,       // "\e[18t"
};

int term_kind();
void term_init();
void term_shutdown();

// How the terminal takes the bytes it is sent, as start-up found it: UTF-8,
// or one byte a character; the Linux console shows the font's own glyph for
// U+F000 plus a byte in both.
enum class term_charset {
    utf8,
    eight_bit,
    console_utf8,
    console_eight_bit,
};
term_charset term_output_charset();

// Holds term_lock, which guards the size, the cursor and the screen copy, for
// the life of the guard. Not recursive.
class term_lock_guard {
  public:
    term_lock_guard();
    ~term_lock_guard();
    term_lock_guard(const term_lock_guard&) = delete;
    term_lock_guard& operator=(const term_lock_guard&) = delete;

  private:
    bool held_;
};

// Writes a fixed sequence (a query) to the terminal and flushes it; false
// when nothing was written, and always while zix does not hold the terminal
// (stopped, or continued in the background). Capabilities go out only in the
// byte strings formed at set-up.
bool term_send(term_sequence which);

// Sends cursor_query or size_query and reads the answer's two numbers; false
// when none came within the wait, or zix does not hold the terminal.
bool term_query(term_sequence which, int* first, int* second);

// Re-reads the size and the cursor after a window change or a continue; one
// flag test otherwise. True when it re-read them. The caller holds term_lock.
bool term_refresh_size();

// The terminal's size as last read, and the cursor column it reported. The
// caller holds term_lock.
int term_screen_width();
int term_screen_height();
int term_cursor_col();
