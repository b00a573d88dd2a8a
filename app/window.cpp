// window.cpp -- SDL window, the event pump (poll_messages), quit flag, cursor and failure messages.
#include "app/window.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>

#include "app/clock.h"
#include "app/controls.h"
#include "app/demo.h"
#include "app/input.h"
#include "app/platform.h"
#include "display/display_device.h"

WindowRecord* window_record = nullptr;
SDL_Window* app_window = nullptr;

namespace {
int quit_without_window = 0; // the quit flag before a window exists (tests, early failures)
bool run_time_limited = false;
uint32_t run_time_start = 0;
uint32_t run_time_ms = 0;

void handle_mouse_move(int x, int y)
{
    if (window_record->full_screen) {
        hide_cursor();
    } else if (x >= 0 && y >= 0 && x <= window_record->mode_width && y <= window_record->mode_height) {
        // Both bounds included. SDL reports the pointer in picture coordinates (the renderer's
        // logical size), so a scaled window behaves like a 320 x 240 one.
        hide_cursor();
    } else {
        show_cursor();
    }
    input_set_mouse(x, y);
}

void push_quit_request()
{
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

// Decodes UTF-8 text input into characters for the queue.
void push_text(const char* text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        uint32_t c = *p++;
        int more = 0;
        if (c >= 0xF0) {
            c &= 0x07;
            more = 3;
        } else if (c >= 0xE0) {
            c &= 0x0F;
            more = 2;
        } else if (c >= 0xC0) {
            c &= 0x1F;
            more = 1;
        }
        for (; more > 0 && (*p & 0xC0) == 0x80; --more)
            c = (c << 6) | (*p++ & 0x3F);
        input_push_char(c);
    }
}

void handle_window_change(const SDL_WindowEvent& w)
{
    switch (w.event) {
    case SDL_WINDOWEVENT_MOVED:
        window_record->client_x = w.data1;
        window_record->client_y = w.data2;
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        window_record->client_width = w.data1;
        window_record->client_height = w.data2;
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        // Scenes that draw nothing (the wait) leave the last frame: repaint it.
        if (!window_record->quit)
            show_frame();
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        window_record->active = 1;
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        window_record->active = 0;
        break;
    case SDL_WINDOWEVENT_LEAVE:
        if (!window_record->full_screen)
            show_cursor();
        break;
    case SDL_WINDOWEVENT_CLOSE:
        push_quit_request();
        break;
    default:
        break;
    }
}
} // namespace

int quit_flag()
{
    return window_record ? window_record->quit : quit_without_window;
}

void set_quit_flag()
{
    if (window_record)
        window_record->quit = 1;
    else
        quit_without_window = 1;
}

void set_run_time_limit(uint32_t ms)
{
    run_time_limited = ms != 0;
    run_time_start = clock_now_ms();
    run_time_ms = ms;
}

int register_app_class()
{
    return SDL_InitSubSystem(SDL_INIT_EVENTS) == 0 ? 0 : -1;
}

void unregister_app_class()
{
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

int create_window()
{
    // Without a usable display the program still gets its window record; display
    // initialisation then fails with its own message.
    // A virtual display (capture) needs no SDL video at all.
    if (!display_is_virtual() && SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 && display_available()) {
        // Made at the size the windowed display will have, so the window manager places it whole.
        const int scale = display_scale_for_window(320, 240);
        app_window = SDL_CreateWindow("morrowick", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 320 * scale,
            240 * scale, SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI);
        if (!app_window)
            return -1;
    }
    window_record = static_cast<WindowRecord*>(std::calloc(1, sizeof(WindowRecord)));
    if (!window_record)
        return -1;
    window_record->active = 1;
    WindowRecord* r = window_record;
    const DisplayWindow display_window = { app_window, &r->full_screen, &r->quit, &r->mode_width, &r->mode_height,
        &r->mode_bits, &r->requested_width, &r->requested_height, &r->requested_bits, hide_cursor };
    display_attach_window(&display_window);
    return 0;
}

void destroy_window()
{
    if (window_record && window_record->cursor_hidden)
        show_cursor();
    display_attach_window(nullptr);
    if (app_window)
        SDL_DestroyWindow(app_window);
    app_window = nullptr;
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    std::free(window_record);
    window_record = nullptr;
}

void hide_cursor()
{
    if (window_record && window_record->cursor_hidden == 0) {
        SDL_ShowCursor(SDL_DISABLE);
        window_record->cursor_hidden = 1;
    }
}

void show_cursor()
{
    if (window_record && window_record->cursor_hidden == 1) {
        SDL_ShowCursor(SDL_ENABLE);
        window_record->cursor_hidden = 0;
    }
}

void handle_window_event(const SDL_Event* event)
{
    if (!window_record)
        return;
    const bool alt = (SDL_GetModState() & KMOD_ALT) != 0;
    switch (event->type) {
    case SDL_WINDOWEVENT:
        handle_window_change(event->window);
        break;
    case SDL_KEYDOWN:
        if (event->key.repeat)
            break; // auto-repeats change nothing
        input_key_pressed(key_code_for_scancode(event->key.keysym.scancode));
        if (!alt)
            controls_key_pressed(key_code_for_scancode(event->key.keysym.scancode));
        // Esc and Alt+F4 quit at once, also where no window manager provides Alt+F4.
        if (event->key.keysym.scancode == SDL_SCANCODE_ESCAPE || (alt && event->key.keysym.scancode == SDL_SCANCODE_F4))
            push_quit_request();
        break;
    case SDL_KEYUP:
        input_set_key(key_code_for_scancode(event->key.keysym.scancode), false);
        if (alt
            && (event->key.keysym.scancode == SDL_SCANCODE_RETURN
                || event->key.keysym.scancode == SDL_SCANCODE_KP_ENTER))
            display_set_fullscreen(window_record->full_screen == 0);
        break;
    case SDL_TEXTINPUT:
        push_text(event->text.text);
        break;
    case SDL_MOUSEMOTION:
        handle_mouse_move(event->motion.x, event->motion.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const bool down = event->type == SDL_MOUSEBUTTONDOWN;
        if (event->button.button == SDL_BUTTON_LEFT)
            input_set_key(KEY_MOUSE_LEFT, down);
        else if (event->button.button == SDL_BUTTON_RIGHT)
            input_set_key(KEY_MOUSE_RIGHT, down);
        else if (event->button.button == SDL_BUTTON_MIDDLE)
            input_set_key(KEY_MOUSE_MIDDLE, down);
        break;
    }
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
        display_device_lost();
        break;
    default:
        break;
    }
}

void poll_messages()
{
    controls_frame_done(); // a scene's frame ends here
    if (run_time_limited && clock_now_ms() - run_time_start >= run_time_ms)
        set_quit_flag();
    if (!SDL_WasInit(SDL_INIT_EVENTS))
        return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) {
            set_quit_flag(); // later events stay queued
            return;
        }
        handle_window_event(&event);
    }
}

void show_failure_message(const char* text)
{
    std::fprintf(stderr, "%s\n", text);
    // Where the system can show a message box without a window (Windows), a failure before the
    // window opens is shown too; never during a capture, which runs without a display.
    if (app_window || display_available() || (platform_message_box_without_window() && !display_is_virtual()))
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, "morrowick", text, app_window);
}
