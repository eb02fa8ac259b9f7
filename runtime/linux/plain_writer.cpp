#include "runtime/linux/plain_writer.h"

#include <cstring>

#include "runtime/buffer.h"
#include "runtime/linux/write_all.h"

namespace {

[[noreturn, gnu::noinline]] void plain_write_failed(int error) {
    runtime_write_failed(error == kWriteAllStalled ? "no bytes were written"
                                                   : std::strerror(error));
}

// Straight to the descriptor, not through the standard output stream: every
// write has reached the system when it returns, and no copy of the bytes is
// left behind in a stream buffer. A write that cannot be completed is
// reported, since the output is then incomplete.
void plain_write(const char* bytes, size_t count, uint32_t copies) {
    for (uint32_t copy = 0; copy < copies; ++copy) {
        const int error = write_all(1, bytes, count);
        if (error != 0) plain_write_failed(error);
    }
}

void plain_size(uint32_t* width, uint32_t* height) {
    *width = kFallbackColumns;
    *height = kFallbackRowsLinuxPlain;
}

int32_t plain_cursor_column() {
    return 1;
}

}  // namespace

const console_device plain_writer = {plain_write, plain_size, plain_cursor_column};
