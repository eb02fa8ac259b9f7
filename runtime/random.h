#pragma once
// The random source: a Mersenne Twister (published twist and tempering, with
// a seeding recurrence of its own) whose outputs are mixed with words from the
// system's cryptographic source, one fresh word every 256 draws.

#include <cstddef>
#include <cstdint>

// Seconds from the clock in force (the platform's, or a test's stub).
double clock_seconds();

// Four bytes from the entropy source in force, or 0 on failure.
uint32_t fetch_entropy_word();

// Seeds the generator and selects the draw routine. Mode 5 is the mixed draw
// the program uses; any other mode selects the unmixed twister.
void seed_random(double seed, int32_t mode);

// count draws, exactly as count calls of next_random(1) (random_seams.h) would
// make them, each given as the 32-bit word y of its value y × 2^-32. For a
// long run of draws: the generator's position, counter and mixing word stay
// in registers for the whole run instead of passing through memory from one
// draw to the next.
void next_random_words(uint32_t* words, size_t count);

// Overwrites the whole state with zero bytes, in a way the optimiser cannot
// drop, for the end of the run: from the twister's words and the mixing word
// the characters just printed could be worked out again.
void random_wipe();

// Puts the whole state back to its process-start zeros, for the runtime's
// start-up (and for tests).
void random_reset();
