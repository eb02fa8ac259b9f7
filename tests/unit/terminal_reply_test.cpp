// Reading the terminal's answers out of whatever arrives on the terminal, and
// keeping count of the answers owed.
#include "runtime/linux/terminal_reply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/linux/terminal_reply_seams.h"

namespace {

constexpr int kCursor = static_cast<int>(term_reply_format::cursor_position);
constexpr int kSize = static_cast<int>(term_reply_format::text_area_size);

struct answer_seen {
    int format;
    int first, second;
    bool operator==(const answer_seen&) const = default;
};

struct scan_result {
    std::vector<answer_seen> answers;
    std::string set_aside;  // the key presses, as they came
};

scan_result scan(const std::string& input) {
    scan_result r;
    term_reply_scanner s = term_reply_start();
    for (const char c : input) {
        const term_reply_step step = term_reply_feed(s, static_cast<unsigned char>(c));
        if (step.set_aside >= 0) r.set_aside += static_cast<char>(step.set_aside);
        if (step.answer >= 0) r.answers.push_back({step.answer, s.values[0], s.values[1]});
    }
    return r;
}

TEST(TerminalReply, Answers) {
    const struct {
        std::string input;
        std::vector<answer_seen> answers;
        std::string set_aside;
    } rows[] = {
        {"\x1b[24;80R", {{kCursor, 24, 80}}, ""},
        {"\x1b[1;1Rxy", {{kCursor, 1, 1}}, "xy"},
        {"\x1b[8;40;120t", {{kSize, 40, 120}}, ""},
        // Key presses before the answer are set aside; ESC + other byte is a
        // key, the ESC itself dropped; a doubled ESC still starts the answer.
        {"ab\x1bOA\x1b\x1b[3;7R", {{kCursor, 3, 7}}, "abOA\x1b"},
        {"\n\x7f\x1b[3;7R", {{kCursor, 3, 7}}, "\n\x7f"},
        // A broken answer ends where it breaks; scanning goes on from there.
        {"\x1b[3;xR\x1b[4;5R", {{kCursor, 4, 5}}, "xR"},
        {"\x1b[-;2R\x1b[4;5R", {{kCursor, 4, 5}}, ";2R"},
        {"\x1b[9;40;120t\x1b[8;2;3t", {{kSize, 2, 3}}, ";120t"},
        {"\x1b[8;40\x1b[8;2;3t", {{kSize, 2, 3}}, ""},
        // The size answer's 8 is the byte itself: no blank, sign or zero.
        {"\x1b[ 8;1;2t\x1b[08;1;2t\x1b[+8;1;2t", {}, ";2t;2t;2t"},
        // Read as scanf reads numbers: blanks, a sign, digits.
        {"\x1b[ 3;\t+7R", {{kCursor, 3, 7}}, ""},
        {"\x1b[8;-3;-9t", {{kSize, -3, -9}}, ""},
        {"\x1b[99999999999;1R", {{kCursor, 2147483647, 1}}, ""},
        {"\x1b[8;-999999999999999999999;5t", {{kSize, -2147483647 - 1, 5}}, ""},
        // Only a complete answer counts, its closing letter included.
        {"\x1b[3;7X", {}, "X"},
        {"\x1b[8;1;2R", {}, "R"},
        {"\x1b[24;80", {}, ""},
        // Either answer is recognised, whichever was asked for.
        {"\x1b[8;40;120t\x1b[8;5R", {{kSize, 40, 120}, {kCursor, 8, 5}}, ""},
        {"\x1b[24;80R", {{kCursor, 24, 80}}, ""},
        {"hello", {}, "hello"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.input));
        const scan_result r = scan(row.input);
        EXPECT_EQ(r.answers, row.answers);
        EXPECT_EQ(r.set_aside, row.set_aside);
    }
}

std::string type_ahead(const term_answer_channel& c) {
    std::string keys;
    for (int i = c.type_ahead.read_index; i != c.type_ahead.write_index; i = (i + 1) & 255) {
        keys += static_cast<char>(c.type_ahead.slot[i]);
    }
    return keys;
}

// "C" and "S" ask for the cursor or the size, "-" forgets what is owed, any
// other step is bytes read from the terminal.
TEST(TerminalReply, AnswersOwed) {
    const struct {
        const char* name;
        std::vector<std::string> steps;
        bool cursor_answered, size_answered;
        int cursor_column;
        std::vector<uint32_t> owed;
        std::string type_ahead;
    } rows[] = {
        {"answered", {"C", "\x1b[5;1R"}, true, false, 1, {0, 0}, ""},
        {"a late answer is not the next one's",
         {"C", "C", "\x1b[5;1R"},
         false,
         false,
         0,
         {1, 0},
         ""},
        {"...the next one is", {"C", "C", "\x1b[5;1R", "\x1b[5;31R"}, true, false, 31, {0, 0}, ""},
        {"each form counted apart",
         {"S", "C", "\x1b[3;4R", "\x1b[8;24;80t"},
         true,
         true,
         4,
         {0, 0},
         ""},
        {"nobody asked", {"\x1b[5;1R"}, false, false, 0, {0, 0}, ""},
        {"split anywhere, keys around",
         {"C", "x\x1b", "[5", ";", "9Ry"},
         true,
         false,
         9,
         {0, 0},
         "xy"},
        {"forgotten half way", {"C", "\x1b[5;", "-", "1R"}, false, false, 0, {0, 0}, "1R"},
        {"keys kept as a console keeps them", {"a\nb\x7f\r"}, false, false, 0, {0, 0}, "a\rb\b\r"},
        {"the latest 255 keys",
         {std::string(200, 'a') + std::string(100, 'b')},
         false,
         false,
         0,
         {0, 0},
         std::string(155, 'a') + std::string(100, 'b')},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        term_answer_channel c = term_channel_start();
        for (const std::string& step : row.steps) {
            if (step == "C") {
                term_channel_asked(c, term_reply_format::cursor_position);
            } else if (step == "S") {
                term_channel_asked(c, term_reply_format::text_area_size);
            } else if (step == "-") {
                term_channel_forget(c);
            } else {
                term_channel_take(c, reinterpret_cast<const unsigned char*>(step.data()),
                                  step.size());
            }
        }
        EXPECT_EQ(c.answered[kCursor], row.cursor_answered);
        EXPECT_EQ(c.answered[kSize], row.size_answered);
        if (row.cursor_answered) {
            EXPECT_EQ(c.latest[kCursor][1], row.cursor_column);
        }
        EXPECT_EQ(std::vector<uint32_t>(c.owed, c.owed + kReplyFormats), row.owed);
        EXPECT_EQ(term_channel_owes(c), (row.owed != std::vector<uint32_t>{0, 0}));
        EXPECT_EQ(type_ahead(c), row.type_ahead);
    }
}

}  // namespace
