#pragma once
// Temporary files and whole reads, for the tests that start programs and
// collect what they wrote.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

// A new empty file whose name is gone at once: open for reading and writing,
// or for reading only, so that every write to it fails.
inline int temp_file(bool read_only = false) {
    char name[] = "/tmp/zix-test-XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0 && read_only) {
        close(fd);
        fd = open(name, O_RDONLY);
    }
    if (fd >= 0) unlink(name);
    return fd;
}

// What fd gives from where it stands, up to limit bytes or its end.
inline std::string read_all(int fd, size_t limit = SIZE_MAX) {
    std::string data;
    char chunk[65536];
    while (data.size() < limit) {
        const size_t want = std::min(sizeof chunk, limit - data.size());
        const ssize_t got = read(fd, chunk, want);
        if (got <= 0) break;
        data.append(chunk, static_cast<size_t>(got));
    }
    return data;
}

// What fd gives up to its end, read as by a reader that lags behind its
// writer: it lets a pipe fill before its first read, then takes a page at a
// time with a pause after each.
inline std::string read_slowly(int fd) {
    usleep(20000);
    std::string data;
    char chunk[4096];
    for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) != 0;) {
        if (got < 0 && errno != EINTR) break;
        if (got > 0) data.append(chunk, static_cast<size_t>(got));
        usleep(100);
    }
    return data;
}

// The whole file at path; empty when it cannot be read.
inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
