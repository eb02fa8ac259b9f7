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

// The x87 unit's part is tested with the runtime's start-up on every build;
// here the rounding that _controlfp sets (on x86-64, SSE's).
TEST(WindowsPlatform, StartUpSelectsRoundingToNearest) {
    _controlfp(_RC_CHOP, _MCW_RC);
    runtime_init();
    EXPECT_EQ(_controlfp(0, 0) & _MCW_RC, static_cast<unsigned int>(_RC_NEAR));
    runtime_exit();
}

}  // namespace
