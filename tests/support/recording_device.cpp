#include "support/recording_device.h"

#include "runtime/print.h"

namespace {

recording_console console;

void record_write(const char* bytes, size_t count, uint32_t copies) {
    console.write_count += copies;
    if (!console.keep_writes) return;
    for (uint32_t copy = 0; copy < copies; ++copy) {
        console.bytes.append(bytes, count);
        console.writes.emplace_back(bytes, count);
    }
}

void record_size(uint32_t* width, uint32_t* height) {
    ++console.size_calls;
    *width = console.width;
    *height = console.height;
}

int32_t record_cursor_column() {
    return console.cursor_column;
}

const console_device recording = {record_write, record_size, record_cursor_column};

}  // namespace

recording_console& use_recording_console(uint32_t width, int32_t cursor_column) {
    console = recording_console{};
    console.width = width;
    console.cursor_column = cursor_column;
    print_reset(&recording);
    return console;
}
