// zix inside tmux, a real terminal emulator that answers the cursor query:
// the character table is laid out for the pane's width, and the shell finds
// its prompt and its terminal settings as they were.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/emulator.h"
#include "support/expected_output.h"
#include "support/pty_harness.h"
#include "support/test_files.h"

namespace {

class tmux_server {
  public:
    tmux_server() {
        char dir[] = "/tmp/zix-tmux-XXXXXX";
        if (mkdtemp(dir)) dir_ = dir;
    }
    ~tmux_server() {
        run("kill-server");
        std::system(("rm -rf " + shell_quoted(dir_)).c_str());
    }
    tmux_server(const tmux_server&) = delete;
    tmux_server& operator=(const tmux_server&) = delete;

    const std::string& dir() const { return dir_; }

    std::string run(const std::string& args) const {
        const std::string command =
            "tmux -S " + shell_quoted(dir_ + "/socket") + " -f /dev/null " + args + " 2>/dev/null";
        std::string out;
        if (FILE* p = popen(command.c_str(), "r")) {
            char chunk[4096];
            size_t got = 0;
            while ((got = std::fread(chunk, 1, sizeof chunk, p)) > 0) out.append(chunk, got);
            pclose(p);
        }
        return out;
    }

    std::vector<std::string> pane() const {
        std::vector<std::string> lines;
        std::istringstream in(run("capture-pane -p -S -"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // Waits up to ten seconds (stretched by run_slowness) for a line that
    // reads exactly `line`.
    bool wait_for(const std::string& line) const {
        return wait_until([&](const std::string& l) { return l == line; });
    }
    // ...or for a line that holds `part` somewhere.
    bool wait_for_part(const std::string& part) const {
        return wait_until([&](const std::string& l) { return l.find(part) != std::string::npos; });
    }

    void type(const std::string& keys) const { run("send-keys " + shell_quoted(keys) + " Enter"); }

  private:
    bool wait_until(const std::function<bool(const std::string&)>& wanted) const {
        const int tries = static_cast<int>(100 * run_slowness());
        for (int i = 0; i < tries; ++i) {
            for (const std::string& l : pane()) {
                if (wanted(l)) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    std::string dir_;
};

// The UTF-8 text from its character number n (0-based) on.
std::string from_character(const std::string& text, size_t n) {
    size_t at = 0;
    for (size_t seen = 0; at < text.size(); ++at) {
        const bool starts = (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
        if (starts && seen++ == n) break;
    }
    return text.substr(at);
}

bool have_tmux() {
    return std::system("command -v tmux >/dev/null 2>&1") == 0;
}

// A shell in a 100 x 60 pane, with zix's command line in $Z.
void start_shell(const tmux_server& tmux, const std::string& shell, const std::string& prompt,
                 const std::string& locale, const std::vector<std::string>& zix_env) {
    const std::string zix_command = shell_command_line(ZIX_PROGRAM, {}, zix_env);
    tmux.run("new-session -d -x 100 -y 60 -c " + shell_quoted(tmux.dir()) + " " +
             shell_quoted("env PS1='" + prompt + " ' LC_ALL=" + locale +
                          " HISTFILE=/dev/null Z=" + shell_quoted(zix_command) + " " + shell));
}

void table_laid_out_for_the_pane(const std::string& locale) {
    const tmux_server tmux;
    ASSERT_FALSE(tmux.dir().empty());
    const std::string prompt = "zix-prompt>";
    start_shell(tmux, "sh", prompt, locale, {});
    ASSERT_TRUE(tmux.wait_for(prompt));

    const std::string command = "stty -g >before; eval \"$Z\" -a; stty -g >after; echo TABLE-DONE";
    tmux.type(command);
    ASSERT_TRUE(tmux.wait_for("TABLE-DONE"));
    tmux.type("echo typed-after");
    ASSERT_TRUE(tmux.wait_for("typed-after"));

    const std::vector<std::string> pane = tmux.pane();
    size_t at = 0;
    while (at < pane.size() && pane[at] != prompt + " " + command) ++at;
    ASSERT_LT(at, pane.size()) << "the command line is not on the screen";

    // 100 columns: seven entries to a row, 32 rows, then the empty row that
    // the closing newline makes. The rows up to code 125 are ASCII; from
    // there on every code shows as one character, so each entry still starts
    // its zone, counted in characters.
    const std::vector<std::string> want = expected::pinned_rows("e2e/table-100.txt");
    ASSERT_EQ(want.size(), 34u);
    ASSERT_GE(pane.size(), at + 1 + want.size() + 3);
    for (size_t row = 0; row < want.size(); ++row) {
        const std::string& got = pane[at + 1 + row];
        if (row <= 13) {
            EXPECT_EQ(got, want[row]) << "row " << row;
        } else if (row < 33) {
            for (int entry = 0; entry < 7; ++entry) {
                const std::string number = want[row].substr(14 * entry, 4);  // "123 "
                EXPECT_EQ(from_character(got, 14 * entry).substr(0, number.size()), number)
                    << "row " << row;
            }
        } else {
            EXPECT_EQ(got, "");
        }
    }
    // Back in the shell: its prompt at the start of a line, keys echoed and
    // read by line, settings exactly as before.
    size_t next = at + 1 + want.size();
    EXPECT_EQ(pane[next++], "TABLE-DONE");
    EXPECT_EQ(pane[next++], prompt + " echo typed-after");
    EXPECT_EQ(pane[next++], "typed-after");
    const std::string before = read_file(tmux.dir() + "/before");
    EXPECT_FALSE(before.empty());
    EXPECT_EQ(read_file(tmux.dir() + "/after"), before);
}

TEST(Tmux, TableLaidOutForThePaneAndShellIntactAfterwards) {
    if (!have_tmux()) GTEST_SKIP() << "tmux is not installed (scripts/setup native installs it)";
    for (const char* locale : {"C.UTF-8", "C"}) {
        SCOPED_TRACE(std::string("LC_ALL=") + locale);
        table_laid_out_for_the_pane(locale);
    }
}

TEST(Tmux, PrintZonesCountFromTheCursorAfterAStop) {
    // Stopped right after the text of entry 48 (column 28, third of its row)
    // and continued with fg: bash has written its job line meanwhile, so the
    // cursor stands at the start of a line and the padding counts from there.
    if (!have_tmux()) GTEST_SKIP() << "tmux is not installed (scripts/setup native installs it)";
    const tmux_server tmux;
    ASSERT_FALSE(tmux.dir().empty());
    const std::string prompt = "zix-job>";
    start_shell(tmux, "bash --norc --noprofile -i", prompt, "C.UTF-8",
                {std::string("LD_PRELOAD=") + ZIX_FAKE_MISHAPS, "ZIX_FAKE_FLUSH_TEXT=48  0",
                 "ZIX_FAKE_FLUSH_DOES=stop"});
    ASSERT_TRUE(tmux.wait_for(prompt));
    tmux.type("eval \"$Z\" -a");
    ASSERT_TRUE(tmux.wait_for_part("Stopped"));
    tmux.type("fg");
    ASSERT_TRUE(tmux.wait_for_part("254 "));
    tmux.type("echo ZONES-DONE");
    ASSERT_TRUE(tmux.wait_for("ZONES-DONE"));

    const std::vector<std::string> pane = tmux.pane();
    // The rows from entry 49 up to the one with DEL, its padding counted
    // from column 0, worked out independently and pinned.
    const std::vector<std::string> want =
        expected::pinned_rows("terminal/table-100-after-a-stop.txt");
    ASSERT_EQ(want.size(), 11u);
    size_t at = 0;
    while (at < pane.size() && pane[at] != want[0]) ++at;
    ASSERT_LT(at, pane.size()) << "no row starts entry 49 in its zone:\n"
                               << testing::PrintToString(pane);
    ASSERT_GE(pane.size(), at + want.size());
    for (size_t row = 0; row < want.size(); ++row) {
        EXPECT_EQ(pane[at + row], want[row]) << "row " << row;
    }
}

}  // namespace
