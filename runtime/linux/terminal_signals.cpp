// The layer's signal handlers: fatal signals, Ctrl-Z, continue and window change.
//
// Fatal signals put the terminal back and end the process by the same signal,
// Ctrl-Z gives the terminal back and stops, a continue takes it again, a window
// change is noted for the next write.
//
// Every handler runs on the main thread (the service thread blocks these
// signals), with all the others blocked, and does only what is safe in a
// handler: atomics, write, tcgetattr/tcsetattr, fcntl, poll/read, no lock, no
// standard I/O, no allocation.
#include <cerrno>
#include <cstddef>

#include "runtime/linux/terminal_state.h"

namespace {

constexpr int kFatalSignals[] = {SIGABRT, SIGFPE, SIGILL, SIGSEGV, SIGTERM, SIGINT, SIGQUIT};
constexpr int kJobSignals[] = {SIGWINCH, SIGTSTP, SIGCONT};

// The fatal handlers run here, so that a stack overflow still puts the
// terminal back. The size leaves room for the deepest handler path (a copy of
// the answer channel and a read buffer) under a sanitizer's larger frames.
constexpr size_t kAltStackBytes = 64 * 1024;
alignas(16) char alt_stack[kAltStackBytes];
stack_t previous_alt_stack;

void handled_set(sigset_t* set) {
    sigemptyset(set);
    for (const int signal_number : kFatalSignals) sigaddset(set, signal_number);
    for (const int signal_number : kJobSignals) sigaddset(set, signal_number);
}

// SA_RESTART, whatever signal() would do on this system or under a sanitizer:
// a window change must not make a write to the terminal fail half-way with
// EINTR.
void install(int signal_number, void (*handler)(int), int flags, struct sigaction* previous) {
    struct sigaction action {};
    action.sa_handler = handler;
    handled_set(&action.sa_mask);
    action.sa_flags = SA_RESTART | flags;
    sigaction(signal_number, &action, previous);
}

void fatal_signal_handler(int signal_number) {
    const int saved_errno = errno;
    sigaction(signal_number, &term_state.saved_dispositions[signal_number], nullptr);
    // Where the previous disposition ignores the signal, zix goes on with the
    // layer inactive: the terminal is not taken again.
    term_state.closing.store(true);
    term_put_back();
    term_state.kind.store(0);
    raise(signal_number);
    errno = saved_errno;
}

// The terminal goes back before the process stops, as the shell expects (dash
// puts nothing back itself); the stop itself is the default action of the
// signal raised again. raise returns once the process is continued.
void stop_handler(int) {
    const int saved_errno = errno;
    term_put_back();
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(SIGTSTP, &default_action, nullptr);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
    raise(SIGTSTP);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    install(SIGTSTP, stop_handler, 0, nullptr);
    term_take_back();
    errno = saved_errno;
}

// Also after a stop that zix did not see (SIGSTOP, or a read or write from the
// background): the shell may have put its own settings on the terminal.
void continue_handler(int) {
    const int saved_errno = errno;
    term_take_back();
    errno = saved_errno;
}

void window_change_handler(int) {
    term_state.resize_pending.store(1);
}

}  // namespace

void term_signals_block(sigset_t* previous) {
    sigset_t set;
    handled_set(&set);
    pthread_sigmask(SIG_BLOCK, &set, previous);
}

void term_signals_unblock(const sigset_t* previous) {
    pthread_sigmask(SIG_SETMASK, previous, nullptr);
}

void term_signals_install() {
    stack_t stack{};
    stack.ss_sp = alt_stack;
    stack.ss_size = sizeof alt_stack;
    sigaltstack(&stack, &previous_alt_stack);

    struct sigaction* saved = term_state.saved_dispositions;
    for (const int signal_number : kFatalSignals) {
        install(signal_number, fatal_signal_handler, SA_ONSTACK, &saved[signal_number]);
    }
    // Ctrl-Z is handled only when it would stop zix anyway; where it is
    // ignored, it stays ignored.
    sigaction(SIGTSTP, nullptr, &saved[SIGTSTP]);
    if (saved[SIGTSTP].sa_handler == SIG_DFL) install(SIGTSTP, stop_handler, 0, nullptr);
    install(SIGCONT, continue_handler, 0, &saved[SIGCONT]);
    install(SIGWINCH, window_change_handler, 0, &saved[SIGWINCH]);
    term_state.signals_installed = true;
}

void term_signals_uninstall() {
    if (!term_state.signals_installed) return;
    term_state.signals_installed = false;
    struct sigaction* saved = term_state.saved_dispositions;
    for (const int signal_number : kFatalSignals) {
        sigaction(signal_number, &saved[signal_number], nullptr);
    }
    for (const int signal_number : kJobSignals)
        sigaction(signal_number, &saved[signal_number], nullptr);
    sigaltstack(&previous_alt_stack, nullptr);
}
