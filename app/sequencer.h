// sequencer.h -- the shell's side of sequencing: sync callback, main loop, scene-change log.
#pragma once

#include <cstdint>

#include "scenes/scene_table.h"

// Called by the sound layer on its playback thread at every sync command: stores value,
// position and row, in that order, and nothing else.
void sync_callback(uint32_t value, uint32_t position, uint32_t row);

// The scene function for a scene number: the table's slot for 0-16, the wait scene for
// anything else (a cue, or a number the table has no slot for).
SceneFunction scene_function_for(uint32_t number);

// Calls the scene the scene number names, then pumps messages, until the quit flag is set.
void run_main_loop();

// The tick timer without the controls' hooks (pause, a jump's cues, frame timing).
uint32_t wait_for_next_tick();

// --verbose: one line per scene the main loop starts (time, scene number, position, row).
extern bool sequencer_verbose;

// The tick the last reset or wait saw (ms >> 5), and the mask of the tick counter's width.
extern uint32_t last_tick;
// Ticks the waits have counted since the timer was last reset: the scenes' time.
extern uint64_t ticks_since_reset;
constexpr uint32_t TICK_MASK = 0xFFFFFFFFu >> 5;
