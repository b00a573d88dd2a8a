// depth_buffer.h -- the shared 320x240 depth buffer used by the filled 3D triangles.
#pragma once

constexpr int DEPTH_BUFFER_WIDTH = 320;
constexpr int DEPTH_BUFFER_HEIGHT = 240;
constexpr int DEPTH_BUFFER_SIZE = DEPTH_BUFFER_WIDTH * DEPTH_BUFFER_HEIGHT;

// 76800 single-precision depths, row-major (y * 320 + x), smaller is nearer.
// Null until allocate_depth_buffer() succeeds; lives until the process ends.
extern float* depth_buffer;

// Allocates the buffer zero-filled (once; later calls keep it). Non-zero on success.
int allocate_depth_buffer();
