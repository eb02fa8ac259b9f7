#include "runtime/print.h"

#include <atomic>
#include <cstring>

#include "runtime/platform.h"

namespace {

struct file_entry {
    const console_device* device;  // null while the entry is not open
    int32_t column;                // bytes since the last CR or LF, reduced modulo width
    uint32_t width;                // 0: no width, no wrapping
};

constexpr int32_t kConsoleFile = 0;

file_entry console_entry;
const console_device* device_override = nullptr;
// Set when the console's cursor moved behind the print path's back.
std::atomic<bool> cursor_moved{false};

// Files -1 and 1 to 255 exist in name only; this program never opens them.
file_entry closed_entry;

file_entry* select_entry(int32_t file_number) {
    if (file_number == kConsoleFile) return &console_entry;
    if (file_number == -1 || (file_number >= 1 && file_number <= 255)) return &closed_entry;
    return nullptr;
}

// Texts longer than this are scanned for line ends by memchr.
constexpr size_t kLongText = 256;

constexpr uint64_t kOnes = 0x0101010101010101u;
constexpr uint64_t kHighBits = kOnes << 7;

uint64_t load_word(const char* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// Not 0 exactly when one of the eight bytes of the word at bytes is a CR or
// an LF.
uint64_t line_end_marks(const char* bytes) {
    const uint64_t word = load_word(bytes);
    const uint64_t cr = word ^ (kOnes * '\r');
    const uint64_t lf = word ^ (kOnes * '\n');
    return (((cr - kOnes) & ~cr) | ((lf - kOnes) & ~lf)) & kHighBits;
}

// The index just after the last byte c in bytes, or 0 when there is none.
// The library's memchr reads many bytes per step on every target, so a long
// text is read forwards, from one c to the next.
size_t after_last(const char* bytes, size_t count, char c) {
    size_t after = 0;
    while (const void* found = std::memchr(bytes + after, c, count - after)) {
        after = static_cast<size_t>(static_cast<const char*>(found) - bytes) + 1;
    }
    return after;
}

// The index just after the last CR or LF in bytes, or 0 when there is none.
// A line of character mode can be very long and hold no line end at all: a
// long text is left to memchr, a short one is read backwards eight bytes at a
// time.
size_t after_last_line_end(const char* bytes, size_t count) {
    if (count > kLongText) {
        const size_t lf = after_last(bytes, count, '\n');
        const size_t cr = after_last(bytes + lf, count - lf, '\r');
        return cr != 0 ? lf + cr : lf;
    }
    size_t i = count;
    while (i >= 8 && line_end_marks(bytes + i - 8) == 0) i -= 8;
    while (i > 0 && bytes[i - 1] != '\r' && bytes[i - 1] != '\n') --i;
    return i;
}

// A console that claims a cursor left of column 1 is taken at column 1.
int32_t column_at_cursor(const console_device* device) {
    const int32_t cursor = device->console_cursor_column();
    return cursor > 1 ? cursor - 1 : 0;
}

// Opens the console entry on its first use; out of line, so that the test
// before it stays small wherever it is made.
[[gnu::noinline]] void console_open() {
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

// The cursor moved behind the print path's back: its column is asked again.
[[gnu::noinline]] void console_follow_cursor() {
    if (cursor_moved.exchange(false)) console_entry.column = column_at_cursor(console_entry.device);
}

void console_init() {
    if (console_entry.device == nullptr) {
        console_open();
    } else if (cursor_moved.load(std::memory_order_relaxed)) [[unlikely]] {
        console_follow_cursor();
    }
}

// column reduced modulo width, unless width is 0. In the usual case, a
// column that was inside the line before a short text, one subtraction (of
// nothing, for width 0) settles it. It is made with a mask, not a branch:
// whether a print passes the width changes from print to print in a pattern
// that the processor does not learn across the system call between them.
inline uint32_t reduced_column(uint32_t column, uint32_t width) {
    column -= width & (0u - static_cast<uint32_t>(column >= width));
    if (column >= width && width != 0) [[unlikely]]
        column %= width;
    return column;
}

// Not 0 exactly when one of the eight bytes in word is below 0E, the range
// that holds CR and LF: fewer steps than the exact test, and text seldom has
// such bytes.
uint64_t low_byte_marks(uint64_t word) {
    return (word - kOnes * 0x0E) & ~word & kHighBits;
}

// Whether a text of 8 to 16 bytes has no byte below 0E (so no CR or LF), as
// its first and last eight bytes (which may overlap) show without a loop.
inline bool short_text_without_low_bytes(const char* bytes, size_t count) {
    if (count - 8 > 8) return false;
    return (low_byte_marks(load_word(bytes)) | low_byte_marks(load_word(bytes + count - 8))) == 0;
}

// A text with no line end moves the column on by its length.
inline void advance_column(file_entry& entry, size_t count) {
    const uint32_t column = static_cast<uint32_t>(entry.column) + static_cast<uint32_t>(count);
    entry.column = static_cast<int32_t>(reduced_column(column, entry.width));
}

// The column follows the bytes handed over, whatever the device does with
// them; it is brought up to date first, so that the device write is the last
// step.
void entry_write(file_entry* entry, const char* bytes, size_t count) {
    console_init();
    if (entry == nullptr || entry->device == nullptr) return;
    const size_t i = after_last_line_end(bytes, count);
    if (i > 0) {
        entry->column =
            static_cast<int32_t>(reduced_column(static_cast<uint32_t>(count - i), entry->width));
    } else {
        advance_column(*entry, count);
    }
    entry->device->console_write(bytes, count);
}

// Out of line: its padding buffer would otherwise put a stack check into
// every print.
[[gnu::noinline]] void pad_to_next_zone(file_entry* entry) {
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

// Every print but the short one of print_text. Out of line, so that the short
// print needs no frame of its own.
[[gnu::noinline]] void print_and_finish(file_entry* entry, std::string_view text, PrintMode mode) {
    if (!text.empty()) entry_write(entry, text.data(), text.size());
    finish(entry, mode);
}

}  // namespace

void print_text(int32_t file_number, std::string_view text, PrintMode mode) {
    // Each copy of string mode comes this way: the console open, a short text
    // with no line end and no finish. Its column is settled in a few steps,
    // and the device write is the last one, with nothing waiting on its
    // return.
    if (file_number == kConsoleFile && mode == PrintMode::nothing &&
        console_entry.device != nullptr && !cursor_moved.load(std::memory_order_relaxed) &&
        short_text_without_low_bytes(text.data(), text.size())) [[likely]] {
        advance_column(console_entry, text.size());
        console_entry.device->console_write(text.data(), text.size());
        return;
    }
    print_and_finish(select_entry(file_number), text, mode);
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
