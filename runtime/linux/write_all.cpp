#include "runtime/linux/write_all.h"

#include <poll.h>

#include <cerrno>

namespace {

// Waits until fd takes more bytes. An error or hang-up on the descriptor
// shows in the next write, which reports it.
int wait_until_writable(int fd) {
    pollfd ready{fd, POLLOUT, 0};
    while (poll(&ready, 1, -1) < 0) {
        if (errno != EINTR) return errno;
    }
    return 0;
}

}  // namespace

int write_all_rest(int fd, const char* bytes, size_t count, ssize_t done) {
    for (;;) {
        if (done > 0) {
            bytes += done;
            count -= static_cast<size_t>(done);
            if (count == 0) return 0;
        } else if (done == 0) {
            if (count == 0) return 0;
            return kWriteAllStalled;
        } else {
            const int error = errno;
            if (error != EINTR) {
                if (error != EAGAIN && error != EWOULDBLOCK) return error;
                const int failed = wait_until_writable(fd);
                if (failed != 0) return failed;
            }
        }
        done = write(fd, bytes, count);
    }
}
