#pragma once
// Test seam of the front end (front/front.h): character mode's formula alone.

#include <cstdint>

// The character code for a draw u from the range starting at low that spans
// span codes: round-half-to-even(u × span + low) as a signed 32-bit value.
int32_t character_code(double u, uint32_t low, uint32_t span);
