// demo.h -- what a scene function needs from the shell: screen size, shared Surfaces, sync values, tick timer.
//
// A scene function takes no arguments. It loops while scene_keeps_running(own numbers) holds:
//     elapsed_ticks = wait_tick();
//     ... advance by elapsed_ticks, draw into frame_surface ...
//     present(frame_surface, nullptr);
//     show_frame();
//     poll_messages();
// and returns when the scene number names another scene or the quit flag is set.
#pragma once

#include <atomic>
#include <cstdint>

#include "display/present.h"
#include "display/surface.h"

// Screen size, set first thing at start-up: 320 x 240.
extern int screen_width;
extern int screen_height;

// The four shared 320 x 240 x 32 Surfaces, made at start-up in this order.
extern Surface* frame_surface;
extern Surface* work_surface_1;
extern Surface* work_surface_2;
extern Surface* work_surface_3;

// Sequencing state written by the music's sync callback on the audio thread. Load and store
// with std::memory_order_relaxed: each is a single 32-bit value and only the latest counts.
// 0-16 select a scene; 240 and above are cues that leave the current scene running.
extern std::atomic<uint32_t> scene_number;
extern std::atomic<uint32_t> song_position;
extern std::atomic<uint32_t> song_row;

constexpr uint32_t SCENE_COUNT = 17;
constexpr uint32_t FIRST_CUE = 240;
constexpr uint32_t CUE_CONSUMED = 255; // written back by scenes that consume an event

inline uint32_t current_scene_number()
{
    return scene_number.load(std::memory_order_relaxed);
}

// True while a scene whose numbers are own_a and own_b should keep running: the quit flag is
// clear and the scene number is a cue or one of its own.
bool scene_keeps_running(uint32_t own_a, uint32_t own_b);

// Consume an event: replace `seen` by the cue 255 unless a newer sync value arrived meanwhile.
void consume_scene_event(uint32_t seen);

// Ticks of 32 ms that the scene's last wait returned (some scenes store one less).
extern uint32_t elapsed_ticks;

// Waits for the next 32 ms boundary of the clock and returns the ticks passed since the last
// reset or wait (at least 1). reset_tick_timer() restarts the count from the current tick.
uint32_t wait_tick();
void reset_tick_timer();

// Drains the window's events (input, Alt+Enter, close, repaint). Sets the quit flag on a quit
// request and leaves any later events queued.
void poll_messages();

// The quit flag: once set, every loop ends. The last scene sets it after its closing fade.
int quit_flag();
void set_quit_flag();

// The last scene calls this when its closing is done: the quit flag is set, or with --loop the
// demo starts again from the beginning.
void end_demo();

// Makes the back buffer visible (presentation into it is present() with a null destination).
void show_frame();

// The wait scene (numbers 12 and 15): draws nothing and waits for a scene with a slot.
void wait_scene();
