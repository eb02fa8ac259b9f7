// Preloaded into zix by the no-copy tests. At the very end of the process,
// after the program's own shutdown, it writes every writable mapping of the
// process into the file named by ZIX_MEMORY_DUMP, so that a test can search
// what the process still held. Only system calls, on memory of its own.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// A sanitizer's runtime reserves its shadow memory in mappings of tens of
// megabytes to terabytes, far larger than anything a short run of the program
// maps itself (the tests' runs map a few megabytes, the largest its stack);
// mappings that large are left out.
constexpr size_t kLargestMapping = size_t{16} << 20;
constexpr size_t kMapsCapacity = size_t{8} << 20;
constexpr size_t kPage = 4096;

// Reads the whole of /proc/self/maps into buffer; its length, or 0.
size_t read_maps(char* buffer, size_t capacity) {
    const int fd = open("/proc/self/maps", O_RDONLY);
    if (fd < 0) return 0;
    size_t length = 0;
    while (length < capacity - 1) {
        const ssize_t got = read(fd, buffer + length, capacity - 1 - length);
        if (got <= 0) break;
        length += static_cast<size_t>(got);
    }
    close(fd);
    buffer[length] = '\0';
    return length;
}

// The system call itself: a sanitizer's write would first check that the
// program may read all of the memory, which is not so for its own shadow.
ssize_t raw_write(int fd, const char* bytes, size_t count) {
    return syscall(SYS_write, fd, bytes, count);
}

// The whole mapping in large pieces; a piece that cannot be read (a page
// the kernel refuses) is retried page by page, and those pages are skipped.
void dump_mapping(int out, const char* start, size_t length) {
    constexpr size_t kPiece = 1 << 20;
    for (size_t at = 0; at < length; at += kPiece) {
        const size_t piece = length - at < kPiece ? length - at : kPiece;
        if (raw_write(out, start + at, piece) == static_cast<ssize_t>(piece)) continue;
        for (size_t page = 0; page < piece; page += kPage) {
            const size_t size = piece - page < kPage ? piece - page : kPage;
            if (raw_write(out, start + at + page, size) < 0) {
            }
        }
    }
}

__attribute__((destructor)) void dump_memory_at_exit() {
    const char* path = std::getenv("ZIX_MEMORY_DUMP");
    if (path == nullptr) return;
    void* mapped =
        mmap(nullptr, kMapsCapacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return;
    char* maps = static_cast<char*>(mapped);
    if (read_maps(maps, kMapsCapacity) == 0) return;
    const int out = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0) return;
    // Lines: "START-END PERMS OFFSET DEVICE INODE [PATH]".
    for (char* line = maps; *line != '\0';) {
        char* end_of_line = std::strchr(line, '\n');
        if (end_of_line != nullptr) *end_of_line = '\0';
        char* rest = nullptr;
        const unsigned long long first = std::strtoull(line, &rest, 16);
        const unsigned long long last = std::strtoull(rest + 1, &rest, 16);
        const bool writable = rest[0] == ' ' && rest[1] == 'r' && rest[2] == 'w';
        const size_t length = static_cast<size_t>(last - first);
        if (writable && length <= kLargestMapping) {
            dump_mapping(out, reinterpret_cast<const char*>(static_cast<uintptr_t>(first)), length);
        }
        if (end_of_line == nullptr) break;
        line = end_of_line + 1;
    }
    close(out);
}

}  // namespace
