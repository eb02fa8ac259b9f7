#pragma once
// What the program's texts look like, written out independently of the code
// that prints them, for the tests to compare against.

#include <cstdint>
#include <string>

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

inline std::string table_entry(int code) {
    std::string e = std::to_string(code) + (code < 100 ? "  " : " ");
    e += static_cast<char>(code);
    return e;
}

// The character table with per_row entries to a row: 9 spaces after each entry
// but the last of a row, which the zone newline ends; then the closing newline.
inline std::string table(int per_row, const std::string& nl = newline) {
    std::string out = nl;
    int in_row = 0;
    for (int code = 32; code <= 255; ++code) {
        out += table_entry(code);
        if (++in_row == per_row) {
            out += nl;
            in_row = 0;
        } else {
            out += std::string(9, ' ');
        }
    }
    return out + nl;
}

// FNV-1a of 64 bits: a long output pinned as one number.
inline uint64_t fingerprint(const std::string& bytes) {
    uint64_t hash = 0xCBF29CE484222325u;
    for (const unsigned char c : bytes) hash = (hash ^ c) * 0x100000001B3u;
    return hash;
}

}  // namespace expected
