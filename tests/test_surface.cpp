// test_surface.cpp -- Surface creation, pixel formats, flags and the update list.
#include <gtest/gtest.h>

#include <cstring>

#include "surface_fixture.h"

// The default masks of each depth are checked by the conversions in test_present.
TEST(Surface, LayoutForEveryDisplayDepth)
{
    const std::array<int, 5> cases[] = { // bits asked, bits per pixel, bytes, pitch, depth
        { 8, 8, 1, 320, 8 }, { 15, 16, 2, 640, 16 }, { 16, 16, 2, 640, 16 }, { 24, 24, 3, 960, 24 },
        { 32, 32, 4, 1280, 24 }, { 12, 32, 4, 1280, 24 }
    }; // unknown depth -> 32
    for (const auto& c : cases) {
        SurfacePtr s(create_surface(320, 240, c[0]));
        ASSERT_TRUE(s);
        EXPECT_EQ((std::array { c[0], s->bits_per_pixel, s->bytes_per_pixel, s->pitch, s->depth }), c);
    }
    EXPECT_EQ(create_surface(0, 240, 32), nullptr);
    EXPECT_EQ(create_surface(320, -1, 32), nullptr);
    EXPECT_EQ(create_surface(1 << 20, 1 << 20, 32), nullptr);
}

TEST(Surface, MaskBitsAndFormatsBeyondTheDepth)
{
    EXPECT_EQ(top_bit(0x80000000u), 31);
    EXPECT_EQ(low_bit(0x07E0), 5);
    EXPECT_EQ(mask_width(0x07E0), 6);
    SurfacePtr s(create_surface(10, 10, 16));
    set_pixel_format(s.get(), 0x7C00, 0x03E0, 0x001F);
    EXPECT_EQ((std::array { s->top_r, s->top_g, s->top_b, s->depth }), (std::array { 14, 9, 4, 15 }));
    // Bits above the storage size are cut off; an empty mask has top bit -1 and width 1.
    set_pixel_format(s.get(), 0xFF0000, 0xFF00, 0);
    EXPECT_EQ(s->mask_r, 0u);
    EXPECT_EQ((std::array { s->top_r, s->top_g, s->top_b, s->depth }), (std::array { -1, 15, -1, 1 + 8 + 1 }));
    set_pixel_format(nullptr, 1, 2, 3); // ignored
}

TEST(Surface, OnlyTheDisplayRecordIsTheDisplay)
{
    SurfacePtr s(create_surface(4, 4, 32));
    set_surface_flags(s.get(), SURFACE_DISPLAY | SURFACE_DITHER);
    EXPECT_EQ(s->flags, SURFACE_DITHER);
    set_surface_flags(nullptr, SURFACE_DITHER); // no display: nothing happens
    Surface record {};
    current_display_record = &record;
    set_surface_flags(nullptr, SURFACE_DITHER);
    EXPECT_EQ(record.flags, SURFACE_DITHER | SURFACE_DISPLAY);
    current_display_record = nullptr;
}

TEST(UpdateList, OrdersCornersRejectsEmptyAndDropsWhenFull)
{
    UpdateList list;
    reset_update_list(&list);
    EXPECT_EQ(add_update_rect(&list, 10, 20, 5, 8), 0);
    EXPECT_EQ(corners(list.entries[0]), (std::array { 5, 8, 10, 20 }));
    EXPECT_EQ(add_update_rect(&list, 3, 0, 3, 9), -1);
    EXPECT_EQ(add_update_rect(&list, 0, 4, 9, 4), -1);
    for (int i = 1; i < UPDATE_LIST_ENTRIES; ++i)
        EXPECT_EQ(add_update_rect(&list, 0, 0, 1, 1), i);
    EXPECT_EQ(list.next_free, UPDATE_LIST_ENTRIES);
    EXPECT_EQ(list.highest_used, UPDATE_LIST_ENTRIES - 1);
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
    set_surface_flags(s.get(), SURFACE_TRACK_UPDATES); // the whole surface is added
    EXPECT_EQ(mark_surface_rect(s.get(), -5, -7, 400, 300), 1);
    EXPECT_EQ(corners(s->updates.entries[0]), (std::array { 0, 0, 320, 240 }));
    EXPECT_EQ(corners(s->updates.entries[1]), (std::array { 0, 0, 320, 240 }));
    reset_surface_updates(s.get());
    EXPECT_EQ(s->updates.next_free, 1);
    EXPECT_EQ(s->updates.highest_used, 0);
    EXPECT_EQ(s->updates.entries[1].in_use, 0);
}
