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

TEST(WindowsPlatform, StartUpSelectsExtendedPrecisionAndRoundingToNearest) {
    const unsigned int mask = _MCW_PC | _MCW_RC;
    _controlfp(_PC_53 | _RC_CHOP, mask);
    runtime_init();
    EXPECT_EQ(_controlfp(0, 0) & mask, static_cast<unsigned int>(_PC_64 | _RC_NEAR));

    // 1 + 2^-60 survives in the 64-bit significand and would not in 53 bits.
    volatile long double tiny = 1.0L / (1ull << 60);
    volatile long double sum = 1.0L + tiny;
    EXPECT_NE(sum, 1.0L);
    runtime_exit();
}

}  // namespace
