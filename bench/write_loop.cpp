// The floor of a run of `zix -s COUNT [TEXT]`: one bare write(2) of the text
// per copy, its result checked, nothing else.
// Usage: write_loop COUNT [TEXT] > /dev/null
#include <unistd.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    const unsigned long count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 255;
    const char* text = argc > 2 && argv[2][0] != '\0' ? argv[2] : "lorem ipsum ";
    const size_t length = std::strlen(text);
    for (unsigned long i = 0; i < count; ++i) {
        if (write(STDOUT_FILENO, text, length) != static_cast<ssize_t>(length)) return 1;
    }
    return 0;
}
