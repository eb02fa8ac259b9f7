#pragma once
// Runs a program the way a shell would, with its standard output going to a
// file or a pipe (or somewhere every write fails), and collects what it wrote
// and how it ended.

#include <cstddef>
#include <string>
#include <vector>

enum class output_kind {
    file,
    pipe,
    unwritable,         // a file opened for reading only: every write fails (any system)
    dev_full,           // /dev/full: every write fails, "No space left on device"
    closed,             // standard output not open at all
    pipe_closed_early,  // a pipe whose reader takes pipe_read_limit bytes, then goes
    nonblocking_pipe,   // a small pipe set non-blocking on its write end, read slowly
};

struct run_options {
    bool ignore_sigpipe = false;     // start the program with SIGPIPE ignored
    size_t pipe_read_limit = 65536;  // for pipe_closed_early
    long memory_limit_mb = 0;        // RLIMIT_DATA of the program when not 0
};

struct run_result {
    int exit_status = -1;  // -1 when the program did not exit normally
    int term_signal = 0;   // the signal that ended it, or 0
    std::string out;       // standard output (as far as it was read)
    std::string err;       // standard error
};

// extra_env entries ("NAME=value") are added to the test's own environment.
run_result run_program(const std::string& program, const std::vector<std::string>& args,
                       output_kind kind, const std::vector<std::string>& extra_env = {},
                       const run_options& options = {});

// The end-to-end tests' run of zix (ZIX_PROGRAM), to a file and through a
// pipe, which must agree: the same status, the same length of output (byte for
// byte when fake_sources, the environment of the preloaded fake clock and
// entropy, fix what it draws), nothing on standard error. Gives the file run.
run_result zix(const std::vector<std::string>& args,
               const std::vector<std::string>& fake_sources = {});
