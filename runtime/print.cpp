#include "runtime/print.h"

#include <cstring>

#include "runtime/console_moved.h"
#include "runtime/platform.h"
#include "runtime/print_seams.h"

namespace {

struct file_entry {
    const console_device* device;  // null while the entry is not open
    int32_t column;                // bytes since the last CR or LF, reduced modulo width
    uint32_t width;                // 0: no width, no wrapping
};

constexpr int32_t kConsoleFile = 0;

file_entry console_entry;
const console_device* device_override = nullptr;

// Files -1 and 1 to 255 exist in name only; this program never opens them.
file_entry closed_entry;

file_entry* select_entry(int32_t file_number) {
    if (file_number == kConsoleFile) return &console_entry;
    if (file_number == -1 || (file_number >= 1 && file_number <= 255)) return &closed_entry;
    return nullptr;
}

// The index just after the last byte c in bytes, or 0 when there is none.
// The library's memchr reads many bytes per step on every target, so the
// text is read forwards, from one c to the next.
size_t after_last(const char* bytes, size_t count, char c) {
    size_t after = 0;
    while (const void* found = std::memchr(bytes + after, c, count - after)) {
        after = static_cast<size_t>(static_cast<const char*>(found) - bytes) + 1;
    }
    return after;
}

// The index just after the last CR or LF in bytes, or 0 when there is none.
size_t after_last_line_end(const char* bytes, size_t count) {
    const size_t lf = after_last(bytes, count, '\n');
    return lf + after_last(bytes + lf, count - lf, '\r');
}

// A console that claims a cursor left of column 1 is taken at column 1.
int32_t column_at_cursor(const console_device* device) {
    const int32_t cursor = device->console_cursor_column();
    return cursor > 1 ? cursor - 1 : 0;
}

void console_open() {
    const console_device* device = device_override ? device_override : &platform_console_device();
    console_entry = file_entry{};
    // The first print asks for the cursor anyway.
    console_moved_clear();
    uint32_t width = 0;
    uint32_t height = 0;
    device->console_size(&width, &height);
    console_entry.width = width;
    console_entry.column = column_at_cursor(device);
    console_entry.device = device;
}

// Opens the console entry on its first use, and asks for the cursor's column
// again when the cursor moved behind the print path's back.
void console_init() {
    if (console_entry.device == nullptr) {
        console_open();
    } else if (console_moved_take()) {
        console_entry.column = column_at_cursor(console_entry.device);
    }
}

// The column after copies times count bytes without a line end: reduced
// modulo the width, exactly for any number of copies; with no width it only
// grows, kept to 32 bits.
uint32_t column_after(uint32_t column, size_t count, uint32_t copies, uint32_t width) {
    if (width == 0) return column + static_cast<uint32_t>(count) * copies;
    const uint64_t added = uint64_t{copies % width} * (count % width);
    return static_cast<uint32_t>((column % width + added % width) % width);
}

// Writes the bytes copies times over. The column follows the bytes handed
// over, whatever the device does with them; it is brought up to date first,
// so that the device write is the last step. Every copy ends its line the
// same way, so the bytes are read for line ends once.
void entry_write(file_entry* entry, const char* bytes, size_t count, uint32_t copies = 1) {
    console_init();
    if (entry == nullptr || entry->device == nullptr) return;
    const size_t after = after_last_line_end(bytes, count);
    const uint32_t width = entry->width;
    uint32_t column = static_cast<uint32_t>(count - after);
    if (after == 0) {
        column = column_after(static_cast<uint32_t>(entry->column), count, copies, width);
    } else if (width != 0) {
        column %= width;
    }
    entry->column = static_cast<int32_t>(column);
    entry->device->console_write(bytes, count, copies);
}

void pad_to_next_zone(file_entry* entry) {
    console_init();
    if (entry == nullptr || entry->device == nullptr) return;
    const uint64_t col = static_cast<uint32_t>(entry->column);
    const uint64_t next = (col / zone_width + 1) * zone_width;
    // A zone is used only when a column is left on the line after it.
    if (entry->width >= zone_width && next + zone_width >= entry->width) {
        const std::string_view nl = platform_newline();
        entry_write(entry, nl.data(), nl.size());
        return;
    }
    char spaces[zone_width];
    const size_t count = static_cast<size_t>(next - col);
    for (size_t k = 0; k < count; ++k) spaces[k] = ' ';
    entry_write(entry, spaces, count);
}

}  // namespace

void print_text(int32_t file_number, std::string_view text, PrintMode mode) {
    file_entry* entry = select_entry(file_number);
    if (!text.empty()) entry_write(entry, text.data(), text.size());
    const auto bits = static_cast<uint32_t>(mode);
    if (bits & static_cast<uint32_t>(PrintMode::newline)) {
        const std::string_view nl = platform_newline();
        entry_write(entry, nl.data(), nl.size());
    } else if (bits & static_cast<uint32_t>(PrintMode::next_zone)) {
        pad_to_next_zone(entry);
    }
}

void print_copies(int32_t file_number, std::string_view text, uint32_t copies) {
    if (!text.empty() && copies != 0)
        entry_write(select_entry(file_number), text.data(), text.size(), copies);
}

void print_end(int32_t file_number, PrintMode mode) {
    print_text(file_number, {}, mode);
}

void print_reset(const console_device* device) {
    console_entry = file_entry{};
    device_override = device;
    console_moved_clear();
}

int32_t print_console_column() {
    return console_entry.column;
}
uint32_t print_console_width() {
    return console_entry.width;
}
