// present.h -- presentation: copying a Surface into another (or the display) with format conversion.
#pragma once

#include <cstdint>

#include "display/surface.h"

// How presentation reaches the display's back buffer. The display device fills these in when it
// comes up; with no display (null hooks or no current record) the display path does nothing.
struct DisplayAccess {
    int (*restore)();                              // 0 when the display is usable, -1 otherwise
    // Writable back-buffer rows, null on failure; *pitch receives the locked row pitch in bytes.
    uint8_t* (*lock_back)(int width, int height, int* pitch);
    void (*unlock_back)();
    const uint8_t* (*lock_front)(int width, int height, int* pitch); // readable visible buffer
    void (*unlock_front)();
};
extern DisplayAccess display_access;

// The 8-bit display's palette index map: conversion result (3:3:2) -> palette entry, and the
// reverse for 8-bit sources. Identity unless the display device sets it.
extern uint8_t palette_index_map[256];

using RowConverter = void (*)(uint8_t* dst, const uint8_t* src, int count, int row);

// Conversion state chosen by select_converter for one copy.
struct ConversionState {
    unsigned shift_r, shift_g, shift_b; // rotate-right counts
    uint32_t src_mask_r, src_mask_g, src_mask_b;
    uint32_t dst_mask_r, dst_mask_g, dst_mask_b;
    uint32_t bias, keep, carry; // dithering constants
    RowConverter converter;     // null: nothing is copied
};
extern ConversionState conversion;

void select_converter(const Surface* source, const Surface* destination);
void present(Surface* source, Surface* destination);
void clear_surface(Surface* surface);
