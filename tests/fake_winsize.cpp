// Preloaded into zix by the terminal tests: the kernel "does not know" the
// window size (ioctl TIOCGWINSZ fails), as on a serial line, so the program
// has to ask the terminal itself with "\e[18t".
#include <dlfcn.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdarg>

extern "C" int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* argument = va_arg(ap, void*);
    va_end(ap);
    if (request == TIOCGWINSZ) {
        errno = ENOTTY;
        return -1;
    }
    using real_ioctl = int (*)(int, unsigned long, ...);
    static const auto real = reinterpret_cast<real_ioctl>(dlsym(RTLD_NEXT, "ioctl"));
    return real(fd, request, argument);
}
