#include "plain_writer.h"

#include <cstdio>

namespace {

void plain_write(const char* bytes, size_t count) {
    std::fwrite(bytes, count, 1, stdout);
    std::fflush(stdout);
}

void plain_size(uint32_t* width, uint32_t* height) {
    *width = 80;
    *height = 24;
}

int32_t plain_cursor_column() { return 1; }

}  // namespace

const console_device plain_writer = {plain_write, plain_size, plain_cursor_column};
