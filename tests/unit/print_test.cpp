#include "runtime/print.h"

#include <gtest/gtest.h>

#include <string>

#include "support/expected_output.h"
#include "support/recording_device.h"
#include "runtime/console_moved.h"
#include "runtime/print_seams.h"

namespace {

using expected::newline;

class PrintTest : public ::testing::Test {
  protected:
    void TearDown() override { print_reset(nullptr); }
};

TEST_F(PrintTest, TextThenNewlineIsTwoWrites) {
    recording_console& con = use_recording_console();
    print_text(0, "abc", PrintMode::newline);
    EXPECT_EQ(con.writes, (std::vector<std::string>{"abc", newline}));
    EXPECT_EQ(print_console_column(), 0);
}

TEST_F(PrintTest, PrintEndWritesTheFinishAlone) {
    recording_console& con = use_recording_console();
    print_end(0, PrintMode::newline);
    EXPECT_EQ(con.writes, (std::vector<std::string>{newline}));
}

TEST_F(PrintTest, EmptyTextWithNothingDoesNotEvenOpenTheConsole) {
    recording_console& con = use_recording_console();
    print_text(0, "", PrintMode::nothing);
    print_end(0, PrintMode::nothing);
    EXPECT_EQ(con.size_calls, 0);
    EXPECT_TRUE(con.writes.empty());
}

TEST_F(PrintTest, OtherFileNumbersWriteNothing) {
    recording_console& con = use_recording_console();
    for (int32_t file : {7, -1, 1, 255, 256, -2}) {
        print_text(file, "x", PrintMode::newline);
        print_end(file, PrintMode::next_zone);
    }
    EXPECT_TRUE(con.writes.empty());
}

TEST_F(PrintTest, ZonePaddingCountsFromTheColumn) {
    struct case_row {
        std::string text;
        std::string padding;
    };
    const case_row rows[] = {
        {"", std::string(14, ' ')},
        {"12345", std::string(9, ' ')},
        {std::string(14, 'x'), std::string(14, ' ')},
        {std::string(13, 'x'), std::string(1, ' ')},
    };
    for (const case_row& row : rows) {
        recording_console& con = use_recording_console();
        print_text(0, row.text, PrintMode::next_zone);
        EXPECT_EQ(con.bytes, row.text + row.padding) << row.text.size();
    }
}

TEST_F(PrintTest, NewlineFlagWinsOverZoneFlag) {
    recording_console& con = use_recording_console();
    print_text(0, "ab", static_cast<PrintMode>(3));
    print_text(0, "cd", static_cast<PrintMode>(4));  // neither flag: nothing
    EXPECT_EQ(con.bytes, "ab" + newline + "cd");
}

// Five-byte texts printed with next_zone after a newline, on several widths.
std::string zone_run(uint32_t width, int texts) {
    recording_console& con = use_recording_console(width);
    for (int i = 0; i < texts; ++i) print_text(0, "abcde", PrintMode::next_zone);
    return con.bytes;
}

TEST_F(PrintTest, ZonesOnWidth80) {
    const std::string pad(9, ' ');
    const std::string row =
        "abcde" + pad + "abcde" + pad + "abcde" + pad + "abcde" + pad + "abcde" + newline;
    EXPECT_EQ(row.size(), 61u + newline.size());
    EXPECT_EQ(zone_run(80, 6), row + "abcde" + pad);
}

TEST_F(PrintTest, ZonesOnWidth120) {
    std::string row;
    for (int i = 0; i < 7; ++i) row += "abcde" + std::string(9, ' ');
    row += "abcde" + newline;
    EXPECT_EQ(zone_run(120, 8), row);
}

TEST_F(PrintTest, NarrowWidthNeverWrapsButReducesTheColumn) {
    // Width 13: column 5 pads 9 to column 14, which reduces to 1; from then on
    // each text ends at 6 and pads 8.
    const std::string pad8(8, ' ');
    EXPECT_EQ(zone_run(13, 3), "abcde" + std::string(9, ' ') + "abcde" + pad8 + "abcde" + pad8);
    EXPECT_EQ(print_console_column(), 1);
}

TEST_F(PrintTest, WidthZeroNeverWraps) {
    std::string want;
    for (int i = 0; i < 10; ++i) want += "abcde" + std::string(9, ' ');
    EXPECT_EQ(zone_run(0, 10), want);
    EXPECT_EQ(print_console_column(), 140);
}

TEST_F(PrintTest, ColumnFollowsTheLastLineEnd) {
    use_recording_console();
    print_text(0, "ab", PrintMode::nothing);
    print_text(0, std::string("xyz\nabc", 7), PrintMode::nothing);
    EXPECT_EQ(print_console_column(), 3);
    print_text(0, "q\rab", PrintMode::nothing);
    EXPECT_EQ(print_console_column(), 2);

    use_recording_console(80);
    print_text(0, std::string(100, 'x'), PrintMode::nothing);
    EXPECT_EQ(print_console_column(), 20);

    use_recording_console(0);
    print_text(0, std::string(100, 'x'), PrintMode::nothing);
    EXPECT_EQ(print_console_column(), 100);
}

// The line-end scan reads texts eight bytes at a time, and a text of 8 to 16
// bytes as its first and last eight bytes at once: a CR or LF at any place
// relative to those words, among bytes of any kind, and a text with none,
// must all be found.
TEST_F(PrintTest, LineEndFoundAnywhereInALongText) {
    // 0B differs from 0A and 0D in one bit; x and FF are far from both.
    for (char filler : {'\x0b', 'x', '\xff'}) {
        for (size_t length : {1u, 7u, 8u, 9u, 12u, 15u, 16u, 17u, 40u, 256u, 257u, 300u}) {
            // Each text twice: the first print opens the console, the second
            // finds it open, as every print but the first of a run does.
            for (size_t at = 0; at < length; ++at) {
                for (char end : {'\n', '\r'}) {
                    use_recording_console(0);
                    std::string text(length, filler);
                    text[at] = end;
                    for (int print = 0; print < 2; ++print) {
                        print_text(0, text, PrintMode::nothing);
                        EXPECT_EQ(print_console_column(), static_cast<int32_t>(length - at - 1))
                            << length << ' ' << at << ' ' << int{end} << ' ' << int{filler};
                    }
                }
            }
            use_recording_console(0, 3);
            print_text(0, std::string(length, filler), PrintMode::nothing);
            EXPECT_EQ(print_console_column(), static_cast<int32_t>(length + 2));
            print_text(0, std::string(length, filler), PrintMode::nothing);
            EXPECT_EQ(print_console_column(), static_cast<int32_t>(2 * length + 2));
        }
    }
}

// With several line ends, whichever kind, the last one counts, in short texts
// and long.
TEST_F(PrintTest, LastOfSeveralLineEndsCounts) {
    struct case_row {
        size_t length;
        std::vector<std::pair<size_t, char>> ends;
        int32_t column;
    };
    const case_row rows[] = {
        {40, {{3, '\n'}, {20, '\r'}}, 19},      {40, {{3, '\r'}, {20, '\n'}}, 19},
        {40, {{20, '\r'}, {21, '\n'}}, 18},     {1000, {{100, '\n'}, {900, '\r'}}, 99},
        {1000, {{100, '\r'}, {900, '\n'}}, 99}, {1000, {{5, '\n'}, {6, '\n'}, {999, '\r'}}, 0},
        {1000, {{998, '\n'}, {999, '\n'}}, 0},  {1000, {{0, '\r'}, {500, '\n'}, {501, '\r'}}, 498},
    };
    for (const case_row& row : rows) {
        std::string text(row.length, 'x');
        for (const auto& [at, end] : row.ends) text[at] = end;
        use_recording_console(0);
        print_text(0, text, PrintMode::nothing);
        EXPECT_EQ(print_console_column(), row.column) << row.length << ' ' << row.ends.size();
    }
}

// Short texts without a line end, printed one after another as string mode
// prints its copies, on lines of every kind of width and from a cursor
// inside or past the line: the column is always the bytes so far modulo the
// width.
TEST_F(PrintTest, ColumnOfRepeatedShortTexts) {
    for (uint32_t width : {0u, 5u, 12u, 13u, 80u}) {
        for (int32_t cursor : {1, 7, 200}) {
            for (size_t length : {8u, 12u, 16u}) {
                recording_console& con = use_recording_console(width, cursor);
                const std::string text(length, '\x80');
                uint64_t bytes = static_cast<uint64_t>(cursor - 1);
                for (int copy = 0; copy < 30; ++copy) {
                    print_text(0, text, PrintMode::nothing);
                    bytes += length;
                    const uint64_t want = width != 0 ? bytes % width : bytes;
                    ASSERT_EQ(print_console_column(), static_cast<int32_t>(want))
                        << width << ' ' << cursor << ' ' << length << ' ' << copy;
                }
                EXPECT_EQ(con.write_count, 30u);
                // The 30 copies handed over at once: the same writes and column.
                const int32_t column = print_console_column();
                const std::vector<std::string> writes = con.writes;
                use_recording_console(width, cursor);
                print_copies(0, text, 30);
                EXPECT_EQ(print_console_column(), column);
                EXPECT_EQ(con.writes, writes);
            }
        }
    }
}

TEST_F(PrintTest, ManyCopiesCountEveryByte) {
    recording_console& con = use_recording_console(80);
    con.keep_writes = false;
    print_copies(0, "ab", 4294967295u);  // 8589934590 bytes: 30 past the last full line
    EXPECT_EQ(print_console_column(), 30);
    EXPECT_EQ(con.write_count, 4294967295u);
}

// A zone after a run of short texts pads from where they left the column.
TEST_F(PrintTest, ZoneAfterRepeatedShortTexts) {
    struct case_row {
        uint32_t width;
        int32_t cursor;
        int copies;
        std::string finish;  // what next_zone writes then
    };
    const case_row rows[] = {
        {80, 1, 3, std::string(4, ' ')},    // column 24: to 28
        {80, 1, 7, newline},                // column 56: no room for the zone at 70
        {80, 11, 9, std::string(12, ' ')},  // column 82 reduced to 2: to 14
        {0, 1, 20, std::string(8, ' ')},    // column 160: to 168
        {13, 1, 5, std::string(13, ' ')},   // column 40 reduced to 1: to 14
        // Widths of whole zones: the last zone would end in the line's last
        // column, with none left after it.
        {84, 1, 6, std::string(8, ' ')},  // column 48: to 56
        {84, 1, 7, newline},              // column 56: the zone at 70 would end at 83
        {112, 1, 11, newline},            // column 88: the zone at 98 would end at 111
        {140, 1, 15, newline},            // column 120: the zone at 126 would end at 139
    };
    for (const case_row& row : rows) {
        recording_console& con = use_recording_console(row.width, row.cursor);
        for (int copy = 0; copy < row.copies; ++copy) print_text(0, "12345678", PrintMode::nothing);
        print_end(0, PrintMode::next_zone);
        ASSERT_EQ(con.writes.size(), static_cast<size_t>(row.copies) + 1);
        EXPECT_EQ(con.writes.back(), row.finish) << row.width << ' ' << row.copies;
    }
}

TEST_F(PrintTest, ColumnStartsAtTheConsolesCursor) {
    recording_console& con = use_recording_console(80, 31);
    print_text(0, "ab", PrintMode::next_zone);  // column 30 + 2 = 32: pad to 42
    EXPECT_EQ(con.bytes, "ab" + std::string(10, ' '));
    EXPECT_EQ(print_console_width(), 80u);

    // A console that reports a column left of 1 is taken at column 1.
    recording_console& odd = use_recording_console(80, 0);
    print_text(0, "ab", PrintMode::next_zone);
    EXPECT_EQ(odd.bytes, "ab" + std::string(12, ' '));
}

TEST_F(PrintTest, AfterTheCursorMovedZonesCountFromItsNewColumn) {
    // A text printed, the cursor moved behind the print path's back (a stop
    // and a continue), then the text's zone padding: it counts from the
    // column the console reports now, and the width stays.
    const struct {
        int32_t moved_to;
        std::string padding;
    } rows[] = {{1, std::string(14, ' ')}, {31, std::string(12, ' ')}, {0, std::string(14, ' ')}};
    for (const auto& row : rows) {
        recording_console& con = use_recording_console(80, 1);
        print_text(0, "abcde", PrintMode::nothing);
        con.cursor_column = row.moved_to;
        con.width = 120;
        console_moved_raise();
        print_end(0, PrintMode::next_zone);
        EXPECT_EQ(con.writes.back(), row.padding) << row.moved_to;
        EXPECT_EQ(print_console_width(), 80u);
        EXPECT_EQ(con.size_calls, 1);
    }
    // Nothing moved: the column follows the bytes alone.
    recording_console& con = use_recording_console(80, 1);
    print_text(0, "abcde", PrintMode::next_zone);
    con.cursor_column = 31;
    print_text(0, "abcde", PrintMode::next_zone);
    EXPECT_EQ(con.bytes, "abcde" + std::string(9, ' ') + "abcde" + std::string(9, ' '));
}

TEST_F(PrintTest, TabsAndHighBytesCountOneColumnEach) {
    use_recording_console();
    print_text(0, "\t\a\b\xff\x80", PrintMode::nothing);
    EXPECT_EQ(print_console_column(), 5);
}

}  // namespace
