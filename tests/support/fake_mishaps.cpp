// Preloaded into zix by the terminal tests: mishaps at chosen moments.
//   ZIX_FAKE_SETUP_SIGNAL=N    signal N comes right after the terminal is put
//                              into zix's input mode, in the middle of set-up
//   ZIX_FAKE_PUTBACK_SIGNAL=N  signal N comes right after the terminal gets its
//                              line mode back, in the middle of a put-back
//   ZIX_FAKE_FLUSH_TEXT=TEXT   the flush that sends exactly TEXT to standard
//   ZIX_FAKE_FLUSH_DOES=WHAT   output is followed by a stop (stop: SIGTSTP, as
//                              Ctrl-Z sends it) or preceded by a recursion
//                              that overflows the stack (overflow)
//   ZIX_FAKE_SLOW_MS=N         every flush of standard output takes N ms more,
//                              so that a run lasts long enough to be stopped
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/preload.h"

namespace {

bool setting(const char* name, const char* value) {
    const char* set = std::getenv(name);
    return set != nullptr && std::strcmp(set, value) == 0;
}

// What the stream holds and a flush would send (glibc's stream fields).
bool holds_exactly(FILE* stream, const char* text) {
    if (stream == nullptr || text == nullptr) return false;
    const size_t pending = static_cast<size_t>(stream->_IO_write_ptr - stream->_IO_write_base);
    return pending == std::strlen(text) && std::memcmp(stream->_IO_write_base, text, pending) == 0;
}

volatile int stop_at_depth = -1;

// Each level keeps a buffer of its own on the stack until the stack runs out.
int deeper(int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (depth == stop_at_depth) return frame[0];
    return deeper(depth + 1) + frame[0];
}

}  // namespace

extern "C" {

int tcsetattr(int fd, int when, const struct termios* modes) {
    static bool raised[2] = {false, false};  // by input mode: once each
    const int result = real<int (*)(int, int, const struct termios*)>("tcsetattr")(fd, when, modes);
    const bool input_mode = (modes->c_lflag & ICANON) == 0;
    const char* signal_number =
        std::getenv(input_mode ? "ZIX_FAKE_SETUP_SIGNAL" : "ZIX_FAKE_PUTBACK_SIGNAL");
    if (result == 0 && signal_number != nullptr && !raised[input_mode]) {
        raised[input_mode] = true;
        raise(std::atoi(signal_number));
    }
    return result;
}

int fflush(FILE* stream) {
    const bool chosen =
        stream == stdout && holds_exactly(stream, std::getenv("ZIX_FAKE_FLUSH_TEXT"));
    if (chosen && setting("ZIX_FAKE_FLUSH_DOES", "overflow")) deeper(0);
    const int result = real<int (*)(FILE*)>("fflush")(stream);
    if (chosen && setting("ZIX_FAKE_FLUSH_DOES", "stop")) raise(SIGTSTP);
    if (const char* slow = std::getenv("ZIX_FAKE_SLOW_MS"); slow && stream == stdout) {
        usleep(static_cast<useconds_t>(std::atoi(slow)) * 1000);
    }
    return result;
}

}  // extern "C"
