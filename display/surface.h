// surface.h -- the frame-buffer record shared by drawing, presentation and the display.
#pragma once

#include <cstdint>

constexpr uint32_t SURFACE_DISPLAY = 1u << 0;       // describes the display's back buffer
constexpr uint32_t SURFACE_TRACK_UPDATES = 1u << 1; // keep the update list
constexpr uint32_t SURFACE_DITHER = 1u << 3;        // dither when converted to a smaller depth

constexpr int UPDATE_LIST_ENTRIES = 256;
constexpr uint16_t UPDATE_ENTRY_IN_USE = 0xFFFF;

struct UpdateEntry {
    uint16_t in_use; // 0xFFFF in use, 0 free
    uint16_t left;
    uint16_t top;
    uint16_t right;
    uint16_t bottom;
    uint16_t one; // always 1 for a filled entry
};

struct UpdateList {
    UpdateEntry entries[UPDATE_LIST_ENTRIES];
    int32_t next_free;    // lowest free entry above the last one filled, 256 when none
    int32_t highest_used; // highest entry filled since the last reset
};

struct Surface {
    int32_t width;
    int32_t height;
    int32_t pitch; // bytes from one row to the next
    int32_t bits_per_pixel;
    int32_t depth; // colour bits: sum of the three mask widths
    int32_t bytes_per_pixel;
    uint32_t mask_r;
    uint32_t mask_g;
    uint32_t mask_b;
    int32_t top_r; // highest set bit of mask_r, -1 for an empty mask
    int32_t top_g;
    int32_t top_b;
    uint8_t* pixels; // null for a display record
    uint32_t flags;
    UpdateList updates;
};

// The display's current back-buffer record, or null when no display is up. Set by the
// display device; a null Surface argument to marking and presentation means this one.
extern Surface* current_display_record;

// Bit functions on a 32-bit mask.
int top_bit(uint32_t mask);    // highest set bit, -1 for 0
int low_bit(uint32_t mask);    // lowest set bit, -1 for 0
int mask_width(uint32_t mask); // top - low + 1 (1 for 0)

Surface* create_surface(int width, int height, int bits);
void destroy_surface(Surface* surface);
void set_pixel_format(Surface* surface, uint32_t mask_r, uint32_t mask_g, uint32_t mask_b);
void set_surface_flags(Surface* surface, uint32_t flags);
int mark_surface_rect(Surface* surface, int left, int top, int right, int bottom);
void reset_surface_updates(Surface* surface);

// Update list primitives (also used for display records).
void reset_update_list(UpdateList* list);
int add_update_rect(UpdateList* list, int left, int top, int right, int bottom);

// Row access for 32-bit Surfaces.
inline uint32_t* surface_row32(Surface* s, int y)
{
    return reinterpret_cast<uint32_t*>(s->pixels + static_cast<long>(y) * s->pitch);
}
inline const uint32_t* surface_row32(const Surface* s, int y)
{
    return reinterpret_cast<const uint32_t*>(s->pixels + static_cast<long>(y) * s->pitch);
}
