#include "runtime/random.h"

#include <cmath>

#include "runtime/platform.h"
#include "runtime/random_seams.h"
#include "runtime/wipe.h"

namespace {

constexpr int kStateWords = 624;              // N of MT19937
constexpr int kShift = 397;                   // M of MT19937
constexpr uint32_t kMatrixA = 0x9908B0DFu;    // MATRIX_A of MT19937
constexpr uint32_t kUpperMask = 0x80000000u;  // UPPER_MASK
constexpr uint32_t kLowerMask = 0x7FFFFFFFu;  // LOWER_MASK
// zix's own seeding: each state word from the one before by this linear
// congruential step, in place of MT19937's initialisation.
constexpr uint32_t kSeedMultiplier = 1664525u;
constexpr uint32_t kSeedIncrement = 1013904223u;
constexpr double kTwoToMinus32 = 1.0 / 4294967296.0;
constexpr int kMixedMode = 5;

enum class generator_kind { unseeded, plain, mixed };

struct random_state {
    generator_kind active;
    double last_random;
    uint32_t mt_state[kStateWords];
    int mt_position;
    uint32_t refresh_counter;
    uint32_t entropy_word;
};

random_state state;
double (*clock_source)() = nullptr;
uint32_t (*entropy_source)() = nullptr;

uint32_t temper(uint32_t y) {
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

// One word of the twist: word k from itself, word k + 1 and word k + 397
// (indices modulo 624, passed in already reduced).
inline uint32_t twisted(uint32_t k_word, uint32_t next_word, uint32_t far_word) {
    const uint32_t y = (k_word & kUpperMask) | (next_word & kLowerMask);
    return far_word ^ (y >> 1) ^ ((y & 1u) ? kMatrixA : 0u);
}

void twist() {
    uint32_t* m = state.mt_state;
    // In place and in increasing k, so the last steps read words already
    // renewed in this pass, as the published generator does. Split where
    // k + 397 and then k + 1 wrap past 624, so no index needs a division.
    int k = 0;
    for (; k < kStateWords - kShift; ++k) m[k] = twisted(m[k], m[k + 1], m[k + kShift]);
    for (; k < kStateWords - 1; ++k) m[k] = twisted(m[k], m[k + 1], m[k + kShift - kStateWords]);
    m[k] = twisted(m[k], m[0], m[kShift - 1]);
}

// Every value the generator hands out is y × 2^-32 for a 32-bit y, so the
// conversion back to y is exact.
uint32_t fraction_bits(double r) {
    return static_cast<uint32_t>(r * 4294967296.0);
}

// The fields that every draw changes, copied out of the state for a draw or a
// run of draws and written back after it, so that a run keeps them in
// registers instead of passing each through memory to the next draw.
struct draw_registers {
    int mt_position;
    uint32_t refresh_counter;
    uint32_t entropy_word;
};

draw_registers load_registers() {
    return draw_registers{state.mt_position, state.refresh_counter, state.entropy_word};
}

void store_registers(const draw_registers& r) {
    state.mt_position = r.mt_position;
    state.refresh_counter = r.refresh_counter;
    state.entropy_word = r.entropy_word;
}

// One twister step that advances, as the 32-bit word y of r = y × 2^-32.
inline uint32_t twister_word(draw_registers& r) {
    if (r.mt_position >= kStateWords) {
        twist();
        r.mt_position = 0;
    }
    return temper(state.mt_state[r.mt_position++]);
}

// The mixing of mode 5 applied to the twister word y.
inline uint32_t mix(draw_registers& r, uint32_t y) {
    if ((r.refresh_counter & 0xFFu) == 0) {
        r.refresh_counter = 1;
        r.entropy_word = fetch_entropy_word();
    } else {
        r.refresh_counter += 1;
    }
    if (r.entropy_word == 0) return y;
    // The integer part of r × entropy_word is the upper half of the exact
    // 64-bit product y × entropy_word.
    const uint32_t v = static_cast<uint32_t>((uint64_t{y} * r.entropy_word) >> 32);
    r.entropy_word = temper(v);
    return r.entropy_word;
}

}  // namespace

double clock_seconds() {
    return clock_source ? clock_source() : platform_clock_seconds();
}

uint32_t fetch_entropy_word() {
    return entropy_source ? entropy_source() : platform_fetch_entropy_word();
}

void seed_random(double seed, int32_t mode) {
    // Truncate toward zero to a signed 64-bit integer and keep its low 32
    // bits. A seed outside that range (or NaN) gives 0, as the x86 conversion
    // does, instead of an undefined conversion.
    uint32_t s = 0;
    if (std::fabs(seed) < 9223372036854775808.0) {
        s = static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(seed)));
    }
    uint32_t* m = state.mt_state;
    m[0] = s;
    for (int i = 1; i < kStateWords; ++i) m[i] = kSeedMultiplier * m[i - 1] + kSeedIncrement;
    state.mt_position = kStateWords;
    state.active = mode == kMixedMode ? generator_kind::mixed : generator_kind::plain;
}

double next_random(float a) {
    // A draw before any seeding behaves as if the clock had read 0.
    if (state.active == generator_kind::unseeded) seed_random(0.0, kMixedMode);
    draw_registers r = load_registers();
    // An argument of 0 takes the previous value in place of a twister step.
    uint32_t y = a == 0.0f ? fraction_bits(state.last_random) : twister_word(r);
    if (state.active == generator_kind::mixed) y = mix(r, y);
    store_registers(r);
    state.last_random = y * kTwoToMinus32;
    return state.last_random;
}

void next_random_words(uint32_t* words, size_t count) {
    if (count == 0) return;
    if (state.active == generator_kind::unseeded) seed_random(0.0, kMixedMode);
    const bool mixed = state.active == generator_kind::mixed;
    draw_registers r = load_registers();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t y = twister_word(r);
        words[i] = mixed ? mix(r, y) : y;
    }
    store_registers(r);
    state.last_random = words[count - 1] * kTwoToMinus32;
}

void random_wipe() {
    buffer_wipe(&state, sizeof state);
}

void random_use_sources(double (*clock)(), uint32_t (*entropy)()) {
    clock_source = clock;
    entropy_source = entropy;
}

void random_reset() {
    state = random_state{};
}

uint32_t random_entropy_word() {
    return state.entropy_word;
}

const uint32_t* random_twister_words() {
    return state.mt_state;
}
