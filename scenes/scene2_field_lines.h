// scene2_field_lines.h -- field lines between two jittering poles, blurred and split into colour fringes.
#pragma once

#include <cstdint>

// Rows of the buffers these operations work on.
constexpr int FIELD_ROW = 320;
constexpr int FIELD_ROWS = 240;
constexpr int FIELD_PIXELS = FIELD_ROW * FIELD_ROWS;

constexpr int FIELD_LINE_COUNT = 40;
constexpr uint32_t FIELD_LINE_COLOUR = 0xFFFFFFFFu;

// Draws the 40 lines: each takes one demo_rand() value for its start direction, and runs 20
// steps from pole 1 (pulled towards pole 2) and from pole 2 (pulled towards pole 1). A tracer
// that lands exactly on the pole pulling it stops; the other one goes on.
void draw_field_lines(int pole1_x, int pole1_y, int pole2_x, int pole2_y, uint32_t* pixels);
// One line pair of draw_field_lines with start direction direction * 2 pi / 256 (0-255).
void trace_field_line(int pole1_x, int pole1_y, int pole2_x, int pole2_y, int direction, uint32_t* pixels);

// Stores colour into every pixel of the integer line from (x0, y0) to (x1, y1), ends included,
// into a 320 x 240 buffer. The line stops for good at its first point outside columns 1-319
// and rows 0-239 (column 0 is never written).
void draw_line_until_edge(int x0, int y0, int x1, int y1, uint32_t colour, uint32_t* pixels);

// 3 x 3 blur (weights 1/4, 1/8 edges, 1/16 corners, each term truncated) of the first `count`
// pixels of a 320-wide buffer, in index order; top byte 0. Neighbours before index 0 or at
// `count` and beyond count as black. dst may be src: neighbours above and to the left are then
// already blurred.
void blur_in_place(uint32_t* dst, const uint32_t* src, int count);

// Copies a 320 x 240 buffer, each channel the mean of two samples 4s (red), 8s (green) and 16s
// (blue) columns to either side, the columns clamped to 0-319; top byte 0.
void chromatic_spread(const uint32_t* src, uint32_t* dst, int step);

// One frame's drawing after the tick wait: poles from four demo_rand() values, lines into
// `lines`, blur, one more value for the spread into `frame`. Both 320 x 240, contiguous.
void draw_field_lines_frame(uint32_t* lines, uint32_t* frame);

// Scene 2.
void field_lines_scene();
