// The terminal writer over any bytes split into any writes, with standard
// output on a memory file:
//   - every write sends exactly its bytes as expected::on_terminal has them
//     (the unit tests hold term_translate to the same table): 00 as a space,
//     08 0C 0E 0F 1B 7F in the nine-byte glyph form, every other byte
//     unchanged; so a write of n bytes with g glyph bytes sends n + 8g bytes;
//   - a write's bytes have all reached the file when it returns.
// The terminal layer is not set up here (term_kind 0), so the writer takes no
// lock and asks the terminal nothing: what is left is its translation and
// its stream calls.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "expected_output.h"
#include "runtime/linux/terminal_writer.h"
#include "runtime/linux/terminal_writer_seams.h"

namespace {

void fail(const char* what, const std::string& bytes) {
    std::fprintf(stderr, "%s; write of %zu bytes:", what, bytes.size());
    for (unsigned char c : bytes) std::fprintf(stderr, " %02x", c);
    std::fprintf(stderr, "\n");
    std::abort();
}

// What standard output's file holds, from offset from on.
std::string sent_since(off_t from) {
    struct stat status {};
    if (fstat(STDOUT_FILENO, &status) != 0) fail("standard output cannot be measured", "");
    std::string bytes(static_cast<size_t>(status.st_size - from), '\0');
    if (!bytes.empty() && pread(STDOUT_FILENO, bytes.data(), bytes.size(), from) !=
                              static_cast<ssize_t>(bytes.size()))
        fail("standard output cannot be read back", "");
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const int file = memfd_create("terminal-output", 0);
    if (file < 0 || dup2(file, STDOUT_FILENO) < 0) {
        std::perror("memory file for standard output");
        std::abort();
    }
    close(file);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::fflush(stdout);
    if (ftruncate(STDOUT_FILENO, 0) != 0 || lseek(STDOUT_FILENO, 0, SEEK_SET) != 0)
        fail("standard output cannot be emptied", "");

    FuzzedDataProvider in(data, size);
    off_t sent = 0;
    while (in.remaining_bytes() > 0) {
        const std::string bytes = in.ConsumeRandomLengthString(1000);
        std::string want;
        size_t glyphs = 0;
        for (unsigned char c : bytes) {
            want += expected::on_terminal(c);
            glyphs += expected::glyph(c).empty() ? 0 : 1;
        }
        if (want.size() != bytes.size() + 8 * glyphs) fail("the table itself is wrong", bytes);

        terminal_writer.console_write(bytes.data(), bytes.size(), 1);
        // Read back without flushing: the writer must have flushed.
        const std::string got = sent_since(sent);
        if (got.size() != want.size()) fail("a write sent another number of bytes", bytes);
        if (got != want) fail("a write sent other bytes", bytes);
        sent += static_cast<off_t>(got.size());
    }
    return 0;
}
