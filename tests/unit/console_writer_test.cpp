// The console writer against the simulated screen buffer: what lands in which
// cell, where the cursor ends, when the buffer scrolls and the window moves.
#include "runtime/windows/console_writer.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "front/front.h"
#include "runtime/print.h"
#include "runtime/windows/console_writer_seams.h"
#include "support/console_sim.h"
#include "support/expected_output.h"

// Found by argument-dependent lookup, so they live beside the types.
bool operator==(con_coord a, con_coord b) {
    return a.x == b.x && a.y == b.y;
}
bool operator==(const con_rect& a, const con_rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
std::ostream& operator<<(std::ostream& out, con_coord c) {
    return out << "(" << c.x << "," << c.y << ")";
}
std::ostream& operator<<(std::ostream& out, const con_rect& r) {
    return out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace {

using strings = std::vector<std::string>;

// As the print path does it at its first print: the size, then the column.
void start_writer() {
    uint32_t width = 0;
    uint32_t height = 0;
    con_size(&width, &height);
    con_cursor_column();
}

void write(const std::string& bytes) {
    con_write(bytes.data(), bytes.size());
}

con_coord cursor_of(const console_sim& sim) {
    return sim.cursor;
}

constexpr con_rect kWindow80x25{0, 0, 79, 24};

TEST(ConsoleWriter, LineEndsMoveTheCursorWithoutBecomingCells) {
    console_sim& sim = use_console_sim(80, 25, kWindow80x25, {0, 10});
    sim.put(0, 10, "..........");
    sim.put(0, 11, "..........");
    start_writer();
    write("abc\r\n");
    EXPECT_EQ(sim.row_text(10), "abc.......");
    EXPECT_EQ(sim.row_text(11), "..........");
    EXPECT_EQ(cursor_of(sim), (con_coord{0, 11}));
    EXPECT_TRUE(sim.calls("scroll").empty());
}

TEST(ConsoleWriter, TabsWriteSpacesToTheNextMultipleOfEight) {
    struct case_row {
        int16_t column;
        std::string row3, row4;
        con_coord cursor;
    };
    const case_row rows[] = {
        {0, "        |", "", {9, 3}},
        {5, ".....   |", "", {9, 3}},
        {8, "........        |", "", {17, 3}},
        // From column 77 the three spaces end the row; the text goes on below.
        {77, std::string(77, '.'), "|", {1, 4}},
    };
    for (const case_row& row : rows) {
        console_sim& sim = use_console_sim(80, 25, kWindow80x25, {row.column, 3});
        sim.put(0, 3, std::string(80, '.'));
        start_writer();
        write("\t|");
        EXPECT_EQ(sim.row_text(3).substr(0, row.row3.size()), row.row3) << row.column;
        EXPECT_EQ(sim.row_text(4), row.row4) << row.column;
        EXPECT_EQ(cursor_of(sim), row.cursor) << row.column;
    }
}

TEST(ConsoleWriter, BackspaceMovesLeftWithoutErasing) {
    struct case_row {
        int16_t column;
        std::string bytes, text;
        con_coord cursor;
    };
    const case_row rows[] = {
        {0, "\b", "", {0, 2}},
        {0, "\bX", "X", {1, 2}},
        {0, "abc\b", "abc", {2, 2}},
        {0, "abc\bX", "abX", {3, 2}},
        {0, "a\b\b\bX", "X", {1, 2}},                      // stops at the left edge
        {79, "a\bX", std::string(79, ' ') + "a", {1, 3}},  // a ends the row: \b at the left edge
    };
    for (const case_row& row : rows) {
        console_sim& sim = use_console_sim(80, 25, kWindow80x25, {row.column, 2});
        start_writer();
        write(row.bytes);
        EXPECT_EQ(sim.row_text(2), row.text) << row.bytes.size();
        EXPECT_EQ(cursor_of(sim), row.cursor) << row.bytes.size();
    }
}

TEST(ConsoleWriter, EveryOtherByteIsOneCellShowingItsCode) {
    std::string bytes = std::string("\x00\x0B\x0C\x1B\x7F", 5);
    for (int code = 0x80; code <= 0xFF; ++code) bytes += static_cast<char>(code);
    console_sim& sim = use_console_sim(80, 25, kWindow80x25, {0, 0});
    sim.attributes = 0x1E;
    start_writer();
    write(bytes);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const con_cell& cell = sim.at(static_cast<int>(i % 80), static_cast<int>(i / 80));
        EXPECT_EQ(cell.character, bytes[i]) << i;
        EXPECT_EQ(cell.attributes, 0x1E) << i;
    }
    EXPECT_EQ(cursor_of(sim), (con_coord{static_cast<int16_t>(bytes.size() % 80), 1}));
}

TEST(ConsoleWriter, BellSoundsBeforeTheTextAheadOfItIsShown) {
    console_sim& sim = use_console_sim(80, 25, kWindow80x25, {4, 6});
    start_writer();
    write("ab\acd");
    EXPECT_EQ(sim.log, (strings{"beep 1000 250", "write 4,6 4", "cursor 8,6"}));
    EXPECT_EQ(sim.row_text(6), "    abcd");
}

// A window that already shows the buffer's last rows: output at its bottom
// scrolls the buffer's contents.
TEST(ConsoleWriter, FullBottomRowParksTheCursorUntilTheNextWrite) {
    console_sim& sim = use_console_sim(80, 25, kWindow80x25, {0, 24});
    sim.put(0, 23, "above");
    start_writer();
    write(std::string(80, 'x'));
    EXPECT_EQ(sim.row_text(24), std::string(80, 'x'));
    EXPECT_EQ(sim.row_text(23), "above");
    EXPECT_EQ(cursor_of(sim), (con_coord{79, 24}));
    EXPECT_TRUE(sim.calls("scroll").empty());

    // The newline first scrolls for the pending row, then for its line feed.
    write("\r\n");
    EXPECT_EQ(sim.calls("scroll"), (strings{"scroll 0,1-79,24 to 0,0", "scroll 0,1-79,24 to 0,0"}));
    EXPECT_EQ(sim.row_text(21), "above");
    EXPECT_EQ(sim.row_text(22), std::string(80, 'x'));
    EXPECT_EQ(sim.row_text(23), "");
    EXPECT_EQ(sim.row_text(24), "");
    EXPECT_EQ(cursor_of(sim), (con_coord{0, 24}));
    EXPECT_EQ(sim.window, kWindow80x25);
}

TEST(ConsoleWriter, TextRunningPastTheBottomScrollsRowByRow) {
    console_sim& sim = use_console_sim(80, 25, kWindow80x25, {70, 24});
    sim.put(0, 1, "gone");
    sim.put(0, 2, "kept");
    start_writer();
    write(std::string(10, 'a') + std::string(80, 'b') + "cc");
    EXPECT_EQ(sim.row_text(0), "kept");
    EXPECT_EQ(sim.row_text(22), std::string(70, ' ') + std::string(10, 'a'));
    EXPECT_EQ(sim.row_text(23), std::string(80, 'b'));
    EXPECT_EQ(sim.row_text(24), "cc");
    EXPECT_EQ(cursor_of(sim), (con_coord{2, 24}));
}

// Free buffer rows below the window: the window moves down over them and the
// buffer's contents stay where they are.
TEST(ConsoleWriter, WindowMovesDownOverFreeRows) {
    console_sim& sim = use_console_sim(80, 300, kWindow80x25, {0, 24});
    sim.put(0, 0, "top");
    start_writer();
    write("a\r\n");
    EXPECT_EQ(sim.calls("window"), (strings{"window 0,1-79,25"}));
    EXPECT_EQ(sim.window, (con_rect{0, 1, 79, 25}));
    EXPECT_EQ(sim.row_text(0), "top");
    EXPECT_EQ(sim.row_text(24), "a");
    EXPECT_EQ(cursor_of(sim), (con_coord{0, 25}));
    EXPECT_TRUE(sim.calls("scroll").empty());

    // Wrapping text follows the same way, and the region keeps its height.
    write(std::string(80 * 3 + 5, 'w'));
    EXPECT_EQ(sim.window, (con_rect{0, 4, 79, 28}));
    EXPECT_EQ(sim.row_text(28), "wwwww");
    uint32_t width = 0;
    uint32_t height = 0;
    con_size(&width, &height);
    EXPECT_EQ(height, 25u);
}

TEST(ConsoleWriter, WindowTakesTheLastFreeRowsThenTheBufferScrolls) {
    console_sim& sim = use_console_sim(80, 26, kWindow80x25, {0, 24});
    sim.put(0, 0, "row0");
    sim.put(0, 1, "row1");
    sim.put(0, 2, "row2");
    start_writer();
    write("\n\n\n");
    EXPECT_EQ(sim.calls("scroll"), (strings{"scroll 0,2-79,25 to 0,0"}));
    EXPECT_EQ(sim.row_text(0), "row2");
    EXPECT_EQ(sim.window, (con_rect{0, 1, 79, 25}));
    EXPECT_EQ(cursor_of(sim), (con_coord{0, 25}));
}

// After the user made the window shorter, the output keeps to the rows it was
// given at its first write and scrolls only those; the window stays put.
TEST(ConsoleWriter, ChangedWindowHeightConfinesTheScrolling) {
    console_sim& sim = use_console_sim(80, 100, kWindow80x25, {0, 0});
    start_writer();
    write("first");
    sim.window = con_rect{0, 0, 79, 19};
    write("!");  // measures the shorter window at its end
    sim.put(0, 1, "second");
    sim.put(0, 25, "below the region");
    sim.cursor = con_coord{0, 24};
    sim.log.clear();
    write("\n");
    EXPECT_EQ(sim.calls("scroll"), (strings{"scroll 0,1-79,24 to 0,0"}));
    EXPECT_TRUE(sim.calls("window").empty());
    EXPECT_EQ(sim.row_text(0), "second");
    EXPECT_EQ(sim.row_text(25), "below the region");
    EXPECT_EQ(cursor_of(sim), (con_coord{0, 24}));
}

TEST(ConsoleWriter, ConfinedRegionIsClearedWhenScrolledByItsHeight) {
    console_sim& sim = use_console_sim(80, 100, kWindow80x25, {0, 0});
    start_writer();
    write("x");
    sim.window = con_rect{0, 0, 79, 29};
    write("y");
    sim.cursor = con_coord{0, 24};
    sim.log.clear();
    write(std::string(30, '\n'));
    EXPECT_TRUE(sim.calls("scroll").empty());
    EXPECT_EQ(sim.calls("fill-character").size(), 25u);
    EXPECT_EQ(sim.row_text(0), "");
    EXPECT_EQ(cursor_of(sim), (con_coord{0, 24}));
}

// Line feeds that scroll by many rows, checked cell by cell on a buffer 8
// columns wide whose row y first holds 8 times the letter 'a' + y in attribute
// 7. Each expected screen gives one character a row: the letter of the row
// that now shows there, or '.' for a row of spaces in the current attribute
// 0x1E. The screens were worked out independently from the scrolling rules.
TEST(ConsoleWriter, ScrollsByManyRowsLeaveEveryCellRight) {
    struct case_row {
        const char* what;
        int16_t rows;
        con_rect window, later_window;  // at the first write, then as the user leaves it
        int line_feeds;                 // from the start of the region's bottom row
        std::string screen;
        con_rect window_after;
    };
    const con_rect w10{0, 0, 7, 9};
    const con_rect end14{0, 4, 7, 13};
    const con_rect taller16{0, 2, 7, 13};
    const case_row rows[] = {
        {"more than half the buffer", 10, w10, w10, 7, "hij.......", w10},
        {"the whole buffer", 10, w10, w10, 10, "..........", w10},
        {"window at a taller buffer's end", 14, end14, end14, 9, "jklmn.........", end14},
        {"more than the window's height", 14, end14, end14, 12, "mn............", end14},
        {"the whole taller buffer", 14, end14, end14, 14, "abcd..........", end14},
        {"the window first takes free rows", 12, w10, w10, 9, "hijkl.......", {0, 2, 7, 11}},
        {"confined, more than half", 16, w10, taller16, 9, "abl.........mnop", taller16},
        {"confined, its whole height", 16, w10, taller16, 10, "ab..........mnop", taller16},
    };
    for (const case_row& row : rows) {
        console_sim& sim = use_console_sim(8, row.rows, row.window, {0, row.window.top});
        start_writer();
        write("x");
        sim.window = row.later_window;
        sim.cursor = con_coord{0, row.later_window.top};
        write("y");  // measures the window the user left
        for (int y = 0; y < row.rows; ++y)
            sim.put(0, y, std::string(8, static_cast<char>('a' + y)));
        sim.attributes = 0x1E;
        const int height = row.window.bottom - row.window.top + 1;
        sim.cursor = con_coord{0, static_cast<int16_t>(row.later_window.top + height - 1)};
        write(std::string(static_cast<size_t>(row.line_feeds), '\n'));
        for (int y = 0; y < row.rows; ++y) {
            const char shown = row.screen[static_cast<size_t>(y)];
            for (int x = 0; x < 8; ++x) {
                EXPECT_EQ(sim.at(x, y).character, shown == '.' ? ' ' : shown)
                    << row.what << ", row " << y;
                EXPECT_EQ(sim.at(x, y).attributes, shown == '.' ? 0x1E : 7)
                    << row.what << ", row " << y;
            }
        }
        const auto region_bottom = static_cast<int16_t>(row.window_after.top + height - 1);
        EXPECT_EQ(cursor_of(sim), (con_coord{0, region_bottom})) << row.what;
        EXPECT_EQ(sim.window, row.window_after) << row.what;
    }
}

// A window made shorter and moved down to the buffer's end has fewer rows below
// its top than the region was given: the region stops at the buffer's last row.
TEST(ConsoleWriter, ConfinedRegionEndsAtTheBuffersLastRow) {
    console_sim& sim = use_console_sim(80, 30, kWindow80x25, {0, 0});
    start_writer();
    write("first");
    sim.window = con_rect{0, 10, 79, 29};  // 20 rows, down to the last one
    sim.cursor = con_coord{0, 10};
    write("!");  // measures the window at its end
    sim.put(0, 11, "second");
    sim.cursor = con_coord{0, 29};
    sim.log.clear();
    write("\nx");
    EXPECT_EQ(sim.calls("scroll"), (strings{"scroll 0,11-79,29 to 0,10"}));
    EXPECT_TRUE(sim.calls("window").empty());
    EXPECT_EQ(sim.row_text(0), "first");
    EXPECT_EQ(sim.row_text(10), "second");
    EXPECT_EQ(sim.row_text(29), "x");
    EXPECT_EQ(cursor_of(sim), (con_coord{1, 29}));
}

// The same for a buffer made narrower since the last write: the text wraps at
// the buffer's new right edge, not at the one the writer saw before.
TEST(ConsoleWriter, BufferNarrowedBetweenWritesWrapsAtItsNewEdge) {
    console_sim& sim = use_console_sim(80, 25, kWindow80x25, {0, 0});
    start_writer();
    write("a");
    sim.resize(40, 25);
    sim.cursor = con_coord{35, 2};
    write("0123456789");
    EXPECT_EQ(sim.row_text(2), std::string(35, ' ') + "01234");
    EXPECT_EQ(sim.row_text(3), "56789");
    EXPECT_EQ(cursor_of(sim), (con_coord{5, 3}));
}

TEST(ConsoleWriter, FailedCellWriteDropsTheRestOfItsRun) {
    // 85 bytes from (0,5): the piece for row 6 fails; the carriage return
    // then starts from where row 5's piece left the cursor.
    console_sim& sim = use_console_sim(80, 25, kWindow80x25, {0, 5});
    sim.failing_write_calls = {2};
    start_writer();
    write(std::string(85, 'a') + "\rok");
    EXPECT_EQ(sim.row_text(5), std::string(80, 'a'));
    EXPECT_EQ(sim.row_text(6), "ok");
    EXPECT_EQ(cursor_of(sim), (con_coord{2, 6}));

    // A failure in mid-row: the cursor stays where it was.
    console_sim& mid = use_console_sim(80, 25, kWindow80x25, {10, 3});
    mid.failing_write_calls = {1};
    start_writer();
    write("abc\rX");
    EXPECT_EQ(mid.row_text(3), "X");
    EXPECT_EQ(cursor_of(mid), (con_coord{1, 3}));
}

// The text passes through the writer's run and its row of cells on its way
// into the console; neither may keep any of it once the write is done,
// whether the text filled several runs, was cut by a failed cell write or
// ran past the bottom of the buffer.
TEST(ConsoleWriter, NoTextStaysInTheWritersMemory) {
    struct case_row {
        const char* what;
        std::string bytes;
        std::set<int> failing_writes;
    };
    const case_row rows[] = {
        {"a short line", "secret\r\n", {}},
        {"several runs", std::string(3000, 'k') + "\tx\by", {}},
        {"a failed cell write", std::string(200, 'k') + "\rmore", {2}},
        {"scrolled", std::string(25, '\n') + std::string(90, 'k'), {}},
    };
    for (const case_row& row : rows) {
        console_sim& sim = use_console_sim(80, 25, kWindow80x25, {0, 20});
        sim.failing_write_calls = row.failing_writes;
        start_writer();
        write(row.bytes);
        ASSERT_FALSE(sim.cells_written.empty()) << row.what;
        std::string_view run;
        std::string_view cells;
        con_scratch(&run, &cells);
        EXPECT_EQ(run.find_first_not_of('\0'), std::string_view::npos) << row.what;
        EXPECT_EQ(cells.find_first_not_of('\0'), std::string_view::npos) << row.what;
    }
}

TEST(ConsoleWriter, UnreadableBufferAtAWriteStartUsesTheRegionsTopLeft) {
    console_sim& sim = use_console_sim(80, 50, con_rect{0, 4, 79, 28}, {30, 10});
    sim.attributes = 0x1F;
    sim.failing_info_calls = {3};  // size, column, then this write's start
    start_writer();
    write("hi");
    EXPECT_EQ(sim.row_text(4), "hi");
    EXPECT_EQ(sim.at(0, 4).attributes, 7);
    EXPECT_EQ(cursor_of(sim), (con_coord{2, 4}));
}

// There the writer goes by what the view last showed of the buffer, never by
// a standard 80 x 25 that a smaller buffer does not have.
TEST(ConsoleWriter, UnreadableBufferAtAWriteStartStaysInsideASmallBuffer) {
    console_sim& sim = use_console_sim(10, 6, con_rect{0, 0, 9, 5}, {4, 3});
    sim.failing_info_calls = {3};
    start_writer();
    write("0123456789abcdefghij\r\n\r\n\r\n\r\nend");
    EXPECT_EQ(sim.calls("scroll"), (strings{"scroll 0,1-9,5 to 0,0"}));
    EXPECT_EQ(sim.row_text(0), "abcdefghij");
    EXPECT_EQ(sim.row_text(5), "end");
    EXPECT_EQ(cursor_of(sim), (con_coord{3, 5}));
    EXPECT_EQ(sim.window, (con_rect{0, 0, 9, 5}));
}

TEST(ConsoleWriter, FailedMeasurementSendsLaterWritesToThePlainWriter) {
    console_sim& sim = use_console_sim(80, 25, kWindow80x25, {0, 0});
    sim.failing_info_calls = {4};  // the measurement at the end of the first write
    start_writer();
    write("a");
    write("b\r\n");
    EXPECT_EQ(sim.row_text(0), "a");
    EXPECT_EQ(sim.plain, "b\r\n");
}

TEST(ConsoleWriter, WhatIsNotAUsableConsoleGetsThePlainWriter) {
    struct case_row {
        const char* what;
        int16_t columns, rows;
        con_rect window;
        bool is_console;
    };
    const case_row rows[] = {
        {"a file or a pipe", 80, 25, kWindow80x25, false},
        {"a buffer one column wide", 1, 25, con_rect{0, 0, 0, 24}, true},
        {"a window one row high", 80, 25, con_rect{0, 7, 79, 7}, true},
    };
    for (const case_row& row : rows) {
        console_sim& sim = use_console_sim(row.columns, row.rows, row.window, {0, 0});
        sim.output_is_console = row.is_console;
        uint32_t width = 0;
        uint32_t height = 0;
        con_size(&width, &height);
        EXPECT_EQ(width, 80u) << row.what;
        EXPECT_EQ(height, 25u) << row.what;
        EXPECT_EQ(con_cursor_column(), 1) << row.what;
        write(std::string("a\0\a\b\t\r\n\xff", 8));
        EXPECT_EQ(sim.plain, std::string("a\0\a\b\t\r\n\xff", 8)) << row.what;
        EXPECT_TRUE(sim.calls("write").empty()) << row.what;
        EXPECT_TRUE(sim.calls("beep").empty()) << row.what;
    }
}

TEST(ConsoleWriter, SizeIsTheBufferWidthByTheWindowHeight) {
    console_sim& sim = use_console_sim(120, 300, con_rect{0, 40, 99, 69}, {7, 50});
    uint32_t width = 0;
    uint32_t height = 0;
    con_size(&width, &height);
    EXPECT_EQ(width, 120u);
    EXPECT_EQ(height, 30u);
    EXPECT_EQ(con_cursor_column(), 8);
    sim.failing_info_calls = {sim.info_calls + 1};
    EXPECT_EQ(con_cursor_column(), 1);
}

TEST(ConsoleWriter, InputHandleGetsProcessedInputOnce) {
    console_sim& sim = use_console_sim(80, 25, kWindow80x25, {0, 0});
    sim.input_mode = 0x01F6;
    start_writer();
    write("x");
    start_writer();
    EXPECT_EQ(sim.set_modes, (std::vector<uint32_t>{0x01F7}));

    console_sim& no_input = use_console_sim(80, 25, kWindow80x25, {0, 0});
    no_input.input_is_null = true;
    start_writer();
    EXPECT_TRUE(no_input.set_modes.empty());
}

TEST(ConsoleWriter, TextGoesOutInRunsOfAtMost1024Bytes) {
    console_sim& sim = use_console_sim(1500, 10, con_rect{0, 0, 199, 9}, {0, 0});
    start_writer();
    write(std::string(1500, 'q') + "r");
    EXPECT_EQ(sim.calls("write"), (strings{"write 0,0 1024", "write 1024,0 476", "write 0,1 1"}));
    EXPECT_EQ(sim.row_text(0), std::string(1500, 'q'));
}

TEST(ConsoleWriter, CharacterTableOnA100ColumnConsole) {
    console_sim& sim = use_console_sim(100, 30, con_rect{0, 0, 99, 29}, {0, 0});
    print_reset(&console_writer);
    character_table();
    print_reset(nullptr);
    // Seven entries to a row; 1 + 32 + 1 lines on 30 rows scroll 5 away.
    const std::vector<std::string> want = expected::pinned_rows("e2e/table-100.txt");
    ASSERT_EQ(want.size(), 34u);
    for (int row = 0; row < 28; ++row) {
        EXPECT_EQ(sim.row_text(row), want[static_cast<size_t>(row) + 5]) << row;
    }
    EXPECT_EQ(sim.row_text(28), "");
    EXPECT_EQ(cursor_of(sim), (con_coord{0, 29}));
}

}  // namespace
