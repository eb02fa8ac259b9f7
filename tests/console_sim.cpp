#include "console_sim.h"

#include <algorithm>

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

con_handle get_std_handle(uint32_t which) {
    if (which == con_std_input) return sim.input_is_null ? nullptr : kInput;
    return which == con_std_output ? kOutput : nullptr;
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
    sim.log.push_back("write " + std::to_string(region->left) + "," + std::to_string(region->top) +
                      " " + std::to_string(region->right - region->left + 1));
    if (sim.failing_write_calls.count(sim.write_calls)) return 0;
    const int right = std::min<int>(region->right, sim.columns - 1);
    const int bottom = std::min<int>(region->bottom, sim.rows - 1);
    for (int y = region->top; y <= bottom; ++y) {
        for (int x = region->left; x <= right; ++x) {
            const int sx = from.x + x - region->left;
            const int sy = from.y + y - region->top;
            if (inside(x, y) && sx < size.x && sy < size.y) sim.at(x, y) = cells[sy * size.x + sx];
        }
    }
    region->right = static_cast<int16_t>(right);
    region->bottom = static_cast<int16_t>(bottom);
    return 1;
}

// Moves the source rectangle's cells to the destination; the source cells that
// the destination does not cover get the fill cell.
bool scroll_console_screen_buffer(con_handle, const con_rect* scroll, const con_rect*,
                                  con_coord destination, const con_cell* fill) {
    sim.log.push_back("scroll " + text(*scroll) + " to " + text(destination));
    const std::vector<con_cell> before = sim.cells;
    const int dx = destination.x - scroll->left;
    const int dy = destination.y - scroll->top;
    auto in_source = [&](int x, int y) {
        return x >= scroll->left && x <= scroll->right && y >= scroll->top && y <= scroll->bottom;
    };
    for (int y = scroll->top; y <= scroll->bottom; ++y) {
        for (int x = scroll->left; x <= scroll->right; ++x) {
            if (inside(x, y) && !in_source(x - dx, y - dy)) sim.at(x, y) = *fill;
        }
    }
    for (int y = scroll->top; y <= scroll->bottom; ++y) {
        for (int x = scroll->left; x <= scroll->right; ++x) {
            if (inside(x, y) && inside(x + dx, y + dy)) {
                sim.at(x + dx, y + dy) = before[static_cast<size_t>(y * sim.columns + x)];
            }
        }
    }
    return true;
}

// Fills length cells from at, on into the following rows, up to the buffer's end.
template <typename Set>
uint32_t fill_cells(uint32_t length, con_coord at, Set set) {
    uint32_t done = 0;
    int index = at.y * sim.columns + at.x;
    while (done < length && inside(at.x, at.y) && index < sim.columns * sim.rows) {
        set(sim.cells[static_cast<size_t>(index++)]);
        ++done;
    }
    return done;
}

bool fill_console_output_attribute(con_handle, uint16_t attribute, uint32_t length, con_coord at,
                                   uint32_t* written) {
    sim.log.push_back("fill-attribute " + text(at) + " " + std::to_string(length));
    *written = fill_cells(length, at, [attribute](con_cell& c) { c.attributes = attribute; });
    return true;
}

bool fill_console_output_character(con_handle, char character, uint32_t length, con_coord at,
                                   uint32_t* written) {
    sim.log.push_back("fill-character " + text(at) + " " + std::to_string(length));
    *written = fill_cells(length, at, [character](con_cell& c) { c.character = character; });
    return true;
}

// As on Windows, a cursor placed outside the window brings the window to it.
bool set_console_cursor_position(con_handle, con_coord position) {
    sim.log.push_back("cursor " + text(position));
    if (!inside(position.x, position.y)) return false;
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
    if (!absolute || window->left > window->right || window->top > window->bottom) return false;
    if (!inside(window->left, window->top) || !inside(window->right, window->bottom)) return false;
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

std::vector<std::string> console_sim::calls(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& call : log) {
        if (call.compare(0, prefix.size(), prefix) == 0) found.push_back(call);
    }
    return found;
}

console_sim& use_console_sim(int16_t columns, int16_t rows, con_rect window, con_coord cursor) {
    sim = console_sim{};
    sim.columns = columns;
    sim.rows = rows;
    sim.cells.assign(static_cast<size_t>(columns * rows), con_cell{' ', 7});
    sim.window = window;
    sim.cursor = cursor;
    con_reset(&sim_api);
    return sim;
}
