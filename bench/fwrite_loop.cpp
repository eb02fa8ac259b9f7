// The least a run of `zix -s COUNT` can do: one fwrite and one fflush of the
// filler per copy. Usage: fwrite_loop COUNT > /dev/null
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const unsigned long count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 255;
    static const char filler[] = "lorem ipsum ";
    for (unsigned long i = 0; i < count; ++i) {
        std::fwrite(filler, sizeof filler - 1, 1, stdout);
        std::fflush(stdout);
    }
    return 0;
}
