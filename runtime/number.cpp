#include "runtime/number.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

namespace {

int digit_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 99;
}

// Digits of the radix from the start of text; the first other byte ends the
// scan. Wraps modulo 2^32, as the prefixed forms always have.
uint32_t scan_radix(std::string_view text, uint32_t radix) {
    uint32_t value = 0;
    for (char c : text) {
        int d = digit_value(static_cast<unsigned char>(c));
        if (d >= static_cast<int>(radix)) break;
        value = value * radix + static_cast<uint32_t>(d);
    }
    return value;
}

// Decimal text goes through strtoul. Where unsigned long is wider than 32 bits
// its result is folded back to what a 32-bit strtoul gives: any magnitude above
// 4294967295 saturates (whatever the sign), a '-' negates modulo 2^32. The
// range error decides saturation on every library: not all of them return
// ULONG_MAX for a negative magnitude out of range (wine's msvcrt gives 1).
uint32_t decimal(std::string_view text) {
    const std::string copy(text);  // strtoul wants a terminated string
    const char* s = copy.c_str();
    errno = 0;
    unsigned long value = std::strtoul(s, nullptr, 10);
    // A range error always means saturation; msvcrt, for one, hands back a
    // wrapped value with it for "-4294967296".
    if (errno == ERANGE) return 0xFFFFFFFFu;
    if constexpr (ULONG_MAX == 0xFFFFFFFFul) {
        return static_cast<uint32_t>(value);
    } else {
        while (std::isspace(static_cast<unsigned char>(*s))) ++s;
        const bool negative = *s == '-';
        const unsigned long magnitude = negative ? 0ul - value : value;
        if (magnitude > 0xFFFFFFFFul) return 0xFFFFFFFFu;
        return static_cast<uint32_t>(value);
    }
}

}  // namespace

uint32_t text_to_uint(std::string_view text) {
    size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) return 0;
    text.remove_prefix(start);

    if (text.size() >= 2 && text[0] == '&') {
        switch (text[1]) {
            case 'H':
            case 'h':
                return scan_radix(text.substr(2), 16);
            case 'O':
            case 'o':
                return scan_radix(text.substr(2), 8);
            case 'B':
            case 'b':
                return scan_radix(text.substr(2), 2);
            default:
                return scan_radix(text.substr(1), 8);
        }
    }
    return decimal(text);
}
