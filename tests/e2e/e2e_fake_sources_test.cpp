// The built Linux program with a fixed clock and scripted entropy words
// (a preloaded library stands in for gettimeofday and /dev/urandom), so that a
// real run can be compared byte for byte with what the generator must give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/expected_output.h"
#include "support/run_program.h"

namespace {

std::vector<std::string> fake(const std::string& clock, const std::string& words,
                              const std::string& log = "") {
    std::vector<std::string> env = {std::string("LD_PRELOAD=") + ZIX_FAKE_SOURCES,
                                    "ZIX_FAKE_CLOCK=" + clock, "ZIX_FAKE_ENTROPY=" + words};
    if (!log.empty()) env.push_back("ZIX_FAKE_LOG=" + log);
    return env;
}

TEST(EndToEnd, FixedClockAndScriptedEntropy) {
    // Clock 0 is seed 0; with the word 0x12345678 the draws are 0.2706,
    // 0.9658 and 0.7464, that is H, Y and T.
    EXPECT_EQ(zix({"-c", "3"}, fake("0:0", "12345678")).out, "HYT\n");

    // Lines worked out independently from the definitions of the clock, the
    // generator and the character formula, in exact arithmetic. The last row
    // is the end of a line of 700: past the twist at draw 625 and the fetch
    // at 513.
    struct case_row {
        const char *clock, *words, *count, *low, *high;
        size_t from;
        std::string want;
    };
    const case_row rows[] = {
        {"1800000000:0", "9e3779b9,short,7f4a7c15", "60", "33", "126", 0,
         R"x(M0VqucDcC0!<:thVv91bCgN-$mb+~<4FA%uGwdlXPxnf(rp4Pd"R"t].x!Yp)x"},
        {"12:345678", "fail,fail", "60", "48", "57", 0,
         "179167635447088734343685271443024096020867683825341750646541"},
        {"4102444800:123456", "fail", "60", "2147483425", "2147483518", 0,
         R"x(Hqm~]z^hq&RT.[l:d:1<sFH\x&=<x2|.J}Pfz+H=>zKCiHH^G)NUyH`H;')q)x"},
        {"1700000000:999999", "deadbeef", "60", "2097185", "2097278", 0,
         R"x(`[9]]WY/ry\+X^22r[D;Dn7U$Ax-&w\siG`\N#fB:07aw:k'5ShhXU9}ly5c)x"},
        {"5:0", "9e3779b9,7f4a7c15,12345678", "700", "97", "122", 600,
         "fggvvhbdkoucopmxbqjtnkmzcrjqrrgburxgmkztqbibkkgkwqyuixlynugzoynfvroofdntbqvmxldpczqcd"
         "rykmvfweeqviqnt"},
    };
    for (const case_row& row : rows) {
        const std::string out =
            zix({"-c", row.count, row.low, row.high}, fake(row.clock, row.words)).out;
        EXPECT_EQ(out.substr(std::min(row.from, out.size())), row.want + "\n") << row.clock;
    }

    // Long lines pinned by their fingerprints, worked out the same way.
    // 1800000000 s is the seed 9000000000000, whose low 32 bits are
    // 2043514880; a failing device leaves the plain twister for the whole run.
    const struct {
        std::vector<std::string> args;
        const char *clock, *words;
        uint64_t line_fingerprint;
    } long_rows[] = {
        {{"-c", "600", "1", "255"}, "1800000000:0", "9e3779b9,short,7f4a7c15", 0x62DECC0194ECFE70u},
        {{"-c", "300", "32", "126"}, "12:345678", "fail,fail", 0x8CD8189C2DBF539Eu},
    };
    for (const auto& row : long_rows) {
        const std::string out = zix(row.args, fake(row.clock, row.words)).out;
        ASSERT_FALSE(out.empty()) << row.clock;
        EXPECT_EQ(out.back(), '\n');
        EXPECT_EQ(expected::fingerprint(out.substr(0, out.size() - 1)), row.line_fingerprint)
            << row.clock;
    }
}

TEST(EndToEnd, SeedRoundsTheClockAndTheProductToDoubles) {
    // Each row's exact seed is an integer, but the clock reading rounded to a
    // double lies just below it, so the truncated seed is one less. Kept in
    // extended precision instead (as an x87 build may do), the reading times
    // 5000 lands on the integer itself and the seed is one too large.
    struct row {
        const char* clock;
        std::string line;  // from the seeds 9000000000029, 9000000000072, 9000000000187
    };
    for (const row& r :
         {row{"1800000000:6000", R"x(6$twuVKM|I\t~E*JI.A&jgQuT!{nq*`AwVSM/xwT)x"},
          row{"1800000000:14600", R"x(DOje7qu]=*MOv/J]8]wlH|Y]mR.uc)Q@ko3M|6,c)x"},
          row{"1800000000:37600", R"x(4J7sw0VYEpb#fys.>af-`XNgVJek-LG55ID+aL~c)x"}}) {
        EXPECT_EQ(zix({"-c", "40", "33", "126"}, fake(r.clock, "fail")).out, r.line + "\n")
            << r.clock;
    }
}

TEST(EndToEnd, ClockPastTheYear2038) {
    // 2^31 seconds run out in January 2038; the seed of a clock in 2100 still
    // comes from the whole seconds count: the seed 20512224000617.
    EXPECT_EQ(zix({"-c", "40", "33", "126"}, fake("4102444800:123456", "fail")).out,
              "Hqm~]z^hq&RT.[l:d:1<sFH\\x&=<x2|.J}Pfz+H=\n");
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
    const run_result usage = run_program(ZIX_PROGRAM, {}, output_kind::file, fake("5:0", "1", log));
    EXPECT_EQ(usage.exit_status, 0);
    std::ifstream none(log);
    EXPECT_FALSE(none.good());
}

}  // namespace
