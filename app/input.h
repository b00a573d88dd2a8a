// input.h -- keyboard and mouse state: keys by 9-bit scan code, buttons, typed-character queue.
#pragma once

#include <cstdint>

constexpr int KEY_STATE_SIZE = 515; // 512 key codes, then the left, right and middle buttons
constexpr int KEY_MOUSE_LEFT = 512;
constexpr int KEY_MOUSE_RIGHT = 513;
constexpr int KEY_MOUSE_MIDDLE = 514;
constexpr int CHAR_QUEUE_SLOTS = 64; // at most 63 are ever filled

struct InputState {
    uint8_t* key_state; // bit 0 set while down
    int keys_down;
    int mouse_x;
    int mouse_y;
    uint32_t* char_queue;
    int queue_count;
};
extern InputState input;

int input_init(); // 0, or -1 when the state cannot be allocated
void input_release();
void input_set_key(int index, bool down);
void input_set_mouse(int x, int y);
void input_push_char(uint32_t value);

// The 9-bit key code (PC scan code, bit 8 for the extended keys) of an SDL scancode, 0 if none.
int key_code_for_scancode(int sdl_scancode);

// A first press of key_code: records it and, for F1-F12, the cursor block and the keypad,
// queues 0 followed by the scan code.
void input_key_pressed(int key_code);
