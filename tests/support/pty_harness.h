#pragma once
// Runs a program on a fresh pseudo-terminal the way a terminal emulator
// would: the window has a size, the cursor position query "\e[6n" and the
// text area size query "\e[18t" are answered, and every byte the program
// writes to the terminal is recorded with the time it arrived. An interactive
// shell can be run on such a terminal too, driven by keys, for job control.

#include <sys/types.h>
#include <termios.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct pty_options {
    std::vector<std::string> args;
    std::optional<std::string> term = "xterm";  // nullopt: TERM unset
    std::string locale = "C";                   // LC_ALL; the inherited locale is dropped
    std::vector<std::string> env;  // "NAME=value", added last, in place of an inherited one

    unsigned short rows = 24;  // the window size the kernel reports
    unsigned short cols = 80;

    // The terminal's answers. An empty answer text is built from the numbers.
    bool answer_cursor = true;
    int cursor_row = 1;
    int cursor_col = 1;
    std::vector<int> cursor_cols;  // the column of the n-th cursor answer; cursor_col after
    std::string cursor_answer;
    bool answer_size = true;
    std::string size_answer;            // default: "\e[8;<rows>;<cols>t"
    std::string before_answer;          // typed just ahead of every answer
    size_t answer_piece = 0;            // > 0: answers go out in pieces this long...
    int piece_gap_ms = 0;               // ...this far apart
    std::vector<int> answer_delays_ms;  // the n-th answer (cursor or size) goes out this
                                        // late, and none after it sooner

    // How the program is connected.
    bool stdin_from_null = false;
    bool stdout_to_file = false;
    // Standard input or standard output on a second terminal; the first stays
    // the controlling one.
    enum class other { none, standard_input, standard_output };
    other other_terminal = other::none;
    bool background = false;  // in a process group of its own, not the foreground one
    std::function<void(termios&)> adjust_modes;  // the terminal's settings before the run
    std::vector<int> ignored_signals;            // SIG_IGN from the start, as nohup does

    // One event once the program has written event_after bytes.
    size_t event_after = 0;
    int event_signal = 0;                           // sent with kill
    std::string event_keys;                         // typed on the terminal
    unsigned short event_rows = 0, event_cols = 0;  // a window change when not 0

    long memory_limit_mb = 0;     // RLIMIT_DATA of the program when not 0
    double timeout_seconds = 20;  // stretched by run_slowness
};

struct pty_result {
    std::string out;        // what reached the terminal
    std::string other_out;  // what reached the second terminal
    std::string file_out;   // standard output when redirected to a file
    std::string err;        // standard error (a file)
    std::string unread;     // input the terminal still held for its next reader
    int exit_status = -1;   // -1 when it did not exit normally
    int term_signal = 0;    // the signal that ended it
    bool timed_out = false;
    termios before{};                    // the terminal's settings before the run...
    termios after{};                     // ...and after it
    std::vector<size_t> cursor_queries;  // offsets in out just past each query
    std::vector<size_t> size_queries;
    size_t event_offset = 0;  // out.size() when the event happened
    double seconds = 0;       // from start to exit

    // Seconds from the start until the byte at offset arrived.
    double arrival(size_t offset) const;
    std::vector<std::pair<size_t, double>> arrivals;  // (out.size() after a read, time)
};

pty_result run_on_pty(const std::string& program, const pty_options& options);

// True when the two settings agree in every flag, control character and speed.
bool same_modes(const termios& a, const termios& b);

// A word as a POSIX shell reads it back: in single quotes.
std::string shell_quoted(const std::string& word);

// The command line that starts program with args and env ("NAME=value") from
// a shell, under the build's emulator when there is one.
std::string shell_command_line(const std::string& program, const std::vector<std::string>& args,
                               const std::vector<std::string>& env);

struct pty_terminal;

// An interactive shell on a terminal of its own: the session leader, with the
// terminal as its controlling terminal, as in a terminal window. Keys are
// typed on the terminal; the terminal answers queries as run_on_pty's does
// (terminal's rows, cols, cursor and size answers). Every process left in the
// session is killed at the end.
class pty_shell {
  public:
    pty_shell(const std::vector<std::string>& argv, const std::vector<std::string>& env,
              const pty_options& terminal);
    ~pty_shell();
    pty_shell(const pty_shell&) = delete;
    pty_shell& operator=(const pty_shell&) = delete;

    void type(const std::string& keys);
    // Sends signal to the terminal's foreground process group, as a kill from
    // elsewhere would.
    void signal_foreground(int signal);
    // Reads the terminal until text has arrived at or after offset from;
    // returns the offset just past it, or npos when seconds (stretched by
    // run_slowness) pass first.
    size_t wait_for(const std::string& text, size_t from, double seconds = 10);
    // The terminal's settings now, read from the terminal's side.
    termios modes() const;
    const std::string& out() const;
    size_t cursor_queries() const;

  private:
    std::unique_ptr<pty_terminal> terminal_;
    pid_t shell_ = -1;
};
