// The built program on real pseudo-terminals: what it sends at start and at
// exit, how it reads the terminal's answers, what its output looks like on a
// terminal, and that it leaves the terminal's settings as it found them
// however it ends.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <termcap.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/emulator.h"
#include "support/expected_output.h"
#include "support/pty_harness.h"
// A sanitized build cannot run under the memory limit below.
#include "support/sanitized.h"

namespace {

// Terminal entries the system database lacks: names that test how the Linux
// console is recognised, one without automatic margins, one without cursor
// addressing, and one whose sequences are easy to tell apart.
constexpr const char* kTerminfoSource =
    "zix-test|terminal with distinct sequences,\n"
    "\tam, cols#80, lines#24,\n"
    "\tclear=\\E[CL, cnorm=\\E[VE, csr=\\E[%i%p1%d;%p2%dr, cup=\\E[%i%p1%d;%p2%dH,\n"
    "\thome=\\E[HO,\n"
    "\trmkx=\\E[KE, sgr0=\\E[ME, smkx=\\E[KS,\n"
    "console|the name of the Linux console, use=zix-test,\n"
    "linux-zix|a name that begins with linux, use=zix-test,\n"
    "Linux|linux with a capital letter, use=zix-test,\n"
    "consolex|a name that only begins with console, use=zix-test,\n"
    "zix-noam|without automatic margins, am@, use=zix-test,\n"
    "zix-nocm|without cursor addressing, cup@, use=zix-test,\n";

std::string terminfo_dir;

class TerminalEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        char dir[] = "/tmp/zix-terminfo-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        terminfo_dir = dir;
        const std::string source = terminfo_dir + "/zix.src";
        std::ofstream(source) << kTerminfoSource;
        const std::string command = "tic -o " + terminfo_dir + " " + source + " 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << "tic could not compile the test entries";
        setenv("TERMINFO", terminfo_dir.c_str(), 1);  // for capability() below; the
                                                      // program gets it through with_args
    }
    void TearDown() override { std::system(("rm -rf " + terminfo_dir).c_str()); }
};
const auto* const environment = testing::AddGlobalTestEnvironment(new TerminalEnvironment);

std::string* sink = nullptr;
int collect(int byte) {
    sink->push_back(static_cast<char>(byte));
    return byte;
}

// A capability of the terminal as the database gives it, formed the way
// tputs sends it; empty when the terminal lacks it.
std::string capability(const std::string& term, const char* code, int a = 0, int b = 0) {
    // One buffer for every look-up: the termcap library keeps the entry it
    // reads for the buffer it is given, and frees it when that buffer comes
    // back. A buffer on the stack may lie elsewhere at each call (it does
    // under the AddressSanitizer of clang 15 and later, whose frames come
    // from the heap to catch a use after return), and the library then
    // drops each entry unfreed.
    static char buffer[2048];
    if (tgetent(buffer, term.c_str()) <= 0) return "";
    const char* string = tgetstr(code, nullptr);
    if (string == nullptr) return "";
    std::string out;
    sink = &out;
    tputs(tgoto(string, a, b), 1, collect);
    return out;
}

const std::string kCursorQuery = "\x1b[6n";
const std::string kSizeQuery = "\x1b[18t";

struct terminal_kind {
    std::string term;
    bool linux_console;
};

// The character set probe after the start-up cursor query, on a terminal
// whose cursor stands at row 1, column 1: the character ç, the cursor query,
// back to the cursor, the cells it may have shown blanked (one on a terminal
// that moved one column, else two), back.
std::string probe(const terminal_kind& t, int cells = 2) {
    const std::string back = capability(t.term, "cm", 0, 0);
    return "\xc3\xa7" + kCursorQuery + back + std::string(cells, ' ') + back;
}

// What the program sends from start-up up to its first output: the start-up
// sequences, the cursor query and the probe, then the cursor query of the
// first print.
std::string opening(const terminal_kind& t, bool asks_size = false,
                    const std::string& probed = "?") {
    return (t.linux_console ? "\x1b(U" : "") + capability(t.term, "ks") +
           (asks_size ? kSizeQuery : "") + kCursorQuery + (probed == "?" ? probe(t) : probed) +
           kCursorQuery;
}

// The Linux console is sent back to its 8-bit mode where it was found in it,
// as it is on the test terminal in the C locale.
std::string closing(const terminal_kind& t, bool clears = false, bool eight_bit = true) {
    std::string out;
    if (clears) {
        out +=
            capability(t.term, "cs", -1, 0) + capability(t.term, "cl") + capability(t.term, "ho");
    }
    if (t.linux_console && eight_bit) out += "\x1b%@";
    if (t.linux_console) out += "\x1b(B";
    return out + capability(t.term, "me") + capability(t.term, "ve") + capability(t.term, "ke");
}

const terminal_kind kTestTerminal{"zix-test", false};

// The character table as it reaches a terminal that takes one byte a
// character (the test terminal's probe is answered without a move, and its
// locale is C), laid out for a width ("80", "100", "120", or "unwrapped" where
// there is none): worked out independently and pinned under terminal/.
std::string table_shown(const std::string& width) {
    return expected::pinned("terminal/table-" + width + ".txt");
}

// The program on the terminal: this build's zix, or the one ZIX_TEST_PROGRAM
// names (the static program of the same build).
pty_result zix(const pty_options& options) {
    const char* program = std::getenv("ZIX_TEST_PROGRAM");
    return run_on_pty(program ? program : ZIX_PROGRAM, options);
}

pty_options with_args(std::vector<std::string> args, const std::string& term = "zix-test") {
    pty_options o;
    o.args = std::move(args);
    o.term = term;
    o.env = {"TERMINFO=" + terminfo_dir};
    return o;
}

// Long outputs: on a mismatch, show where they part rather than all of both.
testing::AssertionResult same_bytes(const std::string& got, const std::string& want) {
    if (got == want) return testing::AssertionSuccess();
    size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    const size_t from = at > 20 ? at - 20 : 0;
    return testing::AssertionFailure()
           << "lengths " << got.size() << " and " << want.size() << ", first difference at " << at
           << ":\n  got  " << testing::PrintToString(got.substr(from, 60)) << "\n  want "
           << testing::PrintToString(want.substr(from, 60));
}

void expect_clean_exit(const pty_result& r) {
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(same_modes(r.before, r.after)) << "terminal settings changed";
}

TEST(TerminalSession, TestEntriesAreWhatTheTestsAssume) {
    EXPECT_EQ(capability("zix-test", "ks"), "\x1b[KS");
    EXPECT_EQ(
        capability("zix-test", "me") + capability("zix-test", "ve") + capability("zix-test", "ke"),
        "\x1b[ME\x1b[VE\x1b[KE");
    EXPECT_EQ(capability("zix-test", "cs", -1, 0), "\x1b[1;0r");
    EXPECT_EQ(capability("console", "ks"), "\x1b[KS");
    EXPECT_NE(capability("xterm", "ks"), "");
}

TEST(TerminalSession, StartAndExitSequencesForEachKindOfTerminal) {
    const terminal_kind kinds[] = {
        {"xterm", false}, {"linux", true},     {"console", true},   {"linux-zix", true},
        {"Linux", false}, {"consolex", false}, {"zix-test", false},
    };
    for (const terminal_kind& t : kinds) {
        SCOPED_TRACE(t.term);
        const pty_result r = zix(with_args({"-c", "3", "65", "65"}, t.term));
        expect_clean_exit(r);
        EXPECT_EQ(r.out, opening(t) + "AAA\r\n" + closing(t));
        EXPECT_EQ(r.cursor_queries.size(), 3u);
        EXPECT_TRUE(r.size_queries.empty());
    }
}

TEST(TerminalSession, TerminalLeftAloneWhenNotTakenOver) {
    const std::string text =
        "A\x1b"
        "B";
    struct row {
        const char* name;
        std::function<void(pty_options&)> set;
    };
    const row rows[] = {
        {"standard input redirected", [](pty_options& o) { o.stdin_from_null = true; }},
        {"standard output redirected", [](pty_options& o) { o.stdout_to_file = true; }},
        {"TERM unset", [](pty_options& o) { o.term.reset(); }},
        {"TERM unknown", [](pty_options& o) { o.term = "zix-no-such-terminal"; }},
        {"no automatic margins", [](pty_options& o) { o.term = "zix-noam"; }},
        {"no cursor addressing", [](pty_options& o) { o.term = "zix-nocm"; }},
        {"a dumb terminal", [](pty_options& o) { o.term = "dumb"; }},
        {"background process group", [](pty_options& o) { o.background = true; }},
        {"standard input on another terminal",
         [](pty_options& o) { o.other_terminal = pty_options::other::standard_input; }},
        {"standard output on another terminal",
         [](pty_options& o) { o.other_terminal = pty_options::other::standard_output; }},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        pty_options o = with_args({"-s", "1", text});
        r.set(o);
        const pty_result result = zix(o);
        expect_clean_exit(result);
        // The plain writer: the ESC byte goes out as itself, nothing is added.
        const bool elsewhere =
            o.stdout_to_file || o.other_terminal == pty_options::other::standard_output;
        const std::string& written = o.stdout_to_file ? result.file_out : result.other_out;
        EXPECT_EQ(elsewhere ? written : result.out, text);
        if (elsewhere) {
            EXPECT_EQ(result.out, "");
        }
        EXPECT_TRUE(result.cursor_queries.empty());
    }
}

TEST(TerminalSession, EachByteShowsInTheCharacterSetTheTerminalTakes) {
    // The terminal's answer to the probe decides, the locale only where the
    // cursor does not move by one column or two, or the probe does not fit.
    const std::string text = "\x05\x1b\x7f\x9b\xa0\xff\x07\tA";
    const std::string utf8 =
        "\xef\x80\x85\xef\x80\x9b\xef\x81\xbf\xef\x82\x9b\xc2\xa0\xc3\xbf\x07\tA";
    const std::string eight_bit = "????\xa0\xff\x07\tA";
    const terminal_kind console{"linux", true};
    const std::string console_glyphs =
        "\xef\x80\x85\xef\x80\x9b\xef\x81\xbf\xef\x82\x9b\xef\x82\xa0\xef\x83\xbf\x07\tA";
    const std::string console_switched =
        "\x1b%G\xef\x80\x85\x1b%@\x1b%G\xef\x80\x9b\x1b%@\x1b%G\xef\x81\xbf\x1b%@"
        "\x1b%G\xef\x82\x9b\x1b%@\xa0\xff\x07\tA";
    const struct {
        const char* name;
        terminal_kind terminal;
        std::string locale;
        std::vector<int> cursor_cols;  // at start-up, after the probe
        int blanked;                   // cells; 0: no probe
        std::string sent;
    } rows[] = {
        {"UTF-8 terminal, C locale", kTestTerminal, "C", {1, 2}, 1, utf8},
        {"8-bit terminal, UTF-8 locale", kTestTerminal, "C.UTF-8", {1, 3}, 2, eight_bit},
        {"no move: the C locale", kTestTerminal, "C", {}, 2, eight_bit},
        {"no move: a UTF-8 locale", kTestTerminal, "C.UTF-8", {}, 2, utf8},
        {"three columns: the locale", kTestTerminal, "C", {1, 4}, 2, eight_bit},
        {"no room for the probe", kTestTerminal, "C.UTF-8", {79, 79}, 0, utf8},
        {"Linux console in UTF-8", console, "C", {1, 2}, 1, console_glyphs},
        {"Linux console, 8-bit", console, "C.UTF-8", {1, 3}, 2, console_switched},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        pty_options o = with_args({"-s", "1", text}, row.terminal.term);
        o.locale = row.locale;
        o.cursor_cols = row.cursor_cols;
        const pty_result r = zix(o);
        expect_clean_exit(r);
        const std::string back = capability(
            row.terminal.term, "cm", row.cursor_cols.empty() ? 0 : row.cursor_cols[0] - 1, 0);
        const std::string probed =
            row.blanked ? "\xc3\xa7" + kCursorQuery + back + std::string(row.blanked, ' ') + back
                        : "";
        EXPECT_TRUE(
            same_bytes(r.out, opening(row.terminal, false, probed) + row.sent +
                                  closing(row.terminal, false, row.sent == console_switched)));
    }

    // Codes 256 wrap to the byte 0, a space.
    const pty_result nul = zix(with_args({"-c", "4", "256", "256"}));
    expect_clean_exit(nul);
    EXPECT_EQ(nul.out, opening(kTestTerminal) + "    \r\n" + closing(kTestTerminal));
}

TEST(TerminalSession, TableLaidOutForTheTerminalsWidth) {
    struct row {
        unsigned short rows, cols;
        const char* table;
        bool clears_at_exit;  // a terminal that reports 0 rows
    };
    const row rows[] = {
        {24, 80, "80", false},
        {40, 100, "100", false},
        {30, 120, "120", false},
        {0, 0, "unwrapped", true},  // no width: no zone wraps the line
        {65534, 65535, "unwrapped", false},
        {24, 84, "80", false},  // 84: a sixth zone would end the line, so five as on 80
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::to_string(r.rows) + "x" + std::to_string(r.cols));
        pty_options o = with_args({"-a"});
        o.rows = r.rows;
        o.cols = r.cols;
#if !ZIX_SANITIZED
        o.memory_limit_mb = 256;  // whatever the size, the program stays small
#endif
        const pty_result result = zix(o);
        expect_clean_exit(result);
        // No width: no room for the probe.
        EXPECT_TRUE(same_bytes(result.out, opening(kTestTerminal, false, r.cols ? "?" : "") +
                                               table_shown(r.table) +
                                               closing(kTestTerminal, r.clears_at_exit)));
    }
}

TEST(TerminalSession, CursorColumnAskedAtTheFirstPrint) {
    // The second cursor query comes at the first print, after start-up, and
    // nothing is printed before it is answered.
    pty_options o = with_args({"-c", "2", "66", "66"});
    o.cursor_col = 31;
    const pty_result r = zix(o);
    expect_clean_exit(r);
    ASSERT_EQ(r.cursor_queries.size(), 3u);
    EXPECT_EQ(r.out.substr(r.cursor_queries[2], 2), "BB");
}

TEST(TerminalSession, SizeAskedFromTheTerminalWhenTheKernelHasNone) {
    struct row {
        const char* name;
        std::string before_answer;
        size_t piece;
        std::string size_answer;
        bool answer_size;
        const char* table;
        bool clears;
    };
    const row rows[] = {
        {"whole answer", "", 0, "\x1b[8;40;120t", true, "120", false},
        {"answer in single bytes", "", 1, "\x1b[8;40;100t", true, "100", false},
        {"key presses first", "q\x1bOA\x1b\x1bz", 3, "\x1b[8;40;120t", true, "120", false},
        {"a broken answer first", "\x1b[8;x\x1b[8", 2, "\x1b[8;40;120t", true, "120", false},
        {"no answer", "", 0, "", false, "80", false},
        {"negative size", "", 0, "\x1b[8;-3;-9t", true, "unwrapped", true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        pty_options o = with_args({"-a"});
        o.env.push_back(std::string("LD_PRELOAD=") + ZIX_FAKE_WINSIZE);
        o.before_answer = r.before_answer;
        o.answer_piece = r.piece;
        o.piece_gap_ms = r.piece ? 2 : 0;
        o.size_answer = r.size_answer;
        o.answer_size = r.answer_size;
        const pty_result result = zix(o);
        expect_clean_exit(result);
        EXPECT_EQ(result.size_queries.size(), 1u);
        EXPECT_TRUE(same_bytes(result.out, opening(kTestTerminal, true, r.clears ? "" : "?") +
                                               table_shown(r.table) +
                                               closing(kTestTerminal, r.clears)));
    }
}

TEST(TerminalSession, SilentTerminalHoldsStartUpOnlyBriefly) {
    for (const bool kernel_knows_size : {true, false}) {
        SCOPED_TRACE(kernel_knows_size ? "size from the kernel" : "size asked too");
        pty_options o = with_args({"-a"});
        o.answer_cursor = false;
        o.answer_size = false;
        if (!kernel_knows_size) o.env.push_back(std::string("LD_PRELOAD=") + ZIX_FAKE_WINSIZE);
        const pty_result r = zix(o);
        expect_clean_exit(r);
        EXPECT_TRUE(same_bytes(r.out, opening(kTestTerminal, !kernel_knows_size, "") +
                                          table_shown("80") + closing(kTestTerminal)));
        // Each unanswered query is waited for, but not for long. The waits
        // (250 ms each, one after the other) are held from below by the
        // whole run: a query's own arrival depends on when the harness read
        // it, which a loaded machine delays.
        std::vector<size_t> queries = r.cursor_queries;
        queries.insert(queries.end(), r.size_queries.begin(), r.size_queries.end());
        for (const size_t end : queries) {
            EXPECT_LT(r.arrival(end) - r.arrival(end - 1), 1.0 * run_slowness());
        }
        EXPECT_GE(r.seconds, 0.25 * static_cast<double>(queries.size()));
        EXPECT_LT(r.seconds, 3.0 * run_slowness());
    }
}

TEST(TerminalSession, FatalSignalsPutTheTerminalBack) {
    struct row {
        terminal_kind terminal;
        int signal;
        bool by_keyboard;
    };
    const row rows[] = {
        {{"xterm", false}, SIGINT, false},
        {{"linux", true}, SIGINT, true},
        {{"zix-test", false}, SIGTERM, false},
        {{"linux-zix", true}, SIGQUIT, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.terminal.term + " " + std::to_string(r.signal));
        pty_options o = with_args({"-s", "4000000000", "x"}, r.terminal.term);
        o.event_after = 3000;
        if (r.by_keyboard) {
            o.event_keys = "\x03";
            // The terminal would otherwise drop its pending output on ^C,
            // and with it maybe the restore sequences.
            o.adjust_modes = [](termios& t) { t.c_lflag |= NOFLSH; };
        } else {
            o.event_signal = r.signal;
        }
        const pty_result result = zix(o);
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.term_signal, r.signal);
        EXPECT_EQ(result.err, "");
        EXPECT_TRUE(same_modes(result.before, result.after)) << "terminal settings changed";
        const size_t last_x = result.out.find_last_of('x');
        ASSERT_NE(last_x, std::string::npos);
        EXPECT_EQ(result.out.substr(last_x + 1), closing(r.terminal));
    }
}

TEST(TerminalSession, IgnoredFatalSignalLeavesTheLayerOffAndTheRunGoesOn) {
    // SIGTERM ignored before zix started: the handler puts the terminal back,
    // the signal is then ignored, and the run ends normally without a second
    // restore.
    pty_options o = with_args({"-s", "20000", "ab"});
    o.ignored_signals = {SIGTERM};
    o.event_after = 2000;
    o.event_signal = SIGTERM;
    const pty_result r = zix(o);
    expect_clean_exit(r);
    const std::string restore = closing(kTestTerminal);
    const size_t at = r.out.find(restore);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(r.out.find(restore, at + 1), std::string::npos);
    std::string out = r.out;
    out.erase(at, restore.size());
    EXPECT_TRUE(same_bytes(out, opening(kTestTerminal) + expected::repeat("ab", 20000)));
}

TEST(TerminalSession, WorksWithoutTheServiceThread) {
    pty_options o = with_args({"-a"});
    o.env.push_back(std::string("LD_PRELOAD=") + ZIX_FAKE_NO_THREAD);
    const pty_result r = zix(o);
    expect_clean_exit(r);
    EXPECT_TRUE(
        same_bytes(r.out, opening(kTestTerminal) + table_shown("80") + closing(kTestTerminal)));
}

TEST(TerminalSession, OtherSignalsKeepTheirUsualEffect) {
    pty_options o = with_args({"-s", "4000000000", "x"});
    o.event_after = 3000;
    o.event_signal = SIGHUP;
    const pty_result r = zix(o);
    EXPECT_EQ(r.term_signal, SIGHUP);
    EXPECT_EQ(r.out.find(closing(kTestTerminal)), std::string::npos);
}

TEST(TerminalSession, WindowChangeIsPickedUpByTheNextWrite) {
    // During the output, and while the first print waits for the cursor's
    // answer, which comes late.
    const struct {
        size_t after;
        std::vector<int> answer_delays_ms;
    } rows[] = {{2000, {}}, {opening(kTestTerminal).size(), {0, 0, 150}}};
    for (const auto& row : rows) {
        SCOPED_TRACE("window change after " + std::to_string(row.after) + " bytes");
        pty_options o = with_args({"-s", "20000", "ab"});
        o.event_after = row.after;
        o.answer_delays_ms = row.answer_delays_ms;
        o.event_rows = 30;
        o.event_cols = 120;
        const pty_result r = zix(o);
        expect_clean_exit(r);
        EXPECT_EQ(r.unread, "");
        ASSERT_EQ(r.cursor_queries.size(), 4u);
        EXPECT_GT(r.cursor_queries[3], r.event_offset);
        // Apart from the new cursor query, the output is untouched.
        std::string out = r.out;
        out.erase(r.cursor_queries[3] - kCursorQuery.size(), kCursorQuery.size());
        EXPECT_TRUE(same_bytes(
            out, opening(kTestTerminal) + expected::repeat("ab", 20000) + closing(kTestTerminal)));
    }
}

TEST(TerminalSession, SettingsPutBackExactlyAsFound) {
    // Output processing off at the start: zix turns it on for its run, and
    // the terminal must get it back off.
    pty_options o = with_args({"-c", "3", "67", "67"});
    o.adjust_modes = [](termios& t) {
        t.c_oflag &= ~tcflag_t{OPOST};
        t.c_lflag &= ~tcflag_t{ECHOE};
        t.c_cc[VMIN] = 5;
    };
    const pty_result r = zix(o);
    expect_clean_exit(r);
    EXPECT_EQ(r.before.c_oflag & OPOST, 0u);
    EXPECT_EQ(r.out, opening(kTestTerminal) + "CCC\r\n" + closing(kTestTerminal));
}

}  // namespace

namespace {

pty_options with_mishap(std::vector<std::string> args, std::vector<std::string> settings) {
    pty_options o = with_args(std::move(args));
    o.env.push_back(std::string("LD_PRELOAD=") + ZIX_FAKE_MISHAPS);
    o.env.insert(o.env.end(), settings.begin(), settings.end());
    return o;
}

// NAME=value for an environment variable of options, with option added to
// those the tests run with.
std::string with_option(const char* name, const std::string& option) {
    const char* set = std::getenv(name);
    return std::string(name) + "=" + (set && *set ? std::string(set) + ":" : "") + option;
}

// What set-up sends on the test terminal, up to the cursor query, and with
// the probe.
std::string start_up_query() {
    return capability("zix-test", "ks") + kCursorQuery;
}
std::string start_up() {
    return start_up_query() + probe(kTestTerminal);
}

TEST(TerminalSession, SignalsAtAnyMomentPutTheTerminalBack) {
    // In the middle of set-up the signal waits until everything it needs to
    // put the terminal back is in place; a stack overflow is handled on a
    // stack of its own.
    const struct {
        const char* name;
        std::vector<std::string> settings;
        int signal;
        std::string before_closing;
    } rows[] = {
        {"SIGINT during set-up", {"ZIX_FAKE_SETUP_SIGNAL=2"}, SIGINT, start_up()},
        {"SIGTERM during set-up", {"ZIX_FAKE_SETUP_SIGNAL=15"}, SIGTERM, start_up()},
        // A sanitizer's own handler would report the overflow first.
        {"a stack overflow",
         {"ZIX_FAKE_FLUSH_TEXT=CCC", "ZIX_FAKE_FLUSH_DOES=overflow",
          with_option("ASAN_OPTIONS", "handle_segv=0"),
          with_option("TSAN_OPTIONS", "handle_segv=0")},
         SIGSEGV,
         opening(kTestTerminal)},
        // Held back until the terminal is given back, then its usual effect.
        {"SIGINT while the terminal is put back at exit",
         {"ZIX_FAKE_PUTBACK_SIGNAL=2"},
         SIGINT,
         opening(kTestTerminal) + "CCC\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const pty_result r = zix(with_mishap({"-c", "3", "67", "67"}, row.settings));
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.term_signal, row.signal);
        EXPECT_TRUE(same_modes(r.before, r.after)) << "terminal settings changed";
        EXPECT_EQ(r.unread, "");
        EXPECT_EQ(r.out, row.before_closing + closing(kTestTerminal));
    }
}

TEST(TerminalSession, WindowChangeDuringStartUpIsNotLost) {
    pty_options o = with_args({"-a"});
    o.event_after = start_up_query().size();  // before the start-up query is answered
    o.event_rows = 40;
    o.event_cols = 120;
    const pty_result r = zix(o);
    expect_clean_exit(r);
    // Size and cursor read again at the first print, the table laid out for
    // the new width.
    EXPECT_TRUE(same_bytes(r.out, start_up() + kCursorQuery + kCursorQuery + table_shown("120") +
                                      closing(kTestTerminal)));
}

TEST(TerminalSession, NothingReachesTheShellAfterTheRun) {
    // Answers that come after their wait, and keys pressed during the run:
    // taken in, or thrown away with the settings' change, never left for the
    // shell and never echoed.
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::vector<int> answer_delays_ms;
        std::string keys;
        std::string text;
        std::vector<int> ignored_signals = {};
    } rows[] = {
        {"the start-up answer late: no probe", {"-c", "3", "65", "65"}, {400}, "", "AAA\r\n"},
        {"the probe's answer late", {"-c", "3", "65", "65"}, {0, 400}, "", "AAA\r\n"},
        {"the first print's answer late", {"-c", "3", "65", "65"}, {0, 0, 400}, "", "AAA\r\n"},
        {"keys pressed during the run",
         {"-s", "20000", "ab"},
         {},
         "echo typed\r",
         expected::repeat("ab", 20000)},
        {"Ctrl-Z where it is ignored",
         {"-s", "20000", "ab"},
         {},
         "\x1a",
         expected::repeat("ab", 20000),
         {SIGTSTP}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        pty_options o = with_args(row.args);
        o.answer_delays_ms = row.answer_delays_ms;
        o.cursor_cols = {1, 1, 31};
        o.ignored_signals = row.ignored_signals;
        // The terminal would otherwise drop its pending output on Ctrl-Z.
        o.adjust_modes = [](termios& t) { t.c_lflag |= NOFLSH; };
        if (!row.keys.empty()) {
            o.event_after = 2000;
            o.event_keys = row.keys;
        }
        const pty_result r = zix(o);
        expect_clean_exit(r);
        EXPECT_EQ(r.unread, "");
        const bool probes = row.answer_delays_ms.empty() || row.answer_delays_ms[0] == 0;
        EXPECT_TRUE(same_bytes(r.out, opening(kTestTerminal, false, probes ? "?" : "") + row.text +
                                          closing(kTestTerminal)));
    }
}

}  // namespace

// Job control as a user meets it: zix started from an interactive shell on
// its terminal, stopped with Ctrl-Z, brought back with fg or sent on with bg.
namespace {

const std::string kPrompt = "zix-job$ ";

struct shell_kind {
    const char* name;
    std::vector<std::string> argv;
};
const shell_kind kShells[] = {
    {"bash", {"bash", "--norc", "--noprofile", "-i"}},
    {"dash", {"dash", "-i"}},
};

// zix as typed into the shell: slowed down so that it can be stopped.
std::string typed_zix(const std::vector<std::string>& args) {
    return shell_command_line(
               ZIX_PROGRAM, args,
               {std::string("LD_PRELOAD=") + ZIX_FAKE_MISHAPS, "ZIX_FAKE_SLOW_MS=2"}) +
           "\r";
}

struct shell_run {
    pty_shell shell;
    size_t seen = 0;  // how far the output has been looked at

    explicit shell_run(const shell_kind& kind, const pty_options& terminal = with_args({}))
        : shell(kind.argv, {"PS1=" + kPrompt, "HISTFILE=/dev/null", "TERMINFO=" + terminfo_dir},
                terminal) {}

    // Waits for text after what was seen; true when it came.
    bool next(const std::string& text, double seconds = 10) {
        const size_t at = shell.wait_for(text, seen, seconds);
        if (at == std::string::npos) return false;
        seen = at;
        return true;
    }
    std::string since(size_t from) const { return shell.out().substr(from); }
};

bool zix_modes_on(const termios& t) {
    return (t.c_lflag & (ICANON | ECHO)) == 0 && (t.c_iflag & IXON) == 0;
}

size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Stopped with Ctrl-Z, or with SIGSTOP, which zix does not see.
void stop_and_foreground(const shell_kind& kind, bool seen) {
    shell_run run(kind);
    ASSERT_TRUE(run.next(kPrompt)) << run.since(0);
    const termios at_prompt = run.shell.modes();

    const size_t start = run.shell.out().size();
    run.shell.type(typed_zix({"-s", "4000000000", "x"}));
    ASSERT_TRUE(run.next("xxxx")) << run.since(0);
    const termios running = run.shell.modes();
    EXPECT_TRUE(zix_modes_on(running));

    // Ctrl-Z: the exit sequences and the settings as found, before the
    // shell takes over. dash puts nothing back itself. A stop zix does not
    // see leaves the terminal to the shell as it is.
    const size_t stop = run.shell.out().size();
    if (seen) {
        run.shell.type("\x1a");
    } else {
        run.shell.signal_foreground(SIGSTOP);
    }
    ASSERT_TRUE(run.next(kPrompt)) << run.since(stop);
    if (seen) {
        EXPECT_NE(run.since(stop).find(closing(kTestTerminal)), std::string::npos);
        EXPECT_TRUE(same_modes(run.shell.modes(), at_prompt)) << "settings not put back";
    }

    // fg: zix's settings again, the start-up sequences (after an unseen stop
    // only where the shell changed the settings), size and cursor asked again.
    const size_t queries = run.shell.cursor_queries();
    run.shell.type("fg\r");
    if (seen) {
        ASSERT_TRUE(run.next(capability("zix-test", "ks"))) << run.since(stop);
    }
    ASSERT_TRUE(run.next("xxxx"));
    EXPECT_GT(run.shell.cursor_queries(), queries);
    EXPECT_TRUE(same_modes(run.shell.modes(), running)) << "zix's settings not applied again";

    const size_t end = run.shell.out().size();
    run.shell.type("\x03");
    ASSERT_TRUE(run.next(kPrompt)) << run.since(end);
    EXPECT_NE(run.since(end).find(closing(kTestTerminal)), std::string::npos);
    // Once at each stop zix saw, and once at the end.
    EXPECT_EQ(occurrences(run.since(start), closing(kTestTerminal)), seen ? 2u : 1u);
    EXPECT_TRUE(same_modes(run.shell.modes(), at_prompt));
}

TEST(JobControl, StopGivesTheTerminalBackAndForegroundTakesItAgain) {
    for (const shell_kind& kind : kShells) {
        for (const bool seen : {true, false}) {
            SCOPED_TRACE(std::string(kind.name) + (seen ? ": Ctrl-Z" : ": SIGSTOP"));
            stop_and_foreground(kind, seen);
        }
    }
}

struct background_case {
    const char* name;
    std::vector<std::string> args;
    std::string after_bg;
    std::string ended;
    // Stopped while zix waits for the answer to its n-th cursor query, which
    // comes 100 ms late; 0: while it prints.
    size_t stopped_at_query = 0;
};

void stop_and_background(const shell_kind& kind, const background_case& row) {
    pty_options terminal = with_args({});
    terminal.answer_delays_ms.assign(row.stopped_at_query, 0);
    if (row.stopped_at_query) terminal.answer_delays_ms.back() = 100;
    shell_run run(kind, terminal);
    ASSERT_TRUE(run.next(kPrompt)) << run.since(0);
    const termios at_prompt = run.shell.modes();
    run.shell.type(typed_zix(row.args));
    for (size_t n = 0; n < row.stopped_at_query; ++n) ASSERT_TRUE(run.next(kCursorQuery));
    if (row.stopped_at_query == 0) {
        ASSERT_TRUE(run.next("xxxx")) << run.since(0);
    }
    run.shell.type("\x1a");
    ASSERT_TRUE(run.next(kPrompt));

    const size_t bg = run.shell.out().size();
    const size_t queries = run.shell.cursor_queries();
    run.shell.type("bg\r");
    ASSERT_TRUE(run.next(kPrompt));
    run.shell.type(row.after_bg);
    EXPECT_TRUE(run.next(row.ended, 20)) << run.since(bg);
    EXPECT_EQ(run.since(bg).find(capability("zix-test", "ks")), std::string::npos);
    EXPECT_EQ(run.since(bg).find(closing(kTestTerminal)), std::string::npos);
    EXPECT_EQ(run.shell.cursor_queries(), queries);
    ASSERT_TRUE(run.next(kPrompt));
    EXPECT_TRUE(same_modes(run.shell.modes(), at_prompt));
    // The terminal answers "\e[1;1R": none of that reached the shell, to be
    // echoed or read as keys.
    EXPECT_EQ(run.since(0).find(";1R"), std::string::npos) << run.since(0);
}

TEST(JobControl, InTheBackgroundZixLeavesTheTerminalAlone) {
    // Continued with bg, zix runs to its end, or to a kill, without a
    // settings change (which would stop it for good: "Stopped (tty output)")
    // and without a sequence or a query.
    const background_case rows[] = {
        {"runs to its end", {"-s", "600", "x"}, "wait %1; echo ended-$?\r", "ended-0"},
        {"kill -TERM ends it",
         {"-s", "4000000000", "x"},
         "kill -TERM %1; wait %1; echo ended-$?\r",
         "ended-143"},
        {"stopped while an answer is awaited",
         {"-s", "600", "x"},
         "wait %1; echo ended-$?\r",
         "ended-0",
         3},
    };
    for (const shell_kind& kind : kShells) {
        for (const background_case& row : rows) {
            SCOPED_TRACE(std::string(kind.name) + ": " + row.name);
            stop_and_background(kind, row);
        }
    }
}

}  // namespace
