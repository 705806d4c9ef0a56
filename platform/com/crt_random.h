#pragma once
// The program's one source of pseudo-random numbers: the 15-bit linear congruential generator of
// the C runtime the program first ran on, so sequences stay reproducible for a given seed.
#include <cstdint>

namespace kavro {

constexpr int kCrtRandMax = 0x7FFF;

// The next number in 0..kCrtRandMax. Safe from any thread; the sequence is shared by all.
int crtRand();
// Restarts the sequence; before any call the seed is 1.
void crtSeed(uint32_t seed);

} // namespace kavro
