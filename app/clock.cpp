// clock.cpp -- real monotonic clock and the fake clock used by tests.
#include "app/clock.h"

#include <chrono>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

uint32_t real_now(void*)
{
    using namespace std::chrono;
    static const steady_clock::time_point origin = steady_clock::now();
    return uint32_t(duration_cast<milliseconds>(steady_clock::now() - origin).count());
}

void real_sleep(void*, uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void real_spin(void*)
{
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

uint32_t fake_now(void* context)
{
    return static_cast<FakeClock*>(context)->now;
}

void fake_sleep(void* context, uint32_t ms)
{
    auto* fake = static_cast<FakeClock*>(context);
    fake->now += ms;
    fake->sleeps++;
    fake->slept_ms += ms;
}

void fake_spin(void* context)
{
    auto* fake = static_cast<FakeClock*>(context);
    fake->now += fake->spin_step_ms;
    fake->spins++;
}

} // namespace

DemoClock demo_clock = { real_now, real_sleep, real_spin, nullptr };

DemoClock real_clock()
{
    return DemoClock { real_now, real_sleep, real_spin, nullptr };
}

void set_demo_clock(const DemoClock& clock)
{
    demo_clock = clock;
}

uint32_t clock_now_ms()
{
    return demo_clock.now_ms(demo_clock.context);
}

DemoClock fake_clock(FakeClock* fake)
{
    return DemoClock { fake_now, fake_sleep, fake_spin, fake };
}
