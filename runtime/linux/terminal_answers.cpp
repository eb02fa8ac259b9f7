// The answer channel's I/O: queries sent, the terminal read until their answers are in.
//
// What the bytes mean is terminal_reply.cpp's affair; here they are read, within
// the wait for an answer, and, before the terminal is given back, for the
// answers still owed.
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "runtime/linux/terminal_state.h"

namespace {

constexpr int kReplyWaitMs = 250;

int64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

int64_t deadline_after_wait() {
    return monotonic_ns() + int64_t{kReplyWaitMs} * 1000000;
}

// Reads what the terminal has into the channel, waiting until the deadline at
// most; false at the deadline, at end of input, on an error, or once zix no
// longer holds the terminal (a read from the background would stop it). The
// descriptor does not block, so a byte that a stop's settings change threw
// away after poll saw it cannot hold the read. Async-signal-safe.
bool read_into(term_answer_channel& channel, int64_t deadline_ns) {
    for (;;) {
        if (term_state.hold.load() == released) return false;
        const int64_t left_ns = deadline_ns - monotonic_ns();
        if (left_ns <= 0) return false;
        pollfd input{term_state.tty_fd, POLLIN, 0};
        const int ready = poll(&input, 1, static_cast<int>((left_ns + 999999) / 1000000));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        unsigned char bytes[256];
        const ssize_t got = read(term_state.tty_fd, bytes, sizeof bytes);
        if (got > 0) {
            term_channel_take(channel, bytes, static_cast<size_t>(got));
            return true;
        }
        if (got == 0) return false;
        if (errno != EINTR && errno != EAGAIN) return false;
    }
}

}  // namespace

bool term_query(term_sequence which, int* first, int* second) {
    if (term_state.hold.load() != holding) return false;
    term_answer_channel& channel = term_state.channel;
    if (term_state.answers_stale.exchange(false)) term_channel_forget(channel);
    const term_reply_format format = which == term_sequence::size_query
                                         ? term_reply_format::text_area_size
                                         : term_reply_format::cursor_position;
    const int f = static_cast<int>(format);
    // Owed before it goes out: a stop or a fatal signal that comes the moment
    // the query has been written waits for its answer before the terminal goes
    // back to the shell, which would otherwise read the answer as keys.
    term_channel_asked(channel, format);
    if (!term_send(which)) {
        --channel.owed[f];
        return false;
    }
    const int64_t deadline_ns = deadline_after_wait();
    while (!channel.answered[f]) {
        if (!read_into(channel, deadline_ns)) return false;
    }
    *first = channel.latest[f][0];
    *second = channel.latest[f][1];
    return true;
}

void term_answers_drain() {
    if (term_state.answers_stale.load()) return;
    term_answer_channel channel = term_state.channel;
    const int64_t deadline_ns = deadline_after_wait();
    while (term_channel_owes(channel) && read_into(channel, deadline_ns)) {
    }
}
