#pragma once
// The terminal layer's one record, term_state, shared by its files and by nothing else.
//
// Also what those files (terminal_*.cpp) call in each other.

#include <pthread.h>
#include <signal.h>
#include <termios.h>

#include <atomic>
#include <cstddef>
#include <cstdio>

#include "runtime/linux/terminal.h"
#include "runtime/linux/terminal_reply.h"

constexpr size_t kSequenceBytesMax = 256;

// Whether the terminal holds zix's settings. Only the routine that puts them
// back moves holding to released, through releasing, so that a signal that
// comes while it runs finds the work half done and finishes only the settings.
enum term_hold : int { released = 0, releasing = 1, holding = 2 };

// Sequences formed once at set-up through tputs, so that a signal handler
// only has to write them.
struct term_bytes {
    char bytes[kSequenceBytesMax];
    size_t length;
};

// Every field as at load when value-initialised: that is how set-up starts.
struct term_state_record {
    // Read and written by signal handlers too.
    std::atomic<int> kind;            // term_kind; also the service thread's run flag
    std::atomic<int> hold;            // term_hold
    std::atomic<bool> closing;        // shut down, or a fatal signal came: never taken back
    std::atomic<int> resize_pending;  // a window change or a continue: size and cursor again
    std::atomic<bool> answers_stale;  // what was owed was read or thrown away at a stop
    std::atomic<int> known_rows{-1};  // rows of the last size read; -1 before it

    int tty_fd = -1;      // "/dev/tty": the terminal's settings are read and set here, and
    FILE* tty_file;       // its answers read; null when closed
    termios saved_modes;  // the terminal's settings to put back
    int saved_tty_flags;  // "/dev/tty"'s file status flags to put back
    bool tty_flags_saved;
    term_charset charset = term_charset::eight_bit;

    int fg_color;
    int bg_color;
    int cursor_col;
    int cursor_row;
    bool cursor_answered;  // the terminal told cursor_row and cursor_col
    int screen_width;      // as the terminal reports it: drives print zones
    int screen_height;
    unsigned char* char_buffer;  // screen copy; owns the allocation
    unsigned char* attr_buffer;  // right after the characters
    int copy_width;              // the screen copy's own extent, bounded
    int copy_height;

    term_bytes start_bytes;    // \e(U (Linux console), ks
    term_bytes restore_bytes;  // \e%@ (Linux console, 8-bit), \e(B (Linux console), me, ve, ke
    term_bytes clear_bytes;    // cs, cl, ho

    term_answer_channel channel;  // all zero: started, nothing owed

    pthread_mutex_t lock;  // term_lock
    bool lock_alive;
    pthread_t service_thread;
    bool service_started;
    // The dispositions in force before set-up, one slot per signal number.
    struct sigaction saved_dispositions[NSIG];
    bool signals_installed;
};

extern term_state_record term_state;

// terminal_sequences.cpp
void term_capabilities_read();
void term_sequences_form();
void term_write_bytes(const term_bytes& bytes);  // async-signal-safe
// cm to a 1-based row and column, formed through tputs.
term_bytes term_cursor_to(int row, int column);

// terminal_charset.cpp
// Asks the terminal which character set it takes, through the cursor it
// reported last; the locale's say where it cannot tell.
term_charset term_charset_probe(bool linux_console);

// terminal_answers.cpp
// Waits a bounded time for the answers still owed and drops them; on a copy of
// the channel, so that it may run in a signal handler. Async-signal-safe.
void term_answers_drain();

// terminal_screen.cpp
void term_screen_release();

// terminal_service.cpp
void term_service_start();
void term_service_stop();

// terminal_modes.cpp
// zix's settings, made from the ones found.
termios term_zix_modes(const termios& found);
// "/dev/tty"'s file status flags become the ones to put back, and reads from
// it stop blocking.
void term_take_tty_flags();
// The one restore routine, for exit, stop and fatal signals alike: answers
// owed, the restore sequences, the settings and flags as found. Idempotent and
// async-signal-safe; never touches the terminal from the background.
void term_put_back();
// After a continue: in the foreground, the settings found now become the ones
// to put back, zix's are applied, the start-up sequences go out again and the
// size and cursor are asked again at the next print. In the background,
// nothing. Async-signal-safe.
void term_take_back();

// terminal_signals.cpp
// The signals whose handlers the layer installs, blocked across set-up and
// shutdown so that none comes while the terminal is half changed.
void term_signals_block(sigset_t* previous);
void term_signals_unblock(const sigset_t* previous);
void term_signals_install();
void term_signals_uninstall();
