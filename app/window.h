// window.h -- the program's window: window record, quit flag, events and cursor.
#pragma once

#include <cstdint>

struct SDL_Window;
union SDL_Event;

// The per-window record shared by the whole program, in its documented field order.
struct WindowRecord {
    int32_t instance;
    int32_t quit; // set once a quit request is taken off the queue; never cleared
    int32_t active; // non-zero while the window has the input focus
    int32_t client_x; // screen position of the client area (signed: monitors left of or above the primary)
    int32_t client_y;
    int32_t client_width;
    int32_t client_height;
    int32_t full_screen;
    int32_t cursor_hidden;
    int32_t mode_width; // the display mode in use
    int32_t mode_height;
    int32_t mode_bits;
    int32_t requested_width; // the mode last asked for, kept for rebuilding the display
    int32_t requested_height;
    int32_t requested_bits;
};

extern WindowRecord* window_record; // null before create_window and after destroy_window
extern SDL_Window* app_window; // null when no display could be opened

int register_app_class(); // brings up SDL's event handling; 0 or -1
void unregister_app_class();
int create_window(); // 0 or -1
void destroy_window();

// Handles one event as the window procedure would (poll_messages handles quit requests).
void handle_window_event(const SDL_Event* event);

void hide_cursor();
void show_cursor();

// --seconds: quit once this many milliseconds of the clock have passed from now (0: never).
void set_run_time_limit(uint32_t ms);

// Shows a start-up failure message: on stderr, and in a message box when a display can show it.
void show_failure_message(const char* text);
