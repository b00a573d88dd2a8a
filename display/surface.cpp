// surface.cpp -- Surface creation, pixel formats, flags and the update list.
#include "display/surface.h"

#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "display/bytes.h"

Surface* current_display_record = nullptr;

int top_bit(uint32_t mask)
{
    return mask == 0 ? -1 : 31 - std::countl_zero(mask);
}

int low_bit(uint32_t mask)
{
    return mask == 0 ? -1 : std::countr_zero(mask);
}

int mask_width(uint32_t mask)
{
    return top_bit(mask) - low_bit(mask) + 1;
}

Surface* create_surface(int width, int height, int bits)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    if (bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32)
        bits = 32;
    const int bytes = (bits + 7) / 8;

    uint64_t pixel_bytes;
    if (!checked_size(width, height, bytes, &pixel_bytes))
        return nullptr;
    // The pixels follow the record in the same block; the record's size keeps them aligned.
    // They start cleared: an animation surface is shown before its first frame is decoded, and
    // memory the program never drew must not reach the screen.
    static_assert(sizeof(Surface) % alignof(uint32_t) == 0);
    void* block = std::calloc(1, sizeof(Surface) + pixel_bytes);
    if (!block)
        return nullptr;
    auto* s = new (block) Surface{};
    s->width = width;
    s->height = height;
    s->pitch = width * bytes;
    s->bits_per_pixel = 8 * bytes;
    s->bytes_per_pixel = bytes;
    switch (bytes) {
    case 1: set_pixel_format(s, 0xE0, 0x1C, 0x03); break;
    case 2: set_pixel_format(s, 0xF800, 0x07E0, 0x001F); break;
    default: set_pixel_format(s, 0xFF0000, 0x00FF00, 0x0000FF); break;
    }
    s->flags = 0;
    s->pixels = static_cast<uint8_t*>(block) + sizeof(Surface);
    reset_update_list(&s->updates);
    return s;
}

void destroy_surface(Surface* surface)
{
    std::free(surface);
}

void set_pixel_format(Surface* surface, uint32_t mask_r, uint32_t mask_g, uint32_t mask_b)
{
    if (!surface)
        return;
    const uint32_t limit = surface->bits_per_pixel >= 32
        ? 0xFFFFFFFFu
        : (surface->bits_per_pixel <= 0 ? 0u : (uint32_t(1) << surface->bits_per_pixel) - 1);
    surface->mask_r = mask_r & limit;
    surface->mask_g = mask_g & limit;
    surface->mask_b = mask_b & limit;
    surface->top_r = top_bit(surface->mask_r);
    surface->top_g = top_bit(surface->mask_g);
    surface->top_b = top_bit(surface->mask_b);
    surface->depth = mask_width(surface->mask_b) + mask_width(surface->mask_r) + mask_width(surface->mask_g);
}

void set_surface_flags(Surface* surface, uint32_t flags)
{
    if (surface) {
        flags &= ~SURFACE_DISPLAY; // a memory Surface can't be marked as the display
    } else {
        surface = current_display_record;
        flags |= SURFACE_DISPLAY;
        if (!surface)
            return;
    }
    surface->flags = flags;
    if (flags & SURFACE_TRACK_UPDATES) {
        reset_update_list(&surface->updates);
        add_update_rect(&surface->updates, 0, 0, surface->width, surface->height);
    }
}

int mark_surface_rect(Surface* surface, int left, int top, int right, int bottom)
{
    if (!surface)
        surface = current_display_record;
    if (!surface || !(surface->flags & SURFACE_TRACK_UPDATES))
        return 0;
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    if (right > surface->width)
        right = surface->width;
    if (bottom > surface->height)
        bottom = surface->height;
    return add_update_rect(&surface->updates, left, top, right, bottom);
}

void reset_surface_updates(Surface* surface)
{
    if (!surface || !(surface->flags & SURFACE_TRACK_UPDATES))
        return;
    reset_update_list(&surface->updates);
    add_update_rect(&surface->updates, 0, 0, surface->width, surface->height);
}

void reset_update_list(UpdateList* list)
{
    std::memset(list, 0, sizeof *list);
}

int add_update_rect(UpdateList* list, int left, int top, int right, int bottom)
{
    if (left == right)
        return -1;
    if (right < left)
        std::swap(left, right);
    if (top == bottom)
        return -1;
    if (bottom < top)
        std::swap(top, bottom);
    const int i = list->next_free;
    // A full list drops the rectangle: there is no entry 256 to write.
    if (i < 0 || i >= UPDATE_LIST_ENTRIES)
        return -1;
    UpdateEntry* e = &list->entries[i];
    e->in_use = UPDATE_ENTRY_IN_USE;
    e->left = uint16_t(left);
    e->top = uint16_t(top);
    e->right = uint16_t(right);
    e->bottom = uint16_t(bottom);
    e->one = 1;
    if (i > list->highest_used)
        list->highest_used = i;
    list->next_free = UPDATE_LIST_ENTRIES;
    for (int j = i + 1; j < UPDATE_LIST_ENTRIES; ++j) {
        if (list->entries[j].in_use == 0) {
            list->next_free = j;
            break;
        }
    }
    return i;
}
