// display_device.h -- the display: an SDL window's renderer and streaming texture behind display records.
//
// The back buffer is described by display records (Surfaces without pixels, SURFACE_DISPLAY set)
// in the display's format: 8 (3:3:2 through a palette), 15, 16, 24 (blue first) or 32 bits.
// Presentation converts into it through the display_access hooks (lock the back buffer, write
// rows at the locked pitch, unlock); show_frame puts it on the screen, integer-scaled and
// letterboxed on black.
#pragma once

#include <cstdint>

#include "display/surface.h"

struct SDL_Window;

constexpr int DISPLAY_MAX_RECORDS = 2;

// The window the display shows in, handed down by the window's owner. The mode state stays in
// the owner's window record: the display reads and writes it there through these pointers.
struct DisplayWindow {
    SDL_Window* window; // null when no display could be opened (a virtual display needs none)
    int32_t* full_screen; // the kind of mode display_set_mode sets; display_set_fullscreen changes it
    const int32_t* quit; // once set, display_shutdown closes the display for good
    int32_t* mode_width; // the mode in use, stored by display_set_mode
    int32_t* mode_height;
    int32_t* mode_bits;
    int32_t* requested_width; // the mode last asked for, kept for rebuilding the display
    int32_t* requested_height;
    int32_t* requested_bits;
    void (*hide_cursor)(); // called when full screen is shown
};

// Copies the window record (every pointer in it set); null detaches it. Without a window the
// mode cannot be set.
void display_attach_window(const DisplayWindow* window);

// The display records (storage fixed for the process: pointers to them never dangle), how many
// are in use (1 in a window, 2 in full screen) and the flips since the last mode set.
extern Surface display_records[DISPLAY_MAX_RECORDS];
extern int display_record_count;
extern uint32_t display_flip_counter;

int display_init(); // 0 or -1
int display_set_mode(int width, int height, int bits); // 0 or -1
void display_set_fullscreen(bool on);
void display_release_surfaces();
void display_shutdown();
int display_restore(); // 0 when the display is usable, -1 otherwise
int build_palette(); // 0 or -1
void show_frame();

// Whether presents wait for the display's refresh ("on", "off", or off after presents were seen
// waiting two refreshes): on where the display reports 50 Hz or more. Pacing stays the tick timer's.
const char* display_vsync_state();
// Frames show_frame has put on the screen (or handed to the virtual display) since start-up.
uint64_t display_frames_shown();

// The render device lost its textures (an SDL render reset): the next restore rebuilds them.
void display_device_lost();

// Window scale (1-3 by default, the largest that fits the usable desktop); 0 = automatic.
void display_set_window_scale(int scale);
int display_window_scale();
// The scale a window showing a width x height picture gets.
int display_scale_for_window(int width, int height);

// True when SDL video runs on a real display, or on the dummy/offscreen driver because the user
// (or a test) asked for it by name.
bool display_available();

// The 8-bit display's palette: entry i as 0x00RRGGBB.
extern uint32_t display_palette[256];

// A virtual display (capture): no window and no SDL video; the back buffer lives in memory at the
// requested depth, converted into exactly as a locked SDL back buffer would be, and show_frame
// hands the picture that would reach the screen (XRGB8888 rows, packed) to the sink. Install
// before display_init; a null sink selects the SDL display again.
using DisplayFrameSink = void (*)(void* context, const uint32_t* xrgb, int width, int height);
void display_set_virtual(DisplayFrameSink sink, void* context);
bool display_is_virtual();

// An overlay drawn over the picture on the screen only: width x height pixels 0xAARRGGBB
// (straight alpha) from the picture's top-left corner, scaled with it. Copied; null removes it.
// It never reaches the back buffer, so presentation, captures and read-backs never see it.
void display_set_overlay(const uint32_t* argb, int width, int height);

// The picture on the screen as it left the display conversion, width x height XRGB8888 (so an
// 8-bit display shows its dither). False when there is no display or the size differs.
bool display_read_picture(uint32_t* xrgb, int width, int height);
// The same with the overlay blended over it: the final image as the screen shows it.
bool display_read_final_picture(uint32_t* xrgb, int width, int height);

// Expands one row of display-format pixels (bits 8, 15, 16, 24 or 32) to XRGB8888: what reaches
// the screen for that row.
void display_expand_row(int bits, const uint8_t* src, uint32_t* dst, int count);
