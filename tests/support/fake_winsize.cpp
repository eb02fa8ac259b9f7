// Preloaded into zix by the terminal tests: the kernel "does not know" the
// window size (ioctl TIOCGWINSZ fails), as on a serial line, so the program
// has to ask the terminal itself with "\e[18t".
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdarg>

#include "support/preload.h"

extern "C" int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* argument = va_arg(ap, void*);
    va_end(ap);
    if (request == TIOCGWINSZ) {
        errno = ENOTTY;
        return -1;
    }
    return real<int (*)(int, unsigned long, ...)>("ioctl")(fd, request, argument);
}
