#include "support/console_sim.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace {

console_sim sim;

con_handle const kInput = reinterpret_cast<con_handle>(1);
con_handle const kOutput = reinterpret_cast<con_handle>(2);

std::string text(con_coord c) {
    return std::to_string(c.x) + "," + std::to_string(c.y);
}

std::string text(const con_rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

bool inside(int x, int y) {
    return x >= 0 && y >= 0 && x < sim.columns && y < sim.rows;
}

bool inside(const con_rect& r) {
    return r.left <= r.right && r.top <= r.bottom && inside(r.left, r.top) &&
           inside(r.right, r.bottom);
}

// The real console clips or refuses a call that reaches past the screen
// buffer, and nothing shows; a writer that makes one has lost track of the
// buffer, so the simulation stops the run at once.
[[noreturn]] void outside(const std::string& call) {
    std::fprintf(stderr, "simulated console: %s reaches outside the %dx%d buffer\n", call.c_str(),
                 sim.columns, sim.rows);
    std::abort();
}

con_handle get_std_handle(uint32_t which) {
    if (which == kConStdInput) return sim.input_is_null ? nullptr : kInput;
    return which == kConStdOutput ? kOutput : nullptr;
}

bool get_console_mode(con_handle handle, uint32_t* mode) {
    if (handle != kInput || !sim.input_is_console) return false;
    *mode = sim.input_mode;
    return true;
}

bool set_console_mode(con_handle handle, uint32_t mode) {
    if (handle != kInput || !sim.input_is_console) return false;
    sim.set_modes.push_back(mode);
    sim.input_mode = mode;
    return true;
}

bool get_console_screen_buffer_info(con_handle handle, con_buffer_info* info) {
    ++sim.info_calls;
    if (handle != kOutput || !sim.output_is_console) return false;
    if (sim.failing_info_calls.count(sim.info_calls)) return false;
    *info = con_buffer_info{{sim.columns, sim.rows}, sim.cursor, sim.attributes, sim.window};
    return true;
}

int write_console_output(con_handle, const con_cell* cells, con_coord size, con_coord from,
                         con_rect* region) {
    ++sim.write_calls;
    const std::string call = "write " + std::to_string(region->left) + "," +
                             std::to_string(region->top) + " " +
                             std::to_string(region->right - region->left + 1);
    sim.log.push_back(call);
    if (!inside(*region)) outside(call + " (to " + text(*region) + ")");
    if (from.x < 0 || from.y < 0 || from.x + region->right - region->left >= size.x ||
        from.y + region->bottom - region->top >= size.y)
        outside(call + " (reading past the cells it was given)");
    if (sim.failing_write_calls.count(sim.write_calls)) return 0;
    for (int y = region->top; y <= region->bottom; ++y) {
        for (int x = region->left; x <= region->right; ++x) {
            const int sx = from.x + x - region->left;
            const int sy = from.y + y - region->top;
            sim.at(x, y) = cells[sy * size.x + sx];
            sim.cells_written += cells[sy * size.x + sx].character;
        }
    }
    return 1;
}

// Moves the source rectangle's cells to the destination; the source cells that
// the destination does not cover get the fill cell.
bool scroll_console_screen_buffer(con_handle, const con_rect* scroll, const con_rect*,
                                  con_coord destination, const con_cell* fill) {
    const std::string call = "scroll " + text(*scroll) + " to " + text(destination);
    sim.log.push_back(call);
    const con_rect target{destination.x, destination.y,
                          static_cast<int16_t>(destination.x + scroll->right - scroll->left),
                          static_cast<int16_t>(destination.y + scroll->bottom - scroll->top)};
    if (!inside(*scroll) || !inside(target)) outside(call);
    // Row by row through a copy kept between calls: scrolls come often.
    static std::vector<con_cell> moved;
    const auto width = static_cast<size_t>(scroll->right - scroll->left + 1);
    moved.resize(width * static_cast<size_t>(scroll->bottom - scroll->top + 1));
    auto next = moved.begin();
    for (int y = scroll->top; y <= scroll->bottom; ++y, next += static_cast<ptrdiff_t>(width)) {
        con_cell* row = &sim.at(scroll->left, y);
        std::copy(row, row + width, next);
        std::fill(row, row + width, *fill);
    }
    next = moved.begin();
    for (int y = target.top; y <= target.bottom; ++y, next += static_cast<ptrdiff_t>(width))
        std::copy(next, next + static_cast<ptrdiff_t>(width), &sim.at(target.left, y));
    return true;
}

// Fills length cells from at, on into the following rows.
template <typename Set>
uint32_t fill_cells(const std::string& call, uint32_t length, con_coord at, Set set) {
    const int64_t first = int64_t{at.y} * sim.columns + at.x;
    if (!inside(at.x, at.y) || first + length > int64_t{sim.columns} * sim.rows) outside(call);
    for (uint32_t i = 0; i < length; ++i) set(sim.cells[static_cast<size_t>(first + i)]);
    return length;
}

bool fill_console_output_attribute(con_handle, uint16_t attribute, uint32_t length, con_coord at,
                                   uint32_t* written) {
    const std::string call = "fill-attribute " + text(at) + " " + std::to_string(length);
    sim.log.push_back(call);
    *written = fill_cells(call, length, at, [attribute](con_cell& c) { c.attributes = attribute; });
    return true;
}

bool fill_console_output_character(con_handle, char character, uint32_t length, con_coord at,
                                   uint32_t* written) {
    const std::string call = "fill-character " + text(at) + " " + std::to_string(length);
    sim.log.push_back(call);
    *written = fill_cells(call, length, at, [character](con_cell& c) { c.character = character; });
    return true;
}

// As on Windows, a cursor placed outside the window brings the window to it.
bool set_console_cursor_position(con_handle, con_coord position) {
    sim.log.push_back("cursor " + text(position));
    if (!inside(position.x, position.y)) outside(sim.log.back());
    sim.cursor = position;
    const int height = sim.window.bottom - sim.window.top + 1;
    if (position.y < sim.window.top) {
        sim.window.top = position.y;
        sim.window.bottom = static_cast<int16_t>(position.y + height - 1);
    } else if (position.y > sim.window.bottom) {
        sim.window.bottom = position.y;
        sim.window.top = static_cast<int16_t>(position.y - height + 1);
    }
    return true;
}

bool set_console_window_info(con_handle, bool absolute, const con_rect* window) {
    sim.log.push_back(std::string("window ") + (absolute ? "" : "relative ") + text(*window));
    if (!absolute) return false;
    if (!inside(*window)) outside(sim.log.back());
    sim.window = *window;
    return true;
}

bool beep(uint32_t frequency, uint32_t duration) {
    sim.log.push_back("beep " + std::to_string(frequency) + " " + std::to_string(duration));
    return true;
}

void write_file(const char* bytes, size_t count) {
    sim.plain.append(bytes, count);
}

const console_api sim_api = {
    get_std_handle,
    get_console_mode,
    set_console_mode,
    get_console_screen_buffer_info,
    write_console_output,
    scroll_console_screen_buffer,
    fill_console_output_attribute,
    fill_console_output_character,
    set_console_cursor_position,
    set_console_window_info,
    beep,
    write_file,
};

}  // namespace

std::string console_sim::row_text(int y) {
    std::string row;
    for (int x = 0; x < columns; ++x) row += at(x, y).character;
    return row.substr(0, row.find_last_not_of(' ') + 1);
}

void console_sim::put(int x, int y, const std::string& s) {
    for (char c : s) at(x++, y) = con_cell{c, attributes};
}

void console_sim::resize(int16_t new_columns, int16_t new_rows) {
    std::vector<con_cell> resized(static_cast<size_t>(new_columns * new_rows), con_cell{' ', 7});
    for (int y = 0; y < std::min(rows, new_rows); ++y) {
        for (int x = 0; x < std::min(columns, new_columns); ++x)
            resized[static_cast<size_t>(y * new_columns + x)] = at(x, y);
    }
    cells = std::move(resized);
    columns = new_columns;
    rows = new_rows;
    cursor.x = std::min<int16_t>(cursor.x, static_cast<int16_t>(columns - 1));
    cursor.y = std::min<int16_t>(cursor.y, static_cast<int16_t>(rows - 1));
    const int height = std::min(window.bottom - window.top + 1, int{rows});
    window.top = static_cast<int16_t>(std::min(int{window.top}, rows - height));
    window.bottom = static_cast<int16_t>(window.top + height - 1);
    window.right = std::min<int16_t>(window.right, static_cast<int16_t>(columns - 1));
    window.left = std::min(window.left, window.right);
}

std::vector<std::string> console_sim::calls(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& call : log) {
        if (call.compare(0, prefix.size(), prefix) == 0) found.push_back(call);
    }
    return found;
}

console_sim& use_console_sim(int16_t columns, int16_t rows, con_rect window, con_coord cursor) {
    std::vector<con_cell> cells = std::move(sim.cells);  // keeps its memory for the next test
    sim = console_sim{};
    sim.cells = std::move(cells);
    sim.columns = columns;
    sim.rows = rows;
    sim.cells.assign(static_cast<size_t>(columns * rows), con_cell{' ', 7});
    sim.window = window;
    sim.cursor = cursor;
    con_reset(&sim_api);
    return sim;
}
