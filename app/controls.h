// controls.h -- the viewer's controls: start anywhere in the song, jump, pause, overlay, screenshot, loop.
//
// A place in the song is a place in the demo. A jump (the keys, --position, the loop) puts the
// song there, puts back the state set-up left (random stream, the scenes' lasting state, the four
// shared Surfaces cleared), sets the sync values the song had sent up to that row and re-enters
// the scene in force with its clock caught up to the place and the cues it had seen handed over
// at their times (see controls_after_wait).
//
// Keys act only in live mode (never in capture): Space pause, Left/Right one song position,
// PgUp/PgDn the previous/next scene change, Home the beginning, F1 overlay, F12 screenshot.
#pragma once

#include <cstdint>
#include <string>

#include "app/song_map.h"

struct SoundPlay;
struct SoundModule;

// Key codes (9-bit PC scan codes) the controls answer to.
constexpr int KEY_CODE_SPACE = 0x39;
constexpr int KEY_CODE_F1 = 0x3B;
constexpr int KEY_CODE_F12 = 0x58;
constexpr int KEY_CODE_HOME = 0x147;
constexpr int KEY_CODE_PAGE_UP = 0x149;
constexpr int KEY_CODE_LEFT = 0x14B;
constexpr int KEY_CODE_RIGHT = 0x14D;
constexpr int KEY_CODE_PAGE_DOWN = 0x151;

struct ControlsOptions {
    bool keys = false; // live keys on (never in capture mode)
    bool loop = false; // the end starts the demo again
    std::string screenshot_dir; // where F12 writes (the working directory at start-up)
};

// Reads the song map, saves the state a jump puts back (call after the demo data set-up and
// before any scene runs). 0, or -1 when the song has no positions or memory runs out.
int controls_begin(SoundPlay* play, SoundModule* module, const ControlsOptions* options);
void controls_end();
const SongMap* controls_song_map();

// Jumps at once (start-up: --position). False when the place is outside the song.
bool controls_start_at(int position, int row);
// Asks for a jump: the running scene returns, the main loop makes it. False outside the song.
bool controls_request_jump(int position, int row);
bool controls_jump_pending();
// Where the pending jump goes, or the last one went (false when none is pending).
bool controls_pending_jump(int* position, int* row);
// Makes the jump asked for (main loop, between scenes).
void controls_apply_jump();
uint32_t controls_jump_count(); // jumps made so far

// A first press of a key (window events). True when it was one of the controls'.
bool controls_key_pressed(int key_code);

// Pause: music and scene time stop together; the tick timer does not count the paused time.
void controls_set_paused(bool paused);
bool controls_paused();

void controls_set_overlay(bool on);
bool controls_overlay();

// Writes the picture on the screen (after the display conversion) as the next free
// morrowick_NNNN.png in the screenshot folder. Returns its path, "" on failure.
std::string controls_screenshot();

// The tick timer's hooks: before a wait (holds while paused, counts the frame's work time) and
// after it (hands over the next cue of a jump, refreshes the overlay).
// After a jump mid-scene the first waits also return the ticks the scene had run for when the
// song reached the place, in one segment per cue it had seen, and the cues are handed over
// between those frames (controls_frame_done, from the message pump at the end of each frame).
// So the scene's animation catches up in a few frames, each cue at its time.
void controls_before_wait();
uint32_t controls_after_wait(uint32_t ticks_passed);
void controls_frame_done();
