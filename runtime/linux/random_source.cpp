// The Linux clock and entropy source of the random generator.
#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include "runtime/platform.h"

namespace {

// The microsecond as a double. Named, not written in the product: a compiler
// that evaluates in the x87 unit's extended precision (g++ 13 and later on
// i386, -fexcess-precision=standard) takes a bare 0.000001 there as the
// nearer extended value, and the clock reading then differs from the other
// builds' in its last bit.
constexpr double kMicrosecond = 0.000001;

}  // namespace

double platform_clock_seconds() {
    struct timeval now {};
    gettimeofday(&now, nullptr);
    const int64_t micros = int64_t{now.tv_sec} * 1000000 + now.tv_usec;
    // volatile: an i386 build computes on the x87 unit, which would otherwise
    // hand back the 64-bit-significand product in a register; the store
    // rounds it to the double the seed is defined from.
    const volatile double seconds = static_cast<double>(micros) * kMicrosecond;
    return seconds;
}

// Opened and closed at every fetch: nothing is held between draws.
uint32_t platform_fetch_entropy_word() {
    const int fd = open("/dev/urandom", O_RDONLY);
    if (fd < 0) return 0;
    unsigned char bytes[4] = {};
    const ssize_t got = read(fd, bytes, sizeof bytes);
    close(fd);
    if (got != static_cast<ssize_t>(sizeof bytes)) return 0;
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}
