// The process-wide pseudo-random generator and the small arithmetic helpers
// that the scene and the formation share. Fixed seeds reproduce whole runs, so
// every caller documents the order of its draws.
#pragma once
#include <cstdint>

// Restarts the generator: the next draw continues from this seed.
void seedRandom(uint32_t seed);

// The generator's current 32-bit state (for tests and checksums).
uint32_t randomState();

// Next value r of the generator, 0 ... 32767:
// seed = seed * 214013 + 2531011 (mod 2^32), r = bits 16 ... 30 of the seed.
int32_t nextRandom();

// An integer from 0 to n inclusive: trunc(r * n * (1 / 32767.0)). n comes out
// only for r = 32767.
int32_t randomUpTo(int32_t n);

// 1^2 + 2^2 + ... + n^2; 0 for n below 1. Saturates at INT32_MAX.
int32_t sumOfSquares(int32_t n);
