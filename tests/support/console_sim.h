#pragma once
// A simulated Windows console screen buffer behind the console writer's
// console_api: cells with attributes, the cursor, the window into the buffer,
// scrolling and filling as the Win32 calls do them, and failures on demand.
// Calls that change the console are logged in order, so tests can see what
// was done as well as what is on the screen. A call that reaches outside the
// buffer (cells, scroll or fill rectangles, cursor, window) ends the process
// with a message on standard error.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "runtime/windows/console_writer.h"

struct console_sim {
    int16_t columns = 80;
    int16_t rows = 25;
    std::vector<con_cell> cells;  // rows × columns, row by row
    con_coord cursor{0, 0};
    uint16_t attributes = 7;
    con_rect window{0, 0, 79, 24};

    bool output_is_console = true;  // false: a file, the buffer calls fail
    bool input_is_console = true;
    bool input_is_null = false;
    uint32_t input_mode = 0x01F7;

    int info_calls = 0;
    std::set<int> failing_info_calls;  // 1-based call numbers
    int write_calls = 0;
    std::set<int> failing_write_calls;  // 1-based call numbers

    std::vector<std::string> log;     // e.g. "write 0,5 3", "scroll 0,1-79,24 to 0,0"
    std::vector<uint32_t> set_modes;  // modes given to the input handle
    std::string plain;                // bytes handed to the plain writer
    std::string cells_written;        // the characters of the cell writes that succeeded

    con_cell& at(int x, int y) { return cells[static_cast<size_t>(y * columns + x)]; }
    // The characters of row y, trailing spaces dropped.
    std::string row_text(int y);
    // Puts text into row y from column x, with the current attribute.
    void put(int x, int y, const std::string& text);
    // Gives the buffer a new size as the console does when the user changes
    // it: the cells that still fit stay, the cursor and the window are pulled
    // inside (the window keeps its height where it can).
    void resize(int16_t new_columns, int16_t new_rows);
    // The logged calls that start with prefix.
    std::vector<std::string> calls(const std::string& prefix) const;
};

// A fresh simulated console of columns × rows, filled with spaces of attribute
// 7, showing window, with the cursor at cursor; the console writer is reset
// to use it.
console_sim& use_console_sim(int16_t columns, int16_t rows, con_rect window, con_coord cursor);
