#include "support/pty_harness.h"

#include <dirent.h>
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
#include <fstream>
#include <optional>
#include <sstream>

#include "support/emulator.h"
#include "support/test_files.h"

using clock_type = std::chrono::steady_clock;

namespace {

constexpr const char* kCursorQuery = "\x1b[6n";
constexpr const char* kSizeQuery = "\x1b[18t";

double since(clock_type::time_point start) {
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// What a file the program wrote holds, from its start.
std::string written(int fd) {
    lseek(fd, 0, SEEK_SET);
    return read_all(fd);
}

bool unwanted(const std::string& entry) {
    for (const char* name : {"TERM=", "TERMINFO=", "TERMINFO_DIRS=", "TERMCAP=", "LINES=",
                             "COLUMNS=", "LD_PRELOAD=", "LANG=", "LANGUAGE=", "LC_"}) {
        if (entry.rfind(name, 0) == 0) return true;
    }
    return false;
}

// The inherited environment without what would change how a terminal is
// used, then TERM, the locale and the extra entries.
std::vector<std::string> environment_for(const pty_options& o,
                                         const std::vector<std::string>& extra) {
    std::vector<std::string> env = inherited_environment();
    std::erase_if(env, unwanted);
    if (o.term) env.push_back("TERM=" + *o.term);
    if (!o.locale.empty()) env.push_back("LC_ALL=" + o.locale);
    return environment_with(std::move(env), extra);
}

// The program inherits default dispositions and no blocked signals, whatever
// the test runner set up. Runs between fork and exec: only system calls.
void plain_signals(const std::vector<int>& ignored) {
    for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
    for (const int sig : ignored) signal(sig, SIG_IGN);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
}

// A new session whose controlling terminal is slave_name; the descriptor.
int become_session_leader(const char* slave_name) {
    setsid();
    const int tty = open(slave_name, O_RDWR);
    if (tty < 0) _exit(120);
    ioctl(tty, TIOCSCTTY, 0);
    return tty;
}

[[noreturn]] void start_child(const char* slave_name, const char* other_name,
                              const pty_options& options, int err_fd, int out_fd, char* const* argv,
                              char* const* envp) {
    const int tty = become_session_leader(slave_name);

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

    const int other = other_name ? open(other_name, O_RDWR | O_NOCTTY) : -1;
    using which = pty_options::other;
    int in = options.other_terminal == which::standard_input ? other : tty;
    if (options.stdin_from_null) in = open("/dev/null", O_RDONLY);
    int out = options.other_terminal == which::standard_output ? other : tty;
    if (out_fd >= 0) out = out_fd;
    dup2(in, 0);
    dup2(out, 1);
    dup2(err_fd, 2);
    for (int fd = 3; fd < 256; ++fd) close(fd);

    plain_signals(options.ignored_signals);
    limit_memory(options.memory_limit_mb);
    execve(argv[0], argv, envp);
    _exit(127);
}

struct pending_write {
    double at;
    std::string bytes;
};

// A pseudo-terminal's two ends, opened with the window size set.
struct pty_pair {
    int master = -1;
    int slave = -1;  // held open so the settings can be read at any time
    std::string slave_name;

    explicit pty_pair(const pty_options& o) {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
        slave_name = ptsname(master);
        // O_NOCTTY keeps it from becoming the test's own terminal.
        slave = open(slave_name.c_str(), O_RDWR | O_NOCTTY);
        winsize size{};
        size.ws_row = o.rows;
        size.ws_col = o.cols;
        ioctl(master, TIOCSWINSZ, &size);
    }
    ~pty_pair() {
        if (slave >= 0) close(slave);
        if (master >= 0) close(master);
    }
    pty_pair(const pty_pair&) = delete;
    pty_pair& operator=(const pty_pair&) = delete;
};

// What the terminal held for its next reader: read from its side with line
// editing off, so that a line not yet ended counts too.
std::string unread_input(int slave) {
    termios raw{};
    tcgetattr(slave, &raw);
    raw.c_lflag &= ~tcflag_t{ICANON};
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    tcsetattr(slave, TCSANOW, &raw);
    std::string bytes;
    char chunk[256];
    for (ssize_t got; (got = read(slave, chunk, sizeof chunk)) > 0;) {
        bytes.append(chunk, static_cast<size_t>(got));
    }
    return bytes;
}

// The processes of a session, by /proc: field 6 of stat, after the command
// name in parentheses.
std::vector<pid_t> session_members(pid_t session) {
    std::vector<pid_t> members;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return members;
    while (const dirent* entry = readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid <= 0) continue;
        std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
        std::string line;
        std::getline(stat, line);
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(line.substr(close + 1));
        std::string state;
        long parent = 0, group = 0, sid = 0;
        if (fields >> state >> parent >> group >> sid && sid == session) members.push_back(pid);
    }
    closedir(proc);
    return members;
}

}  // namespace

// The terminal side shared by run_on_pty and pty_shell: records what arrives
// and answers each query once it is complete in the recorded bytes.
struct pty_terminal {
    const pty_options options;  // a copy: a shell outlives the options it was started with
    pty_pair pair;
    clock_type::time_point start = clock_type::now();
    std::string out;
    std::vector<size_t> cursor_queries;
    std::vector<size_t> size_queries;
    std::vector<std::pair<size_t, double>> arrivals;
    std::deque<pending_write> to_send;
    size_t scanned = 0;
    size_t answers = 0;

    explicit pty_terminal(const pty_options& o) : options(o), pair(o) {}

    double now() const { return since(start); }

    void send_due() {
        while (!to_send.empty() && to_send.front().at <= now()) {
            const std::string& bytes = to_send.front().bytes;
            if (write(pair.master, bytes.data(), bytes.size()) < 0) {
            }
            to_send.pop_front();
        }
    }

    std::string answer_for(bool size_query) const {
        const pty_options& o = options;
        if (size_query) {
            if (!o.size_answer.empty()) return o.size_answer;
            return "\x1b[8;" + std::to_string(o.rows) + ";" + std::to_string(o.cols) + "t";
        }
        if (!o.cursor_answer.empty()) return o.cursor_answer;
        const size_t n = cursor_queries.size() - 1;
        const int col = n < o.cursor_cols.size() ? o.cursor_cols[n] : o.cursor_col;
        return "\x1b[" + std::to_string(o.cursor_row) + ";" + std::to_string(col) + "R";
    }

    void answer_queries() {
        for (;;) {
            const size_t cursor = out.find(kCursorQuery, scanned);
            const size_t sized = out.find(kSizeQuery, scanned);
            const size_t first = cursor < sized ? cursor : sized;
            if (first == std::string::npos) break;
            const bool size_query = first == sized;
            scanned = first + (size_query ? std::strlen(kSizeQuery) : std::strlen(kCursorQuery));
            (size_query ? size_queries : cursor_queries).push_back(scanned);
            if (!(size_query ? options.answer_size : options.answer_cursor)) continue;
            const size_t n = answers++;
            const std::string answer = options.before_answer + answer_for(size_query);
            const size_t piece = options.answer_piece ? options.answer_piece : answer.size();
            double at = now();
            if (n < options.answer_delays_ms.size()) at += options.answer_delays_ms[n] / 1000.0;
            // Answers come in the order asked, as over one slow line.
            if (!to_send.empty() && at < to_send.back().at) at = to_send.back().at;
            for (size_t i = 0; i < answer.size(); i += piece) {
                to_send.push_back({at, answer.substr(i, piece)});
                at += options.piece_gap_ms / 1000.0;
            }
        }
        if (out.size() >= 4 && scanned < out.size() - 4) {
            scanned = out.size() - 4;  // a query may be split across reads
        }
    }

    // Sends what is due, waits up to poll_ms for output and takes it in; true
    // when something arrived.
    bool pump(int poll_ms) {
        send_due();
        pollfd p{pair.master, POLLIN, 0};
        if (poll(&p, 1, poll_ms) <= 0) return false;
        char chunk[65536];
        const ssize_t got = read(pair.master, chunk, sizeof chunk);
        if (got <= 0) return false;
        out.append(chunk, static_cast<size_t>(got));
        arrivals.emplace_back(out.size(), now());
        answer_queries();
        return true;
    }
};

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

std::string shell_quoted(const std::string& word) {
    std::string out = "'";
    for (const char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string shell_command_line(const std::string& program, const std::vector<std::string>& args,
                               const std::vector<std::string>& env) {
    const program_command command = emulated_command(program, args, env);
    std::string line = command.env.empty() ? "" : "env";
    for (const std::string& entry : command.env) line += " " + shell_quoted(entry);
    for (const std::string& word : command.argv) {
        line += (line.empty() ? "" : " ") + shell_quoted(word);
    }
    return line;
}

pty_result run_on_pty(const std::string& program, const pty_options& options) {
    pty_result result;
    pty_terminal terminal(options);
    const pty_pair& pair = terminal.pair;
    if (pair.slave < 0) return result;
    std::optional<pty_pair> other;
    if (options.other_terminal != pty_options::other::none) {
        other.emplace(options);
        fcntl(other->master, F_SETFL, O_NONBLOCK);
    }

    termios modes{};
    tcgetattr(pair.slave, &modes);
    if (options.adjust_modes) {
        options.adjust_modes(modes);
        tcsetattr(pair.slave, TCSANOW, &modes);
    }
    tcgetattr(pair.slave, &result.before);

    const program_command command = emulated_command(program, options.args, options.env);
    const exec_arrays exec(command.argv, environment_for(options, command.env));

    const int err_fd = temp_file();
    const int out_fd = options.stdout_to_file ? temp_file() : -1;

    const pid_t pid = fork();
    if (pid == 0) {
        start_child(pair.slave_name.c_str(), other ? other->slave_name.c_str() : nullptr, options,
                    err_fd, out_fd, exec.argv.data(), exec.envp.data());
    }

    bool event_done = false;
    bool exited = false;
    int status = 0;
    double quiet_since = -1;

    for (;;) {
        const double now = terminal.now();
        if (!exited && waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
            result.seconds = now;
        }
        if (!exited && now > options.timeout_seconds * run_slowness()) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            exited = true;
            result.timed_out = true;
        }
        if (other) {
            char chunk[4096];
            for (ssize_t got; (got = read(other->master, chunk, sizeof chunk)) > 0;) {
                result.other_out.append(chunk, static_cast<size_t>(got));
            }
        }

        if (terminal.pump(exited ? 100 : 5)) {
            quiet_since = -1;
        } else if (exited) {
            // Everything written before the exit has arrived once the
            // terminal stays quiet for a while, and every answer has gone.
            if (quiet_since < 0) quiet_since = terminal.now();
            if (terminal.to_send.empty() && terminal.now() - quiet_since > 0.1) break;
            continue;
        }

        if (!event_done && !exited && options.event_after > 0 &&
            terminal.out.size() >= options.event_after) {
            event_done = true;
            result.event_offset = terminal.out.size();
            if (options.event_rows || options.event_cols) {
                winsize changed{};
                changed.ws_row = options.event_rows;
                changed.ws_col = options.event_cols;
                ioctl(pair.master, TIOCSWINSZ, &changed);
            }
            if (!options.event_keys.empty() &&
                write(pair.master, options.event_keys.data(), options.event_keys.size()) < 0) {
            }
            if (options.event_signal) kill(pid, options.event_signal);
        }
    }

    if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.term_signal = WTERMSIG(status);
    tcgetattr(pair.slave, &result.after);
    result.unread = unread_input(pair.slave);
    result.out = std::move(terminal.out);
    result.cursor_queries = std::move(terminal.cursor_queries);
    result.size_queries = std::move(terminal.size_queries);
    result.arrivals = std::move(terminal.arrivals);
    result.err = without_emulator_notice(written(err_fd));
    close(err_fd);
    if (out_fd >= 0) {
        result.file_out = written(out_fd);
        close(out_fd);
    }
    return result;
}

pty_shell::pty_shell(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                     const pty_options& terminal)
    : terminal_(std::make_unique<pty_terminal>(terminal)) {
    const exec_arrays exec(argv, environment_for(terminal, env));
    const std::string slave_name = terminal_->pair.slave_name;
    shell_ = fork();
    if (shell_ == 0) {
        const int tty = become_session_leader(slave_name.c_str());
        for (int fd = 0; fd < 3; ++fd) dup2(tty, fd);
        for (int fd = 3; fd < 256; ++fd) close(fd);
        plain_signals({});
        execvpe(exec.argv[0], exec.argv.data(), exec.envp.data());
        _exit(127);
    }
}

pty_shell::~pty_shell() {
    if (shell_ <= 0) return;
    for (const pid_t pid : session_members(shell_)) kill(pid, SIGKILL);
    kill(shell_, SIGKILL);
    waitpid(shell_, nullptr, 0);
}

void pty_shell::type(const std::string& keys) {
    if (write(terminal_->pair.master, keys.data(), keys.size()) < 0) {
    }
}

void pty_shell::signal_foreground(int signal) {
    const pid_t group = tcgetpgrp(terminal_->pair.master);
    if (group > 0) kill(-group, signal);
}

size_t pty_shell::wait_for(const std::string& text, size_t from, double seconds) {
    const double until = terminal_->now() + seconds * run_slowness();
    for (;;) {
        const size_t at = terminal_->out.find(text, from);
        if (at != std::string::npos) return at + text.size();
        if (terminal_->now() > until) return std::string::npos;
        terminal_->pump(5);
    }
}

termios pty_shell::modes() const {
    termios modes{};
    tcgetattr(terminal_->pair.slave, &modes);
    return modes;
}

const std::string& pty_shell::out() const {
    return terminal_->out;
}

size_t pty_shell::cursor_queries() const {
    return terminal_->cursor_queries.size();
}
