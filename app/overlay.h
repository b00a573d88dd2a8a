// overlay.h -- the F1 overlay: lines of text in a small built-in font on a dark box.
#pragma once

#include <cstdint>

constexpr int OVERLAY_GLYPH_WIDTH = 5;
constexpr int OVERLAY_GLYPH_HEIGHT = 7;
constexpr int OVERLAY_CELL_WIDTH = 6; // glyph and a column of space
constexpr int OVERLAY_LINE_HEIGHT = 9;

// Clears argb (width x height, 0xAARRGGBB, not premultiplied) to transparent, then draws `lines`
// (upper-cased; characters without a glyph show as spaces) on a translucent dark box sized to
// the text, from (x, y). Text beyond the picture is cut.
void draw_overlay_text(uint32_t* argb, int width, int height, int x, int y, const char* const* lines, int count);

// The scene numbers' names as the overlay shows them ("" outside 0-16).
const char* scene_name(uint32_t scene);
