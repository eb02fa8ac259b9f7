#pragma once
// The Linux terminal layer: takes over an interactive terminal at start-up and
// puts it back at shutdown and on fatal signals. term_kind: 0 inactive,
// 1 Linux console, 2 any other terminal. The terminal writer works on top of
// it (terminal_writer.cpp).

// Everything the layer sends: termcap capabilities and fixed sequences.
enum class term_sequence {
    ks,               // keypad transmit mode on
    cs,               // scrolling region (two parameters)
    cl,               // clear the screen
    ho,               // cursor home
    me,               // all attributes off
    ve,               // cursor normal
    ke,               // keypad transmit mode off
    null_mapping,     // "\e(U"
    default_mapping,  // "\e(B"
    cursor_query,     // "\e[6n"
    size_query,       // "\e[18t"
};

int term_kind();
void term_init();
void term_shutdown();

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

// Writes a capability (with tgoto's two parameters) or a fixed sequence to
// the terminal and flushes it; false when nothing was written.
bool term_send(term_sequence which, int a = 0, int b = 0);

// Sends cursor_query or size_query and reads the answer's two numbers; false
// when none came within the wait.
bool term_query(term_sequence which, int* first, int* second);

// Re-reads the size and the cursor after a window change; one flag test
// otherwise. The caller holds term_lock.
void term_refresh_size();

// The terminal's size as last read, and the cursor it reported. The caller
// holds term_lock.
int term_screen_width();
int term_screen_height();
int term_cursor_row();
int term_cursor_col();
