#include "plain_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "../runtime.h"

namespace {

// Every write reaches the system before the next piece is made; a write that
// does not is reported, since the output is then incomplete. A failed fwrite
// is reported at once: flushing after it would try the failed output again.
void plain_write(const char* bytes, size_t count) {
    if (count == 0) return;
    errno = 0;
    if (std::fwrite(bytes, count, 1, stdout) != 1 || std::fflush(stdout) != 0) {
        const int code = errno;
        runtime_write_failed(code != 0 ? std::strerror(code) : "output not written");
    }
}

void plain_size(uint32_t* width, uint32_t* height) {
    *width = 80;
    *height = 24;
}

int32_t plain_cursor_column() {
    return 1;
}

}  // namespace

const console_device plain_writer = {plain_write, plain_size, plain_cursor_column};
