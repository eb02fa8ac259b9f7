#pragma once
// Test seams of the random source (runtime/random.h).

#include <cstdint>

// The next value in [0, 1), a multiple of 2^-32. A non-zero argument advances
// the generator; 0 repeats the previous value (which mode 5 still mixes).
double next_random(float a);

// Replace the clock and the entropy source (nullptr restores the platform's).
void random_use_sources(double (*clock)(), uint32_t (*entropy)());

// The current mixing word and the twister's 624 words; tests read them to
// follow the mixing and to know what a run leaves behind.
uint32_t random_entropy_word();
const uint32_t* random_twister_words();
