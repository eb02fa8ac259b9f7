// Reading the terminal's answers out of whatever arrives on standard input.
#include "runtime/linux/terminal_reply.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct scan_result {
    bool done = false;
    int first = 0;
    int second = 0;
    std::string set_aside;  // the key presses
    std::string left;       // bytes not looked at, for the next query
};

scan_result scan(term_reply_format format, const std::string& input) {
    scan_result r;
    term_reply_scanner s = term_reply_start(format);
    for (size_t i = 0; i < input.size(); ++i) {
        const term_reply_step step = term_reply_feed(s, static_cast<unsigned char>(input[i]));
        if (step.set_aside >= 0) r.set_aside += static_cast<char>(step.set_aside);
        if (step.done) {
            r.done = true;
            r.first = s.values[0];
            r.second = s.values[1];
            r.left = input.substr(step.consumed ? i + 1 : i);
            break;
        }
        EXPECT_TRUE(step.consumed);
    }
    return r;
}

constexpr auto kCursor = term_reply_format::cursor_position;
constexpr auto kSize = term_reply_format::text_area_size;

TEST(TerminalReply, Answers) {
    const struct {
        term_reply_format format;
        std::string input;
        bool done;
        int first, second;
        std::string set_aside, left;
    } rows[] = {
        {kCursor, "\x1b[24;80R", true, 24, 80, "", ""},
        {kCursor, "\x1b[1;1Rxy", true, 1, 1, "", "xy"},
        {kSize, "\x1b[8;40;120t", true, 40, 120, "", ""},
        // Key presses before the answer are set aside; ESC + other byte is a
        // key, the ESC itself dropped; a doubled ESC still starts the answer.
        {kCursor, "ab\x1bOA\x1b\x1b[3;7R", true, 3, 7, "abOA\x1b", ""},
        {kCursor, "\n\x7f\x1b[3;7R", true, 3, 7, "\n\x7f", ""},
        // A broken answer ends where it breaks; scanning goes on from there.
        {kCursor, "\x1b[3;xR\x1b[4;5R", true, 4, 5, "xR", ""},
        {kCursor, "\x1b[-;2R\x1b[4;5R", true, 4, 5, ";2R", ""},
        {kSize, "\x1b[9;40;120t\x1b[8;2;3t", true, 2, 3, "9;40;120t", ""},
        {kSize, "\x1b[8;40\x1b[8;2;3t", true, 2, 3, "", ""},
        // Read as scanf reads numbers: blanks, a sign, digits.
        {kCursor, "\x1b[ 3;\t+7R", true, 3, 7, "", ""},
        {kSize, "\x1b[8;-3;-9t", true, -3, -9, "", ""},
        {kCursor, "\x1b[99999999999;1R", true, 2147483647, 1, "", ""},
        // Both numbers make the answer; a wrong closing byte stays unread.
        {kCursor, "\x1b[3;7X", true, 3, 7, "", "X"},
        {kCursor, "\x1b[8;40;120t", true, 8, 40, "", ";120t"},
        // No complete answer.
        {kCursor, "\x1b[24;80", false, 0, 0, "", ""},
        {kSize, "\x1b[24;80R", false, 0, 0, "24;80R", ""},
        {kCursor, "hello", false, 0, 0, "hello", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.input));
        const scan_result r = scan(row.format, row.input);
        EXPECT_EQ(r.done, row.done);
        EXPECT_EQ(r.first, row.first);
        EXPECT_EQ(r.second, row.second);
        EXPECT_EQ(r.set_aside, row.set_aside);
        EXPECT_EQ(r.left, row.left);
    }
}

}  // namespace
