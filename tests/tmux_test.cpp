// zix inside tmux, a real terminal emulator that answers the cursor query:
// the character table is laid out for the pane's width, and the shell finds
// its prompt and its terminal settings as they were.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "emulator.h"
#include "expected_output.h"
#include "pty_harness.h"

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

    // Waits up to ten seconds for a line that reads exactly `line`.
    bool wait_for(const std::string& line) const {
        for (int i = 0; i < 100; ++i) {
            for (const std::string& l : pane()) {
                if (l == line) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    void type(const std::string& keys) const { run("send-keys " + shell_quoted(keys) + " Enter"); }

  private:
    std::string dir_;
};

std::vector<std::string> table_lines(int per_row) {
    std::vector<std::string> lines;
    std::istringstream in(expected::table(per_row));
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
    }
    return lines;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Tmux, TableLaidOutForThePaneAndShellIntactAfterwards) {
    if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is missing";
    const tmux_server tmux;
    ASSERT_FALSE(tmux.dir().empty());
    const std::string prompt = "zix-prompt>";
    std::string zix_command;
    for (const std::string& word : emulated_command(ZIX_PROGRAM, {}, {}).argv) {
        zix_command += (zix_command.empty() ? "" : " ") + shell_quoted(word);
    }
    tmux.run("new-session -d -x 100 -y 60 -c " + shell_quoted(tmux.dir()) + " " +
             shell_quoted("env PS1='" + prompt + " ' Z=" + shell_quoted(zix_command) + " sh"));
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
    // the closing newline makes. tmux gives codes 128 to 255 no cell, so past
    // code 122 only the start of each row is compared.
    const std::vector<std::string> want = table_lines(7);
    ASSERT_EQ(want.size(), 34u);
    ASSERT_GE(pane.size(), at + 1 + want.size() + 3);
    for (size_t row = 0; row < want.size(); ++row) {
        const std::string& got = pane[at + 1 + row];
        if (row <= 13) {
            EXPECT_EQ(got, want[row]) << "row " << row;
        } else if (row < 33) {
            const std::string first = std::to_string(32 + 7 * (row - 1)) + " ";
            EXPECT_EQ(got.substr(0, first.size()), first) << "row " << row;
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

}  // namespace
