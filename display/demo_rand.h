// demo_rand.h -- the demo's pseudo-random generator: 0..32767, one shared stream.
#pragma once

#include <cstdint>

// The scenes' random choices depend on the exact sequence of values, so the generator
// is our own: the classic linear congruential runtime generator whose results run
// 0..32767 (the C library's rand() has a different range and sequence on Linux).
constexpr int DEMO_RAND_MAX = 32767;

void demo_srand(uint32_t seed);
// The generator's whole state: demo_srand(demo_rand_state()) later repeats the same values.
uint32_t demo_rand_state();
int demo_rand();
