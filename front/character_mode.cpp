#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#include "front/front.h"
#include "front/front_seams.h"
#include "runtime/buffer.h"
#include "runtime/number.h"
#include "runtime/print.h"
#include "runtime/random.h"
#include "runtime/runtime.h"
#include "runtime/wipe.h"

namespace {

constexpr uint32_t kDefaultCount = 255;
constexpr uint32_t kDefaultLow = 65;   // "A"
constexpr uint32_t kDefaultHigh = 90;  // "Z"
constexpr uint32_t kMaxCount = 2147483647;
constexpr uint32_t kDrawBlock = 1024;
constexpr std::string_view kCountTooLarge = "zix: too many characters: the most is 2147483647.";
constexpr std::string_view kNoMemory = "zix: not enough memory for the characters requested.";

// m shifted right by s bits (1 <= s <= 63), rounded half to even. Without a
// branch: whether a random draw rounds up cannot be predicted.
uint64_t shift_round_even(uint64_t m, unsigned s) {
    const uint64_t q = m >> s;
    const uint64_t rest = m & ((uint64_t{1} << s) - 1);
    const uint64_t half = uint64_t{1} << (s - 1);
    return q + static_cast<uint64_t>((rest > half) | ((rest == half) & (q & 1)));
}

// The code for N = sum, plus 2^64 when bit64 is set, with all three roundings
// of character_code. From 2^63 up the sum is a code of 2^31 or more, outside
// the signed 32-bit range, whatever the rounding. Below it the sum fits a
// 64-bit significand as it is: only the rounding to 53 bits and the one to
// an integer are left.
int32_t code_by_all_roundings(uint64_t sum, bool bit64) {
    if (bit64 || sum >= uint64_t{1} << 63) return INT32_MIN;
    // N = m × 2^e
    uint64_t m = sum;
    unsigned e = 0;
    const unsigned bits = static_cast<unsigned>(std::bit_width(m));
    if (bits > 53) {
        m = shift_round_even(m, bits - 53);
        e = bits - 53;
    }
    // e is at most 10, so the shift is 22 to 32 bits.
    const uint64_t n = shift_round_even(m, 32 - e);
    if (n > 2147483647u) return INT32_MIN;
    return static_cast<int32_t>(n);
}

// The code of the draw u = y × 2^-32 when the sum below is under 2^53: then
// the first two roundings change nothing, only the rounding to an integer is
// left, and the code is below 2^21. Adding just under one half, plus one more
// when the integer part is odd, carries into the integer part exactly when
// it must round up.
inline int32_t code_of_short_sum(uint64_t sum) {
    const uint64_t odd = (sum >> 32) & 1;
    return static_cast<int32_t>((sum + 0x7FFFFFFFu + odd) >> 32);
}

// The code for the draw u = y × 2^-32; see character_code.
inline int32_t code_of_word(uint32_t y, uint32_t low, uint32_t span) {
    const uint64_t product = uint64_t{y} * span;  // below 2^64: exact
    const uint64_t sum = product + (uint64_t{low} << 32);
    const bool bit64 = sum < product;  // the sum carried into a 65th bit
    if (!bit64 && sum < (uint64_t{1} << 53)) return code_of_short_sum(sum);
    return code_by_all_roundings(sum, bit64);
}

// The bytes of count draws. When low <= high <= 2^21 (every range of byte
// codes among them), every sum y × span + low × 2^32 is below high × 2^32,
// so below 2^53: the whole line takes the short way with no test per draw,
// in a loop simple enough for the compiler to do several draws at once.
void store_codes(const uint32_t* words, uint32_t count, uint32_t low, uint32_t high, char* bytes) {
    const uint32_t span = high - low;
    if (low <= high && high <= (uint32_t{1} << 21)) {
        const uint64_t base = uint64_t{low} << 32;
        for (uint32_t k = 0; k < count; ++k) {
            const uint64_t sum = uint64_t{words[k]} * span + base;
            bytes[k] = static_cast<char>(static_cast<uint32_t>(code_of_short_sum(sum)) & 0xFFu);
        }
        return;
    }
    for (uint32_t k = 0; k < count; ++k) {
        const int32_t n = code_of_word(words[k], low, span);
        bytes[k] = static_cast<char>(static_cast<uint32_t>(n) & 0xFFu);
    }
}

}  // namespace

// The code is defined as round-half-to-even(double(u × span + low)), with the
// product and sum taken in x87 extended precision (64-bit significand). Instead
// of trusting each compiler and FPU mode to do that, it is computed exactly in
// integers, so every build gives the same bytes:
//   u is y × 2^-32 for a 32-bit y (the generator's resolution), so the value is
//   N × 2^-32 with N = y × span + low × 2^32, an exact integer below 2^65.
//   1. N rounded to 64 significant bits (the extended sum), ties to even;
//   2. that rounded to 53 significant bits (the store to a double), ties to even;
//   3. the result rounded to an integer, ties to even.
// A value outside the signed 32-bit range gives -2147483648, as the x86
// conversion does, so its low byte is 0.
int32_t character_code(double u, uint32_t low, uint32_t span) {
    return code_of_word(static_cast<uint32_t>(u * 4294967296.0), low, span);
}

void character_mode(const std::string& arg2, const std::string& arg3, const std::string& arg4) {
    uint32_t count = kDefaultCount;
    if (!arg2.empty()) {
        count = text_to_uint(arg2);
        if (count == 0) report_argument_error(0);
    }
    uint32_t low = kDefaultLow;
    uint32_t high = kDefaultHigh;
    if (!arg3.empty() && !arg4.empty()) {
        low = text_to_uint(arg3);
        high = text_to_uint(arg4);
        if (high == 0 || low == 0) report_argument_error(1);
    }

    // A line this long cannot be held; that is a failure, not a success, and
    // its message is no part of the output.
    if (count > kMaxCount) runtime_fail(kCountTooLarge);
    char* buffer = buffer_create(count);
    if (buffer == nullptr) runtime_fail(kNoMemory);
    std::memset(buffer, ' ', count);

    // One draw per character, in order, taken a block at a time: see
    // next_random_words. The draws give the line away as well as its bytes
    // do, so they are wiped too.
    uint32_t words[kDrawBlock];
    for (uint32_t i = 0; i < count;) {
        const uint32_t block = std::min(count - i, kDrawBlock);
        next_random_words(words, block);
        store_codes(words, block, low, high, buffer + i);
        i += block;
    }
    buffer_wipe(words, sizeof words);
    print_text(0, std::string_view(buffer, count), PrintMode::newline);
    buffer_wipe_release(buffer, count);
}
