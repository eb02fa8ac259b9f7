#include "runtime/windows/console_writer.h"

#include <algorithm>

#include "runtime/windows/console_writer_seams.h"
#include "runtime/wipe.h"

// Terms used below:
//   view    left = 0, right = the screen buffer's last column, top and bottom =
//           the window's rows; measured after every console write. A view with
//           left = right or top = bottom (or a failed measurement: a file or a
//           pipe) is not a console, and the bytes go to the plain writer.
//   region  the rows the output may use: from the window's top row down for
//           the window's height as it was at the first console write, but not
//           past the buffer's last row. When the
//           window's height has changed since, the region is confined: it
//           scrolls its own rows and the window is left where the user put it.
//   run     text waiting to be put into cells, at most 1024 bytes.

namespace {

constexpr size_t kRunBytes = 1024;
constexpr uint32_t kBeepHertz = 1000;
constexpr uint32_t kBeepMilliseconds = 250;
constexpr int32_t kTabWidth = 8;
constexpr uint16_t kFallbackAttribute = 7;

// One console write: the region, the cursor and the buffer it works on, and
// the run of text on its way into cells.
struct write_context {
    int32_t left;
    int32_t right;
    int32_t region_top;
    int32_t region_bottom;
    bool region_confined;
    int32_t x;
    int32_t y;
    int32_t columns;
    int32_t rows;
    uint16_t attribute;
    size_t run_length;
    int32_t column;  // where the cursor will stand once the run is written
    bool moved_since_flush;
};

// The console's own record: what the writer learned of the console once,
// what one write carries over to the next, and the memory that text passes
// through on its way into the cells (kept here rather than on the stack, and
// overwritten with zero bytes as soon as each piece is in its cells).
struct con_state_record {
    const console_api* api;
    bool opened;
    con_handle input;
    con_handle output;
    con_rect view;  // console_view
    bool height_recorded;
    int32_t recorded_height;
    bool wrap_pending;
    write_context write;  // the write in progress
    char run[kRunBytes];
    con_cell cells[kRunBytes];  // one row of cells for WriteConsoleOutputA
};

con_state_record con_state;

const console_api& api() {
    return *con_state.api;
}

con_coord coord(int32_t x, int32_t y) {
    return con_coord{static_cast<int16_t>(x), static_cast<int16_t>(y)};
}

con_rect rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return con_rect{static_cast<int16_t>(left), static_cast<int16_t>(top),
                    static_cast<int16_t>(right), static_cast<int16_t>(bottom)};
}

bool view_usable() {
    const con_rect& v = con_state.view;
    return v.left != v.right && v.top != v.bottom;
}

void view_measure() {
    con_buffer_info info{};
    if (!api().get_console_screen_buffer_info(con_state.output, &info)) {
        con_state.view = con_rect{};
        return;
    }
    con_state.view = rect(0, info.window.top, info.size.x - 1, info.window.bottom);
}

void std_handles_init() {
    con_state.input = api().get_std_handle(kConStdInput);
    con_state.output = api().get_std_handle(kConStdOutput);
    uint32_t mode = 0;
    if (con_state.input != nullptr && api().get_console_mode(con_state.input, &mode)) {
        api().set_console_mode(con_state.input, mode | kConEnableProcessedInput);
    }
}

// Once per console, at the first console call of the run: the handles and
// the first view.
void console_open() {
    if (con_state.opened) return;
    con_state.opened = true;
    std_handles_init();
    view_measure();
}

void fill_row_with_spaces(const write_context& c, int32_t row) {
    const auto length = static_cast<uint32_t>(c.right - c.left + 1);
    uint32_t written = 0;
    api().fill_console_output_attribute(con_state.output, c.attribute, length, coord(c.left, row),
                                        &written);
    api().fill_console_output_character(con_state.output, ' ', length, coord(c.left, row),
                                        &written);
}

void fill_rows_with_spaces(const write_context& c, int32_t first, int32_t last) {
    for (int32_t row = first; row <= last; ++row) fill_row_with_spaces(c, row);
}

void scroll_rect(const write_context& c, const con_rect& source, con_coord destination) {
    const con_cell fill{' ', c.attribute};
    api().scroll_console_screen_buffer(con_state.output, &source, nullptr, destination, &fill);
}

// Makes room for n more rows below the region: by moving the region down over
// free buffer rows while there are any, else by scrolling the buffer up (or,
// when the region is confined, by scrolling the region's own rows).
void scroll_up(write_context& c, int32_t n) {
    if (c.region_confined) {
        const int32_t h = c.region_bottom - c.region_top + 1;
        if (n >= h) {
            fill_rows_with_spaces(c, c.region_top, c.region_bottom);
        } else {
            scroll_rect(c, rect(c.left, c.region_top + n, c.right, c.region_bottom),
                        coord(c.left, c.region_top));
            if (n > h - n) fill_rows_with_spaces(c, c.region_bottom - n + 1, c.region_bottom);
        }
        c.y = c.region_bottom;
        return;
    }

    if (c.region_bottom + 1 < c.rows) {
        const int32_t k = std::min(n, c.rows - 1 - c.region_bottom);
        c.region_top += k;
        c.region_bottom += k;
        n -= k;
        // The cursor row now lies inside the moved region; the window follows
        // at the end of the write.
        if (n == 0) return;
    }
    if (n >= c.rows) {
        fill_rows_with_spaces(c, c.region_top, c.region_bottom);
    } else {
        scroll_rect(c, rect(0, n, c.columns - 1, c.rows - 1), coord(0, 0));
        if (n > c.rows - n) fill_rows_with_spaces(c, c.rows - n, c.rows - 1);
    }
    c.y = c.region_bottom;
}

// One WriteConsoleOutputA call for one row of cells.
bool write_cells(const write_context& c, const char* piece, size_t length) {
    con_cell* cells = con_state.cells;
    for (size_t i = 0; i < length; ++i) cells[i] = con_cell{piece[i], c.attribute};
    const auto last = static_cast<int32_t>(length) - 1;
    con_rect target = rect(c.x, c.y, c.x + last, c.y);
    const bool written = api().write_console_output(con_state.output, cells, coord(last + 1, 1),
                                                    coord(0, 0), &target) == 1;
    buffer_wipe(cells, length * sizeof *cells);
    return written;
}

// Puts the run into cells from the cursor on, row by row. A row filled to its
// last cell leaves the cursor at the start of the next row without scrolling,
// so that text ending in the region's bottom-right cell does not scroll.
void flush_run(write_context& c) {
    size_t done = 0;
    while (done < c.run_length) {
        // A buffer made wider since the view was measured can leave the
        // cursor right of the region, which keeps the measured width until the
        // next measurement; the text then starts on the next row.
        if (c.x > c.right) {
            c.x = c.left;
            c.y += 1;
        }
        const size_t room = static_cast<size_t>(c.right - c.x + 1);
        const size_t piece = std::min(c.run_length - done, room);
        if (c.y > c.region_bottom) scroll_up(c, c.y - c.region_bottom);
        if (!write_cells(c, con_state.run + done, piece)) break;  // the rest is dropped
        c.x += static_cast<int32_t>(piece);
        if (c.x == c.right + 1) {
            c.x = c.left;
            c.y += 1;
        }
        done += piece;
    }
    buffer_wipe(con_state.run, c.run_length);
    c.run_length = 0;
    // After a failed piece the cursor stays where the last good one left it,
    // and the bytes that follow are placed from there.
    c.column = c.x;
    c.moved_since_flush = false;
}

void append(write_context& c, const char* bytes, size_t k) {
    if (c.run_length + k > kRunBytes) flush_run(c);
    std::copy(bytes, bytes + k, con_state.run + c.run_length);
    c.run_length += k;
    const int32_t width = c.right - c.left + 1;
    c.column += static_cast<int32_t>(k);
    if (c.column > c.right) c.column = c.left + (c.column - c.left) % width;
}

// A cursor move comes after the text ahead of it is in its cells; it never
// scrolls by itself.
void flush_before_move(write_context& c) {
    if (c.run_length > 0) flush_run(c);
}

void move(write_context& c, int32_t dx, int32_t dy) {
    c.x += dx;
    c.y += dy;
    c.column += dx;
    c.moved_since_flush = true;
}

void interpret(write_context& c, const char* bytes, size_t count) {
    static constexpr char kSpaces[kTabWidth] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    for (size_t i = 0; i < count; ++i) {
        switch (static_cast<unsigned char>(bytes[i])) {
            case 0x07:  // sounds at once, before the text ahead of it is shown
                api().beep(kBeepHertz, kBeepMilliseconds);
                break;
            case 0x08:  // nothing is erased
                flush_before_move(c);
                move(c, c.column > c.left ? -1 : 0, 0);
                break;
            case 0x09: {
                const int32_t spaces = kTabWidth - (c.column - c.left) % kTabWidth;
                append(c, kSpaces, static_cast<size_t>(spaces));
                break;
            }
            case 0x0A:
                flush_before_move(c);
                move(c, c.left - c.column, 1);
                break;
            case 0x0D:
                flush_before_move(c);
                move(c, c.left - c.column, 0);
                break;
            default:  // every other byte is a cell showing that code
                append(c, bytes + i, 1);
                break;
        }
    }
    if (c.run_length > 0) {
        flush_run(c);
    } else if (c.moved_since_flush && c.y > c.region_bottom) {
        scroll_up(c, c.y - c.region_bottom);
    }
}

// Sets up one write from the view and a fresh look at the buffer: the
// region, the cursor, the buffer's size and the attribute. The first console
// write also records the window's height, which the region keeps.
write_context& begin_write() {
    write_context& c = con_state.write;
    c = write_context{};
    const con_rect view = con_state.view;
    const int32_t window_height = view.bottom - view.top + 1;
    if (!con_state.height_recorded) {
        con_state.height_recorded = true;
        con_state.recorded_height = window_height;
    }
    c.left = view.left;
    c.right = view.right;
    c.region_top = view.top;
    c.region_bottom = view.top + con_state.recorded_height - 1;
    c.region_confined = window_height != con_state.recorded_height;

    con_buffer_info info{};
    if (api().get_console_screen_buffer_info(con_state.output, &info)) {
        c.x = info.cursor.x;
        c.y = info.cursor.y;
        c.columns = info.size.x;
        c.rows = info.size.y;
        c.attribute = info.attributes;
    } else {
        // Without the buffer's size, only what the view last showed is known
        // to exist: its width, and its rows down to the window's bottom. A
        // size assumed beyond that (a standard 80 x 25, say) would send
        // scrolls, fills and cells past the end of a smaller buffer.
        c.x = c.left;
        c.y = c.region_top;
        c.columns = view.right + 1;
        c.rows = view.bottom + 1;
        c.attribute = kFallbackAttribute;
    }
    c.column = c.x;
    // The region keeps the height the window had at the first write, but no
    // more rows than the buffer has below its top: a window made shorter and
    // moved down since then would otherwise take rows past the buffer's end.
    // A buffer made smaller since the view was measured bounds it the same
    // way, on the right and at the bottom.
    c.right = std::min(c.right, c.columns - 1);
    c.region_bottom = std::min(c.region_bottom, c.rows - 1);

    if (con_state.wrap_pending) {
        con_state.wrap_pending = false;
        c.x = c.left;
        c.column = c.x;
        c.y += 1;
        if (c.y > c.region_bottom) scroll_up(c, c.y - c.region_bottom);
    }
    return c;
}

// Ends a write: parks or scrolls, places the cursor, lets the window follow
// the region, and measures the view for the next write.
void end_write(write_context& c, const con_rect& view) {
    if (c.x == c.left && c.y == c.region_bottom + 1) {
        // The text filled the region's last cell: park the cursor there and
        // leave the new row to the next write.
        con_state.wrap_pending = true;
        c.x = c.right;
        c.y = c.region_bottom;
    } else if (c.y > c.region_bottom) {
        scroll_up(c, c.y - c.region_bottom);
    }

    api().set_console_cursor_position(con_state.output, coord(c.x, c.y));
    if (c.region_top != view.top && !c.region_confined) {
        const con_rect window = rect(c.left, c.region_top, c.right, c.region_bottom);
        api().set_console_window_info(con_state.output, true, &window);
    }
    view_measure();
}

}  // namespace

void con_reset(const console_api* console) {
    con_state = con_state_record{};
    con_state.api = console;
}

void con_write(const char* bytes, size_t count, uint32_t copies) {
    if (count == 0) return;
    for (uint32_t copy = 0; copy < copies; ++copy) {
        console_open();
        if (!view_usable()) {
            api().write_file(bytes, count);
            continue;
        }
        const con_rect view = con_state.view;
        write_context& c = begin_write();
        interpret(c, bytes, count);
        end_write(c, view);
    }
}

void con_size(uint32_t* width, uint32_t* height) {
    console_open();
    if (!view_usable()) {
        *width = kFallbackColumns;
        *height = kFallbackRows;
        return;
    }
    const con_rect& v = con_state.view;
    *width = static_cast<uint32_t>(v.right - v.left + 1);
    *height = static_cast<uint32_t>(v.bottom - v.top + 1);
}

int32_t con_cursor_column() {
    console_open();
    if (!view_usable()) return 1;
    con_buffer_info info{};
    if (!api().get_console_screen_buffer_info(con_state.output, &info)) return 1;
    return info.cursor.x + 1;
}

void con_scratch(std::string_view* run, std::string_view* cells) {
    *run = std::string_view(con_state.run, sizeof con_state.run);
    *cells =
        std::string_view(reinterpret_cast<const char*>(con_state.cells), sizeof con_state.cells);
}

const console_device console_writer = {con_write, con_size, con_cursor_column};
