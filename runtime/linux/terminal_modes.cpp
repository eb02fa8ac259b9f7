// The terminal's settings: applied, put back at a stop, exit or fatal signal, taken again.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "runtime/console_moved.h"
#include "runtime/linux/terminal_state.h"

namespace {

bool same_modes(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// Settings are changed only by the terminal's foreground process group: from
// the background a change would stop zix (SIGTTOU) and take the terminal from
// the shell.
bool in_foreground() {
    return tcgetpgrp(term_state.tty_fd) == getpgrp();
}

// At the next print the size and the cursor are asked again, on the main
// thread, and print zones count from where the cursor now stands.
void ask_again() {
    term_state.resize_pending.store(1);
    console_moved_raise();
}

}  // namespace

// "/dev/tty" does not block, so that a read never waits past the wait for an
// answer. Its flags are its own: nobody else shares that open file.
void term_take_tty_flags() {
    term_state_record& t = term_state;
    t.saved_tty_flags = fcntl(t.tty_fd, F_GETFL);
    t.tty_flags_saved = t.saved_tty_flags >= 0;
    if (t.tty_flags_saved) fcntl(t.tty_fd, F_SETFL, t.saved_tty_flags | O_NONBLOCK);
}

termios term_zix_modes(const termios& found) {
    termios modes = found;
    modes.c_oflag |= OPOST;
    modes.c_iflag |= BRKINT;
    modes.c_iflag &= ~tcflag_t{IGNBRK | IXON | IXOFF};
    modes.c_lflag &= ~tcflag_t{ICANON | ECHO};
    modes.c_cc[VMIN] = 1;
    modes.c_cc[VTIME] = 0;
    return modes;
}

void term_put_back() {
    term_state_record& t = term_state;
    int was = holding;
    if (!t.hold.compare_exchange_strong(was, releasing)) {
        // Released already; or a put-back that a fault interrupted, whose
        // settings are put back below once more.
        if (was == released) return;
    }
    if (!in_foreground()) {
        t.hold.store(released);
        return;
    }
    if (was == holding) {
        term_answers_drain();
        // Without a size check (it would need the lock), the view covers the
        // screen unless the terminal reported 0 rows.
        if (t.known_rows.load() == 0) term_write_bytes(t.clear_bytes);
        term_write_bytes(t.restore_bytes);
    }
    // TCSAFLUSH also throws away what is still unread: keys pressed during the
    // run and answers that came too late never reach the shell.
    tcsetattr(t.tty_fd, TCSAFLUSH, &t.saved_modes);
    if (t.tty_flags_saved) fcntl(t.tty_fd, F_SETFL, t.saved_tty_flags);
    t.answers_stale.store(true);
    t.hold.store(released);
}

void term_take_back() {
    term_state_record& t = term_state;
    if (t.kind.load() == 0 || t.closing.load()) return;
    if (!in_foreground()) {
        // Stopped behind zix's back and continued in the background: the
        // shell has the terminal now. zix runs on without touching it.
        if (t.hold.load() == holding) {
            t.hold.store(released);
            t.answers_stale.store(true);
        }
        return;
    }
    termios found{};
    if (tcgetattr(t.tty_fd, &found) != 0) return;
    if (t.hold.load() == holding && same_modes(found, term_zix_modes(t.saved_modes))) {
        // The settings are still zix's; only the cursor may have moved.
        ask_again();
        return;
    }
    // The user or the shell may have changed the settings while zix was
    // stopped: the ones found now are the ones to put back.
    t.saved_modes = found;
    const termios modes = term_zix_modes(found);
    if (tcsetattr(t.tty_fd, TCSANOW, &modes) != 0) return;
    term_take_tty_flags();
    t.answers_stale.store(true);
    t.hold.store(holding);
    term_write_bytes(t.start_bytes);
    ask_again();
}
