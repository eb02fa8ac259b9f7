// Set-up and shutdown of the terminal layer: whether it takes the terminal, and letting go.
#include <sys/stat.h>
#include <termcap.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "runtime/linux/terminal_seams.h"
#include "runtime/linux/terminal_state.h"

namespace {

constexpr int kForeground = 7;
constexpr int kBackground = 0;

char termcap_buffer[2048];

// The record as at load, its lock not yet made.
void clear_state() {
    std::destroy_at(&term_state);
    std::construct_at(&term_state);
}

// Standard input and standard output are one device. The foreground test
// after it makes that device the controlling terminal, the one "/dev/tty"
// stands for, since a terminal names its foreground process group only to the
// processes it controls. ("/dev/tty" has a device number of its own, so it
// cannot be compared.)
bool one_terminal() {
    struct stat in {};
    struct stat out {};
    if (fstat(0, &in) != 0 || fstat(1, &out) != 0) return false;
    return S_ISCHR(in.st_mode) && S_ISCHR(out.st_mode) && in.st_rdev == out.st_rdev;
}

// A set-up that fails half-way leaves nothing behind: "/dev/tty" is closed.
bool abandon_setup() {
    std::fclose(term_state.tty_file);
    term_state.tty_file = nullptr;
    term_state.tty_fd = -1;
    return false;
}

bool term_setup_modes() {
    term_state_record& t = term_state;
    if (t.kind.load() == 0 || !isatty(1) || !isatty(0)) return false;
    FILE* tty = std::fopen("/dev/tty", "r+b");
    if (tty == nullptr) return false;
    t.tty_file = tty;
    t.tty_fd = fileno(tty);

    // The sequences go to standard output and the answers are read from the
    // terminal: with standard input or output on another terminal the
    // answers would be awaited on one and left queued on the other.
    if (!one_terminal()) return abandon_setup();
    // A background job must not touch the terminal.
    if (tcgetpgrp(1) != getpgid(0)) return abandon_setup();

    if (tcgetattr(t.tty_fd, &t.saved_modes) != 0) return abandon_setup();
    const termios modes = term_zix_modes(t.saved_modes);
    if (tcsetattr(t.tty_fd, TCSANOW, &modes) != 0) return abandon_setup();
    term_take_tty_flags();

    term_sequences_form();
    t.hold.store(holding);
    term_write_bytes(t.start_bytes);
    return true;
}

}  // namespace

int term_kind() {
    return term_state.kind.load();
}

term_charset term_output_charset() {
    return term_state.charset;
}

void term_output_charset_set(term_charset charset) {
    term_state.charset = charset;
}

void term_init() {
    term_state_record& t = term_state;
    clear_state();
    pthread_mutex_init(&t.lock, nullptr);
    t.lock_alive = true;

    const char* term = std::getenv("TERM");
    if (term == nullptr) return;
    if (tgetent(termcap_buffer, term) <= 0) return;
    UP = nullptr;
    BC = nullptr;
    const char* pad = tgetstr("pc", nullptr);
    PC = pad ? pad[0] : 0;

    termios out_modes{};
    if (tcgetattr(1, &out_modes) != 0) return;
    ospeed = static_cast<short>(cfgetospeed(&out_modes));
    // Without automatic margins or cursor addressing (TERM=dumb, a printing
    // terminal) the terminal is not one zix can lay out a screen on.
    if (tgetflag("am") == 0 || tgetstr("cm", nullptr) == nullptr) return;

    term_capabilities_read();
    const bool linux_console =
        std::strcmp(term, "console") == 0 || std::strncmp(term, "linux", 5) == 0;
    t.kind.store(linux_console ? 1 : 2);

    // Handlers first, settings after, all with the layer's signals blocked: a
    // signal that comes during set-up is handled once everything it needs to
    // put the terminal back is in place.
    sigset_t previous_mask;
    term_signals_block(&previous_mask);
    term_signals_install();
    if (!term_setup_modes()) {
        t.kind.store(0);
        term_signals_uninstall();
        term_signals_unblock(&previous_mask);
        return;
    }
    term_service_start();

    t.fg_color = kForeground;
    t.bg_color = kBackground;
    t.resize_pending.store(1);
    term_refresh_size();
    t.charset = term_charset_probe(linux_console);
    // Formed again now that the character set is known: the Linux console
    // found in its 8-bit mode is sent back to it with the restore sequences.
    term_sequences_form();
    term_signals_unblock(&previous_mask);
}

void term_shutdown() {
    term_state_record& t = term_state;
    if (t.kind.load() != 0) {
        std::fflush(stdout);
        term_lock_guard guard;
        term_refresh_size();
    }
    // No handler runs in the middle of the put-back; a signal that comes now
    // finds the terminal given back for good.
    sigset_t previous_mask;
    term_signals_block(&previous_mask);
    t.closing.store(true);
    term_put_back();
    t.kind.store(0);
    // A signal held back until now meets the disposition zix found.
    term_signals_uninstall();
    term_service_stop();
    if (t.tty_file) {
        std::fclose(t.tty_file);
        t.tty_file = nullptr;
        t.tty_fd = -1;
    }
    term_screen_release();
    term_signals_unblock(&previous_mask);
    if (t.lock_alive) {
        t.lock_alive = false;
        pthread_mutex_destroy(&t.lock);
    }
}
