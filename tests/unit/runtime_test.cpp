// The runtime's start-up, and the end of a run whose output could not be
// written.
#include "runtime/runtime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "front/front.h"
#include "support/recording_device.h"
#include "runtime/buffer.h"
#include "runtime/buffer_seams.h"
#include "runtime/print.h"
#include "runtime/random.h"
#include "runtime/random_seams.h"

namespace {

// A device whose every write fails the way a full disk does.
void failing_write(const char*, size_t, uint32_t) {
    runtime_write_failed("No space left on device");
}
void any_size(uint32_t* width, uint32_t* height) {
    *width = 80;
    *height = 24;
}
int32_t first_column() {
    return 1;
}
const console_device failing_device = {failing_write, any_size, first_column};

void report_wiped(const char* buffer, size_t count) {
    size_t zero = 0;
    for (size_t i = 0; i < count; ++i) zero += buffer[i] == 0;
    const uint32_t* twister = random_twister_words();
    const auto left = std::count_if(twister, twister + 624, [](uint32_t w) { return w != 0; });
    std::fprintf(stderr, "%zu of %zu bytes wiped, %d twister words left\n", zero, count,
                 static_cast<int>(left));
}

uint32_t no_entropy() {
    return 0;
}

// Whatever the line of character mode is taken for, a failed write of it must
// still leave the buffer and the generator's state zeroed, and the process
// ends with status 1 after one message, without trying any further write.
TEST(RuntimeDeathTest, FailedWriteOfTheLineWipesItAndEndsWithStatus1) {
    EXPECT_EXIT(
        {
            random_use_sources(nullptr, no_entropy);
            seed_random(3.0, 5);
            print_reset(&failing_device);
            buffer_observe_release(report_wiped);
            character_mode("1000", "1", "255");
            std::fprintf(stderr, "returned\n");
        },
        testing::ExitedWithCode(1),
        "^zix: write error: No space left on device\n1000 of 1000 bytes wiped, 0 twister words "
        "left\n$");
}

TEST(RuntimeDeathTest, FailedWriteWithNoLiveBufferEndsWithStatus1) {
    EXPECT_EXIT(
        {
            print_reset(&failing_device);
            buffer_observe_release(report_wiped);
            string_mode("5", "ab");
            std::fprintf(stderr, "returned\n");
        },
        testing::ExitedWithCode(1), "^zix: write error: No space left on device\n$");
}

#if defined(__i386__) || defined(__x86_64__)
unsigned short x87_control_word() {
    unsigned short word = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(word));
    return word;
}

// Whatever mode it finds (here 53-bit precision, rounding toward zero),
// start-up leaves the x87 unit with 64-bit precision and rounding to nearest.
TEST(RuntimeStartUp, SetsTheX87UnitToExtendedPrecisionAndNearest) {
    const auto chop_53 = static_cast<unsigned short>((x87_control_word() & 0xF0FF) | 0x0E00);
    __asm__ __volatile__("fldcw %0" : : "m"(chop_53));
    runtime_init();
    EXPECT_EQ(x87_control_word() & 0x0F00, 0x0300);
    // 1 + 2^-60 survives in the 64-bit significand and would not in 53 bits.
    volatile long double tiny = 1.0L / (1ull << 60);
    volatile long double sum = 1.0L + tiny;
    EXPECT_NE(sum, 1.0L);
    runtime_exit();
}
#endif

}  // namespace
