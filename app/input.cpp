// input.cpp -- input state and the mapping from SDL scancodes to PC scan codes.
#include "app/input.h"

#include <SDL.h>
#include <cstdlib>
#include <cstring>

InputState input = {};

int input_init()
{
    if (!input.key_state) {
        input.key_state = static_cast<uint8_t*>(std::calloc(KEY_STATE_SIZE, 1));
        input.char_queue = static_cast<uint32_t*>(std::calloc(CHAR_QUEUE_SLOTS, sizeof(uint32_t)));
        if (!input.key_state || !input.char_queue)
            return -1;
    }
    input.keys_down = 0;
    std::memset(input.key_state, 0, KEY_STATE_SIZE);
    std::memset(input.char_queue, 0, CHAR_QUEUE_SLOTS * sizeof(uint32_t));
    input.queue_count = 0;
    return 0;
}

void input_release()
{
    std::free(input.key_state);
    std::free(input.char_queue);
    input.key_state = nullptr;
    input.char_queue = nullptr;
}

void input_set_key(int index, bool down)
{
    if (index < 0 || index >= KEY_STATE_SIZE || !input.key_state)
        return;
    uint8_t& entry = input.key_state[index];
    if (down) {
        if (!(entry & 1))
            input.keys_down++;
        entry |= 1;
    } else {
        if (input.keys_down > 0 && (entry & 1))
            input.keys_down--;
        entry &= uint8_t(~1u);
    }
}

void input_set_mouse(int x, int y)
{
    input.mouse_x = x;
    input.mouse_y = y;
}

void input_push_char(uint32_t value)
{
    if (!input.char_queue || input.queue_count < 0 || input.queue_count > 62)
        return;
    input.char_queue[input.queue_count++] = value;
}

void input_key_pressed(int key_code)
{
    input_set_key(key_code, true);
    const int scan = key_code & 0xFF;
    if ((scan >= 0x3B && scan <= 0x44) || (scan >= 0x57 && scan <= 0x58) || (scan >= 0x47 && scan <= 0x53)) {
        input_push_char(0);
        input_push_char(uint32_t(scan));
    }
}

int key_code_for_scancode(int sdl_scancode)
{
    const auto sc = static_cast<SDL_Scancode>(sdl_scancode);
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) {
        // Scan codes follow the keyboard rows, not the alphabet.
        static const uint8_t letters[26] = { 0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26,
            0x32, 0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C };
        return letters[sc - SDL_SCANCODE_A];
    }
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_0)
        return 0x02 + (sc - SDL_SCANCODE_1); // 1..9 then 0: 0x02..0x0B
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F10)
        return 0x3B + (sc - SDL_SCANCODE_F1);
    switch (sc) {
    case SDL_SCANCODE_ESCAPE:
        return 0x01;
    case SDL_SCANCODE_MINUS:
        return 0x0C;
    case SDL_SCANCODE_EQUALS:
        return 0x0D;
    case SDL_SCANCODE_BACKSPACE:
        return 0x0E;
    case SDL_SCANCODE_TAB:
        return 0x0F;
    case SDL_SCANCODE_LEFTBRACKET:
        return 0x1A;
    case SDL_SCANCODE_RIGHTBRACKET:
        return 0x1B;
    case SDL_SCANCODE_RETURN:
        return 0x1C;
    case SDL_SCANCODE_LCTRL:
        return 0x1D;
    case SDL_SCANCODE_SEMICOLON:
        return 0x27;
    case SDL_SCANCODE_APOSTROPHE:
        return 0x28;
    case SDL_SCANCODE_GRAVE:
        return 0x29;
    case SDL_SCANCODE_LSHIFT:
        return 0x2A;
    case SDL_SCANCODE_BACKSLASH:
        return 0x2B;
    case SDL_SCANCODE_COMMA:
        return 0x33;
    case SDL_SCANCODE_PERIOD:
        return 0x34;
    case SDL_SCANCODE_SLASH:
        return 0x35;
    case SDL_SCANCODE_RSHIFT:
        return 0x36;
    case SDL_SCANCODE_KP_MULTIPLY:
        return 0x37;
    case SDL_SCANCODE_LALT:
        return 0x38;
    case SDL_SCANCODE_SPACE:
        return 0x39;
    case SDL_SCANCODE_CAPSLOCK:
        return 0x3A;
    case SDL_SCANCODE_NUMLOCKCLEAR:
        return 0x45;
    case SDL_SCANCODE_SCROLLLOCK:
        return 0x46;
    case SDL_SCANCODE_KP_7:
        return 0x47;
    case SDL_SCANCODE_KP_8:
        return 0x48;
    case SDL_SCANCODE_KP_9:
        return 0x49;
    case SDL_SCANCODE_KP_MINUS:
        return 0x4A;
    case SDL_SCANCODE_KP_4:
        return 0x4B;
    case SDL_SCANCODE_KP_5:
        return 0x4C;
    case SDL_SCANCODE_KP_6:
        return 0x4D;
    case SDL_SCANCODE_KP_PLUS:
        return 0x4E;
    case SDL_SCANCODE_KP_1:
        return 0x4F;
    case SDL_SCANCODE_KP_2:
        return 0x50;
    case SDL_SCANCODE_KP_3:
        return 0x51;
    case SDL_SCANCODE_KP_0:
        return 0x52;
    case SDL_SCANCODE_KP_PERIOD:
        return 0x53;
    case SDL_SCANCODE_NONUSBACKSLASH:
        return 0x56;
    case SDL_SCANCODE_F11:
        return 0x57;
    case SDL_SCANCODE_F12:
        return 0x58;
    // Extended keys: bit 8 set.
    case SDL_SCANCODE_KP_ENTER:
        return 0x11C;
    case SDL_SCANCODE_RCTRL:
        return 0x11D;
    case SDL_SCANCODE_KP_DIVIDE:
        return 0x135;
    case SDL_SCANCODE_PRINTSCREEN:
        return 0x137;
    case SDL_SCANCODE_RALT:
        return 0x138;
    case SDL_SCANCODE_HOME:
        return 0x147;
    case SDL_SCANCODE_UP:
        return 0x148;
    case SDL_SCANCODE_PAGEUP:
        return 0x149;
    case SDL_SCANCODE_LEFT:
        return 0x14B;
    case SDL_SCANCODE_RIGHT:
        return 0x14D;
    case SDL_SCANCODE_END:
        return 0x14F;
    case SDL_SCANCODE_DOWN:
        return 0x150;
    case SDL_SCANCODE_PAGEDOWN:
        return 0x151;
    case SDL_SCANCODE_INSERT:
        return 0x152;
    case SDL_SCANCODE_DELETE:
        return 0x153;
    case SDL_SCANCODE_LGUI:
        return 0x15B;
    case SDL_SCANCODE_RGUI:
        return 0x15C;
    case SDL_SCANCODE_APPLICATION:
        return 0x15D;
    default:
        return 0;
    }
}
