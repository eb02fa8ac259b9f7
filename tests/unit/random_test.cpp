#include "runtime/random.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "runtime/random_seams.h"

namespace {

// Scripted entropy: hands out words in turn (0 once they run out) and counts
// on which draw each fetch happened.
struct scripted_entropy {
    std::vector<uint32_t> words;
    size_t next = 0;
    std::vector<int> fetched_on_draw;
    int draw = 0;
};
scripted_entropy script;

uint32_t scripted_word() {
    script.fetched_on_draw.push_back(script.draw);
    return script.next < script.words.size() ? script.words[script.next++] : 0;
}

class RandomTest : public ::testing::Test {
  protected:
    void SetUp() override {
        random_reset();
        script = scripted_entropy{};
        random_use_sources(nullptr, scripted_word);
    }
    void TearDown() override { random_use_sources(nullptr, nullptr); }

    static double draw() {
        ++script.draw;
        return next_random(1);
    }

    // The first n outputs of the unmixed twister for seed.
    static std::vector<double> plain_outputs(double seed, int n) {
        random_reset();
        seed_random(seed, 1);
        std::vector<double> out;
        for (int i = 0; i < n; ++i) out.push_back(next_random(1));
        random_reset();
        return out;
    }
};

TEST_F(RandomTest, SeedZeroGivesTheFirstTwisterOutputs) {
    const std::vector<double> out = plain_outputs(0.0, 3);
    EXPECT_EQ(out[0], 0x5481674Du / 4294967296.0);
    EXPECT_EQ(out[1], 0x543BDDA3u / 4294967296.0);
    EXPECT_EQ(out[2], 0x8850CA87u / 4294967296.0);
    EXPECT_DOUBLE_EQ(out[0], 0.3300995409954339);
}

// Draws spread over many twists, as the words y of y × 2^-32: the plain
// twister (mode 1), and the mixed draw whose k-th fetch (from 0) gives the
// word (k + 1) × 0x9E3779B9. The values were worked out independently from
// the algorithm's definition in exact integer arithmetic; the plain ones
// agree with a published MT19937 given the same 624 seeded words. Draws in
// blocks are held to these through BlocksOfDrawsAreTheSameDrawsOneByOne.
TEST_F(RandomTest, PinnedOutputsAcrossManyTwists) {
    const size_t draws[] = {1, 2, 227, 228, 257, 397, 623, 624, 625, 1000, 10000, 100000};
    const double seeds[] = {0.0, 2043514880.0, 4294967295.0};
    // For each seed in turn, the plain twister, then the mixed draw.
    const uint32_t want[6][12] = {
        {0x5481674D, 0x543BDDA3, 0x156BC2CA, 0x7CF3C88D, 0xE1C0DB38, 0x6D65CD1B, 0x545ADD0E,
         0x2CBB8853, 0x7557773A, 0x361EA547, 0x3D644D86, 0x68586396},
        {0x473CEFB6, 0xA89267EF, 0xA68755AC, 0xDE802A4F, 0x538BF16E, 0x07F1682E, 0xE35E9294,
         0xB93E094F, 0x6B2A6742, 0x71CCF8DE, 0x870D0C0C, 0x6D993FAD},
        {0x449CF7E7, 0xEE5A4C98, 0xC65AF1C1, 0x33129031, 0x8112768E, 0x90E90EA0, 0x1B302427,
         0xCB308E7F, 0x829CB411, 0x5D4E61FB, 0xA3ADBED8, 0xC1727159},
        {0x798CBBCD, 0x29AF9B6D, 0x86EE4107, 0x0FC821A1, 0xCDF9AE00, 0xA8E45129, 0x655BE2E6,
         0xE83572FD, 0xA4F7BE5F, 0x9B89766F, 0x36670F20, 0xB346469F},
        {0x5CCA2556, 0x9FAC4118, 0xE2F1D271, 0xD56BD79F, 0xE541021D, 0x0C871A9C, 0xEF2546BB,
         0xCEF4FF7B, 0x0439A524, 0x65B51FE1, 0xAF1A1403, 0x6F3F6D1D},
        {0x7DB1ACE0, 0x58E83332, 0x2B583BE2, 0x396236BB, 0x3FB404CE, 0x76F8F3DB, 0x41131EC4,
         0x97955BFC, 0x08023774, 0x9B38E899, 0xB47C6F7B, 0xE664D0F6},
    };
    for (size_t row = 0; row < 6; ++row) {
        random_reset();
        script = scripted_entropy{};
        for (uint32_t k = 0; k < 400; ++k) script.words.push_back((k + 1) * 0x9E3779B9u);
        seed_random(seeds[row / 2], row % 2 ? 5 : 1);
        for (size_t i = 0, drawn = 0; i < 12; ++i) {
            double r = 0;
            for (; drawn < draws[i]; ++drawn) r = draw();
            EXPECT_EQ(r, want[row][i] / 4294967296.0) << "row " << row << " draw " << draws[i];
        }
    }
}

TEST_F(RandomTest, MixingWithAFetchedWord) {
    script.words = {0x12345678u};
    seed_random(0.0, 5);
    EXPECT_EQ(draw(), 0.27061018580570817);
    EXPECT_EQ(random_entropy_word(), 0x4546B58Au);
    EXPECT_EQ(draw(), 0.9658483813982457);
    EXPECT_EQ(random_entropy_word(), 0xF741D6EBu);
    EXPECT_EQ(draw(), 0.7464493943843991);
    EXPECT_EQ(random_entropy_word(), 0xBF174EB9u);
}

TEST_F(RandomTest, SeedIsTruncatedToTheLow32BitsOfA64BitInteger) {
    struct case_row {
        double seed;
        double same_as;
    };
    const case_row rows[] = {
        {12345.9, 12345.0},
        {4294967296.0, 0.0},
        {4294967297.7, 1.0},
        {9000000000000.0, 2043514880.0},
        {-1.5, 4294967295.0},
        {1e300, 0.0},  // beyond 64 bits: the x86 conversion's 0x8000000000000000
    };
    for (const case_row& row : rows) {
        EXPECT_EQ(plain_outputs(row.seed, 5), plain_outputs(row.same_as, 5)) << row.seed;
    }
    EXPECT_NE(plain_outputs(1.0, 5), plain_outputs(0.0, 5));
}

TEST_F(RandomTest, FailingSourceLeavesThePlainTwister) {
    const std::vector<double> plain = plain_outputs(777.0, 700);
    seed_random(777.0, 5);
    for (int i = 0; i < 700; ++i) ASSERT_EQ(draw(), plain[static_cast<size_t>(i)]) << i;
}

TEST_F(RandomTest, WordOfOneGivesZeroThenPlainValuesForTheRestOfTheBlock) {
    const std::vector<double> plain = plain_outputs(5.0, 300);
    script.words = {1u, 0x9E3779B9u};
    seed_random(5.0, 5);
    EXPECT_EQ(draw(), 0.0);
    EXPECT_EQ(random_entropy_word(), 0u);
    for (int i = 1; i < 256; ++i) ASSERT_EQ(draw(), plain[static_cast<size_t>(i)]) << i;
    EXPECT_NE(draw(), plain[256]);  // draw 257 fetches the second word and mixes again
}

TEST_F(RandomTest, SourceIsReadOnDraws1And257And513Only) {
    script.words = std::vector<uint32_t>(10, 0xDEADBEEFu);
    seed_random(42.0, 5);
    for (int i = 0; i < 600; ++i) {
        const double r = draw();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
    }
    EXPECT_EQ(script.fetched_on_draw, (std::vector<int>{1, 257, 513}));
}

TEST_F(RandomTest, SeedingKeepsCounterAndWord) {
    script.words = {0x12345678u, 0x0BADF00Du};
    seed_random(0.0, 5);
    draw();
    draw();
    seed_random(0.0, 5);  // a second seeding must not restart the block
    draw();
    EXPECT_EQ(script.fetched_on_draw, (std::vector<int>{1}));
}

TEST_F(RandomTest, ArgumentZeroRepeatsTheLastValueAndStillMixes) {
    // Words worked out independently from the algorithm's definition.
    seed_random(3.0, 1);
    EXPECT_EQ(next_random(1), 0x7348B1CDu / 4294967296.0);
    EXPECT_EQ(next_random(0), 0x7348B1CDu / 4294967296.0);
    EXPECT_EQ(next_random(-2.5f), 0x5697D28Bu / 4294967296.0);

    // The repeat is mixed with the word the first draw left behind.
    script.words = {0x12345678u};
    seed_random(0.0, 5);
    EXPECT_EQ(next_random(1), 0x4546B58Au / 4294967296.0);
    EXPECT_EQ(next_random(0), 0x8DDD05F5u / 4294967296.0);
    EXPECT_EQ(random_entropy_word(), 0x8DDD05F5u);
}

// Draws taken a block at a time must be the draws taken one by one: the same
// values, the same fetches, and the state left so that later draws (also one
// by one, also with argument 0) go on as they would have.
TEST_F(RandomTest, BlocksOfDrawsAreTheSameDrawsOneByOne) {
    struct case_row {
        const char* what;
        int32_t mode;
        std::vector<uint32_t> words;
        std::vector<size_t> blocks;
    };
    const std::vector<uint32_t> many(12, 0xDEADBEEFu);
    const case_row rows[] = {
        {"mixed",
         5,
         {0x12345678u, 0x9E3779B9u, 0x7F4A7C15u, 0x0BADF00Du, 5u},
         {1, 255, 1, 300, 624, 2}},
        {"source fails", 5, {}, {700, 1}},
        {"word of one", 5, {1u, 0x9E3779B9u, 1u}, {256, 256, 3}},
        {"twist boundaries", 5, many, {623, 1, 1, 624, 625, 0, 1248}},
        {"plain twister", 1, {}, {10, 614, 1000}},
    };
    for (const case_row& row : rows) {
        size_t total = 0;
        for (size_t n : row.blocks) total += n;

        random_reset();
        script = scripted_entropy{};
        script.words = row.words;
        seed_random(99.0, row.mode);
        std::vector<uint32_t> single;
        for (size_t i = 0; i < total; ++i)
            single.push_back(static_cast<uint32_t>(next_random(1) * 4294967296.0));
        const uint32_t word_single = random_entropy_word();
        const size_t fetches_single = script.fetched_on_draw.size();
        const std::vector<double> after_single = {next_random(0), next_random(1), next_random(1)};

        random_reset();
        script = scripted_entropy{};
        script.words = row.words;
        seed_random(99.0, row.mode);
        std::vector<uint32_t> blocked;
        for (size_t n : row.blocks) {
            std::vector<uint32_t> block(n + 1, 0xFFFFFFFFu);
            next_random_words(block.data(), n);
            EXPECT_EQ(block[n], 0xFFFFFFFFu) << row.what << ": wrote past the block";
            blocked.insert(blocked.end(), block.begin(), block.begin() + static_cast<long>(n));
        }
        EXPECT_EQ(blocked, single) << row.what;
        EXPECT_EQ(random_entropy_word(), word_single) << row.what;
        EXPECT_EQ(script.fetched_on_draw.size(), fetches_single) << row.what;
        const std::vector<double> after_blocked = {next_random(0), next_random(1), next_random(1)};
        EXPECT_EQ(after_blocked, after_single) << row.what;
    }
}

TEST_F(RandomTest, BlockBeforeAnySeedingStartsFromSeedZero) {
    const std::vector<double> plain = plain_outputs(0.0, 3);  // the source fails: plain values
    uint32_t words[3];
    next_random_words(words, 3);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(words[i] / 4294967296.0, plain[i]);
}

}  // namespace
