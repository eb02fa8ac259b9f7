// The built program, run with its standard output redirected to a file and to
// a pipe: every byte it writes, how it ends, and a silent standard error.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "expected_output.h"
#include "front/front.h"
#include "run_program.h"
#include "runtime/random.h"

namespace {

using args_t = std::vector<std::string>;

const std::string kCountError = "Number specified is not an integer!\n";
const std::string kRangeError = "Character range low - high are not integers.\n";

// Runs zix both ways and insists the two agree; returns the file run.
run_result zix(const args_t& args, const std::vector<std::string>& env = {}) {
    run_result file = run_program(ZIX_PROGRAM, args, output_kind::file, env);
    run_result piped = run_program(ZIX_PROGRAM, args, output_kind::pipe, env);
    EXPECT_EQ(file.exit_status, piped.exit_status);
    EXPECT_EQ(file.out.size(), piped.out.size());
    EXPECT_EQ(piped.err, "");
    return file;
}

// Output that involves no random draws must be identical through a pipe.
void expect_output(const args_t& args, const std::string& want) {
    for (output_kind kind : {output_kind::file, output_kind::pipe}) {
        const run_result r = run_program(ZIX_PROGRAM, args, kind);
        EXPECT_EQ(r.out, want) << (kind == output_kind::file ? "file" : "pipe");
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.err, "");
    }
}

TEST(EndToEnd, UsageAndMessages) {
    const std::string usage = expected::usage();
    expect_output({}, usage);
    expect_output({""}, usage);
    expect_output({"-C"}, "Incorrect parameters!\n" + usage);
    expect_output({"hello", "1", "2"}, "Incorrect parameters!\n" + usage);
    expect_output({"-c", "0"}, kCountError + usage);
    expect_output({"-c", "0", "0", "0"}, kCountError + usage);
    expect_output({"-c", "many"}, kCountError + usage);
    expect_output({"-c", "10", "0", "57"}, kRangeError + usage);
    expect_output({"-c", "10", "x", "57"}, kRangeError + usage);
    expect_output({"-c", "10", "48", "&Q"}, kRangeError + usage);
    expect_output({"-s", "0"}, kCountError + usage);
    expect_output({"-s", "many", "text"}, kCountError + usage);
}

TEST(EndToEnd, StringMode) {
    const std::string lorem = "lorem ipsum ";
    expect_output({"-s"}, expected::repeat(lorem, 255));
    expect_output({"-s", "2", "ab"}, "abab");
    expect_output({"-s", "3", ""}, expected::repeat(lorem, 3));
    expect_output({"-s", "3", "", "7", "8", "9"}, expected::repeat(lorem, 3));
    expect_output({"-s", "1", "a b"}, "a b");
    expect_output({"-s", "2", "ab", "cd"}, "abab");
    expect_output({"-s", "&H3", "\t\xff\n"}, expected::repeat("\t\xff\n", 3));
    expect_output({"--s", "1", "x"}, "x");
    expect_output({"-a-s", "1", "y"}, "y");
}

TEST(EndToEnd, CharacterTableForWidth80) {
    expect_output({"-a"}, expected::table(5));
    expect_output({"-a", "1", "2", "3"}, expected::table(5));
    expect_output({"x-ay"}, expected::table(5));
}

// Checks one line of character mode: length, every byte in the allowed set.
void expect_line(const run_result& r, size_t length, int first, int last) {
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(r.out.size(), length + 1);
    EXPECT_EQ(r.out.back(), '\n');
    for (size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(r.out[i]);
        if (first <= last) {
            EXPECT_TRUE(c >= first && c <= last) << int{c};
        } else {  // a range that wraps past 255
            EXPECT_TRUE(c >= first || c <= last) << int{c};
        }
    }
}

TEST(EndToEnd, CharacterModeShapes) {
    expect_line(zix({"-c"}), 255, 'A', 'Z');
    expect_line(zix({"-c", "1"}), 1, 'A', 'Z');
    expect_line(zix({"-c", "10", "48"}), 10, 'A', 'Z');
    expect_line(zix({"-c", "10", "48", "57"}), 10, '0', '9');
    expect_line(zix({"-c", "8", "250", "260"}), 8, 250, 4);
    expect_line(zix({"x-cy", "20"}), 20, 'A', 'Z');
    expect_line(zix({"-a-c", "20"}), 20, 'A', 'Z');
    expect_line(zix({"-c", "100000", "1", "255"}), 100000, 1, 255);
    const run_result bees = zix({"-c", "5", "66", "66"});
    EXPECT_EQ(bees.out, "BBBBB\n");
    EXPECT_EQ(bees.exit_status, 0);
}

TEST(EndToEnd, CountAboveTheLimitIsAFailure) {
    for (const char* count : {"2147483648", "-1", "4294967295"}) {
        const run_result r = zix({"-c", count});
        EXPECT_EQ(r.out, "zix: too many characters: the most is 2147483647.\n");
        EXPECT_EQ(r.exit_status, 1);
        EXPECT_EQ(r.err, "");
    }
}

// ---- output that cannot be written ------------------------------------

// A write that fails ends the run at once: nothing more on standard output,
// one line on standard error, status 1. The large counts would run for
// minutes if the run went on after the first failure.
TEST(EndToEnd, FailedWritesEndTheRunWithStatus1) {
    struct Row {
        args_t args;
        output_kind kind;
        std::string reason;
    };
    const Row rows[] = {
        {{"-c", "1000000"}, output_kind::dev_full, "No space left on device"},
        {{"-s", "100000000"}, output_kind::dev_full, "No space left on device"},
        {{"-a"}, output_kind::dev_full, "No space left on device"},
        {{}, output_kind::dev_full, "No space left on device"},
        {{"-c", "0"}, output_kind::dev_full, "No space left on device"},
        {{"-c", "1000000"}, output_kind::closed, "Bad file descriptor"},
        {{"-s", "100000000"}, output_kind::closed, "Bad file descriptor"},
        {{"-a"}, output_kind::closed, "Bad file descriptor"},
    };
    for (const Row& row : rows) {
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

    const run_options nothing_read{.ignore_sigpipe = true, .pipe_read_limit = 0};
    const run_result none =
        run_program(ZIX_PROGRAM, {"-c"}, output_kind::pipe_closed_early, {}, nothing_read);
    EXPECT_EQ(none.exit_status, 1);
    EXPECT_EQ(none.err, "zix: write error: Broken pipe\n");

    const run_result killed =
        run_program(ZIX_PROGRAM, {"-s", "100000000"}, output_kind::pipe_closed_early);
    EXPECT_EQ(killed.term_signal, SIGPIPE);
    EXPECT_EQ(killed.err, "");
}

// ---- the real program with a fixed clock and scripted entropy -----------

std::vector<std::string> fake(const std::string& clock, const std::string& words,
                              const std::string& log = "") {
    std::vector<std::string> env = {std::string("LD_PRELOAD=") + ZIX_FAKE_SOURCES,
                                    "ZIX_FAKE_CLOCK=" + clock, "ZIX_FAKE_ENTROPY=" + words};
    if (!log.empty()) env.push_back("ZIX_FAKE_LOG=" + log);
    return env;
}

const std::vector<uint32_t>* reference_words = nullptr;
size_t reference_next = 0;
uint32_t reference_entropy() {
    return reference_next < reference_words->size() ? (*reference_words)[reference_next++] : 0;
}

// The line the program must print for a seed and a list of fetched words,
// computed in-process from the generator and the character formula.
std::string reference_line(double seed, const std::vector<uint32_t>& words, uint32_t count,
                           uint32_t low, uint32_t high) {
    reference_words = &words;
    reference_next = 0;
    random_reset();
    random_use_sources(nullptr, reference_entropy);
    seed_random(seed, 5);
    std::string line;
    for (uint32_t i = 0; i < count; ++i) {
        line += static_cast<char>(static_cast<uint32_t>(character_code(next_random(1), low, high - low)) & 0xFF);
    }
    random_use_sources(nullptr, nullptr);
    return line + "\n";
}

TEST(EndToEnd, FixedClockAndScriptedEntropy) {
    // Clock 0 is seed 0; with the word 0x12345678 the draws are 0.2706,
    // 0.9658 and 0.7464, that is H, Y and T.
    EXPECT_EQ(zix({"-c", "3"}, fake("0:0", "12345678")).out, "HYT\n");

    // 1800000000 s is the seed 9000000000000, whose low 32 bits are 2043514880.
    const run_result r = zix({"-c", "600", "1", "255"}, fake("1800000000:0", "9e3779b9,short,7f4a7c15"));
    EXPECT_EQ(r.out, reference_line(2043514880.0, {0x9E3779B9u, 0, 0x7F4A7C15u}, 600, 1, 255));

    // A failing device leaves the plain twister for the whole run.
    EXPECT_EQ(zix({"-c", "300", "32", "126"}, fake("12:345678", "fail,fail")).out,
              reference_line(61728.0, {}, 300, 32, 126));
}

TEST(EndToEnd, EntropyIsFetchedOncePer256Draws) {
    char log[] = "/tmp/zix-fetch-XXXXXX";
    const int fd = mkstemp(log);
    ASSERT_GE(fd, 0);
    const run_result r =
        run_program(ZIX_PROGRAM, {"-c", "600"}, output_kind::file, fake("5:0", "1,2,3,4", log));
    std::ifstream in(log);
    std::stringstream lines;
    lines << in.rdbuf();
    std::remove(log);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(lines.str(), "fetch\nfetch\nfetch\n");

    // Runs that draw nothing never open the device.
    const run_result usage =
        run_program(ZIX_PROGRAM, {}, output_kind::file, fake("5:0", "1", log));
    EXPECT_EQ(usage.exit_status, 0);
    std::ifstream none(log);
    EXPECT_FALSE(none.good());
}

}  // namespace
