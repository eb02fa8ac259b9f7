#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

#include "front/front.h"
#include "front/front_seams.h"
#include "runtime/buffer_seams.h"
#include "runtime/print.h"
#include "runtime/random.h"
#include "runtime/random_seams.h"
#include "support/expected_output.h"
#include "support/recording_device.h"

namespace {

using expected::newline;

uint32_t entropy_12345678() {
    return 0x12345678u;
}
uint32_t entropy_fails() {
    return 0;
}

class ModesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        random_reset();
        random_use_sources(nullptr, entropy_fails);
    }
    void TearDown() override {
        print_reset(nullptr);
        random_use_sources(nullptr, nullptr);
        buffer_observe_release(nullptr);
    }
};

// ---- character formula -------------------------------------------------

constexpr double kOneStep = 1.0 / 4294967296.0;

TEST(CharacterCode, TiesGoToEven) {
    EXPECT_EQ(character_code(0.5, 66, 91 - 66), 78);  // 78.5
    EXPECT_EQ(character_code(0.5, 65, 90 - 65), 78);  // 77.5
    EXPECT_EQ(character_code(0.5, 1, 1), 2);          // 1.5
    EXPECT_EQ(character_code(0.25, 2, 2), 2);         // 2.5
}

TEST(CharacterCode, EndsOfTheDraw) {
    for (uint32_t low : {1u, 65u, 250u, 1000000u}) {
        for (uint32_t span : {0u, 1u, 25u, 255u, 65535u, 16777215u}) {
            EXPECT_EQ(character_code(0.0, low, span), static_cast<int32_t>(low));
            EXPECT_EQ(character_code(1.0 - kOneStep, low, span), static_cast<int32_t>(low + span))
                << low << ' ' << span;
        }
    }
}

// The rare paths' codes below were worked out independently with exact
// rational arithmetic (the sum rounded to 64 significant bits, then to 53,
// then half to even to an integer) and agree with the x87 unit of an i386
// build.
struct rare_row {
    uint32_t y, low, span;  // the draw u = y × 2^-32
    int32_t want;
};

TEST(CharacterCode, SumsCanLandOnATieAfterTheStoreToADouble) {
    const rare_row rows[] = {
        // The narrowest sums that the store rounds, just past 2^53: to a tie
        // from above (to even, down), to a tie from below (to even, up), and
        // an exact tie on the same path.
        {0x80000001u, 2097152, 1, 2097152},  // 2097152.5000000002
        {0x7FFFFFFFu, 2097153, 1, 2097154},  // 2097153.4999999998
        {0x80000000u, 2097152, 1, 2097152},  // 2097152.5
        // 2147483646.5000000005 is stored as 2147483646.5, which rounds to even.
        {0xFFFFFFFFu, 1, 2147483646u, 2147483646},
        // Halfway between two doubles, the store goes to the even one, x.5.
        {0xDD174600u, 1, 2147483637u, 1854644984},  // 1854644983.5 - 2^-23: up
        {0xE6666600u, 1, 2147483643u, 1932735228},  // 1932735228.5 + 2^-23: down
        // 2147483647.4999999998 is stored as 2147483647.5: to 2^31, out of range.
        {0x7FFFFFFFu, 2147483647u, 1, INT32_MIN},
    };
    for (const rare_row& row : rows) {
        EXPECT_EQ(character_code(row.y * kOneStep, row.low, row.span), row.want) << row.y;
    }
}

TEST(CharacterCode, OutOfSignedRangeGivesTheX86IndefiniteValue) {
    // high above 2^31 - 1, or low above high: a share of draws leaves the range.
    EXPECT_EQ(character_code(1.0 - kOneStep, 1, 4294967294u), INT32_MIN);
    EXPECT_EQ(character_code(0.0, 4294967295u, 0), INT32_MIN);
    EXPECT_EQ(character_code(0.0, 2147483647u, 1), 2147483647);
    // 2147483647.5 rounds to even, out of range.
    EXPECT_EQ(character_code(0.5, 2147483647u, 1), INT32_MIN);
    // low 100 above high 50: span wraps to 2^32 - 50.
    EXPECT_EQ(character_code(0.0, 100, 50u - 100u), 100);
    EXPECT_EQ(character_code(0.5, 100, 50u - 100u), INT32_MIN);
}

TEST(CharacterCode, SumsBeyond64BitsRoundLikeTheExtendedFormat) {
    // y × span + low × 2^32 needs 65 bits; what lies above 2^64 must not be
    // lost, even where what lies below is small.
    const rare_row rows[] = {
        {0xFFFFFFFFu, 4294967295u, 4294967295u, INT32_MIN},
        {0x00010000u, 4294967295u, 0x10000u, INT32_MIN},  // 2^64 exactly
        {2, 4294967295u, 4294967295u, INT32_MIN},         // 2^64 + 2^32 - 2
        {0xFFFFFFFFu, 2147483648u, 4294967295u, INT32_MIN},
    };
    for (const rare_row& row : rows) {
        EXPECT_EQ(character_code(row.y * kOneStep, row.low, row.span), row.want) << row.y;
    }
}

#if LDBL_MANT_DIG == 64 && (defined(__x86_64__) || defined(__i386__))
// On x86 the extended format is at hand: the integer formulation must agree
// with it for draws over every kind of range.
TEST(CharacterCode, AgreesWithExtendedPrecisionArithmetic) {
    uint32_t x = 2463534242u;  // xorshift32
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    for (int i = 0; i < 200000; ++i) {
        const uint32_t y = next();
        const uint32_t low = (i % 3 == 0) ? next() : (next() & 0xFFFF) + 1;
        const uint32_t span = (i % 5 == 0) ? next() : (next() & 0x3FF);
        const double u = y * kOneStep;
        const long double exact = static_cast<long double>(u) * span + low;
        const volatile double v = static_cast<double>(exact);
        const double r = __builtin_rint(v);
        const int32_t want =
            (r >= 2147483648.0 || r < -2147483648.0) ? INT32_MIN : static_cast<int32_t>(r);
        ASSERT_EQ(character_code(u, low, span), want) << y << ' ' << low << ' ' << span;
    }
}
#endif

// ---- character mode ----------------------------------------------------

TEST_F(ModesTest, CharacterModeFromAKnownSeedAndWord) {
    random_use_sources(nullptr, entropy_12345678);
    seed_random(0.0, 5);
    recording_console& con = use_recording_console();
    character_mode("3", "", "");
    // Draws 0.2706, 0.9658, 0.7464 over 65..90: 71.77, 89.15, 83.66.
    EXPECT_EQ(con.writes, (std::vector<std::string>{"HYT", newline}));
}

TEST_F(ModesTest, CharacterModeShapes) {
    struct case_row {
        std::string count, low, high;
        size_t length;
        int first, last;  // inclusive byte range
    };
    const case_row rows[] = {
        {"", "", "", 255, 'A', 'Z'},
        {"1", "", "", 1, 'A', 'Z'},
        {"10", "48", "", 10, 'A', 'Z'},  // a lone low is ignored
        {"10", "48", "57", 10, '0', '9'},
        {"5", "66", "66", 5, 'B', 'B'},
        {"&H100", "&H61", "&O172", 256, 'a', 'z'},
    };
    seed_random(99.0, 5);
    for (const case_row& row : rows) {
        recording_console& con = use_recording_console();
        character_mode(row.count, row.low, row.high);
        ASSERT_EQ(con.writes.size(), 2u);
        ASSERT_EQ(con.writes[0].size(), row.length);
        for (unsigned char c : con.writes[0]) {
            EXPECT_GE(c, row.first);
            EXPECT_LE(c, row.last);
        }
        EXPECT_EQ(con.writes[1], newline);
    }
}

// The line holds, byte for byte, the code of each draw as character_code
// gives it, whichever way the mode computes it: ranges whose sums stay
// below 2^53 (up to high = 2^21) and ranges past that, wrapped or above the
// signed 32-bit range. Each line is also pinned, worked out independently
// from the definitions of the generator and the formula.
TEST_F(ModesTest, LineIsTheCodeOfEachDraw) {
    struct case_row {
        uint32_t low, high;
        uint64_t line_fingerprint;
    };
    const case_row rows[] = {
        {65, 90, 0xCDF0CE6F79D781FAu},
        {1, 255, 0x93578FAEABCC0751u},
        {1, 1u << 21, 0x265C064F390FDDCFu},
        {2, (1u << 21) + 1, 0x504E632FE459FF7Bu},
        {100, 50, 0xC98C9D4744152B72u},
        {2147483642, 2147483652u, 0x1899D51419F64737u},
        {4294967295u, 4294967295u, 0x0E9154A5DA464B85u},  // 3000 zero bytes
        {1u << 21, 1u << 21, 0x0E9154A5DA464B85u},
    };
    for (const case_row& row : rows) {
        seed_random(77.0, 5);
        std::string want;
        for (int i = 0; i < 3000; ++i) {
            const int32_t code = character_code(next_random(1), row.low, row.high - row.low);
            want += static_cast<char>(static_cast<uint32_t>(code) & 0xFFu);
        }
        seed_random(77.0, 5);
        recording_console& con = use_recording_console();
        character_mode("3000", std::to_string(row.low), std::to_string(row.high));
        ASSERT_EQ(con.writes.size(), 2u);
        EXPECT_TRUE(con.writes[0] == want) << row.low << ' ' << row.high;
        EXPECT_EQ(expected::fingerprint(con.writes[0]), row.line_fingerprint) << row.low;
    }
}

TEST_F(ModesTest, CodesAbove255WrapAndEndsComeHalfAsOften) {
    seed_random(1234.0, 5);
    recording_console& con = use_recording_console();
    character_mode("200000", "250", "260");
    std::vector<int> seen(256);
    for (unsigned char c : con.writes[0]) ++seen[c];
    for (int code = 0; code < 256; ++code) {
        const bool in_range = code >= 250 || code <= 4;
        EXPECT_EQ(seen[static_cast<size_t>(code)] > 0, in_range) << code;
    }
    // 10 steps: the inner codes 1/10 each, 250 and 260 (byte 4) 1/20 each.
    EXPECT_NEAR(seen[250], 10000, 600);
    EXPECT_NEAR(seen[4], 10000, 600);
    EXPECT_NEAR(seen[0], 20000, 900);
}

TEST_F(ModesTest, LowAboveHighGivesZeroBytesForOutOfRangeDraws) {
    seed_random(5.0, 5);
    recording_console& con = use_recording_console();
    character_mode("10000", "100", "50");
    size_t zeros = 0;
    for (unsigned char c : con.writes[0]) zeros += c == 0;
    EXPECT_NEAR(static_cast<double>(zeros), 5000.0, 400.0);
}

std::vector<std::string> released;
void remember_release(const char* buffer, size_t count) {
    released.emplace_back(buffer, count);
}

TEST_F(ModesTest, BufferIsAllZeroWhenReleased) {
    released.clear();
    buffer_observe_release(remember_release);
    seed_random(8.0, 5);
    use_recording_console();
    character_mode("4096", "1", "255");
    ASSERT_EQ(released.size(), 1u);
    EXPECT_EQ(released[0], std::string(4096, '\0'));
}

// ---- string mode -------------------------------------------------------

using expected::repeat;

TEST_F(ModesTest, StringModeBytes) {
    struct case_row {
        std::string count, text, want;
        size_t writes;
    };
    const case_row rows[] = {
        {"", "", repeat("lorem ipsum ", 255), 255},
        {"2", "ab", "abab", 2},
        {"3", "", repeat("lorem ipsum ", 3), 3},
        {"1", "a b", "a b", 1},
        {"&B11", std::string("\0x\n", 3), repeat(std::string("\0x\n", 3), 3), 3},
    };
    for (const case_row& row : rows) {
        recording_console& con = use_recording_console();
        string_mode(row.count, row.text);
        EXPECT_EQ(con.bytes, row.want);
        EXPECT_EQ(con.writes.size(), row.writes);
    }
    EXPECT_EQ(repeat("lorem ipsum ", 255).size(), 3060u);
}

TEST_F(ModesTest, StringModeLargestCountDoesNotWrap) {
    recording_console& con = use_recording_console();
    con.keep_writes = false;
    string_mode("4294967295", "x");
    EXPECT_EQ(con.write_count, 4294967295u);
}

// ---- character table ---------------------------------------------------

TEST_F(ModesTest, TableEntries) {
    // The code, one space, a second space below 100, the byte.
    const recording_console& con = use_recording_console();
    character_table();
    for (const char* entry : {"32   ", "65  A", "99  c", "100 d"}) {
        EXPECT_NE(con.bytes.find(entry), std::string::npos) << entry;
    }
}

TEST_F(ModesTest, TableOnWidth80HasFiveEntriesToARow) {
    recording_console& con = use_recording_console(80);
    character_table();
    EXPECT_EQ(con.bytes, expected::pinned("e2e/table-80.txt", newline));
    const std::string last = "255 \xff" + std::string(9, ' ') + newline;
    EXPECT_EQ(con.bytes.substr(con.bytes.size() - last.size()), last);
    size_t lines = 0;
    for (char c : con.bytes) lines += c == '\n';
    EXPECT_EQ(lines, 1u + 44u + 1u);
}

TEST_F(ModesTest, TableOnWidth120EndsWithAnEmptyRow) {
    recording_console& con = use_recording_console(120);
    character_table();
    EXPECT_EQ(con.bytes, expected::pinned("e2e/table-120.txt", newline));
    EXPECT_EQ(con.bytes.substr(con.bytes.size() - 2 * newline.size()), newline + newline);
}

}  // namespace
