// test_surface.cpp -- Surface creation, pixel formats, flags and the update list.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "display/surface.h"

namespace {

struct SurfaceDeleter {
    void operator()(Surface* s) const { destroy_surface(s); }
};
using SurfacePtr = std::unique_ptr<Surface, SurfaceDeleter>;

TEST(SurfaceCreate, FormatsForEveryDisplayDepth)
{
    struct Case {
        int bits, bpp, bytes, pitch, depth;
        uint32_t r, g, b;
        int tr, tg, tb;
    };
    const Case cases[] = {
        {8, 8, 1, 320, 8, 0xE0, 0x1C, 0x03, 7, 4, 1},
        {15, 16, 2, 640, 16, 0xF800, 0x07E0, 0x001F, 15, 10, 4},
        {16, 16, 2, 640, 16, 0xF800, 0x07E0, 0x001F, 15, 10, 4},
        {24, 24, 3, 960, 24, 0xFF0000, 0xFF00, 0xFF, 23, 15, 7},
        {32, 32, 4, 1280, 24, 0xFF0000, 0xFF00, 0xFF, 23, 15, 7},
        {12, 32, 4, 1280, 24, 0xFF0000, 0xFF00, 0xFF, 23, 15, 7}, // unknown depth -> 32
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        SurfacePtr s(create_surface(320, 240, c.bits));
        ASSERT_TRUE(s);
        EXPECT_EQ(s->bits_per_pixel, c.bpp);
        EXPECT_EQ(s->bytes_per_pixel, c.bytes);
        EXPECT_EQ(s->pitch, c.pitch);
        EXPECT_EQ(s->depth, c.depth);
        EXPECT_EQ(s->mask_r, c.r);
        EXPECT_EQ(s->mask_g, c.g);
        EXPECT_EQ(s->mask_b, c.b);
        EXPECT_EQ(s->top_r, c.tr);
        EXPECT_EQ(s->top_g, c.tg);
        EXPECT_EQ(s->top_b, c.tb);
        EXPECT_EQ(s->flags, 0u);
        EXPECT_EQ(s->pixels, reinterpret_cast<uint8_t*>(s.get()) + sizeof(Surface));
    }
}

TEST(SurfaceCreate, RejectsEmptyAndAbsurdSizes)
{
    EXPECT_EQ(create_surface(0, 240, 32), nullptr);
    EXPECT_EQ(create_surface(320, -1, 32), nullptr);
    EXPECT_EQ(create_surface(1 << 20, 1 << 20, 32), nullptr);
}

TEST(SurfaceFormat, FiveFiveFiveAndMasksBeyondTheDepth)
{
    SurfacePtr s(create_surface(10, 10, 16));
    set_pixel_format(s.get(), 0x7C00, 0x03E0, 0x001F);
    EXPECT_EQ(s->top_r, 14);
    EXPECT_EQ(s->top_g, 9);
    EXPECT_EQ(s->top_b, 4);
    EXPECT_EQ(s->depth, 15);
    // Bits above the storage size are cut off; an empty mask has top bit -1 and width 1.
    set_pixel_format(s.get(), 0xFF0000, 0xFF00, 0);
    EXPECT_EQ(s->mask_r, 0u);
    EXPECT_EQ(s->top_r, -1);
    EXPECT_EQ(s->top_b, -1);
    EXPECT_EQ(s->depth, 1 + 8 + 1);
    set_pixel_format(nullptr, 1, 2, 3); // ignored
}

TEST(SurfaceBits, TopLowAndWidth)
{
    EXPECT_EQ(top_bit(0), -1);
    EXPECT_EQ(low_bit(0), -1);
    EXPECT_EQ(mask_width(0), 1);
    EXPECT_EQ(top_bit(0x80000000u), 31);
    EXPECT_EQ(low_bit(0x07E0), 5);
    EXPECT_EQ(mask_width(0x07E0), 6);
}

TEST(SurfaceFlags, MemorySurfaceCannotBecomeTheDisplay)
{
    SurfacePtr s(create_surface(4, 4, 32));
    set_surface_flags(s.get(), SURFACE_DISPLAY | SURFACE_DITHER);
    EXPECT_EQ(s->flags, SURFACE_DITHER);
}

TEST(SurfaceFlags, NullMeansTheDisplayRecord)
{
    Surface record{};
    record.width = 320;
    record.height = 240;
    current_display_record = &record;
    set_surface_flags(nullptr, SURFACE_DITHER);
    EXPECT_EQ(record.flags, SURFACE_DITHER | SURFACE_DISPLAY);
    current_display_record = nullptr;
    set_surface_flags(nullptr, SURFACE_DITHER); // no display: nothing happens
}

TEST(UpdateList, OrdersCornersAndRejectsEmptyRectangles)
{
    UpdateList list;
    reset_update_list(&list);
    EXPECT_EQ(add_update_rect(&list, 10, 20, 5, 8), 0);
    EXPECT_EQ(list.entries[0].in_use, 0xFFFF);
    EXPECT_EQ(list.entries[0].left, 5);
    EXPECT_EQ(list.entries[0].top, 8);
    EXPECT_EQ(list.entries[0].right, 10);
    EXPECT_EQ(list.entries[0].bottom, 20);
    EXPECT_EQ(list.entries[0].one, 1);
    EXPECT_EQ(add_update_rect(&list, 3, 0, 3, 9), -1);
    EXPECT_EQ(add_update_rect(&list, 0, 4, 9, 4), -1);
    EXPECT_EQ(list.entries[1].in_use, 0);
    EXPECT_EQ(list.next_free, 1);
}

TEST(UpdateList, FillsInOrderAndDropsWhenFull)
{
    UpdateList list;
    reset_update_list(&list);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(add_update_rect(&list, 0, 0, 1, 1), i);
    EXPECT_EQ(list.next_free, 4);
    EXPECT_EQ(list.highest_used, 3);
    for (int i = 4; i < UPDATE_LIST_ENTRIES; ++i)
        EXPECT_EQ(add_update_rect(&list, 0, 0, 1, 1), i);
    EXPECT_EQ(list.next_free, UPDATE_LIST_ENTRIES);
    // A full list must not write past its last entry: the rectangle is dropped.
    UpdateList before = list;
    EXPECT_EQ(add_update_rect(&list, 0, 0, 2, 2), -1);
    EXPECT_EQ(std::memcmp(&before, &list, sizeof list), 0);
}

TEST(UpdateList, MarkingClampsAndNeedsTracking)
{
    SurfacePtr s(create_surface(320, 240, 32));
    EXPECT_EQ(mark_surface_rect(s.get(), 0, 0, 10, 10), 0); // not tracking: nothing stored
    EXPECT_EQ(s->updates.entries[0].in_use, 0);
    set_surface_flags(s.get(), SURFACE_TRACK_UPDATES);
    EXPECT_EQ(s->updates.entries[0].right, 320); // whole surface added
    EXPECT_EQ(s->updates.entries[0].bottom, 240);
    EXPECT_EQ(mark_surface_rect(s.get(), -5, -7, 400, 300), 1);
    EXPECT_EQ(s->updates.entries[1].left, 0);
    EXPECT_EQ(s->updates.entries[1].top, 0);
    EXPECT_EQ(s->updates.entries[1].right, 320);
    EXPECT_EQ(s->updates.entries[1].bottom, 240);
    reset_surface_updates(s.get());
    EXPECT_EQ(s->updates.next_free, 1);
    EXPECT_EQ(s->updates.highest_used, 0);
    EXPECT_EQ(s->updates.entries[1].in_use, 0);
}

} // namespace
