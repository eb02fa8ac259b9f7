#pragma once
// What the program's texts look like, written out independently of the code
// that prints them, for the tests to compare against.

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace expected {

// The bytes that end a line in the program's output on the system under test.
#ifdef _WIN32
inline const std::string newline = "\r\n";
#else
inline const std::string newline = "\n";
#endif

inline std::string usage(const std::string& nl = newline) {
    return nl + "ZIX" + nl + "www.zix-project.org" + nl + nl + "Usage:" + nl +
           "\tzix -c [num] [low high]" + nl + "\tzix -s [num] [\"string\"]" + nl + "\tzix -a" + nl +
           nl;
}

inline std::string repeat(const std::string& s, long n) {
    std::string out;
    for (long i = 0; i < n; ++i) out += s;
    return out;
}

// A file under tests/ that holds output worked out apart from the program
// and pinned there, each line feed in it read as nl.
inline std::string pinned(const std::string& name, const std::string& nl = "\n") {
    std::ifstream in(std::string(ZIX_TESTS_DIR) + "/" + name, std::ios::binary);
    std::string out;
    for (char c; in.get(c);) out += c == '\n' ? nl : std::string(1, c);
    return out;
}

// The lines of a pinned file as a screen shows them: without trailing blanks.
inline std::vector<std::string> pinned_rows(const std::string& name) {
    std::istringstream in(pinned(name));
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);) {
        rows.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
    }
    return rows;
}

// FNV-1a of 64 bits: a long output pinned as one number.
inline uint64_t fingerprint(const std::string& bytes) {
    uint64_t hash = 0xCBF29CE484222325u;
    for (const unsigned char c : bytes) hash = (hash ^ c) * 0x100000001B3u;
    return hash;
}

}  // namespace expected
