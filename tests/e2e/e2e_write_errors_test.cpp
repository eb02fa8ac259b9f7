// The Linux program's ways of losing its output: a full disk, a closed
// standard output, a reader that goes away; and a pipe that another process
// left non-blocking, which must lose nothing.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "support/expected_output.h"
#include "support/run_program.h"

namespace {

using args_t = std::vector<std::string>;

// A write that fails ends the run at once: nothing more on standard output,
// one line on standard error, status 1. The large counts would run for
// minutes if the run went on after the first failure.
TEST(EndToEnd, FailedWritesEndTheRunWithStatus1) {
    struct case_row {
        args_t args;
        output_kind kind;
        std::string reason;
    };
    const case_row rows[] = {
        {{"-c", "1000000"}, output_kind::dev_full, "No space left on device"},
        {{"-s", "100000000"}, output_kind::dev_full, "No space left on device"},
        {{"-a"}, output_kind::dev_full, "No space left on device"},
        {{}, output_kind::dev_full, "No space left on device"},
        {{"-c", "0"}, output_kind::dev_full, "No space left on device"},
        {{"-c", "1000000"}, output_kind::closed, "Bad file descriptor"},
        {{"-s", "100000000"}, output_kind::closed, "Bad file descriptor"},
        {{"-a"}, output_kind::closed, "Bad file descriptor"},
    };
    for (const case_row& row : rows) {
        const run_result r = run_program(ZIX_PROGRAM, row.args, row.kind);
        EXPECT_EQ(r.exit_status, 1) << testing::PrintToString(row.args);
        EXPECT_EQ(r.err, "zix: write error: " + row.reason + "\n");
    }
}

// A reader that goes away: with SIGPIPE ignored the write fails with EPIPE
// and zix says so; with SIGPIPE at its default the signal ends zix as usual.
TEST(EndToEnd, ReaderGoneMidway) {
    const run_options ignored{.ignore_sigpipe = true, .pipe_read_limit = 65536};
    for (const args_t& args : {args_t{"-s", "100000000"}, args_t{"-c", "1000000"}}) {
        const run_result r =
            run_program(ZIX_PROGRAM, args, output_kind::pipe_closed_early, {}, ignored);
        EXPECT_EQ(r.exit_status, 1) << args[0];
        EXPECT_EQ(r.err, "zix: write error: Broken pipe\n");
        EXPECT_EQ(r.out.size(), 65536u);
    }
    const run_result lorem =
        run_program(ZIX_PROGRAM, {"-s", "100000000"}, output_kind::pipe_closed_early, {}, ignored);
    EXPECT_EQ(lorem.out, expected::repeat("lorem ipsum ", 65536 / 12 + 1).substr(0, 65536));

    // A line longer than the pipe holds, so that it cannot slip in whole
    // before the reader has gone.
    const run_options nothing_read{.ignore_sigpipe = true, .pipe_read_limit = 0};
    const run_result none = run_program(ZIX_PROGRAM, {"-c", "1000000"},
                                        output_kind::pipe_closed_early, {}, nothing_read);
    EXPECT_EQ(none.exit_status, 1);
    EXPECT_EQ(none.err, "zix: write error: Broken pipe\n");

    const run_result killed =
        run_program(ZIX_PROGRAM, {"-s", "100000000"}, output_kind::pipe_closed_early);
    EXPECT_EQ(killed.term_signal, SIGPIPE);
    EXPECT_EQ(killed.err, "");
}

// A pipe whose write end is non-blocking, drained by a slow reader: a write
// that finds the pipe full waits for room and goes on, in every mode, and
// every byte arrives in order.
TEST(EndToEnd, NonBlockingPipeLosesNothing) {
    const run_result lorem =
        run_program(ZIX_PROGRAM, {"-s", "100000"}, output_kind::nonblocking_pipe);
    EXPECT_EQ(lorem.exit_status, 0);
    EXPECT_EQ(lorem.err, "");
    EXPECT_TRUE(lorem.out == expected::repeat("lorem ipsum ", 100000)) << lorem.out.size();

    const size_t length = 3000000;
    const run_result line =
        run_program(ZIX_PROGRAM, {"-c", std::to_string(length)}, output_kind::nonblocking_pipe);
    EXPECT_EQ(line.exit_status, 0);
    EXPECT_EQ(line.err, "");
    ASSERT_EQ(line.out.size(), length + 1);
    EXPECT_EQ(line.out.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), length);
    EXPECT_EQ(line.out.back(), '\n');

    const run_result table = run_program(ZIX_PROGRAM, {"-a"}, output_kind::nonblocking_pipe);
    EXPECT_EQ(table.exit_status, 0);
    EXPECT_EQ(table.err, "");
    EXPECT_EQ(table.out, expected::pinned("e2e/table-80.txt"));
}

}  // namespace
