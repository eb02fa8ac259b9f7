#include "pty_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "emulator.h"

extern char** environ;

namespace {

using clock_type = std::chrono::steady_clock;

constexpr const char* kCursorQuery = "\x1b[6n";
constexpr const char* kSizeQuery = "\x1b[18t";

double since(clock_type::time_point start) {
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

int temp_file() {
    char name[] = "/tmp/zix-pty-XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) unlink(name);
    return fd;
}

std::string read_file(int fd) {
    std::string data;
    lseek(fd, 0, SEEK_SET);
    char chunk[65536];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got <= 0) break;
        data.append(chunk, static_cast<size_t>(got));
    }
    return data;
}

bool unwanted(const std::string& entry) {
    for (const char* name : {"TERM=", "TERMINFO=", "TERMINFO_DIRS=", "TERMCAP=", "LINES=",
                             "COLUMNS=", "LD_PRELOAD="}) {
        if (entry.rfind(name, 0) == 0) return true;
    }
    return false;
}

// Runs in the child between fork and exec: only system calls.
[[noreturn]] void start_child(const char* slave_name, const pty_options& options, int err_fd,
                              int out_fd, char* const* argv, char* const* envp) {
    setsid();
    const int tty = open(slave_name, O_RDWR);
    if (tty < 0) _exit(120);
    ioctl(tty, TIOCSCTTY, 0);

    if (options.background) {
        // The session leader stays in the foreground and waits; the program
        // runs in a process group of its own, as a shell's background job.
        const pid_t job = fork();
        if (job < 0) _exit(121);
        if (job > 0) {
            int status = 0;
            while (waitpid(job, &status, 0) < 0) {
            }
            if (WIFSIGNALED(status)) {
                signal(WTERMSIG(status), SIG_DFL);
                kill(getpid(), WTERMSIG(status));
            }
            _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 122);
        }
        setpgid(0, 0);
    }

    const int in = options.stdin_from_null ? open("/dev/null", O_RDONLY) : tty;
    dup2(in, 0);
    dup2(out_fd >= 0 ? out_fd : tty, 1);
    dup2(err_fd, 2);
    for (int fd = 3; fd < 256; ++fd) close(fd);

    // The program inherits default dispositions and no blocked signals,
    // whatever the test runner set up.
    for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
    for (const int sig : options.ignored_signals) signal(sig, SIG_IGN);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    if (options.memory_limit_mb > 0) {
        const rlim_t bytes = static_cast<rlim_t>(options.memory_limit_mb) << 20;
        const rlimit data{bytes, bytes};
        setrlimit(RLIMIT_DATA, &data);
    }
    execve(argv[0], argv, envp);
    _exit(127);
}

std::string answer_for(bool size_query, const pty_options& o) {
    if (size_query) {
        if (!o.size_answer.empty()) return o.size_answer;
        return "\x1b[8;" + std::to_string(o.rows) + ";" + std::to_string(o.cols) + "t";
    }
    if (!o.cursor_answer.empty()) return o.cursor_answer;
    return "\x1b[" + std::to_string(o.cursor_row) + ";" + std::to_string(o.cursor_col) + "R";
}

struct pending_write {
    double at;
    std::string bytes;
};

}  // namespace

double pty_result::arrival(size_t offset) const {
    for (const auto& [size, time] : arrivals) {
        if (size > offset) return time;
    }
    return -1;
}

bool same_modes(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

pty_result run_on_pty(const std::string& program, const pty_options& options) {
    pty_result result;

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return result;
    const std::string slave_name = ptsname(master);
    // Held open so the terminal's settings can be read after the program has
    // gone; O_NOCTTY keeps it from becoming the test's own terminal.
    const int slave = open(slave_name.c_str(), O_RDWR | O_NOCTTY);
    winsize size{};
    size.ws_row = options.rows;
    size.ws_col = options.cols;
    ioctl(master, TIOCSWINSZ, &size);
    termios modes{};
    tcgetattr(slave, &modes);
    if (options.adjust_modes) {
        options.adjust_modes(modes);
        tcsetattr(slave, TCSANOW, &modes);
    }
    tcgetattr(slave, &result.before);

    program_command command = emulated_command(program, options.args, options.env);
    std::vector<char*> argv;
    for (std::string& a : command.argv) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_store;
    for (char** e = environ; *e; ++e) {
        if (!unwanted(*e)) env_store.emplace_back(*e);
    }
    if (options.term) env_store.push_back("TERM=" + *options.term);
    env_store.insert(env_store.end(), command.env.begin(), command.env.end());
    std::vector<char*> envp;
    for (std::string& e : env_store) envp.push_back(e.data());
    envp.push_back(nullptr);

    const int err_fd = temp_file();
    const int out_fd = options.stdout_to_file ? temp_file() : -1;

    const auto start = clock_type::now();
    const pid_t pid = fork();
    if (pid == 0)
        start_child(slave_name.c_str(), options, err_fd, out_fd, argv.data(), envp.data());

    std::deque<pending_write> to_send;
    size_t scanned = 0;
    bool event_done = false;
    bool exited = false;
    int status = 0;
    double quiet_since = -1;
    char chunk[65536];

    for (;;) {
        const double now = since(start);
        while (!to_send.empty() && to_send.front().at <= now) {
            const std::string& bytes = to_send.front().bytes;
            if (write(master, bytes.data(), bytes.size()) < 0) {
            }
            to_send.pop_front();
        }
        if (!exited && waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
            result.seconds = now;
        }
        if (!exited && now > options.timeout_seconds * emulator_slowness()) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            exited = true;
            result.timed_out = true;
        }

        pollfd p{master, POLLIN, 0};
        const int ready = poll(&p, 1, exited ? 100 : 5);
        ssize_t got = 0;
        if (ready > 0) got = read(master, chunk, sizeof chunk);
        if (got > 0) {
            result.out.append(chunk, static_cast<size_t>(got));
            result.arrivals.emplace_back(result.out.size(), since(start));
            quiet_since = -1;
        } else if (exited) {
            // Everything written before the exit has arrived once the
            // terminal stays quiet for a while.
            if (quiet_since < 0) quiet_since = since(start);
            if (since(start) - quiet_since > 0.1) break;
            continue;
        }

        // Answer each query once it is complete in the recorded bytes.
        for (;;) {
            const size_t cursor = result.out.find(kCursorQuery, scanned);
            const size_t sized = result.out.find(kSizeQuery, scanned);
            const size_t first = cursor < sized ? cursor : sized;
            if (first == std::string::npos) break;
            const bool size_query = first == sized;
            scanned = first + (size_query ? std::strlen(kSizeQuery) : std::strlen(kCursorQuery));
            (size_query ? result.size_queries : result.cursor_queries).push_back(scanned);
            if (!(size_query ? options.answer_size : options.answer_cursor)) continue;
            const std::string answer = options.before_answer + answer_for(size_query, options);
            const size_t piece = options.answer_piece ? options.answer_piece : answer.size();
            double at = since(start);
            for (size_t i = 0; i < answer.size(); i += piece) {
                to_send.push_back({at, answer.substr(i, piece)});
                at += options.piece_gap_ms / 1000.0;
            }
        }
        if (result.out.size() >= 4 && scanned < result.out.size() - 4) {
            scanned = result.out.size() - 4;  // a query may be split across reads
        }

        if (!event_done && !exited && options.event_after > 0 &&
            result.out.size() >= options.event_after) {
            event_done = true;
            result.event_offset = result.out.size();
            if (options.event_rows || options.event_cols) {
                winsize changed{};
                changed.ws_row = options.event_rows;
                changed.ws_col = options.event_cols;
                ioctl(master, TIOCSWINSZ, &changed);
            }
            if (!options.event_keys.empty() &&
                write(master, options.event_keys.data(), options.event_keys.size()) < 0) {
            }
            if (options.event_signal) kill(pid, options.event_signal);
        }
    }

    if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.term_signal = WTERMSIG(status);
    tcgetattr(slave, &result.after);
    result.err = without_emulator_notice(read_file(err_fd));
    close(err_fd);
    if (out_fd >= 0) {
        result.file_out = read_file(out_fd);
        close(out_fd);
    }
    close(slave);
    close(master);
    return result;
}
