// clock.h -- the millisecond clock behind the tick timer: real, fake (tests) or virtual (capture).
#pragma once

#include <cstdint>

// A monotonic millisecond clock. now_ms wraps at 2^32 like the system tick count it replaces.
// sleep_ms lets the waiting thread give up the core; spin is called in the last stretch of a
// wait (a pause hint for the real clock; a clock that does not run by itself advances here).
struct DemoClock {
    uint32_t (*now_ms)(void* context);
    void (*sleep_ms)(void* context, uint32_t ms);
    void (*spin)(void* context);
    void* context;
};

// The clock in use; the real one unless a test or capture run installs another.
extern DemoClock demo_clock;

DemoClock real_clock();
void set_demo_clock(const DemoClock& clock);
uint32_t clock_now_ms();

// A clock that only moves when told: sleep advances it by the time slept, spin by step_ms.
struct FakeClock {
    uint32_t now;
    uint32_t spin_step_ms;
    uint32_t sleeps; // number of sleep calls
    uint32_t spins; // number of spin calls
    uint32_t slept_ms; // total time slept
};
DemoClock fake_clock(FakeClock* fake);
