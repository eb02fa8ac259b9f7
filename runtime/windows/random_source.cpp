// The Windows clock and entropy source of the random generator.
#include <windows.h>
// wincrypt.h builds on what windows.h defines.
#include <wincrypt.h>

#include "runtime/platform.h"

namespace {

enum class clock_kind { not_chosen, tick_count, performance_counter };

struct clock_record {
    clock_kind kind;
    double reciprocal;  // seconds per performance counter tick
};

clock_record chosen_clock;

// The millisecond as a double. Named, not written in the product: a compiler
// that evaluates in the x87 unit's extended precision (g++ 13 and later for
// i386) takes a bare 0.001 there as the nearer extended value.
constexpr double kMillisecond = 0.001;

}  // namespace

// On i386 the arithmetic runs on the x87 unit in extended precision, and
// GCC may keep a result in an 80-bit register past the point where the
// value is defined as a double. The volatile stores round each defined double
// (the reciprocal, the reading) to double precision exactly once, so what the
// caller gets does not depend on register allocation.
double platform_clock_seconds() {
    if (chosen_clock.kind == clock_kind::not_chosen) {
        LARGE_INTEGER frequency{};
        if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart != 0) {
            volatile double reciprocal = 1.0 / static_cast<double>(frequency.QuadPart);
            chosen_clock = clock_record{clock_kind::performance_counter, reciprocal};
        } else {
            chosen_clock = clock_record{clock_kind::tick_count, 0.0};
        }
    }
    volatile double seconds = 0.0;
    if (chosen_clock.kind == clock_kind::performance_counter) {
        LARGE_INTEGER count{};
        QueryPerformanceCounter(&count);
        seconds = static_cast<double>(count.QuadPart) * chosen_clock.reciprocal;
    } else {
        seconds = static_cast<double>(GetTickCount()) * kMillisecond;
    }
    return seconds;
}

// A verify-only context: random generation needs no key container, and
// asking for the default one fails on accounts that have none (a fresh
// account, or wine), which would leave every draw unmixed. The context is
// acquired and released at every fetch; nothing is held between draws.
uint32_t platform_fetch_entropy_word() {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        return 0;
    }
    BYTE bytes[4] = {};
    const bool filled = CryptGenRandom(provider, sizeof bytes, bytes) != 0;
    CryptReleaseContext(provider, 0);
    if (!filled) return 0;
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}
