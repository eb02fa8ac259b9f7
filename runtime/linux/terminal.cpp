// The Linux terminal layer. When standard input and standard output are the
// process's interactive terminal and the terminal database knows it, zix
// takes the terminal over for the run: input without line editing or echo,
// output processing on, the size and cursor read from the terminal. It puts
// everything back at exit and on the fatal signals, so the shell finds the
// terminal exactly as it left it.
//
// Everything zix says to the terminal ("\e" is ESC, byte 1B; two-letter names
// are termcap capabilities, sent only when the terminal has them):
//
//   At start-up, in this order:
//     \e(U         Linux console only: null mapping, every byte shows its own
//                  glyph of the console font
//     ks           keypad transmit mode on
//     \e[18t       only when the kernel does not know the window size: report
//                  the text area's size in characters
//     \e[6n        report the cursor position
//   While writing:
//     \e[6n        once more at the first print, so print zones count from
//                  the cursor's real column; and, with \e[18t as above, at the
//                  first write after each window change
//     \e%G EF 80 xx \e%@   one of the control codes 08 0C 0E 0F 1B shown as a
//                  glyph: UTF-8 on, U+F000 + code, UTF-8 off
//                  (terminal_writer.cpp)
//   At exit, and from the handler of a fatal signal, in this order:
//     cs cl ho     only when the print view does not cover the screen, which
//                  here means a terminal that reports 0 rows: scrolling region
//                  (tgoto(cs, rows - 1, 0)), clear, home
//     \e(B         Linux console only: default mapping
//     me ve ke     attributes off, cursor normal, keypad transmit mode off
//
// Everything zix reads back, from standard input:
//     \e[row;columnR      the answer to \e[6n (1-based)
//     \e[8;rows;columnst  the answer to \e[18t
// Each answer is awaited for at most 250 ms; a terminal that stays silent gets
// the defaults (80 columns by 25 rows, cursor at row 1, column 1). Bytes that
// arrive around an answer are key presses: they are set aside in type_ahead,
// never echoed and never passed on.
#include "terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termcap.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "terminal_reply.h"

namespace {

constexpr int kReplyWaitMs = 250;
constexpr unsigned kTickMicros = 30000;
constexpr int kDefaultRows = 25;
constexpr int kDefaultColumns = 80;
constexpr int kDefaultViewBottom = 24;
// The screen copy is bounded in each direction, whatever size the terminal
// reports: at most 2048 x 2048 cells, 8 MiB with the attributes.
constexpr int kScreenCopyLimit = 2048;
constexpr int kForeground = 7;
constexpr int kBackground = 0;

constexpr int kCapabilityCount = 7;
constexpr const char* kCapabilityCodes[kCapabilityCount] = {"ks", "cs", "cl", "ho",
                                                            "me", "ve", "ke"};

constexpr int kFatalSignals[] = {SIGABRT, SIGFPE, SIGILL, SIGSEGV, SIGTERM, SIGINT, SIGQUIT};

struct term_state_record {
    int tty_fd;
    FILE* tty_file;  // "/dev/tty"; null when closed
    termios saved_out_modes;
    termios saved_tty_modes;
    int saved_tty_flags;
    bool tty_flags_saved;
    int fg_color;
    int bg_color;
    int cursor_col;
    int cursor_row;
    int screen_width;  // as the terminal reports it: drives print zones
    int screen_height;
    unsigned char* char_buffer;  // screen copy; owns the allocation
    unsigned char* attr_buffer;  // right after the characters
    int copy_width;              // the screen copy's own extent, bounded
    int copy_height;
    const char* capability[kCapabilityCount];
};

term_state_record term_state;

// 0 inactive, 1 Linux console, 2 other terminal; also the service thread's
// run flag, read by the fatal-signal handler too.
std::atomic<int> kind{0};

pthread_mutex_t term_lock;
bool lock_alive = false;

std::atomic<int> resize_pending{0};

pthread_t service_thread;
bool service_started = false;

// The dispositions in force before set-up, one slot per signal number.
struct sigaction saved_dispositions[NSIG];

int view_top = -1;
int view_bottom = -1;

// Key presses read while waiting for an answer. Kept like the keyboard
// buffer of a console, though nothing in zix reads them back.
struct type_ahead_ring {
    int slot[256];
    int write_index;
    int read_index;
};
type_ahead_ring type_ahead;

// Standard input as read for the answers: what was read but not yet looked
// at stays here for the next query.
unsigned char input_buffer[256];
size_t input_next = 0;
size_t input_end = 0;

char termcap_buffer[2048];

// Prepared at set-up for the fatal-signal path, which may not take term_lock
// nor use the standard I/O streams: the shutdown bytes, the bytes that clear
// the screen of a terminal that reports 0 rows, and the row count last read
// (-1 before the first read).
char signal_restore_bytes[512];
size_t signal_restore_length = 0;
char signal_clear_bytes[256];
size_t signal_clear_length = 0;
std::atomic<int> known_rows{-1};
// Set once the terminal's settings are back, so a signal during a normal
// shutdown does not restore them twice.
std::atomic<bool> restored{false};

bool is_capability(term_sequence which) {
    return static_cast<int>(which) < kCapabilityCount;
}

const char* fixed_sequence(term_sequence which) {
    switch (which) {
        case term_sequence::null_mapping:
            return "\x1b(U";
        case term_sequence::default_mapping:
            return "\x1b(B";
        case term_sequence::cursor_query:
            return "\x1b[6n";
        case term_sequence::size_query:
            return "\x1b[18t";
        default:
            return "";
    }
}

void type_ahead_store(int byte) {
    if (byte == 127) byte = 8;
    if (byte == 10) byte = 13;
    type_ahead.slot[type_ahead.write_index] = byte;
    type_ahead.write_index = (type_ahead.write_index + 1) & 255;
    if (type_ahead.write_index == type_ahead.read_index) {
        type_ahead.read_index = (type_ahead.read_index + 1) & 255;
    }
}

int64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

// Reads what standard input has, waiting until the deadline at most; false
// at the deadline, at end of input or on an error.
bool fill_input(int64_t deadline_ns) {
    for (;;) {
        const int64_t left_ns = deadline_ns - monotonic_ns();
        if (left_ns <= 0) return false;
        pollfd input{0, POLLIN, 0};
        const int ready = poll(&input, 1, static_cast<int>((left_ns + 999999) / 1000000));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t got = read(0, input_buffer, sizeof input_buffer);
        if (got > 0) {
            input_next = 0;
            input_end = static_cast<size_t>(got);
            return true;
        }
        if (got == 0) return false;
        if (errno != EINTR && errno != EAGAIN) return false;
    }
}

// A new screen copy of rows x columns (bounded), keeping the overlap of the
// old one. When the memory cannot be had the copy is dropped: nothing needs it.
void resize_screen_copy(int rows, int columns) {
    int height = rows < kScreenCopyLimit ? rows : kScreenCopyLimit;
    int width = columns < kScreenCopyLimit ? columns : kScreenCopyLimit;
    const size_t cells = static_cast<size_t>(height) * static_cast<size_t>(width);
    unsigned char* fresh = cells ? static_cast<unsigned char*>(std::calloc(cells * 2, 1)) : nullptr;
    if (fresh == nullptr) height = width = 0;

    if (fresh && term_state.char_buffer) {
        const int keep_rows = height < term_state.copy_height ? height : term_state.copy_height;
        const int keep_cols = width < term_state.copy_width ? width : term_state.copy_width;
        const size_t old_stride = static_cast<size_t>(term_state.copy_width);
        const size_t new_stride = static_cast<size_t>(width);
        for (int row = 0; row < keep_rows; ++row) {
            const size_t r = static_cast<size_t>(row);
            std::memcpy(fresh + r * new_stride, term_state.char_buffer + r * old_stride,
                        static_cast<size_t>(keep_cols));
            std::memcpy(fresh + cells + r * new_stride, term_state.attr_buffer + r * old_stride,
                        static_cast<size_t>(keep_cols));
        }
    }
    std::free(term_state.char_buffer);
    term_state.char_buffer = fresh;
    term_state.attr_buffer = fresh ? fresh + cells : nullptr;
    term_state.copy_height = height;
    term_state.copy_width = width;
}

int read_view_top() {
    if (view_top == -1) view_top = 0;
    return view_top;
}

int read_view_bottom() {
    if (view_bottom == -1) {
        int rows = 0;
        {
            term_lock_guard guard;
            term_refresh_size();
            rows = term_state.screen_height;
        }
        view_bottom = rows != 0 ? rows - 1 : kDefaultViewBottom;
    }
    return view_bottom;
}

// Steps that are safe in a signal handler: plain system calls on saved data.
// Standard output's settings first, then the flags and settings of
// "/dev/tty". Errors are ignored; every step runs.
void put_settings_back() {
    tcsetattr(1, TCSANOW, &term_state.saved_out_modes);
    if (term_state.tty_flags_saved) fcntl(term_state.tty_fd, F_SETFL, term_state.saved_tty_flags);
    tcsetattr(term_state.tty_fd, TCSANOW, &term_state.saved_tty_modes);
}

void write_all(const char* bytes, size_t count) {
    while (count > 0) {
        const ssize_t done = write(1, bytes, count);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return;
        bytes += done;
        count -= static_cast<size_t>(done);
    }
}

// The shutdown sequences, formed once at set-up through tputs into a buffer,
// so the fatal-signal path only has to write them.
char* capture_buffer = nullptr;
size_t capture_capacity = 0;
size_t capture_length = 0;

int capture_byte(int byte) {
    if (capture_length < capture_capacity) {
        capture_buffer[capture_length++] = static_cast<char>(byte);
    }
    return byte;
}

void capture_sequence(term_sequence which, int a = 0, int b = 0) {
    if (!is_capability(which)) {
        for (const char* p = fixed_sequence(which); *p; ++p) capture_byte(*p);
        return;
    }
    const char* string = term_state.capability[static_cast<int>(which)];
    if (string == nullptr) return;
    const char* output = tgoto(string, a, b);
    if (output) tputs(output, 1, capture_byte);
}

size_t capture_into(char* buffer, size_t capacity, void (*form)()) {
    capture_buffer = buffer;
    capture_capacity = capacity;
    capture_length = 0;
    form();
    return capture_length;
}

void prepare_signal_restore() {
    signal_clear_length = capture_into(signal_clear_bytes, sizeof signal_clear_bytes, [] {
        capture_sequence(term_sequence::cs, -1, 0);
        capture_sequence(term_sequence::cl);
        capture_sequence(term_sequence::ho);
    });
    signal_restore_length = capture_into(signal_restore_bytes, sizeof signal_restore_bytes, [] {
        if (kind.load() == 1) capture_sequence(term_sequence::default_mapping);
        capture_sequence(term_sequence::me);
        capture_sequence(term_sequence::ve);
        capture_sequence(term_sequence::ke);
    });
}

// Runs on the thread that got the signal, maybe while that thread holds
// term_lock or is inside the standard I/O library: so no lock, no stdio, only
// the bytes and settings prepared at set-up. The service thread is left to
// end at its next tick; term_shutdown joins it if the process goes on.
void fatal_signal_handler(int signal_number) {
    const int saved_errno = errno;
    sigaction(signal_number, &saved_dispositions[signal_number], nullptr);
    if (kind.load() != 0) {
        if (!restored.load()) {
            // Without a size check (it would need the lock), the view covers
            // the screen unless the terminal reported 0 rows.
            if (known_rows.load() == 0) write_all(signal_clear_bytes, signal_clear_length);
            write_all(signal_restore_bytes, signal_restore_length);
            put_settings_back();
            restored.store(true);
        }
        kind.store(0);
    }
    raise(signal_number);
    errno = saved_errno;
}

// Stays installed (sigaction does not reset it), so it needs no re-arming.
void window_change_handler(int) {
    resize_pending.store(1);
}

// Installed with SA_RESTART, whatever signal() would do on this system or
// under a sanitizer: a window change must not make a write to the terminal
// fail half-way with EINTR.
void install_handler(int signal_number, void (*handler)(int), struct sigaction* previous) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal_number, &action, previous);
}

// The hook of the periodic console services; zix registers none.
void run_console_services() {}

void* term_service_thread(void*) {
    if (kind.load() == 0) return nullptr;
    do {
        pthread_mutex_lock(&term_lock);
        run_console_services();
        pthread_mutex_unlock(&term_lock);
        usleep(kTickMicros);
    } while (kind.load() != 0);
    return nullptr;
}

// A set-up that fails half-way leaves nothing behind: standard output's
// settings go back at once and "/dev/tty" is closed.
bool abandon_setup(bool output_changed) {
    if (output_changed) tcsetattr(1, TCSANOW, &term_state.saved_out_modes);
    std::fclose(term_state.tty_file);
    term_state.tty_file = nullptr;
    term_state.tty_fd = 0;
    return false;
}

bool term_setup_modes() {
    if (kind.load() == 0 || !isatty(1) || !isatty(0)) return false;
    FILE* tty = std::fopen("/dev/tty", "r+b");
    if (tty == nullptr) return false;
    term_state.tty_file = tty;
    term_state.tty_fd = fileno(tty);

    // A background job must not touch the terminal. Passing this test also
    // means standard output is the controlling terminal, the one "/dev/tty"
    // names.
    if (tcgetpgrp(1) != getpgid(0)) return abandon_setup(false);

    if (tcgetattr(1, &term_state.saved_out_modes) != 0) return abandon_setup(false);
    termios out_modes = term_state.saved_out_modes;
    out_modes.c_oflag |= OPOST;
    if (tcsetattr(1, TCSANOW, &out_modes) != 0) return abandon_setup(true);

    termios tty_modes{};
    if (tcgetattr(term_state.tty_fd, &tty_modes) != 0) return abandon_setup(true);
    // These settings are put back last, on the same terminal, and were read
    // with OPOST already on: keep OPOST as it was found, so the terminal ends
    // the run exactly as it began.
    term_state.saved_tty_modes = tty_modes;
    term_state.saved_tty_modes.c_oflag =
        (tty_modes.c_oflag & ~tcflag_t{OPOST}) | (term_state.saved_out_modes.c_oflag & OPOST);

    tty_modes.c_iflag |= BRKINT;
    tty_modes.c_iflag &= ~tcflag_t{IGNBRK | IXON | IXOFF};
    tty_modes.c_lflag &= ~tcflag_t{ICANON | ECHO};
    tty_modes.c_cc[VMIN] = 1;
    tty_modes.c_cc[VTIME] = 0;
    if (tcsetattr(term_state.tty_fd, TCSANOW, &tty_modes) != 0) return abandon_setup(true);

    term_state.saved_tty_flags = fcntl(term_state.tty_fd, F_GETFL);
    term_state.tty_flags_saved = term_state.saved_tty_flags >= 0;
    if (term_state.tty_flags_saved) {
        fcntl(term_state.tty_fd, F_SETFL, term_state.saved_tty_flags | O_NONBLOCK);
    }

    if (kind.load() == 1) term_send(term_sequence::null_mapping);
    term_send(term_sequence::ks);
    return true;
}

void term_restore() {
    if (kind.load() == 0) return;
    int height = 0;
    {
        term_lock_guard guard;
        term_refresh_size();
        height = term_state.screen_height;
    }
    if (read_view_top() != 0 || read_view_bottom() != height - 1) {
        term_send(term_sequence::cs, height - 1, 0);
        term_send(term_sequence::cl);
        term_send(term_sequence::ho);
    }
    if (kind.load() == 1) term_send(term_sequence::default_mapping);
    term_send(term_sequence::me);
    term_send(term_sequence::ve);
    term_send(term_sequence::ke);
    // A fatal signal from here on puts the settings back once more: harmless.
    if (!restored.load()) {
        put_settings_back();
        restored.store(true);
    }
    if (term_state.tty_file) {
        std::fclose(term_state.tty_file);
        term_state.tty_file = nullptr;
    }
}

}  // namespace

term_lock_guard::term_lock_guard() : held_(lock_alive) {
    if (held_) pthread_mutex_lock(&term_lock);
}

term_lock_guard::~term_lock_guard() {
    if (held_) pthread_mutex_unlock(&term_lock);
}

int term_kind() {
    return kind.load();
}

bool term_send(term_sequence which, int a, int b) {
    if (kind.load() == 0) return false;
    if (is_capability(which)) {
        const char* string = term_state.capability[static_cast<int>(which)];
        if (string == nullptr) return false;
        const char* output = tgoto(string, a, b);
        if (output == nullptr) return false;
        tputs(output, 1, std::putchar);
        std::fflush(stdout);
        return true;
    }
    if (std::fputs(fixed_sequence(which), stdout) == EOF) return false;
    std::fflush(stdout);
    return true;
}

bool term_query(term_sequence which, int* first, int* second) {
    if (!term_send(which)) return false;
    term_reply_scanner scanner =
        term_reply_start(which == term_sequence::size_query ? term_reply_format::text_area_size
                                                            : term_reply_format::cursor_position);
    // Bytes read earlier are looked at first; the wait only bounds the time
    // spent waiting for more.
    const int64_t deadline_ns = monotonic_ns() + int64_t{kReplyWaitMs} * 1000000;
    for (;;) {
        if (input_next == input_end && !fill_input(deadline_ns)) return false;
        const term_reply_step step = term_reply_feed(scanner, input_buffer[input_next]);
        if (step.consumed) ++input_next;
        if (step.set_aside >= 0) type_ahead_store(step.set_aside);
        if (step.done) {
            *first = scanner.values[0];
            *second = scanner.values[1];
            return true;
        }
    }
}

void term_refresh_size() {
    if (resize_pending.exchange(0) == 0) return;

    winsize size{};
    size.ws_row = 0xFFFF;
    ioctl(1, TIOCGWINSZ, &size);
    int rows = kDefaultRows;
    int columns = kDefaultColumns;
    if (size.ws_row == 0xFFFF) {
        if (!term_query(term_sequence::size_query, &rows, &columns)) {
            rows = kDefaultRows;
            columns = kDefaultColumns;
        }
    } else {
        rows = size.ws_row;
        columns = size.ws_col;
    }
    // A negative size is no size.
    if (rows < 0) rows = 0;
    if (columns < 0) columns = 0;

    resize_screen_copy(rows, columns);
    term_state.screen_height = rows;
    term_state.screen_width = columns;
    known_rows.store(rows);

    if (!term_query(term_sequence::cursor_query, &term_state.cursor_row, &term_state.cursor_col)) {
        term_state.cursor_row = 1;
        term_state.cursor_col = 1;
    }
}

int term_screen_width() {
    return term_state.screen_width;
}
int term_screen_height() {
    return term_state.screen_height;
}
int term_cursor_row() {
    return term_state.cursor_row;
}
int term_cursor_col() {
    return term_state.cursor_col;
}

void term_init() {
    pthread_mutex_init(&term_lock, nullptr);
    lock_alive = true;
    term_state = term_state_record{};
    kind.store(0);
    view_top = view_bottom = -1;
    type_ahead = type_ahead_ring{};
    input_next = input_end = 0;
    known_rows.store(-1);
    restored.store(false);
    service_started = false;

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
    if (tgetflag("am") == 0) return;

    for (int i = 0; i < kCapabilityCount; ++i) {
        term_state.capability[i] = tgetstr(kCapabilityCodes[i], nullptr);
    }
    const bool linux_console =
        std::strcmp(term, "console") == 0 || std::strncmp(term, "linux", 5) == 0;
    kind.store(linux_console ? 1 : 2);
    if (!term_setup_modes()) {
        kind.store(0);
        return;
    }
    prepare_signal_restore();

    // Without the thread the layer works all the same; it is then not joined.
    service_started = pthread_create(&service_thread, nullptr, term_service_thread, nullptr) == 0;

    for (const int signal_number : kFatalSignals) {
        struct sigaction& previous = saved_dispositions[signal_number];
        previous = {};
        previous.sa_handler = SIG_DFL;
        install_handler(signal_number, fatal_signal_handler, &previous);
    }

    term_state.char_buffer = nullptr;
    term_state.fg_color = kForeground;
    term_state.bg_color = kBackground;
    resize_pending.store(1);
    {
        term_lock_guard guard;
        term_refresh_size();
    }
    install_handler(SIGWINCH, window_change_handler, nullptr);
}

void term_shutdown() {
    term_restore();
    kind.store(0);
    if (service_started) {
        pthread_join(service_thread, nullptr);
        service_started = false;
    }
    // Still open only when a fatal signal was handled and then ignored.
    if (term_state.tty_file) {
        std::fclose(term_state.tty_file);
        term_state.tty_file = nullptr;
    }
    std::free(term_state.char_buffer);
    term_state.char_buffer = nullptr;
    term_state.attr_buffer = nullptr;
    if (lock_alive) {
        lock_alive = false;
        pthread_mutex_destroy(&term_lock);
    }
}
