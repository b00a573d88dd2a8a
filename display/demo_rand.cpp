// demo_rand.cpp -- the shared pseudo-random stream (main thread only).
#include "display/demo_rand.h"

namespace {
uint32_t rand_state = 1;
}

void demo_srand(uint32_t seed)
{
    rand_state = seed;
}

int demo_rand()
{
    rand_state = rand_state * 214013u + 2531011u;
    return int((rand_state >> 16) & 0x7FFFu);
}

uint32_t demo_rand_state()
{
    return rand_state;
}
