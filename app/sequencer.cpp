// sequencer.cpp -- sync values and callback, the 32 ms tick timer, the wait scene and the main loop.
#include "app/sequencer.h"

#include <cstdio>

#include "app/clock.h"
#include "app/controls.h"
#include "app/demo.h"
#include "display/display_device.h"
#include "scenes/scene_table.h"

std::atomic<uint32_t> scene_number { 0 };
std::atomic<uint32_t> song_position { 0 };
std::atomic<uint32_t> song_row { 0 };
uint32_t elapsed_ticks = 0;
uint32_t last_tick = 0;
uint64_t ticks_since_reset = 0;
uint32_t tick_timer_reset_ms = 0;
bool sequencer_verbose = false;

namespace {
// The last stretch before a tick boundary is spun rather than slept: a sleep can overshoot by
// a fraction of a millisecond, and the tick should be caught to the millisecond.
constexpr uint32_t SPIN_MS = 2;
}

void sync_callback(uint32_t value, uint32_t position, uint32_t row)
{
    scene_number.store(value, std::memory_order_relaxed);
    song_position.store(position, std::memory_order_relaxed);
    song_row.store(row, std::memory_order_relaxed);
}

void reset_tick_timer()
{
    tick_timer_reset_ms = clock_now_ms();
    last_tick = tick_timer_reset_ms >> 5;
    ticks_since_reset = 0;
}

uint32_t wait_tick()
{
    controls_before_wait();
    return controls_after_wait(wait_for_next_tick());
}

uint32_t wait_for_next_tick()
{
    for (;;) {
        const uint32_t now = clock_now_ms();
        const uint32_t tick = now >> 5;
        if (tick != last_tick) {
            // Masked to the counter's width so a clock wrap cannot give a huge count.
            const uint32_t passed = (tick - last_tick) & TICK_MASK;
            last_tick = tick;
            ticks_since_reset += passed;
            return passed;
        }
        const uint32_t to_boundary = 32 - (now & 31);
        if (to_boundary > SPIN_MS)
            demo_clock.sleep_ms(demo_clock.context, to_boundary - SPIN_MS);
        else
            demo_clock.spin(demo_clock.context);
    }
}

bool scene_keeps_running(uint32_t own_a, uint32_t own_b)
{
    if (quit_flag() || controls_jump_pending())
        return false;
    const uint32_t n = current_scene_number();
    return n >= FIRST_CUE || n == own_a || n == own_b;
}

void consume_scene_event(uint32_t seen)
{
    // Only replace the value that was read: a sync command arriving in between survives.
    scene_number.compare_exchange_strong(seen, CUE_CONSUMED, std::memory_order_relaxed);
}

// Numbers 12 and 15, and every number without a slot (17-239, and cues that reach the main
// loop between two scenes): nothing is drawn, so the last frame stays on the screen, and the
// wait lasts until the scene number names a scene of the table other than 12 and 15.
void wait_scene()
{
    for (;;) {
        if (quit_flag() || controls_jump_pending())
            return;
        const uint32_t n = current_scene_number();
        if (n < SCENE_COUNT && n != 12 && n != 15)
            return;
        elapsed_ticks = wait_tick();
        poll_messages();
    }
}

SceneFunction scene_function_for(uint32_t number)
{
    if (number >= SCENE_COUNT || !scene_table || !scene_table[number])
        return wait_scene;
    return scene_table[number];
}

void run_main_loop()
{
    uint32_t previous = 0xFFFFFFFFu;
    uint32_t jumps = controls_jump_count();
    while (!quit_flag()) {
        controls_apply_jump(); // a jump asked for during the last scene
        const uint32_t n = current_scene_number();
        const bool jumped = controls_jump_count() != jumps;
        jumps = controls_jump_count();
        if (sequencer_verbose && (n != previous || jumped)) {
            std::printf("%10.3f s  scene %3u  position %3u  row %3u", clock_now_ms() / 1000.0, n,
                song_position.load(std::memory_order_relaxed), song_row.load(std::memory_order_relaxed));
            int to_position = 0, to_row = 0;
            controls_pending_jump(&to_position, &to_row); // the last jump's place
            if (jumped)
                std::printf("  (jump to %d:%d)", to_position, to_row);
            std::printf("\n");
            std::fflush(stdout);
        }
        previous = n;
        scene_function_for(n)();
        // A scene that gives up at once while its number stands (its file is missing) is not
        // called again before the next tick, so the loop does not spin a core.
        if (!quit_flag() && !controls_jump_pending() && n < SCENE_COUNT && current_scene_number() == n)
            elapsed_ticks = wait_tick();
        poll_messages();
    }
    if (sequencer_verbose) {
        // Scene time: the ticks the waits counted, and those passed since the last wait.
        const uint32_t now = clock_now_ms();
        const uint64_t ticks = ticks_since_reset + (((now >> 5) - last_tick) & TICK_MASK);
        std::printf("%10.3f s  end: %llu ticks of scene time = %.3f s, run %.3f s, %llu frames shown, vsync %s\n",
            now / 1000.0, static_cast<unsigned long long>(ticks), double(ticks) * 0.032,
            double(now - tick_timer_reset_ms) / 1000.0, static_cast<unsigned long long>(display_frames_shown()),
            display_vsync_state());
        std::fflush(stdout);
    }
}
