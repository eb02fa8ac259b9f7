#include "runtime/windows/plain_writer.h"

#include <windows.h>

#include <cstdio>

#include "runtime/buffer.h"

namespace {

// The system's text for an error, without the line end it comes with.
const char* error_text(DWORD error) {
    static char text[256];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, text, sizeof text, nullptr);
    DWORD end = length;
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n')) --end;
    if (end == 0) {
        std::snprintf(text, sizeof text, "error %lu", static_cast<unsigned long>(error));
    } else {
        text[end] = '\0';
    }
    return text;
}

// WriteFile may take fewer bytes than asked; the rest is written again until
// every byte is out. A write that fails, or that takes nothing and would
// leave us asking forever, is lost output and stops the run.
void plain_write_copy(const char* bytes, size_t count) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    while (count > 0) {
        const DWORD ask = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
        DWORD written = 0;
        if (!WriteFile(out, bytes, ask, &written, nullptr)) {
            runtime_write_failed(error_text(GetLastError()));
        }
        if (written == 0) runtime_write_failed("no bytes were written");
        bytes += written;
        count -= written;
    }
}

void plain_write(const char* bytes, size_t count, uint32_t copies) {
    for (uint32_t copy = 0; copy < copies; ++copy) plain_write_copy(bytes, count);
}

void plain_size(uint32_t* width, uint32_t* height) {
    *width = kFallbackColumns;
    *height = kFallbackRows;
}

int32_t plain_cursor_column() {
    return 1;
}

}  // namespace

const console_device plain_writer = {plain_write, plain_size, plain_cursor_column};
