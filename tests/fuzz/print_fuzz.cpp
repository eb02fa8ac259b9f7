// The print path over a recording device, for any texts, any print modes, any
// line width and any starting cursor:
//   - every device write of a print on the console holds exactly the text and
//     then the finish of the mode (a newline, or the spaces to the next zone,
//     or a newline where that zone does not fit); other files get nothing;
//   - the column stays inside the line: 0 <= column < width when there is a
//     width, and a line end brings it back to the bytes after it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/print.h"
#include "runtime/print_seams.h"

namespace {

struct device_write {
    std::string bytes;
    int32_t column_after;  // the console's column as the write was made: already counted
};

std::vector<device_write> writes;
uint32_t line_width;
int32_t cursor_column;

// print_text hands over one copy at a time.
void record(const char* bytes, size_t count, uint32_t) {
    writes.push_back({std::string(bytes, count), print_console_column()});
}
void size(uint32_t* width, uint32_t* height) {
    *width = line_width;
    *height = 25;
}
int32_t cursor() {
    return cursor_column;
}
const console_device recording = {record, size, cursor};

void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "%s (width %u, cursor %d)\n", what, line_width, cursor_column);
    std::abort();
}

bool column_in_line(int32_t column) {
    return column >= 0 && (line_width == 0 || static_cast<uint32_t>(column) < line_width);
}

// The finish of a next_zone print made at column column_before.
void check_zone_finish(const device_write& finish, int32_t column_before) {
    require(column_before >= 0, "zone padding from a negative column");
    const uint64_t col = static_cast<uint32_t>(column_before);
    const uint64_t next = (col / zone_width + 1) * zone_width;
    const bool zone_fits = line_width < zone_width || next + zone_width < line_width;
    if (zone_fits) {
        require(finish.bytes == std::string(next - col, ' '), "padding does not reach the zone");
        require(finish.bytes.size() >= 1 && finish.bytes.size() <= zone_width, "padding size");
    } else {
        require(finish.bytes == "\n", "a zone that does not fit must end the line");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size_in) {
    FuzzedDataProvider in(data, size_in);
    // Consoles report widths of at most 65535 columns; anything up to 2^31 - 1
    // keeps the signed column meaningful.
    line_width = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 300)
                                  : in.ConsumeIntegralInRange<uint32_t>(0, INT32_MAX);
    // Without a width the column only grows: a start far to the right could
    // pass the 32-bit range within one input, which no console reports.
    cursor_column = line_width == 0 ? in.ConsumeIntegralInRange<int32_t>(-5, 1 << 20)
                                    : in.ConsumeIntegral<int32_t>();
    print_reset(&recording);
    // The console opens at the first print that writes to it, at the cursor.
    bool opened = false;

    while (in.remaining_bytes() > 0) {
        const bool to_console = in.ConsumeIntegralInRange<int>(0, 7) != 0;
        const int32_t file = to_console ? 0 : in.ConsumeIntegral<int32_t>() | 1;
        const auto mode = static_cast<PrintMode>(in.ConsumeIntegral<uint32_t>());
        const bool end_only = in.ConsumeIntegralInRange<int>(0, 3) == 0;
        const std::string text = end_only ? "" : in.ConsumeRandomLengthString(400);

        const int32_t column_at_start =
            opened ? print_console_column() : (cursor_column > 1 ? cursor_column - 1 : 0);
        writes.clear();
        if (end_only) {
            print_end(file, mode);
        } else {
            print_text(file, text, mode);
        }
        if (!to_console) {
            require(writes.empty(), "a file that is not open was written");
            continue;
        }
        if (!writes.empty()) opened = true;

        size_t next = 0;
        if (!text.empty()) {
            require(!writes.empty() && writes[0].bytes == text, "text not written as one piece");
            next = 1;
        }
        const auto bits = static_cast<uint32_t>(mode);
        if (bits & 1u) {
            require(writes.size() == next + 1 && writes[next].bytes == "\n", "newline finish");
        } else if (bits & 2u) {
            require(writes.size() == next + 1, "zone finish is one write");
            check_zone_finish(writes[next],
                              next > 0 ? writes[next - 1].column_after : column_at_start);
        } else {
            require(writes.size() == next, "a finish for a mode without one");
        }

        if (!writes.empty()) {
            const int32_t column = print_console_column();
            require(column_in_line(column), "column outside the line");
            const std::string& last = writes.back().bytes;
            const size_t end = last.find_last_of("\r\n");
            if (end != std::string::npos) {
                const uint64_t after = last.size() - end - 1;
                require(static_cast<uint64_t>(column) == (line_width ? after % line_width : after),
                        "column does not count from the last line end");
            }
        }
    }
    return 0;
}
