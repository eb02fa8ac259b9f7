// The floor of a run of `zix -s COUNT`: one bare write(2) of the filler per
// copy, its result checked, nothing else. Usage: write_loop COUNT > /dev/null
#include <unistd.h>

#include <cstdlib>

int main(int argc, char** argv) {
    const unsigned long count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 255;
    static const char filler[] = "lorem ipsum ";
    for (unsigned long i = 0; i < count; ++i) {
        if (write(STDOUT_FILENO, filler, sizeof filler - 1) != sizeof filler - 1) return 1;
    }
    return 0;
}
