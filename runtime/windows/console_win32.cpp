// The console writer's calls, made on a real Windows console.
#include "runtime/windows/console_win32.h"

#include <windows.h>

#include "runtime/windows/plain_writer.h"
#include "runtime/wipe.h"

namespace {

COORD to_coord(con_coord c) {
    return COORD{c.x, c.y};
}

SMALL_RECT to_rect(const con_rect& r) {
    return SMALL_RECT{r.left, r.top, r.right, r.bottom};
}

CHAR_INFO to_char_info(const con_cell& cell) {
    CHAR_INFO info{};
    info.Char.AsciiChar = cell.character;
    info.Attributes = cell.attributes;
    return info;
}

con_handle get_std_handle(uint32_t which) {
    return GetStdHandle(which);
}

bool get_console_mode(con_handle handle, uint32_t* mode) {
    DWORD value = 0;
    const bool ok = GetConsoleMode(handle, &value) != 0;
    *mode = value;
    return ok;
}

bool set_console_mode(con_handle handle, uint32_t mode) {
    return SetConsoleMode(handle, mode) != 0;
}

bool get_console_screen_buffer_info(con_handle handle, con_buffer_info* info) {
    CONSOLE_SCREEN_BUFFER_INFO raw{};
    if (!GetConsoleScreenBufferInfo(handle, &raw)) return false;
    info->size = con_coord{raw.dwSize.X, raw.dwSize.Y};
    info->cursor = con_coord{raw.dwCursorPosition.X, raw.dwCursorPosition.Y};
    info->attributes = raw.wAttributes;
    info->window =
        con_rect{raw.srWindow.Left, raw.srWindow.Top, raw.srWindow.Right, raw.srWindow.Bottom};
    return true;
}

int write_console_output(con_handle handle, const con_cell* cells, con_coord size, con_coord from,
                         con_rect* region) {
    // The writer hands over at most one row of 1024 cells at a time.
    CHAR_INFO row[1024];
    const int count = size.x > 0 && size.x <= 1024 && size.y == 1 ? size.x : 0;
    if (count == 0) return 0;
    for (int i = 0; i < count; ++i) row[i] = to_char_info(cells[i]);
    SMALL_RECT target = to_rect(*region);
    const int result = WriteConsoleOutputA(handle, row, to_coord(size), to_coord(from), &target);
    // The row held the text itself; none of it stays behind.
    buffer_wipe(row, sizeof row[0] * static_cast<size_t>(count));
    *region = con_rect{target.Left, target.Top, target.Right, target.Bottom};
    return result;
}

bool scroll_console_screen_buffer(con_handle handle, const con_rect* scroll, const con_rect* clip,
                                  con_coord destination, const con_cell* fill) {
    const SMALL_RECT scroll_rect = to_rect(*scroll);
    SMALL_RECT clip_rect{};
    if (clip) clip_rect = to_rect(*clip);
    const CHAR_INFO fill_cell = to_char_info(*fill);
    return ScrollConsoleScreenBufferA(handle, &scroll_rect, clip ? &clip_rect : nullptr,
                                      to_coord(destination), &fill_cell) != 0;
}

bool fill_console_output_attribute(con_handle handle, uint16_t attribute, uint32_t length,
                                   con_coord at, uint32_t* written) {
    DWORD count = 0;
    const bool ok = FillConsoleOutputAttribute(handle, attribute, length, to_coord(at), &count);
    *written = count;
    return ok;
}

bool fill_console_output_character(con_handle handle, char character, uint32_t length, con_coord at,
                                   uint32_t* written) {
    DWORD count = 0;
    const bool ok = FillConsoleOutputCharacterA(handle, character, length, to_coord(at), &count);
    *written = count;
    return ok;
}

bool set_console_cursor_position(con_handle handle, con_coord position) {
    return SetConsoleCursorPosition(handle, to_coord(position)) != 0;
}

bool set_console_window_info(con_handle handle, bool absolute, const con_rect* window) {
    const SMALL_RECT rect = to_rect(*window);
    return SetConsoleWindowInfo(handle, absolute ? TRUE : FALSE, &rect) != 0;
}

bool beep(uint32_t frequency, uint32_t duration) {
    return Beep(frequency, duration) != 0;
}

void write_file(const char* bytes, size_t count) {
    plain_writer.console_write(bytes, count, 1);
}

}  // namespace

const console_api win32_console = {
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
