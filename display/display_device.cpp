// display_device.cpp -- display records, mode set, full-screen switch and show_frame on SDL2.
#include "display/display_device.h"

#include <SDL.h>
#include <cstdlib>
#include <cstring>

#include "display/present.h"

Surface display_records[DISPLAY_MAX_RECORDS];
int display_record_count = 1;
uint32_t display_flip_counter = 0;
uint32_t display_palette[256];

namespace {

constexpr int MAX_WINDOW_SCALE = 3;
// Presentation waits for the vertical refresh only where one refresh is well inside a 32 ms
// tick: the tick timer paces the demo, the refresh only decides when the picture changes.
constexpr int MIN_VSYNC_REFRESH_HZ = 50;
// A present that takes longer than 1.5 refreshes has waited for two; after this many the
// display goes back to presenting without vsync for the rest of the run.
constexpr int SLOW_PRESENTS_BEFORE_NO_VSYNC = 8;

struct DisplayDevice {
    bool opened; // the display object: SDL video checked and in use
    SDL_Renderer* renderer; // stands for the primary surface
    SDL_Texture* texture; // what the renderer shows, always XRGB8888
    uint8_t* staging; // the back buffer for formats other than 32 bits
    int staging_pitch;
    int bits; // display format in use
    int width, height;
    int locked_width, locked_height;
    bool texture_locked;
    bool lost; // textures lost by a render reset
    bool has_palette;
    int window_scale; // 0: automatic
    DisplayFrameSink virtual_sink; // non-null: a virtual display (no SDL video)
    void* virtual_context;
    uint32_t* virtual_picture; // show_frame's expanded picture, width x height
    uint32_t* shown_copy; // 32 bits straight into the texture: a copy of each converted frame
    uint8_t* locked_pixels;
    int locked_pitch;
    uint32_t* overlay; // 0xAARRGGBB, overlay_width x overlay_height; null: none
    int overlay_width, overlay_height;
    bool overlay_changed;
    SDL_Texture* overlay_texture;
    bool vsync; // presents wait for the refresh
    double refresh_ms; // one refresh of the display (60 Hz when it does not say)
    int slow_presents;
    bool vsync_given_up; // presents waited two refreshes: no vsync for the rest of the run
    uint64_t frames_shown;
};
DisplayDevice device = {};
// The attached window; all null while none is (before the window exists, after it is destroyed).
DisplayWindow host = {};

uint32_t expand16[65536]; // 16-bit display pixel -> XRGB8888, for expand16_bits
int expand16_bits = 0;

uint32_t widen(uint32_t value, int width)
{
    // Replicate the top bits into the low ones so that full intensity stays full.
    const uint32_t v = value << (8 - width);
    return (v | (v >> width)) & 0xFF;
}

void build_expand16(int bits)
{
    const int g_width = bits == 16 ? 6 : 5;
    const int r_shift = bits == 16 ? 11 : 10;
    for (uint32_t v = 0; v < 65536; ++v) {
        const uint32_t r = widen((v >> r_shift) & 31, 5);
        const uint32_t g = widen((v >> 5) & ((1u << g_width) - 1), g_width);
        const uint32_t b = widen(v & 31, 5);
        expand16[v] = (r << 16) | (g << 8) | b;
    }
    expand16_bits = bits;
}

bool driver_is_fallback(const char* driver)
{
    return driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
}

int desktop_bits()
{
    // Every desktop SDL runs on today is 24-bit colour in 32-bit pixels.
    return 32;
}

int automatic_window_scale(int width, int height)
{
    SDL_Rect usable;
    const int index = host.window ? SDL_GetWindowDisplayIndex(host.window) : 0;
    if (SDL_GetDisplayUsableBounds(index < 0 ? 0 : index, &usable) != 0)
        return 1;
    int scale = MAX_WINDOW_SCALE;
    while (scale > 1 && (width * scale > usable.w || height * scale > usable.h))
        --scale;
    return scale;
}

// The display's refresh rate in Hz, 0 when it does not say.
int refresh_rate()
{
    SDL_DisplayMode mode;
    const int index = SDL_GetWindowDisplayIndex(host.window);
    if (SDL_GetCurrentDisplayMode(index < 0 ? 0 : index, &mode) != 0)
        return 0;
    return mode.refresh_rate;
}

// Vsync where the display reports a refresh of 50 Hz or more (SDL's own SDL_RENDER_VSYNC
// setting, when the user gives one, still has the last word inside SDL_CreateRenderer).
SDL_Renderer* create_renderer()
{
    const int hz = refresh_rate();
    device.refresh_ms = 1000.0 / (hz > 0 ? hz : 60);
    const bool vsync = !device.vsync_given_up && hz >= MIN_VSYNC_REFRESH_HZ;
    SDL_Renderer* renderer = SDL_CreateRenderer(host.window, -1, vsync ? SDL_RENDERER_PRESENTVSYNC : 0);
    SDL_RendererInfo info;
    device.vsync = renderer && SDL_GetRendererInfo(renderer, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC);
    device.slow_presents = 0;
    return renderer;
}

// Times a vsync present; presents that wait two refreshes give vsync up.
void present_renderer()
{
    if (!device.vsync) {
        SDL_RenderPresent(device.renderer);
        return;
    }
    const uint64_t start = SDL_GetPerformanceCounter();
    SDL_RenderPresent(device.renderer);
    const double ms = double(SDL_GetPerformanceCounter() - start) * 1000.0 / double(SDL_GetPerformanceFrequency());
    if (ms > 1.5 * device.refresh_ms && ++device.slow_presents >= SLOW_PRESENTS_BEFORE_NO_VSYNC) {
        SDL_RenderSetVSync(device.renderer, 0);
        device.vsync = false;
        device.vsync_given_up = true;
    }
}

int restore_hook()
{
    return display_restore();
}

uint8_t* lock_back_hook(int width, int height, int* pitch)
{
    if ((!device.texture && !device.virtual_sink) || device.texture_locked)
        return nullptr;
    width = width < device.width ? width : device.width;
    height = height < device.height ? height : device.height;
    if (width <= 0 || height <= 0)
        return nullptr;
    device.locked_width = width;
    device.locked_height = height;
    if (device.staging) {
        *pitch = device.staging_pitch;
        device.texture_locked = true;
        return device.staging;
    }
    const SDL_Rect rect = { 0, 0, width, height };
    void* pixels = nullptr;
    if (SDL_LockTexture(device.texture, &rect, &pixels, pitch) != 0)
        return nullptr;
    device.texture_locked = true;
    device.locked_pixels = static_cast<uint8_t*>(pixels);
    device.locked_pitch = *pitch;
    return static_cast<uint8_t*>(pixels);
}

void unlock_back_hook()
{
    if (!device.texture_locked)
        return;
    device.texture_locked = false;
    if (!device.staging) {
        // Texture memory may be write-only: keep the frame for read-backs (screenshots).
        if (device.shown_copy)
            for (int y = 0; y < device.locked_height; ++y)
                std::memcpy(device.shown_copy + size_t(y) * size_t(device.width),
                    device.locked_pixels + size_t(y) * size_t(device.locked_pitch), size_t(device.locked_width) * 4);
        SDL_UnlockTexture(device.texture);
        return;
    }
    if (device.virtual_sink)
        return; // expanded when shown
    // The converted rows are in the display's format; widen them into the texture.
    const SDL_Rect rect = { 0, 0, device.locked_width, device.locked_height };
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(device.texture, &rect, &pixels, &pitch) != 0)
        return;
    for (int y = 0; y < rect.h; ++y)
        display_expand_row(device.bits, device.staging + size_t(y) * device.staging_pitch,
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(pixels) + size_t(y) * pitch), rect.w);
    SDL_UnlockTexture(device.texture);
}

// The visible buffer can be read only where the display keeps its own copy (the staged formats).
const uint8_t* lock_front_hook(int, int, int* pitch)
{
    if (!device.staging)
        return nullptr;
    *pitch = device.staging_pitch;
    return device.staging;
}

void unlock_front_hook() { }

int create_texture()
{
    // Nearest-neighbour scaling, whatever an environment variable asks for.
    SDL_SetHintWithPriority(SDL_HINT_RENDER_SCALE_QUALITY, "0", SDL_HINT_OVERRIDE);
    device.texture = SDL_CreateTexture(
        device.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, device.width, device.height);
    if (!device.texture)
        return -1;
    SDL_SetTextureScaleMode(device.texture, SDL_ScaleModeNearest);
    SDL_SetTextureBlendMode(device.texture, SDL_BLENDMODE_NONE);
    device.lost = false;
    return 0;
}

void reset_record_updates()
{
    for (int i = 0; i < display_record_count; ++i)
        if (display_records[i].flags & SURFACE_TRACK_UPDATES) {
            reset_update_list(&display_records[i].updates);
            add_update_rect(&display_records[i].updates, 0, 0, display_records[i].width, display_records[i].height);
        }
}

int rebuild_with_requested_mode()
{
    if (!host.full_screen)
        return -1;
    return display_set_mode(*host.requested_width, *host.requested_height, *host.requested_bits);
}

// The overlay as a blended texture over the picture, in the picture's (logical) coordinates.
void draw_overlay()
{
    if (!device.overlay)
        return;
    if (!device.overlay_texture) {
        device.overlay_texture = SDL_CreateTexture(device.renderer, SDL_PIXELFORMAT_ARGB8888,
            SDL_TEXTUREACCESS_STREAMING, device.overlay_width, device.overlay_height);
        if (!device.overlay_texture)
            return;
        SDL_SetTextureBlendMode(device.overlay_texture, SDL_BLENDMODE_BLEND);
        SDL_SetTextureScaleMode(device.overlay_texture, SDL_ScaleModeNearest);
        device.overlay_changed = true;
    }
    if (device.overlay_changed)
        SDL_UpdateTexture(device.overlay_texture, nullptr, device.overlay, device.overlay_width * 4);
    device.overlay_changed = false;
    const SDL_Rect to = { 0, 0, device.overlay_width, device.overlay_height };
    SDL_RenderCopy(device.renderer, device.overlay_texture, nullptr, &to);
}

uint32_t blend_channel(uint32_t over, uint32_t under, uint32_t alpha, int shift)
{
    const uint32_t o = (over >> shift) & 0xFF, u = (under >> shift) & 0xFF;
    return ((o * alpha + u * (255 - alpha) + 127) / 255) << shift;
}

} // namespace

void display_set_overlay(const uint32_t* argb, int width, int height)
{
    if (!argb || width <= 0 || height <= 0) {
        std::free(device.overlay);
        device.overlay = nullptr;
        if (device.overlay_texture)
            SDL_DestroyTexture(device.overlay_texture);
        device.overlay_texture = nullptr;
        return;
    }
    if (!device.overlay || width != device.overlay_width || height != device.overlay_height) {
        display_set_overlay(nullptr, 0, 0);
        device.overlay = static_cast<uint32_t*>(std::malloc(size_t(width) * size_t(height) * 4));
        if (!device.overlay)
            return;
        device.overlay_width = width;
        device.overlay_height = height;
    }
    std::memcpy(device.overlay, argb, size_t(width) * size_t(height) * 4);
    device.overlay_changed = true;
}

bool display_read_picture(uint32_t* xrgb, int width, int height)
{
    if (width != device.width || height != device.height || width <= 0 || height <= 0)
        return false;
    if (device.staging) {
        for (int y = 0; y < height; ++y)
            display_expand_row(device.bits, device.staging + size_t(y) * size_t(device.staging_pitch),
                xrgb + size_t(y) * size_t(width), width);
        return true;
    }
    if (!device.shown_copy)
        return false;
    for (size_t i = 0; i < size_t(width) * size_t(height); ++i)
        xrgb[i] = device.shown_copy[i] & 0x00FFFFFFu;
    return true;
}

bool display_read_final_picture(uint32_t* xrgb, int width, int height)
{
    if (!display_read_picture(xrgb, width, height))
        return false;
    for (int y = 0; device.overlay && y < device.overlay_height && y < height; ++y)
        for (int x = 0; x < device.overlay_width && x < width; ++x) {
            const uint32_t over = device.overlay[size_t(y) * size_t(device.overlay_width) + size_t(x)];
            const uint32_t a = over >> 24;
            uint32_t& p = xrgb[size_t(y) * size_t(width) + size_t(x)];
            p = blend_channel(over, p, a, 16) | blend_channel(over, p, a, 8) | blend_channel(over, p, a, 0);
        }
    return true;
}

bool display_available()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver)
        return false;
    if (!driver_is_fallback(driver))
        return true;
    // An invisible driver only when asked for by name.
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    return asked && SDL_strcasestr(asked, driver) != nullptr;
}

const char* display_vsync_state()
{
    if (device.renderer && device.vsync)
        return "on";
    return device.vsync_given_up ? "off (presents waited two refreshes)" : "off";
}

uint64_t display_frames_shown()
{
    return device.frames_shown;
}

void display_set_window_scale(int scale)
{
    device.window_scale = scale < 0 ? 0 : scale;
}

int display_window_scale()
{
    return device.window_scale;
}

int display_scale_for_window(int width, int height)
{
    return device.window_scale > 0 ? device.window_scale : automatic_window_scale(width, height);
}

void display_device_lost()
{
    device.lost = true;
}

void display_release_surfaces()
{
    if (device.texture_locked && !device.staging && device.texture)
        SDL_UnlockTexture(device.texture);
    device.texture_locked = false;
    if (device.texture)
        SDL_DestroyTexture(device.texture);
    if (device.overlay_texture)
        SDL_DestroyTexture(device.overlay_texture);
    device.overlay_texture = nullptr;
    device.overlay_changed = true;
    if (device.renderer)
        SDL_DestroyRenderer(device.renderer);
    device.texture = nullptr;
    device.renderer = nullptr;
    device.vsync = false;
    std::free(device.staging);
    device.staging = nullptr;
    std::free(device.virtual_picture);
    device.virtual_picture = nullptr;
    std::free(device.shown_copy);
    device.shown_copy = nullptr;
    display_flip_counter = 0;
    display_record_count = 1;
    current_display_record = &display_records[0];
}

int display_init()
{
    display_release_surfaces();
    if (!device.opened) {
        if (!device.virtual_sink && (!host.window || !display_available()))
            return -1;
        device.opened = true;
    }
    display_access
        = DisplayAccess { restore_hook, lock_back_hook, unlock_back_hook, lock_front_hook, unlock_front_hook };
    return 0;
}

void display_attach_window(const DisplayWindow* window)
{
    host = window ? *window : DisplayWindow {};
}

void display_set_virtual(DisplayFrameSink sink, void* context)
{
    device.virtual_sink = sink;
    device.virtual_context = context;
}

bool display_is_virtual()
{
    return device.virtual_sink != nullptr;
}

int display_set_mode(int width, int height, int bits)
{
    display_release_surfaces();
    if (!host.full_screen || (!host.window && !device.virtual_sink) || !device.opened || width <= 0 || height <= 0)
        return -1;
    *host.requested_width = width;
    *host.requested_height = height;
    *host.requested_bits = bits;

    const bool full = *host.full_screen != 0;
    int use_bits = bits;
    if (!full || (bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32))
        use_bits = desktop_bits();

    if (device.virtual_sink) {
        // Nothing to open: the back buffer below is staged for every depth, 32 bits included.
        display_record_count = full ? 2 : 1;
        display_flip_counter = 0;
        current_display_record = &display_records[0];
        device.width = width;
        device.height = height;
        device.bits = use_bits;
        device.virtual_picture = static_cast<uint32_t*>(std::calloc(size_t(width) * size_t(height), 4));
        if (!device.virtual_picture)
            return -1;
    } else if (full) {
        if (SDL_SetWindowFullscreen(host.window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
            // No full screen here: the switch falls back to a window, which sets the mode itself.
            display_set_fullscreen(false);
            return device.renderer && !*host.full_screen ? 0 : -1;
        }
        SDL_ShowWindow(host.window);
        host.hide_cursor();
    } else {
        SDL_SetWindowFullscreen(host.window, 0);
        const int scale = display_scale_for_window(width, height);
        // SDL keeps the desktop size after full screen unless the window is sized again.
        SDL_SetWindowSize(host.window, width * scale, height * scale);
        // Centred from the size just asked for, once shown: SDL may not pass the position of a
        // hidden window on to the window manager.
        SDL_ShowWindow(host.window);
        const int index = SDL_GetWindowDisplayIndex(host.window);
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(index < 0 ? 0 : index, &bounds) == 0)
            SDL_SetWindowPosition(
                host.window, bounds.x + (bounds.w - width * scale) / 2, bounds.y + (bounds.h - height * scale) / 2);
    }

    if (!device.virtual_sink) {
        device.renderer = create_renderer();
        if (!device.renderer)
            return -1;
        // The picture keeps its size and is integer-scaled and centred on black in any window size.
        SDL_RenderSetLogicalSize(device.renderer, width, height);
        SDL_RenderSetIntegerScale(device.renderer, SDL_TRUE);
        display_record_count = full ? 2 : 1;
        display_flip_counter = 0;
        current_display_record = &display_records[0];

        device.width = width;
        device.height = height;
        device.bits = use_bits;
        if (create_texture() != 0)
            return -1;
    }

    Surface* record = &display_records[0];
    const int bytes = (use_bits + 7) / 8;
    int pitch = 0;
    if (use_bits == 32 && !device.virtual_sink) {
        void* pixels = nullptr;
        if (SDL_LockTexture(device.texture, nullptr, &pixels, &pitch) != 0)
            return -1;
        SDL_UnlockTexture(device.texture);
        device.shown_copy = static_cast<uint32_t*>(std::calloc(size_t(width) * size_t(height), 4));
        if (!device.shown_copy)
            return -1;
    } else {
        // Our own back buffer in the display's format. Its rows are padded beyond width x bytes,
        // as display memory often is, so nothing may assume a packed pitch.
        pitch = ((width * bytes + 63) & ~63) + 64;
        device.staging = static_cast<uint8_t*>(std::calloc(size_t(pitch), size_t(height)));
        if (!device.staging)
            return -1;
        device.staging_pitch = pitch;
    }
    record->width = width;
    record->height = height;
    record->pitch = pitch;
    record->bits_per_pixel = use_bits == 15 ? 16 : use_bits;
    record->bytes_per_pixel = bytes;
    switch (use_bits) {
    case 8:
        if (build_palette() != 0)
            return -1;
        set_pixel_format(record, 0xE0, 0x1C, 0x03);
        break;
    case 15:
        build_expand16(15);
        set_pixel_format(record, 0x7C00, 0x03E0, 0x001F);
        break;
    case 16:
        build_expand16(16);
        set_pixel_format(record, 0xF800, 0x07E0, 0x001F);
        break;
    case 24:
    case 32:
        set_pixel_format(record, 0xFF0000, 0x00FF00, 0x0000FF);
        break;
    default:
        return -1;
    }
    record->pixels = nullptr;
    record->flags |= SURFACE_DISPLAY;
    if (record->flags & SURFACE_TRACK_UPDATES) {
        reset_update_list(&record->updates);
        add_update_rect(&record->updates, 0, 0, width, height);
    }
    if (display_record_count == 2)
        display_records[1] = display_records[0];

    *host.mode_width = width;
    *host.mode_height = height;
    *host.mode_bits = use_bits;
    return 0;
}

void display_set_fullscreen(bool on)
{
    if (!host.full_screen || (*host.full_screen != 0) == on)
        return;
    for (;;) {
        display_shutdown();
        *host.full_screen = on ? 1 : 0;
        if (display_init() == 0
            && display_set_mode(*host.requested_width, *host.requested_height, *host.requested_bits) == 0)
            return;
        if (on && *host.full_screen) {
            on = false; // one retry in a window
            continue;
        }
        if (!on) {
            // Without a window to fall back to, the program ends through the quit path.
            SDL_Event quit = {};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
        }
        return;
    }
}

void display_shutdown()
{
    display_release_surfaces();
    if (host.full_screen && *host.full_screen && host.window)
        SDL_SetWindowFullscreen(host.window, 0);
    if (host.quit && *host.quit) {
        device.opened = false;
        display_access = DisplayAccess {};
        current_display_record = nullptr;
    }
}

int display_restore()
{
    if (device.virtual_sink)
        return device.staging ? 0 : -1;
    if (!device.renderer)
        return -1;
    if (device.lost || !device.texture) {
        if (device.texture)
            SDL_DestroyTexture(device.texture);
        device.texture = nullptr;
        device.texture_locked = false;
        if (device.overlay_texture)
            SDL_DestroyTexture(device.overlay_texture);
        device.overlay_texture = nullptr;
        device.overlay_changed = true;
        if (create_texture() != 0)
            return rebuild_with_requested_mode();
        reset_record_updates();
        // A staged back buffer still holds the last frame: put it back into the new texture.
        if (device.staging) {
            device.locked_width = device.width;
            device.locked_height = device.height;
            device.texture_locked = true;
            unlock_back_hook();
        }
    }
    return 0;
}

int build_palette()
{
    if (!device.renderer && !device.virtual_sink)
        return -1;
    for (int i = 0; i < 256; ++i) {
        const uint32_t r = uint32_t(i) & 0xE0;
        const uint32_t g = ((uint32_t(i) & 0x1C) << 3) & 0xFF;
        const uint32_t b = ((uint32_t(i) & 0x03) << 6) & 0xFF;
        display_palette[i] = (r << 16) | (g << 8) | b;
        // The palette is ours alone (there is no shared system palette to match): identity map.
        palette_index_map[i] = uint8_t(i);
    }
    device.has_palette = true;
    return 0;
}

void display_expand_row(int bits, const uint8_t* src, uint32_t* dst, int count)
{
    switch (bits) {
    case 8:
        for (int x = 0; x < count; ++x)
            dst[x] = display_palette[src[x]];
        break;
    case 15:
    case 16:
        if (expand16_bits != bits)
            build_expand16(bits);
        for (int x = 0; x < count; ++x)
            dst[x] = expand16[uint32_t(src[2 * x]) | (uint32_t(src[2 * x + 1]) << 8)];
        break;
    case 24:
        for (int x = 0; x < count; ++x)
            dst[x] = uint32_t(src[3 * x]) | (uint32_t(src[3 * x + 1]) << 8) | (uint32_t(src[3 * x + 2]) << 16);
        break;
    default:
        for (int x = 0; x < count; ++x)
            std::memcpy(&dst[x], src + 4 * x, 4);
        break;
    }
}

void show_frame()
{
    if (display_restore() != 0)
        return;
    if (device.virtual_sink) {
        for (int y = 0; y < device.height; ++y)
            display_expand_row(device.bits, device.staging + size_t(y) * size_t(device.staging_pitch),
                device.virtual_picture + size_t(y) * size_t(device.width), device.width);
        device.virtual_sink(device.virtual_context, device.virtual_picture, device.width, device.height);
    } else {
        SDL_SetRenderDrawColor(device.renderer, 0, 0, 0, 255);
        SDL_RenderClear(device.renderer);
        SDL_RenderCopy(device.renderer, device.texture, nullptr, nullptr);
        draw_overlay();
        present_renderer();
    }
    device.frames_shown++;
    if (host.full_screen && *host.full_screen) {
        display_flip_counter++;
        current_display_record = &display_records[display_flip_counter % uint32_t(display_record_count)];
    }
}
