// The terminal's size and cursor as zix knows them, and the screen copy sized to match.
#include <sys/ioctl.h>

#include <cstdlib>
#include <cstring>

#include "runtime/console_device.h"
#include "runtime/linux/terminal_state.h"

namespace {

constexpr int kDefaultRows = static_cast<int>(kFallbackRows);
constexpr int kDefaultColumns = static_cast<int>(kFallbackColumns);
// The screen copy is bounded in each direction, whatever size the terminal
// reports: at most 2048 x 2048 cells, 8 MiB with the attributes.
constexpr int kScreenCopyLimit = 2048;

// A new screen copy of rows x columns (bounded), keeping the overlap of the
// old one. When the memory cannot be had the copy is dropped: nothing needs it.
void resize_screen_copy(int rows, int columns) {
    int height = rows < kScreenCopyLimit ? rows : kScreenCopyLimit;
    int width = columns < kScreenCopyLimit ? columns : kScreenCopyLimit;
    const size_t cells = static_cast<size_t>(height) * static_cast<size_t>(width);
    unsigned char* fresh = cells ? static_cast<unsigned char*>(std::calloc(cells * 2, 1)) : nullptr;
    if (fresh == nullptr) height = width = 0;

    term_state_record& t = term_state;
    if (fresh && t.char_buffer) {
        const int keep_rows = height < t.copy_height ? height : t.copy_height;
        const int keep_cols = width < t.copy_width ? width : t.copy_width;
        const size_t old_stride = static_cast<size_t>(t.copy_width);
        const size_t new_stride = static_cast<size_t>(width);
        for (int row = 0; row < keep_rows; ++row) {
            const size_t r = static_cast<size_t>(row);
            std::memcpy(fresh + r * new_stride, t.char_buffer + r * old_stride,
                        static_cast<size_t>(keep_cols));
            std::memcpy(fresh + cells + r * new_stride, t.attr_buffer + r * old_stride,
                        static_cast<size_t>(keep_cols));
        }
    }
    std::free(t.char_buffer);
    t.char_buffer = fresh;
    t.attr_buffer = fresh ? fresh + cells : nullptr;
    t.copy_height = height;
    t.copy_width = width;
}

}  // namespace

term_lock_guard::term_lock_guard() : held_(term_state.lock_alive) {
    if (held_) pthread_mutex_lock(&term_state.lock);
}

term_lock_guard::~term_lock_guard() {
    if (held_) pthread_mutex_unlock(&term_state.lock);
}

bool term_refresh_size() {
    if (term_state.resize_pending.exchange(0) == 0) return false;

    winsize size{};
    size.ws_row = 0xFFFF;
    ioctl(1, TIOCGWINSZ, &size);
    int rows = kDefaultRows;
    int columns = kDefaultColumns;
    if (size.ws_row == 0xFFFF) {
        if (!term_query(term_sequence::size_query, &rows, &columns)) {
            rows = kDefaultRows;
            columns = kDefaultColumns;
        }
    } else {
        rows = size.ws_row;
        columns = size.ws_col;
    }
    // A negative size is no size.
    if (rows < 0) rows = 0;
    if (columns < 0) columns = 0;

    resize_screen_copy(rows, columns);
    term_state.screen_height = rows;
    term_state.screen_width = columns;
    term_state.known_rows.store(rows);

    term_state.cursor_answered =
        term_query(term_sequence::cursor_query, &term_state.cursor_row, &term_state.cursor_col);
    if (!term_state.cursor_answered) {
        term_state.cursor_row = 1;
        term_state.cursor_col = 1;
    }
    return true;
}

int term_screen_width() {
    return term_state.screen_width;
}
int term_screen_height() {
    return term_state.screen_height;
}
int term_cursor_col() {
    return term_state.cursor_col;
}

void term_screen_release() {
    std::free(term_state.char_buffer);
    term_state.char_buffer = nullptr;
    term_state.attr_buffer = nullptr;
    term_state.copy_width = 0;
    term_state.copy_height = 0;
}
