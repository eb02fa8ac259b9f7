#pragma once
// Every byte of a write handed to a descriptor, whatever kind of descriptor it
// is: a short write goes on with the rest, an interrupted one is tried again,
// and a descriptor left non-blocking by another process (a shared pipe, say)
// is waited for until it takes more. Safe in a signal handler: it calls only
// write and poll.

#include <unistd.h>

#include <cstddef>

// What write_all gives when the system took nothing and reported no error.
constexpr int kWriteAllStalled = -1;

// Goes on after a first write of count bytes that gave done (a count or -1
// with errno set); see write_all.
int write_all_rest(int fd, const char* bytes, size_t count, ssize_t done);

// Writes count bytes to fd. Returns 0 when all of them went out, else the
// error number of the write (or wait) that failed, or kWriteAllStalled. The
// first write is made here, so that the common case, a write taken whole,
// costs no more than the system call.
inline int write_all(int fd, const char* bytes, size_t count) {
    const ssize_t done = write(fd, bytes, count);
    if (done == static_cast<ssize_t>(count)) [[likely]]
        return 0;
    return write_all_rest(fd, bytes, count, done);
}
