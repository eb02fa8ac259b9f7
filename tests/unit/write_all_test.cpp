// write_all on pipes that push back: full and non-blocking, interrupted by a
// signal, or without a reader.
#include "runtime/linux/write_all.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "support/test_files.h"

namespace {

void on_timer(int) {}

// A timer signal every 200 microseconds, with no restart, so that a write
// blocked on a full pipe returns early (a short count or EINTR).
struct interrupting_timer {
    struct sigaction before {};
    explicit interrupting_timer(bool on) : active(on) {
        if (!active) return;
        struct sigaction action {};
        action.sa_handler = on_timer;
        sigaction(SIGALRM, &action, &before);
        const itimerval every{{0, 200}, {0, 200}};
        setitimer(ITIMER_REAL, &every, nullptr);
    }
    ~interrupting_timer() {
        if (!active) return;
        const itimerval off{};
        setitimer(ITIMER_REAL, &off, nullptr);
        sigaction(SIGALRM, &before, nullptr);
    }
    bool active;
};

// Starts a process that reads the pipe fds to its end, slowly, and keeps what
// it read in a file; gives that file. (A process, not a thread: under an
// emulator, threads and a busy timer signal do not always get along.)
FILE* start_slow_reader(const int fds[2], pid_t* pid) {
    FILE* kept = std::tmpfile();
    *pid = fork();
    if (*pid != 0) return kept;
    close(fds[1]);  // the pipe ends when the writer closes its end
    const std::string data = read_slowly(fds[0]);
    const bool all = std::fwrite(data.data(), 1, data.size(), kept) == data.size();
    _exit(all && std::fflush(kept) == 0 ? 0 : 1);
}

std::string read_back(FILE* file) {
    std::string data;
    std::rewind(file);
    char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) data.append(chunk, n);
    std::fclose(file);
    return data;
}

TEST(WriteAll, EveryByteArrivesInOrderThroughAPipeThatPushesBack) {
    struct case_row {
        const char* what;
        bool nonblocking;
        bool interrupted;
    };
    const case_row rows[] = {
        {"full, blocking", false, false},
        {"full, non-blocking", true, false},
        {"full, blocking, interrupted", false, true},
        {"full, non-blocking, interrupted", true, true},
    };
    std::string data(1 << 20, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
    for (const case_row& row : rows) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        fcntl(fds[1], F_SETPIPE_SZ, 4096);
        if (row.nonblocking) fcntl(fds[1], F_SETFL, fcntl(fds[1], F_GETFL) | O_NONBLOCK);
        std::fflush(nullptr);  // nothing of this process's streams doubled in the child
        pid_t reader = -1;
        FILE* kept = start_slow_reader(fds, &reader);
        ASSERT_GT(reader, 0);
        close(fds[0]);
        int result = -2;
        {
            const interrupting_timer timer(row.interrupted);
            result = write_all(fds[1], data.data(), data.size());
        }
        close(fds[1]);
        int status = -1;
        while (waitpid(reader, &status, 0) < 0 && errno == EINTR) {
        }
        EXPECT_EQ(status, 0) << row.what;
        const std::string got = read_back(kept);
        EXPECT_EQ(result, 0) << row.what;
        EXPECT_TRUE(got == data) << row.what << ": " << got.size() << " bytes";
    }
}

// Only a real error ends the write, and it is the one reported.
TEST(WriteAll, ARealErrorIsReported) {
    struct sigaction ignore {};
    struct sigaction before {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &before);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    const std::string data(100000, 'x');
    EXPECT_EQ(write_all(fds[1], data.data(), data.size()), EPIPE);
    close(fds[1]);
    sigaction(SIGPIPE, &before, nullptr);

    EXPECT_EQ(write_all(fds[1], data.data(), data.size()), EBADF);

    // A write that took nothing and named no error: reported as such, on a
    // descriptor that would take the bytes if they were tried again, so that
    // neither a retry without end nor a success for bytes not written passes.
    const int null = open("/dev/null", O_WRONLY);
    EXPECT_EQ(write_all_rest(null, data.data(), data.size(), 0), kWriteAllStalled);
    close(null);
}

}  // namespace
