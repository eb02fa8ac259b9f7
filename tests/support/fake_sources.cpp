// Preloaded into zix by the end-to-end tests. It stands in for the clock and
// the entropy device so that a run of the real program is reproducible:
//   ZIX_FAKE_CLOCK=SECONDS:MICROSECONDS   what gettimeofday reports
//   ZIX_FAKE_ENTROPY=W1,W2,...            hex words the /dev/urandom reads give
//                                          in turn ("short" gives a 2-byte read,
//                                          "fail" makes that open fail)
//   ZIX_FAKE_LOG=PATH                     gets one line per open of /dev/urandom
#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/preload.h"

// A 32-bit build with 64-bit times and offsets (the i386 build) calls these
// under other names; <sys/time.h> and <fcntl.h> give the definitions below
// those names, and the real functions are looked up by them. A build with
// checked buffer functions may call the C library's checked entry points
// instead (clang with glibc 2.40 and later: __open_2, __read_chk), so those
// are stood in for too.
#if defined(__USE_TIME_BITS64)
#define ZIX_REAL_GETTIMEOFDAY "__gettimeofday64"
#else
#define ZIX_REAL_GETTIMEOFDAY "gettimeofday"
#endif
#if defined(__USE_FILE_OFFSET64) && !defined(__OFF_T_MATCHES_OFF64_T)
#define ZIX_OPEN_IS_OPEN64 1
#define ZIX_REAL_OPEN "open64"
#else
#define ZIX_REAL_OPEN "open"
#endif

namespace {

int fake_fd = -1;
size_t word_index = 0;

// The n-th token of ZIX_FAKE_ENTROPY, or "" past the end.
std::string entropy_token(size_t n) {
    const char* listed = std::getenv("ZIX_FAKE_ENTROPY");
    std::string all = listed ? listed : "";
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) {
        start = all.find(',', start);
        if (start == std::string::npos) return "";
        ++start;
    }
    return all.substr(start, all.find(',', start) - start);
}

void log_fetch() {
    const char* path = std::getenv("ZIX_FAKE_LOG");
    if (!path) return;
    const int fd = real<int (*)(const char*, int, ...)>(ZIX_REAL_OPEN)(
        path, O_WRONLY | O_APPEND | O_CREAT, 0600);
    if (fd < 0) return;
    const char line[] = "fetch\n";
    ssize_t ignored = write(fd, line, sizeof line - 1);
    (void)ignored;
    close(fd);
}

// Whether the script stands in for this open; if so, *fd is what it gives.
bool fake_open(const char* path, int* fd) {
    if (!std::getenv("ZIX_FAKE_ENTROPY") || std::strcmp(path, "/dev/urandom") != 0) return false;
    log_fetch();
    if (entropy_token(word_index) == "fail") {
        ++word_index;
        errno = ENOENT;
        *fd = -1;
        return true;
    }
    fake_fd = real<int (*)(const char*, int, ...)>(ZIX_REAL_OPEN)("/dev/null", O_RDONLY);
    *fd = fake_fd;
    return true;
}

int fake_open_with_mode(const char* path, int flags, mode_t mode, const char* real_name) {
    int fd = -1;
    if (fake_open(path, &fd)) return fd;
    return real<int (*)(const char*, int, ...)>(real_name)(path, flags, mode);
}

// The checked open, which takes no mode (it refuses flags that need one).
int fake_open_checked(const char* path, int flags, const char* real_name) {
    int fd = -1;
    if (fake_open(path, &fd)) return fd;
    return real<int (*)(const char*, int)>(real_name)(path, flags);
}

// The next scripted word, as a read of the device gives it.
ssize_t scripted_read(void* buffer, size_t count) {
    const std::string token = entropy_token(word_index++);
    const unsigned long word = std::strtoul(token.c_str(), nullptr, 16);
    unsigned char bytes[4] = {
        static_cast<unsigned char>(word), static_cast<unsigned char>(word >> 8),
        static_cast<unsigned char>(word >> 16), static_cast<unsigned char>(word >> 24)};
    const size_t n = token == "short" ? 2 : (count < 4 ? count : 4);
    std::memcpy(buffer, bytes, n);
    return static_cast<ssize_t>(n);
}

}  // namespace

extern "C" {

int gettimeofday(struct timeval* tv, void* tz) {
    const char* clock = std::getenv("ZIX_FAKE_CLOCK");
    if (!clock) return real<int (*)(struct timeval*, void*)>(ZIX_REAL_GETTIMEOFDAY)(tv, tz);
    long long seconds = 0;
    long long micros = 0;
    std::sscanf(clock, "%lld:%lld", &seconds, &micros);
    tv->tv_sec = static_cast<time_t>(seconds);
    tv->tv_usec = static_cast<suseconds_t>(micros);
    return 0;
}

int open(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = (flags & O_CREAT) ? static_cast<mode_t>(va_arg(ap, int)) : 0;
    va_end(ap);
    return fake_open_with_mode(path, flags, mode, ZIX_REAL_OPEN);
}

#if !defined(ZIX_OPEN_IS_OPEN64)
int open64(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = (flags & O_CREAT) ? static_cast<mode_t>(va_arg(ap, int)) : 0;
    va_end(ap);
    return fake_open_with_mode(path, flags, mode, "open64");
}
#endif

int __open_2(const char* path, int flags) {
    return fake_open_checked(path, flags, "__open_2");
}

int __open64_2(const char* path, int flags) {
    return fake_open_checked(path, flags, "__open64_2");
}

ssize_t read(int fd, void* buffer, size_t count) {
    if (fd != fake_fd || fake_fd < 0)
        return real<ssize_t (*)(int, void*, size_t)>("read")(fd, buffer, count);
    return scripted_read(buffer, count);
}

// A read that overruns its buffer is left to the real check, which ends the
// process.
ssize_t __read_chk(int fd, void* buffer, size_t count, size_t size) {
    if (fd != fake_fd || fake_fd < 0 || count > size)
        return real<ssize_t (*)(int, void*, size_t, size_t)>("__read_chk")(fd, buffer, count, size);
    return scripted_read(buffer, count);
}

int close(int fd) {
    if (fd == fake_fd) fake_fd = -1;
    return real<int (*)(int)>("close")(fd);
}

}  // extern "C"
