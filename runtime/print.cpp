#include "print.h"

#include <atomic>
#include <cstring>

#include "platform.h"

namespace {

struct file_entry {
    const console_device* device;  // null while the entry is not open
    int32_t column;                // bytes since the last CR or LF, reduced modulo width
    uint32_t width;                // 0: no width, no wrapping
};

constexpr int32_t console_file = 0;

file_entry console_entry;
const console_device* device_override = nullptr;
std::atomic<bool> cursor_moved{false};

// Files -1 and 1 to 255 exist in name only; this program never opens them.
file_entry closed_entry;

file_entry* select_entry(int32_t file_number) {
    if (file_number == console_file) return &console_entry;
    if (file_number == -1 || (file_number >= 1 && file_number <= 255)) return &closed_entry;
    return nullptr;
}

// Whether any of the eight bytes in word equals c.
bool word_has_byte(uint64_t word, unsigned char c) {
    constexpr uint64_t ones = 0x0101010101010101u;
    const uint64_t x = word ^ (ones * c);
    return ((x - ones) & ~x & (ones << 7)) != 0;
}

// The index just after the last CR or LF in bytes, or 0 when there is none.
// A line of character mode can be very long and hold no line end at all, so
// the scan skips eight bytes at a time while none of them is one.
size_t after_last_line_end(const char* bytes, size_t count) {
    size_t i = count;
    while (i >= 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i - 8, sizeof word);
        if (word_has_byte(word, '\r') || word_has_byte(word, '\n')) break;
        i -= 8;
    }
    while (i > 0 && bytes[i - 1] != '\r' && bytes[i - 1] != '\n') --i;
    return i;
}

// A console that claims a cursor left of column 1 is taken at column 1.
int32_t column_at_cursor(const console_device* device) {
    const int32_t cursor = device->console_cursor_column();
    return cursor > 1 ? cursor - 1 : 0;
}

void console_init() {
    if (console_entry.device) {
        // The plain load keeps the usual print at one test.
        if (cursor_moved.load(std::memory_order_relaxed) && cursor_moved.exchange(false)) {
            console_entry.column = column_at_cursor(console_entry.device);
        }
        return;
    }
    const console_device* device = device_override ? device_override : &platform_console_device();
    console_entry = file_entry{};
    // The first print asks for the cursor anyway.
    cursor_moved.store(false);
    uint32_t width = 0;
    uint32_t height = 0;
    device->console_size(&width, &height);
    console_entry.width = width;
    console_entry.column = column_at_cursor(device);
    console_entry.device = device;
}

void entry_write(file_entry* entry, const char* bytes, size_t count) {
    console_init();
    if (entry == nullptr || entry->device == nullptr) return;
    entry->device->console_write(bytes, count);

    // The column follows the bytes handed over, whatever the device did.
    const size_t i = after_last_line_end(bytes, count);
    uint32_t column = i > 0 ? static_cast<uint32_t>(count - i)
                            : static_cast<uint32_t>(entry->column) + static_cast<uint32_t>(count);
    if (entry->width != 0 && column >= entry->width) column %= entry->width;
    entry->column = static_cast<int32_t>(column);
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

void finish(file_entry* entry, PrintMode mode) {
    const auto bits = static_cast<uint32_t>(mode);
    if (bits & static_cast<uint32_t>(PrintMode::newline)) {
        const std::string_view nl = platform_newline();
        entry_write(entry, nl.data(), nl.size());
    } else if (bits & static_cast<uint32_t>(PrintMode::next_zone)) {
        pad_to_next_zone(entry);
    }
}

}  // namespace

void print_text(int32_t file_number, std::string_view text, PrintMode mode) {
    file_entry* entry = select_entry(file_number);
    if (!text.empty()) entry_write(entry, text.data(), text.size());
    finish(entry, mode);
}

void print_end(int32_t file_number, PrintMode mode) {
    print_text(file_number, {}, mode);
}

void print_console_moved() {
    cursor_moved.store(true);
}

void print_reset(const console_device* device) {
    console_entry = file_entry{};
    device_override = device;
    cursor_moved.store(false);
}

int32_t print_console_column() {
    return console_entry.column;
}
uint32_t print_console_width() {
    return console_entry.width;
}
