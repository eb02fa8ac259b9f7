// The built program, run with its standard output redirected to a file and to
// a pipe: every byte it writes, how it ends, and a silent standard error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/emulator.h"
#include "support/expected_output.h"
#include "support/run_program.h"
#include "support/sanitized.h"

using args_t = std::vector<std::string>;

run_result zix(const args_t& args, const std::vector<std::string>& fake_sources) {
    run_result file = run_program(ZIX_PROGRAM, args, output_kind::file, fake_sources);
    run_result piped = run_program(ZIX_PROGRAM, args, output_kind::pipe, fake_sources);
    EXPECT_EQ(file.exit_status, piped.exit_status);
    EXPECT_EQ(file.out.size(), piped.out.size());
    if (!fake_sources.empty()) {
        EXPECT_EQ(file.out, piped.out);
    }
    EXPECT_EQ(piped.err, "");
    return file;
}

namespace {

using expected::newline;

const std::string kCountError = "Number specified is not an integer!" + newline;
const std::string kRangeError = "Character range low - high are not integers." + newline;

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
    expect_output({"-C"}, "Incorrect parameters!" + newline + usage);
    expect_output({"hello", "1", "2"}, "Incorrect parameters!" + newline + usage);
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
    const std::string table = expected::pinned("e2e/table-80.txt", newline);
    expect_output({"-a"}, table);
    expect_output({"-a", "1", "2", "3"}, table);
    expect_output({"x-ay"}, table);
}

// Checks one line of character mode: length, every byte in the allowed set.
void expect_line(const run_result& r, size_t length, int first, int last) {
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(r.out.size(), length + newline.size());
    EXPECT_EQ(r.out.substr(length), newline);
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
    EXPECT_EQ(bees.out, "BBBBB" + newline);
    EXPECT_EQ(bees.exit_status, 0);
}

// A failure's message goes to standard error, so that a redirected file never
// holds it in place of data.
TEST(EndToEnd, CountAboveTheLimitIsAFailure) {
    for (const char* count : {"2147483648", "-1", "4294967295"}) {
        for (output_kind kind : {output_kind::file, output_kind::pipe}) {
            const run_result r = run_program(ZIX_PROGRAM, {"-c", count}, kind);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.exit_status, 1);
            EXPECT_EQ(r.err, "zix: too many characters: the most is 2147483647." + newline);
        }
    }
}

#if !ZIX_SANITIZED && !defined(_WIN32)
// A line whose buffer cannot be had: the same kind of failure. (Only where
// the run can be given a memory limit.)
TEST(EndToEnd, LineWithoutMemoryIsAFailure) {
    // The limit would fall on the emulator, which keeps the program's memory
    // in a reservation of its own, so the allocation would not fail there.
    if (under_emulator()) GTEST_SKIP() << "a memory limit does not reach an emulated program";
    const run_options small{.memory_limit_mb = 256};
    for (output_kind kind : {output_kind::file, output_kind::pipe}) {
        const run_result r = run_program(ZIX_PROGRAM, {"-c", "2000000000"}, kind, {}, small);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.exit_status, 1);
        EXPECT_EQ(r.err, "zix: not enough memory for the characters requested." + newline);
    }
}
#endif

// Output that cannot be written is lost data: the run stops at the first
// failed write, says why on standard error, and fails.
TEST(EndToEnd, LostOutputIsAFailure) {
    const std::string prefix = "zix: write error: ";
    for (const args_t& args : {args_t{}, args_t{"-s"}, args_t{"-a"}, args_t{"-c", "5"}}) {
        const run_result r = run_program(ZIX_PROGRAM, args, output_kind::unwritable);
        EXPECT_EQ(r.exit_status, 1);
        ASSERT_GT(r.err.size(), prefix.size() + newline.size()) << r.err;
        EXPECT_EQ(r.err.substr(0, prefix.size()), prefix);
        const std::string reason =
            r.err.substr(prefix.size(), r.err.size() - prefix.size() - newline.size());
        EXPECT_EQ(reason.find_first_of("\r\n"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.substr(r.err.size() - newline.size()), newline);
    }
}

}  // namespace
