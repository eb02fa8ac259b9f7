#include <string>

#include "front/front.h"
#include "runtime/print.h"

namespace {

constexpr int kFirstCode = 32;
constexpr int kLastCode = 255;

// "65  A", "100 d": the code, one space, a second space below 100, the byte.
std::string table_entry(int code) {
    std::string entry = std::to_string(code);
    entry += ' ';
    if (code <= 99) entry += ' ';
    entry += static_cast<char>(code);
    return entry;
}

}  // namespace

void character_table() {
    print_end(0, PrintMode::newline);
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        print_text(0, table_entry(code), PrintMode::next_zone);
    }
    print_end(0, PrintMode::newline);
}
