// The Windows platform layer on the system itself: the clock, the CryptoAPI
// source and the floating-point mode that start-up sets.
#include <float.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <set>

#include "runtime/platform.h"
#include "runtime/runtime.h"

namespace {

TEST(WindowsPlatform, ClockCountsSeconds) {
    const double before = platform_clock_seconds();
    Sleep(200);
    const double after = platform_clock_seconds();
    EXPECT_GT(before, 0.0);
    EXPECT_GT(after - before, 0.15);
    EXPECT_LT(after - before, 5.0);
}

// Every fetch acquires a context of its own and gets fresh bytes; a failing
// fetch would give 0 and leave the draws unmixed.
TEST(WindowsPlatform, CryptoApiGivesFreshWords) {
    std::set<uint32_t> seen;
    for (int i = 0; i < 16; ++i) {
        const uint32_t word = platform_fetch_entropy_word();
        EXPECT_NE(word, 0u) << "fetch " << i;
        seen.insert(word);
    }
    EXPECT_GT(seen.size(), 8u);
}

unsigned short x87_control_word() {
    unsigned short word = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(word));
    return word;
}

// Both units start from 53-bit precision and rounding toward zero: start-up
// must give the x87 unit 64-bit precision and both units rounding to nearest.
TEST(WindowsPlatform, StartUpSelectsExtendedPrecisionAndRoundingToNearest) {
    _controlfp(_RC_CHOP, _MCW_RC);
    const unsigned short chop_53 =
        static_cast<unsigned short>((x87_control_word() & 0xF0FF) | 0x0E00);
    __asm__ __volatile__("fldcw %0" : : "m"(chop_53));
    runtime_init();
    EXPECT_EQ(_controlfp(0, 0) & _MCW_RC, static_cast<unsigned int>(_RC_NEAR));
    EXPECT_EQ(x87_control_word() & 0x0F00, 0x0300);

    // 1 + 2^-60 survives in the 64-bit significand and would not in 53 bits.
    volatile long double tiny = 1.0L / (1ull << 60);
    volatile long double sum = 1.0L + tiny;
    EXPECT_NE(sum, 1.0L);
    runtime_exit();
}

}  // namespace
