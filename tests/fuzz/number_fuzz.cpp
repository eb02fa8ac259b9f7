// text_to_uint on any text:
//   - the decimal branch gives what a 32-bit strtoul gives: checked against a
//     digit-by-digit reading and, wherever the value fits, strtoul itself;
//   - leading spaces never change the result;
//   - the &H, &O, &B and bare & forms of any 32-bit value read back as that
//     value, also with leading spaces and a non-digit after the digits.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/number.h"

namespace {

void require(bool holds, const char* what, const std::string& text) {
    if (holds) return;
    std::fprintf(stderr, "%s: \"", what);
    for (unsigned char c : text) std::fprintf(stderr, c >= 32 && c < 127 ? "%c" : "\\x%02x", c);
    std::fprintf(stderr, "\"\n");
    std::abort();
}

bool c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// What strtoul with base 10 gives where unsigned long has 32 bits.
uint32_t decimal_32(const std::string& text, bool* fits) {
    size_t i = 0;
    while (i < text.size() && c_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    uint64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
        if (magnitude > 0xFFFFFFFFu) magnitude = uint64_t{1} << 32;  // saturated
    }
    *fits = magnitude <= 0xFFFFFFFFu;
    if (!*fits) return 0xFFFFFFFFu;
    const uint32_t value = static_cast<uint32_t>(magnitude);
    return negative ? 0u - value : value;
}

std::string in_radix(uint32_t value, uint32_t radix) {
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789ABCDEF"[value % radix]);
        value /= radix;
    } while (value != 0);
    return digits;
}

std::string lower(std::string text) {
    for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const uint32_t value = in.ConsumeIntegral<uint32_t>();
    const std::string spaces(in.ConsumeIntegralInRange<size_t>(0, 8), ' ');
    const char after = in.ConsumeIntegral<char>();
    const std::string text = in.ConsumeRemainingBytesAsString();

    const uint32_t result = text_to_uint(text);
    require(text_to_uint(spaces + text) == result, "leading spaces changed the result", text);

    const size_t start = text.find_first_not_of(' ');
    const std::string rest = start == std::string::npos ? "" : text.substr(start);
    if (rest.size() < 2 || rest[0] != '&') {
        bool fits = false;
        const uint32_t want = decimal_32(rest, &fits);
        require(result == want, "decimal text read differently", text);
        if (fits) {
            const unsigned long library = std::strtoul(rest.c_str(), nullptr, 10);
            require(static_cast<uint32_t>(library) == want, "differs from strtoul", text);
        }
    }

    struct prefix_form {
        std::string prefix;
        uint32_t radix;
    };
    const prefix_form forms[] = {{"&H", 16}, {"&h", 16}, {"&O", 8}, {"&o", 8},
                                 {"&", 8},   {"&B", 2},  {"&b", 2}};
    for (const prefix_form& form : forms) {
        std::string digits = in_radix(value, form.radix);
        if (form.prefix == "&h") digits = lower(digits);
        const std::string written = spaces + form.prefix + digits;
        require(text_to_uint(written) == value, "prefixed form did not read back", written);
        // A byte that is not a digit of the radix ends the digits.
        const bool digit_after = form.radix == 16 ? std::isxdigit(static_cast<unsigned char>(after))
                                                  : after >= '0' && after < char('0' + form.radix);
        if (!digit_after) {
            require(text_to_uint(written + after) == value, "byte after the digits was read",
                    written + after);
        }
    }
    return 0;
}
